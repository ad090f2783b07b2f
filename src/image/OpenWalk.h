// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "image/HexField.h"

namespace lpt51::image {

inline constexpr const char* kIllegalCharMessage = "File contains illegal char =  ";
inline constexpr const char* kCorruptMessage = "File is corrupt   !!! \rControl sum is incorrect .";
inline constexpr const char* kTooLargeMessage = "File has more than 4096 Byte !!";

struct OpenResult {
    enum class Outcome { Accepted, Rejected, TooLarge };
    Outcome outcome = Outcome::Rejected;
    // Sum of the byte counts of the examined data records (type 00); the other
    // record types are validated but hold no code. Saturates instead of
    // wrapping on absurdly large inputs.
    std::int32_t codeSize = 0;
    // The one message the walk itself shows (illegal field or bad checksum);
    // empty when the walk ended without error. TooLarge carries no walk
    // message: the caller shows kTooLargeMessage.
    std::string message;
    bool checksumMismatch = false;
    std::size_t errorLine = 0;  // index of the offending line when Rejected
    // With checksumMismatch: the sum the line holds and the one its fields need.
    std::uint8_t foundSum = 0;
    std::uint8_t expectedSum = 0;
    // What the command line says after the window's message: where, what is
    // wrong when the message does not show it plainly (a blank line, a
    // byte-order mark, a line cut short, a character that does not print),
    // and what to do; for TooLarge, how many bytes the records hold. Never
    // raw bytes beyond ASCII.
    std::string detail;
};

// Open's validation walk over the lines of a loaded file. Stops at the first
// error or at an end record (type 01); a data record without bytes is
// validated like any other and the walk goes on past it. Linear in the size
// of the text.
OpenResult ValidateImage(const Lines& lines);

}  // namespace lpt51::image
