// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "file/StateDirectory.h"

namespace lpt51::image {

// Fixed file names; each lies in the directory of AppDirs::files.
inline constexpr const char* kTempHex = "temxyzbg.hex";
inline constexpr const char* kTempD51 = "temxyzbg.d51";
inline constexpr const char* kTempBase = "temxyzbg";  // what the disassembler is given
inline constexpr const char* kDisassembler = "d51";
inline constexpr const char* kNoBidiMarker = "Zelmoxx.dat";
inline constexpr const char* kDefault12VMarker = "89c51_12.dat";

// The directory of the running executable with a trailing '/', from
// /proc/self/exe; "./" when that link cannot be read.
std::string AppDirOfExecutable();

// Where the program finds d51 and where it keeps its marker and temporary
// files, each with a trailing '/'.
struct AppDirs {
    std::string program;  // the executable's directory
    std::string files;    // `program` when the user can write there, else StateDirectory()
};

// A package installs the program where its users cannot write; their state
// directory takes the files then, created (mode 0700) when missing. When no
// state directory can be made, `files` stays `program` and the file
// operations report why they fail.
AppDirs ResolveAppDirs(const std::string& programDir);

using file::StateDirectory;

// The disassembler beside the executable, else where a package installs it
// (the libexec directory of the executable's prefix); the first when neither
// exists, so a message can name it.
std::string DisassemblerPath(const std::string& programDir);

// `appDir` (with its trailing '/') joined with a fixed name.
std::string AppPath(const std::string& appDir, const std::string& name);

bool FileExists(const std::string& path);

// Creates an empty file (presence is what counts); true on success. An
// existing file is left as it is.
bool CreateMarker(const std::string& path);

// Deletes a file; a failure (no such file, no permission) is ignored.
void DeleteQuietly(const std::string& path);

}  // namespace lpt51::image
