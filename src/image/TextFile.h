#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "image/HexField.h"

namespace lpt51::image {

// Text files larger than this are refused: no HEX image or listing for a
// 4 KiB chip comes near it, and reading one would only tie up memory.
inline constexpr std::uint64_t kMaxTextFileBytes = 64ull * 1024 * 1024;

// Reads a text file's lines (LF or CRLF). Returns an error text naming the
// file and the reason when it cannot be read, is not a regular file, holds
// NUL bytes or is too large; `lines` is left untouched then.
std::optional<std::string> LoadLines(const std::string& path, Lines& lines);

// Reads text lines from an open descriptor (standard input) to its end, with
// LoadLines' limits; `name` stands for it in error texts.
std::optional<std::string> ReadLines(int fd, const std::string& name, Lines& lines);

// A regular file's bytes, with LoadLines' checks and size limit.
std::optional<std::string> LoadBytes(const std::string& path, std::string& bytes);

// Writes the lines, each ended by LF, to a temporary file in the same
// directory, flushes it to disk and renames it over `path`: a failed save
// leaves the old file as it was. Returns an error text on failure.
std::optional<std::string> SaveLines(const std::string& path, const Lines& lines);

// SaveLines for any bytes: the same atomic replacement.
std::optional<std::string> SaveBytes(const std::string& path, std::string_view bytes);

}  // namespace lpt51::image
