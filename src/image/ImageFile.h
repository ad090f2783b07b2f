// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "image/HexField.h"

namespace lpt51::image {

// What a file's name says it holds: true for a raw image from address 0
// (.bin, any case), false for Intel HEX (.hex, .ihx); nothing for any other
// name.
std::optional<bool> RawImageByName(const std::string& path);

// Raw bytes from address 0 as the Intel HEX records a read-out gives them.
// More bytes than the chip holds are refused with a text naming `name`.
std::optional<std::string> RawImageLines(const std::string& name, std::string_view bytes,
                                         Lines& lines);

// A file as the Intel HEX text it stands for: a .bin's records, or any other
// file's lines. On failure the text, and `lines` untouched.
std::optional<std::string> LoadImageFile(const std::string& path, Lines& lines);

}  // namespace lpt51::image
