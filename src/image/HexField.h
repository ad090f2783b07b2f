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

// Splits file text into lines. LF and CRLF both end a line; an empty last line
// after a final line break is not a line.
Lines SplitLines(std::string_view text);

// The two-character field at `pos` of `line`: both characters must be
// hexadecimal digits (either case). A field that reaches past the end of its
// line is illegal.
std::optional<std::uint8_t> ReadField(std::string_view line, std::size_t pos);

// The characters of the field at `pos` as far as the line has them (0 to 2),
// for messages that quote an illegal field.
std::string FieldText(std::string_view line, std::size_t pos);

// Byte count "00" and address high byte "00": every walk stops at such a line.
bool IsEndRecord(std::string_view line);

// Field positions within a record line.
inline constexpr std::size_t kCountPos = 1;
inline constexpr std::size_t kAddrHighPos = 3;
inline constexpr std::size_t kAddrLowPos = 5;
inline constexpr std::size_t kTypePos = 7;
inline constexpr std::size_t kDataPos = 9;  // data byte k at kDataPos + 2k

}  // namespace lpt51::image
