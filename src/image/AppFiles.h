#pragma once

#include <string>

namespace lpt51::image {

// Fixed file names; each lies in the program's own directory.
inline constexpr const char* kTempHex = "temxyzbg.hex";
inline constexpr const char* kTempD51 = "temxyzbg.d51";
inline constexpr const char* kTempBase = "temxyzbg";  // what the disassembler is given
inline constexpr const char* kDisassembler = "d51";
inline constexpr const char* kNoBidiMarker = "Zelmoxx.dat";
inline constexpr const char* kDefault12VMarker = "89c51_12.dat";

// The directory of the running executable with a trailing '/', from
// /proc/self/exe; "./" when that link cannot be read.
std::string AppDirOfExecutable();

// `appDir` (with its trailing '/') joined with a fixed name.
std::string AppPath(const std::string& appDir, const std::string& name);

bool FileExists(const std::string& path);

// Creates an empty file (presence is what counts); true on success. An
// existing file is left as it is.
bool CreateMarker(const std::string& path);

// Deletes a file; a failure (no such file, no permission) is ignored.
void DeleteQuietly(const std::string& path);

}  // namespace lpt51::image
