// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lpt51::image {

// The character that the byte at `pos` of `line` belongs to: one byte for
// ASCII, two to four for a UTF-8 sequence, which may begin before `pos`.
// A byte that is part of no valid sequence stands alone without a code.
struct CharacterAt {
    std::size_t start = 0;
    std::size_t length = 1;
    std::optional<char32_t> code;
};
CharacterAt FindCharacter(std::string_view line, std::size_t pos);

// The character at `pos` as text that a terminal shows as it is, whatever
// the file's encoding: ASCII as itself, a character beyond ASCII as its code
// point ("U+FEFF"), a byte that is not UTF-8 as "\xE9".
std::string PrintableCharacter(std::string_view line, std::size_t pos);

// The character at `pos` named for a sentence: "\"G\"", "a blank", "a tab",
// "a carriage return", "the control character 0x01", "the character U+00E9",
// "a byte-order mark (U+FEFF)", "the byte 0xE9, which is not UTF-8".
std::string CharacterName(std::string_view line, std::size_t pos);

}  // namespace lpt51::image
