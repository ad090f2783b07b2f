// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
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

// ReadLines' bytes, not split.
std::optional<std::string> ReadBytes(int fd, const std::string& name, std::string& bytes);

// A regular file's bytes, with LoadLines' checks and size limit.
std::optional<std::string> LoadBytes(const std::string& path, std::string& bytes);

// LoadBytes that also takes a pipe, FIFO or socket a shell names; `waiting`
// is called when a stream has kept the program waiting for a moment.
std::optional<std::string> LoadStreamBytes(const std::string& path, std::string& bytes,
                                           const std::function<void()>& waiting);

// Text read elsewhere as lines, refused as LoadLines refuses it; `name`
// stands for its source in the error text.
std::optional<std::string> TextToLines(const std::string& name, const std::string& text,
                                       Lines& lines);

// Writes the lines, each ended by LF, to a temporary file in the same
// directory, flushes it to disk and renames it over `path`: a failed save
// leaves the old file as it was. Returns an error text on failure.
std::optional<std::string> SaveLines(const std::string& path, const Lines& lines);

// Whether SaveBytes could create its file at `path` now; the error text it
// would give if not.
std::optional<std::string> CheckSavable(const std::string& path);

// Writes the lines, each ended by LF, to the stream `path` names
// (/dev/stdout, /dev/fd/N, a FIFO): as they come, nothing replaced.
std::optional<std::string> WriteStreamLines(const std::string& path, const Lines& lines);
std::optional<std::string> WriteStreamBytes(const std::string& path, std::string_view bytes);

// SaveLines for any bytes: the same atomic replacement.
std::optional<std::string> SaveBytes(const std::string& path, std::string_view bytes);

}  // namespace lpt51::image
