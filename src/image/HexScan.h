// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image/HexField.h"

namespace lpt51::image {

// One record as the write and verify walks see it.
struct WalkRecord {
    std::size_t lineIndex = 0;  // 0-based index into the lines
    bool data = false;          // a data record (type "00") with bytes to program
    // A data record's chip address: its address field plus the extended
    // segment or linear base in force, split into bytes. Other records keep
    // their address fields.
    std::uint16_t addrHigh = 0;
    std::uint16_t addrLow = 0;
    std::vector<std::uint8_t> bytes;  // data bytes (empty unless data)
};

// Where and why a text cannot be walked, or what in it was passed over.
// Line and column are 1-based for messages; 0 when there is none.
struct ImageProblem {
    std::size_t line = 0;
    std::size_t column = 0;
    std::string what;  // e.g. "field \"ZG\" is not a hexadecimal byte"
};

// The walk of a text from its first line to the end record, done before any
// byte reaches the port so that a bad text programs (or compares) nothing.
// Reads the byte count, both address fields and the type of every record
// before the end record (type 01), the data of a data record (type 00) and
// the base of an extended segment (02) or linear (04) address record, which
// moves every later data record. A data record without bytes is passed over
// with a warning. Refused: a field that is not hexadecimal, a blank line, a
// byte-order mark, an unknown record type, a malformed address or end
// record, a data byte at or beyond kCodeSize once the base is added (the
// adapter would put it at its address modulo the size), two records that
// put different bytes at one address, a text that ends before an end record
// or goes on after it, and an image without a data byte. Checksums are the
// Open walk's to check.
struct ScannedImage {
    std::vector<WalkRecord> records;  // in line order, the end record not included
    std::size_t endLine = 0;          // 0-based index of the end record
    std::size_t dataBytes = 0;        // bytes the walk programs or compares
    std::optional<ImageProblem> problem;
    std::vector<ImageProblem> warnings;  // records passed over, in line order
};

ScannedImage ScanImage(const Lines& lines);

// The problem of an image whose end record has no data before it.
inline constexpr const char* kNoImageData = "the image holds no data: nothing to program";

// "line 3, column 10: field \"ZG\" is not a hexadecimal byte", without a
// final stop; the line and column only as far as the problem has them.
std::string ProblemText(const ImageProblem& problem);

}  // namespace lpt51::image
