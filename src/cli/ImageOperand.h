// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>

#include "chip/At89c51.h"
#include "file/Output.h"
#include "image/HexField.h"

namespace lpt51::cli {

// "-": standard input for the commands that take an image, standard output for read.
bool IsStandardStream(const std::string& operand);

// What --format says a FILE holds when its name does not say it.
enum class ImageFormat { Hex, Bin };

// A name ending in .bin (any case) is a raw image from address 0, one ending
// in .hex or .ihx Intel HEX; "-" and any other name hold `format`.
bool IsBinaryImage(const std::string& operand, ImageFormat format = ImageFormat::Hex);

// The operand as messages name it.
std::string OperandName(const std::string& operand);

// The image named by a FILE operand as Intel HEX text: the file's lines,
// standard input's, or a raw image of at most 4096 bytes turned into records,
// so that everything after this sees what a HEX file would give. On failure an
// error text; `nothingDone` ends the refusal of a raw image that is too long.
// A FILE may also be a pipe, a FIFO or /dev/fd/N; `waiting` is called when
// one keeps the program waiting for its data.
std::optional<std::string> LoadImageOperand(const std::string& operand, ImageFormat format,
                                            image::Lines& lines, const std::string& nothingDone,
                                            const std::function<void()>& waiting);

// Where read puts the chip's bytes: Intel HEX text, or all 4096 raw bytes
// for a .bin name, in FILE or on `out` for "-". FILE is opened before the
// chip is read, so that nothing is read that has nowhere to go: a regular
// file (only with --force when it exists) has its replacement and its room
// made; a character device, a FIFO, /dev/stdout or /dev/fd/N is opened and
// written into, never replaced. A FIFO nobody reads yet is waited for.
class ReadOutput {
  public:
    // On failure the text, ending "Nothing was read."; "waiting for a
    // reader on FILE" goes to `err` when a FIFO keeps the program waiting.
    std::optional<std::string> open(const std::string& operand, ImageFormat format, bool force,
                                    std::ostream& err);
    // Writes the bytes where open() said; on failure the text.
    std::optional<std::string> save(const chip::CodeBytes& bytes, std::ostream& out);

  private:
    std::string operand_;
    bool binary_ = false;
    file::Output file_;
};

// Says whether every byte is FF; if not, how many are not and where the
// first ones are. True when blank.
bool ReportBlank(std::span<const std::uint8_t> bytes, std::ostream& out);

}  // namespace lpt51::cli
