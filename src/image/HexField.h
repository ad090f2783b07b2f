// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lpt51::image {

// Intel HEX text as the view holds it: one record per line, no line breaks.
using Lines = std::vector<std::string>;

// Splits file text into lines. LF and CRLF both end a line; a text without
// any LF ends its lines with CR alone, as some tools write them. An empty
// last line after a final line break is not a line.
Lines SplitLines(std::string_view text);

// The two-character field at `pos` of `line`: both characters must be
// hexadecimal digits (either case). A field that reaches past the end of its
// line is illegal.
std::optional<std::uint8_t> ReadField(std::string_view line, std::size_t pos);

// The characters of the field at `pos` as far as the line has them (0 to 2),
// for messages that quote an illegal field.
std::string FieldText(std::string_view line, std::size_t pos);

// Byte count "00" and record type "01": the end record, whatever its address
// and checksum. A line whose count and address high byte are "00" but whose
// type is "00" is a data record without bytes, not an end record: ending
// there would leave every record below it unprogrammed.
bool IsEndRecord(std::string_view line);

// Nothing but blanks, tabs and carriage returns: no record at all.
bool IsBlankLine(std::string_view line);

// The UTF-8 encoding of U+FEFF, which some editors put at the start of a file.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
bool StartsWithByteOrderMark(std::string_view line);

// Field positions within a record line.
inline constexpr std::size_t kCountPos = 1;
inline constexpr std::size_t kAddrHighPos = 3;
inline constexpr std::size_t kAddrLowPos = 5;
inline constexpr std::size_t kTypePos = 7;
inline constexpr std::size_t kDataPos = 9;  // data byte k at kDataPos + 2k

// Record types.
inline constexpr std::uint8_t kDataRecord = 0x00;
inline constexpr std::uint8_t kEndRecord = 0x01;
inline constexpr std::uint8_t kSegmentRecord = 0x02;
inline constexpr std::uint8_t kStartSegmentRecord = 0x03;
inline constexpr std::uint8_t kLinearRecord = 0x04;
inline constexpr std::uint8_t kStartLinearRecord = 0x05;

}  // namespace lpt51::image
