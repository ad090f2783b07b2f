#pragma once

#include <optional>
#include <string>

#include "image/HexField.h"

namespace lpt51::cli {

// What the window's Open command concludes about a text: the code size it
// shows, or the one message it would show.
struct OpenCheckResult {
    bool ok = false;
    long codeSize = 0;
    std::string message;  // the window's own text when !ok
};

// The Open command's validation walk and size limit over a copy of the lines.
OpenCheckResult CheckLikeOpen(const image::Lines& lines);

// Loads a file's lines; on failure returns a message naming the file and why.
std::optional<std::string> LoadTextFile(const std::string& path, image::Lines& lines);

// Writes lines (each ended by "\n") to a temporary file beside `path` and then
// renames it over `path`, so a failed write leaves no half-written file.
std::optional<std::string> SaveTextFile(const std::string& path, const image::Lines& lines);

}  // namespace lpt51::cli
