#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>

#include "chip/At89c51.h"
#include "image/HexField.h"

namespace lpt51::cli {

// "-": standard input for the commands that take an image, standard output for read.
bool IsStandardStream(const std::string& operand);

// A name ending in .bin (any case) is a raw image from address 0.
bool IsBinaryImage(const std::string& operand);

// The operand as messages name it.
std::string OperandName(const std::string& operand);

// The image named by a FILE operand as Intel HEX text: the file's lines,
// standard input's, or a raw image of at most 4096 bytes turned into records,
// so that everything after this sees what a HEX file would give. On failure an
// error text; `nothingDone` ends the refusal of a raw image that is too long.
std::optional<std::string> LoadImageOperand(const std::string& operand, image::Lines& lines,
                                            const std::string& nothingDone);

// Puts the chip's bytes where read's FILE says: Intel HEX text in a file or on
// `out`, or all 4096 raw bytes for a .bin name. On failure an error text.
std::optional<std::string> SaveReadOut(const std::string& operand, const chip::CodeBytes& bytes,
                                       std::ostream& out);

// Says whether every byte is FF; if not, how many are not and where the
// first ones are. True when blank.
bool ReportBlank(std::span<const std::uint8_t> bytes, std::ostream& out);

}  // namespace lpt51::cli
