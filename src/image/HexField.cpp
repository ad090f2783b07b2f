// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/HexField.h"

#include <algorithm>

namespace lpt51::image {
namespace {

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

Lines SplitLines(std::string_view text) {
    // A CR that is not part of a CRLF ends a line only in a text that has no
    // LF at all: in a text with LF line ends a stray CR stays in its line, so
    // that a doubled CR before LF adds no blank line.
    const char lineEnd = text.find('\n') == std::string_view::npos ? '\r' : '\n';
    Lines lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(lineEnd, start);
        const bool last = end == std::string_view::npos;
        if (last) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        if (last) break;
        start = end + 1;
    }
    return lines;
}

std::optional<std::uint8_t> ReadField(std::string_view line, std::size_t pos) {
    if (pos > line.size() || line.size() - pos < 2) return std::nullopt;
    const int high = DigitValue(line[pos]);
    const int low = DigitValue(line[pos + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    return static_cast<std::uint8_t>(high * 16 + low);
}

std::string FieldText(std::string_view line, std::size_t pos) {
    if (pos >= line.size()) return {};
    return std::string(line.substr(pos, 2));
}

bool IsEndRecord(std::string_view line) {
    return line.size() >= kTypePos + 2 && line.substr(kCountPos, 2) == "00" &&
           line.substr(kTypePos, 2) == "01";
}

bool IsBlankLine(std::string_view line) {
    return std::all_of(line.begin(), line.end(),
                       [](char c) { return c == ' ' || c == '\t' || c == '\r'; });
}

bool StartsWithByteOrderMark(std::string_view line) {
    return line.substr(0, kByteOrderMark.size()) == kByteOrderMark;
}

}  // namespace lpt51::image
