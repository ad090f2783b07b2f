#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "chip/At89c51.h"
#include "image/HexField.h"

namespace lpt51::chip {

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

// Where and why a text cannot be walked. Line and column are 1-based for
// messages; column 0 when the problem has no column.
struct ImageProblem {
    std::size_t line = 0;
    std::size_t column = 0;
    std::string what;  // e.g. "field \"ZG\" is not a hexadecimal byte"
};

// The walk of a text from its first line to the end record, done before any
// byte reaches the port so that a bad text programs (or compares) nothing.
// Reads exactly the fields the walks read: the byte count, and for a record
// whose count is "00" the address high field as text (both "00": end record);
// otherwise both address fields and the type, a type "00" record's data
// fields, and the base of an extended segment (02) or linear (04) address
// record, which moves every later data record. Refused: a field that must be
// converted and is not hexadecimal, a text that ends before an end record, an
// extended address record whose count is not 2, and a data record whose bytes
// lie at or beyond kCodeSize once the base is added (the adapter would put
// them at their address modulo the size), and an image without a data byte.
struct ScannedImage {
    std::vector<WalkRecord> records;  // in line order, the end record not included
    std::size_t endLine = 0;          // 0-based index of the end record
    std::size_t dataBytes = 0;        // bytes the walk programs or compares
    std::optional<ImageProblem> problem;
};

ScannedImage ScanImage(const image::Lines& lines);

// The problem of an image whose end record has no data before it.
inline constexpr const char* kNoImageData = "the image holds no data: nothing to program";

// What a scanned image is refused for, each with its refusal's words.
enum class ImageUse {
    Write,             // "Write refused: ... Nothing was programmed."
    Verify,            // "Verify refused: ... Nothing was compared."
    ClearWriteVerify,  // "Clear-Write-Verify refused: ... The chip was not erased."
};

// The refusal text for the scan's problem in that use, or nothing.
std::optional<std::string> RefusalText(const ScannedImage& scan, ImageUse use);

// The refusal text for a problem, e.g.
// "Write refused: line 3, column 10: field \"ZG\" is not a hexadecimal byte. Nothing was
// programmed." `operation` is "Write" or "Verify" or "Clear-Write-Verify"; `nothingDone` is
// "Nothing was programmed." or "Nothing was compared." or similar.
std::string RefusalText(const ImageProblem& problem, const std::string& operation,
                        const std::string& nothingDone);

}  // namespace lpt51::chip
