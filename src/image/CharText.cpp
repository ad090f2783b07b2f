// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/CharText.h"

#include <cstdint>

namespace lpt51::image {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

std::uint8_t Byte(std::string_view line, std::size_t i) {
    return static_cast<std::uint8_t>(line[i]);
}

bool IsContinuation(std::uint8_t b) {
    return (b & 0xC0) == 0x80;
}

// The valid UTF-8 sequence that starts at `start`, if any.
std::optional<CharacterAt> DecodeAt(std::string_view line, std::size_t start) {
    const std::uint8_t lead = Byte(line, start);
    std::size_t length = 0;
    char32_t code = 0;
    char32_t least = 0;  // the smallest code point of that length: no overlong forms
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        least = 0x10000;
    } else {
        return std::nullopt;
    }
    if (line.size() - start < length) return std::nullopt;
    for (std::size_t k = 1; k < length; ++k) {
        const std::uint8_t b = Byte(line, start + k);
        if (!IsContinuation(b)) return std::nullopt;
        code = (code << 6) | (b & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return std::nullopt;
    return CharacterAt{start, length, code};
}

std::string CodePointText(char32_t code) {
    std::string digits;
    for (int shift = code > 0xFFFF ? 20 : 12; shift >= 0; shift -= 4)
        digits += kDigits[(code >> shift) & 0x0F];
    return "U+" + digits;
}

std::string ByteText(std::uint8_t b) {
    return std::string("0x") + kDigits[b >> 4] + kDigits[b & 0x0F];
}

}  // namespace

CharacterAt FindCharacter(std::string_view line, std::size_t pos) {
    const std::uint8_t b = Byte(line, pos);
    if (b < 0x80) return CharacterAt{pos, 1, b};
    // A sequence is at most four bytes: its lead is at most three back.
    std::size_t start = pos;
    while (start > 0 && pos - start < 3 && IsContinuation(Byte(line, start))) --start;
    if (const auto c = DecodeAt(line, start); c && c->start + c->length > pos) return *c;
    return CharacterAt{pos, 1, std::nullopt};
}

std::string PrintableCharacter(std::string_view line, std::size_t pos) {
    const CharacterAt c = FindCharacter(line, pos);
    if (!c.code) return "\\x" + ByteText(Byte(line, pos)).substr(2);
    if (*c.code < 0x80) return std::string(1, static_cast<char>(*c.code));
    return CodePointText(*c.code);
}

std::string CharacterName(std::string_view line, std::size_t pos) {
    const CharacterAt c = FindCharacter(line, pos);
    if (!c.code) return "the byte " + ByteText(Byte(line, pos)) + ", which is not UTF-8";
    switch (*c.code) {
        case U' ':
            return "a blank";
        case U'\t':
            return "a tab";
        case U'\r':
            return "a carriage return";
        case 0xFEFF:
            return "a byte-order mark (U+FEFF)";
        default:
            break;
    }
    if (*c.code < 0x20 || *c.code == 0x7F)
        return "the control character " + ByteText(static_cast<std::uint8_t>(*c.code));
    if (*c.code < 0x80) return "\"" + std::string(1, static_cast<char>(*c.code)) + "\"";
    return "the character " + CodePointText(*c.code);
}

}  // namespace lpt51::image
