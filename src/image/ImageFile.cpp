// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/ImageFile.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <span>

#include "chip/At89c51.h"
#include "image/RecordWriter.h"
#include "image/TextFile.h"

namespace lpt51::image {

std::optional<bool> RawImageByName(const std::string& path) {
    const std::size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') return std::nullopt;
    std::string extension = path.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".bin") return true;
    if (extension == ".hex" || extension == ".ihx") return false;
    return std::nullopt;
}

std::optional<std::string> RawImageLines(const std::string& name, std::string_view bytes,
                                         Lines& lines) {
    if (bytes.size() > chip::kCodeSize) {
        return name + ": " + std::to_string(bytes.size()) + " bytes, more than the chip's " +
               std::to_string(chip::kCodeSize) + ".";
    }
    lines = RenderBytes(std::span<const std::uint8_t>(
        reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    return std::nullopt;
}

std::optional<std::string> LoadImageFile(const std::string& path, Lines& lines) {
    if (!RawImageByName(path).value_or(false)) return LoadLines(path, lines);
    std::string bytes;
    if (std::optional<std::string> error = LoadBytes(path, bytes)) return error;
    return RawImageLines(path, bytes, lines);
}

}  // namespace lpt51::image
