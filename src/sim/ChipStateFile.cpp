// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/ChipStateFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <vector>

#include "file/ReadFile.h"
#include "file/ReplaceFile.h"
#include "file/System.h"

namespace lpt51::sim {

namespace {

constexpr const char* kMagic = "lpt51 virtual chip state";
constexpr int kVersion = 1;
constexpr std::size_t kBytesPerLine = 16;
// A real state file is about 9 KiB; anything far larger is not one, and is
// not read into memory whole.
constexpr std::size_t kMaxFileSize = 64 * 1024;

std::uint32_t crc32(const std::string& text) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : text) {
        crc ^= c;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

const char* kindWord(ChipKind kind) {
    switch (kind) {
        case ChipKind::Part12V:
            return "12V";
        case ChipKind::Part5V:
            return "5V";
        case ChipKind::Empty:
            return "empty";
        case ChipKind::Foreign:
            return "foreign";
    }
    return "?";
}

std::string hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

// Upper-case hexadecimal of exactly text.size() digits.
std::optional<unsigned> parseHex(const std::string& text) {
    if (text.empty() || text.size() > 8) return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        value <<= 4;
        if (c >= '0' && c <= '9') {
            value |= static_cast<unsigned>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            value |= static_cast<unsigned>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
    }
    return value;
}

std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> out;
    std::istringstream in(line);
    std::string word;
    while (in >> word) out.push_back(word);
    return out;
}

// The format a "version N" line names when it is one this program does
// not know yet; such a file is not damaged, only beyond this program.
std::optional<long> newerFormat(const std::string& line) {
    const std::string key = "version ";
    if (line.size() <= key.size() || line.size() > key.size() + 9 ||
        line.compare(0, key.size(), key) != 0)
        return std::nullopt;
    long format = 0;
    for (std::size_t i = key.size(); i < line.size(); ++i) {
        if (line[i] < '0' || line[i] > '9') return std::nullopt;
        format = format * 10 + (line[i] - '0');
    }
    if (format <= kVersion) return std::nullopt;
    return format;
}

std::string lineError(std::size_t number, const std::string& what) {
    return "line " + std::to_string(number) + ": " + what;
}

// Reads the lines after the magic and version; every check names the line.
bool parseBody(const std::vector<std::string>& lines, ChipState& chip, std::string& error) {
    std::size_t n = 2;  // index of the next line
    auto expectWords = [&](const char* key) -> std::optional<std::vector<std::string>> {
        if (n >= lines.size()) {
            error = lineError(n + 1, std::string("missing; expected \"") + key + "\"");
            return std::nullopt;
        }
        std::vector<std::string> w = words(lines[n]);
        if (w.empty() || w[0] != key) {
            error = lineError(n + 1, std::string("expected \"") + key + "\"");
            return std::nullopt;
        }
        ++n;
        return w;
    };

    auto kind = expectWords("kind");
    if (!kind) return false;
    bool known = false;
    for (ChipKind k : {ChipKind::Part12V, ChipKind::Part5V, ChipKind::Empty, ChipKind::Foreign}) {
        if (kind->size() == 2 && (*kind)[1] == kindWord(k)) {
            chip.kind = k;
            known = true;
        }
    }
    if (!known) {
        error = lineError(n, "unknown chip kind (12V, 5V, empty or foreign)");
        return false;
    }

    auto lock = expectWords("lock");
    if (!lock) return false;
    if (lock->size() != 4) {
        error = lineError(n, "expected three lock bits");
        return false;
    }
    for (std::size_t i = 0; i < 3; ++i) {
        const std::string& bit = (*lock)[i + 1];
        if (bit != "0" && bit != "1") {
            error = lineError(n, "a lock bit is neither 0 nor 1");
            return false;
        }
        chip.lockBits[i] = bit == "1";
    }

    auto stuck = expectWords("stuck");
    if (!stuck) return false;
    const auto mask =
        stuck->size() == 2 && (*stuck)[1].size() == 2 ? parseHex((*stuck)[1]) : std::nullopt;
    if (!mask) {
        error = lineError(n, "the stuck mask is not two hexadecimal digits");
        return false;
    }
    chip.stuckMask = static_cast<std::uint8_t>(*mask);

    auto weak = expectWords("weak");
    if (!weak) return false;
    chip.weakCells.clear();
    for (std::size_t i = 1; i < weak->size(); ++i) {
        const auto cell = (*weak)[i].size() == 3 ? parseHex((*weak)[i]) : std::nullopt;
        if (!cell) {
            error = lineError(n, "a weak cell is not a three-digit address");
            return false;
        }
        chip.weakCells.push_back(static_cast<std::uint16_t>(*cell));
    }

    auto code = expectWords("code");
    if (!code) return false;
    if (code->size() != 2 || (*code)[1] != std::to_string(chip::kCodeSize)) {
        error = lineError(n, "the code size is not " + std::to_string(chip::kCodeSize));
        return false;
    }
    for (std::size_t address = 0; address < chip::kCodeSize; address += kBytesPerLine) {
        if (n >= lines.size()) {
            error = lineError(n + 1, "missing; the code ends before address " + hex(address, 3));
            return false;
        }
        const std::vector<std::string> w = words(lines[n]);
        ++n;
        if (w.size() != 2 || w[0] != hex(static_cast<unsigned>(address), 3) ||
            w[1].size() != 2 * kBytesPerLine) {
            error = lineError(n, "expected address " + hex(address, 3) + " and 16 bytes");
            return false;
        }
        for (std::size_t i = 0; i < kBytesPerLine; ++i) {
            const auto byte = parseHex(w[1].substr(2 * i, 2));
            if (!byte) {
                error = lineError(n, "a code byte is not hexadecimal");
                return false;
            }
            chip.code[address + i] = static_cast<std::uint8_t>(*byte);
        }
    }
    if (n != lines.size()) {
        error = lineError(n + 1, "unexpected text after the code");
        return false;
    }
    return true;
}

std::string systemError(const std::string& action, const std::string& path, int err) {
    return action + " " + path + ": " + std::strerror(err);
}

enum class ReadOutcome { Ok, Missing, Failed };

using Kind = ChipStateRefusal::Kind;

ReadOutcome readWhole(const std::string& path, std::string& text, std::string& error, Kind& kind) {
    const auto problem = file::ReadRegularFile(path, kMaxFileSize, text);
    if (!problem) return ReadOutcome::Ok;
    using ReadKind = file::ReadProblem::Kind;
    if (problem->kind == ReadKind::Open && problem->error == ENOENT) return ReadOutcome::Missing;
    switch (problem->kind) {
        case ReadKind::Open:
        case ReadKind::Read:
            if (problem->error == ELOOP) {
                kind = Kind::NotAFile;
                error = "The virtual chip state file " + path +
                        " is a symbolic link that leads round in a loop; it is left as it is.";
            } else if (problem->error == ENOTDIR) {
                kind = Kind::NoDirectory;
                error = systemError("The virtual chip cannot be kept in", path, ENOTDIR);
            } else {
                kind = Kind::Unreadable;
                error =
                    systemError("Cannot read the virtual chip state file", path, problem->error);
            }
            break;
        case ReadKind::NotRegular:
            kind = Kind::NotAFile;
            error = "The virtual chip state file " + path +
                    " is not a regular file; it is left as it is.";
            break;
        case ReadKind::TooLarge:
            kind = Kind::Foreign;
            error = "The file " + path +
                    " is not a virtual chip state file (it is far too large); it is left as "
                    "it is.";
            break;
    }
    return ReadOutcome::Failed;
}

// The load's verdict on text read from `path`.
ChipStateLoad judge(const std::string& path, const std::string& text) {
    ChipStateLoad result;
    result.fileExisted = true;
    std::string error;
    if (auto chip = parseChipState(text, error)) {
        result.chip = std::move(chip);
        return result;
    }
    if (error.rfind("written by a newer", 0) == 0) {
        result.problem = Kind::Newer;
        result.error =
            "The virtual chip state file " + path + " was " + error + "; it is left as it is.";
    } else if (text.compare(0, std::strlen(kMagic), kMagic) != 0) {
        result.problem = Kind::Foreign;
        result.error = "The file " + path +
                       " is not a virtual chip state file (its first line "
                       "is not \"" +
                       kMagic + "\"); it is left as it is.";
    } else {
        result.problem = Kind::Damaged;
        result.error = "The virtual chip state file " + path + " is damaged (" + error +
                       "); it is left as it is.";
    }
    return result;
}

// A missing file is an erased chip only where one could be saved: a name in
// a directory that does not exist is a mistake, not a new chip.
std::optional<std::string> missingDirectory(const std::string& path) {
    const std::string resolved = file::ResolvedPath(path);
    const std::string dir = file::DirectoryOf(resolved.empty() ? path : resolved);
    struct stat info {};
    if (file::CurrentSystem().stat(dir.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return std::nullopt;
    return "The virtual chip cannot be kept in " + path + ": the directory " + dir +
           " does not exist.";
}

}  // namespace

std::string formatChipState(const ChipState& chip) {
    std::string text = std::string(kMagic) + "\nversion " + std::to_string(kVersion) + "\nkind " +
                       kindWord(chip.kind) + "\nlock";
    for (bool bit : chip.lockBits) text += bit ? " 1" : " 0";
    text += "\nstuck " + hex(chip.stuckMask, 2) + "\nweak";
    for (std::uint16_t cell : chip.weakCells) text += " " + hex(cell & 0xFFFu, 3);
    text += "\ncode " + std::to_string(chip::kCodeSize) + "\n";
    for (std::size_t address = 0; address < chip::kCodeSize; address += kBytesPerLine) {
        text += hex(static_cast<unsigned>(address), 3) + " ";
        for (std::size_t i = 0; i < kBytesPerLine; ++i) text += hex(chip.code[address + i], 2);
        text += "\n";
    }
    text += "crc32 " + hex(crc32(text), 8) + "\n";
    return text;
}

std::optional<ChipState> parseChipState(const std::string& text, std::string& error) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        if (end == std::string::npos) {
            error = "the file does not end with a complete line (cut short?)";
            return std::nullopt;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (lines.empty() || lines[0] != kMagic) {
        error = std::string("the first line is not \"") + kMagic + "\"";
        return std::nullopt;
    }
    if (const auto newer = lines.size() >= 2 ? newerFormat(lines[1]) : std::nullopt) {
        error = "written by a newer lpt51 (format " + std::to_string(*newer) +
                "); this one reads format " + std::to_string(kVersion);
        return std::nullopt;
    }
    if (lines.size() < 2 || lines[1] != "version " + std::to_string(kVersion)) {
        error = "line 2: not \"version " + std::to_string(kVersion) +
                "\", the only version this program reads";
        return std::nullopt;
    }
    // The check line covers every byte before it, so any change is caught
    // even where the layout still parses.
    const std::string& last = lines.back();
    if (last.compare(0, 6, "crc32 ") != 0) {
        error = "the last line is not the crc32 check (cut short?)";
        return std::nullopt;
    }
    const auto stored = last.size() == 14 ? parseHex(last.substr(6)) : std::nullopt;
    const std::string covered = text.substr(0, text.size() - last.size() - 1);
    if (!stored || *stored != crc32(covered)) {
        error = "the crc32 check does not match the content";
        return std::nullopt;
    }
    lines.pop_back();
    ChipState chip = ChipState::erased(ChipKind::Part12V);
    if (!parseBody(lines, chip, error)) return std::nullopt;
    error.clear();
    return chip;
}

ChipStateLoad loadChipState(const std::string& path, ChipKind kindIfMissing) {
    std::string text;
    ChipStateLoad result;
    switch (readWhole(path, text, result.error, result.problem)) {
        case ReadOutcome::Missing:
            if (auto error = missingDirectory(path)) {
                result.problem = Kind::NoDirectory;
                result.error = *error;
                return result;
            }
            result.chip = ChipState::erased(kindIfMissing);
            return result;
        case ReadOutcome::Failed:
            result.fileExisted = true;
            return result;
        case ReadOutcome::Ok:
            break;
    }
    return judge(path, text);
}

std::optional<std::string> refuseReplacing(const std::string& path) {
    // Only a valid state file, or no file at all, is ours to replace: the
    // file is judged again here, as it may have changed since it was loaded.
    std::string text;
    std::string error;
    Kind kind = Kind::Unreadable;
    switch (readWhole(path, text, error, kind)) {
        case ReadOutcome::Missing:
            return std::nullopt;
        case ReadOutcome::Failed:
            return "Will not save the virtual chip state over " + path + ": " + error;
        case ReadOutcome::Ok:
            break;
    }
    const ChipStateLoad existing = judge(path, text);
    if (existing.chip) return std::nullopt;
    return "Will not save the virtual chip state over " + path + ": " + existing.error;
}

std::string saveProblemText(const std::string& path, const file::ReplaceProblem& problem) {
    std::string error = systemError("Cannot save the virtual chip state to", path, problem.error);
    if (problem.step == file::ReplaceProblem::Step::Create) {
        error += " (temporary file in " + file::DirectoryOf(file::ResolvedPath(path)) + ")";
    }
    return error;
}

std::optional<std::string> saveChipState(const std::string& path, const ChipState& chip) {
    file::ReservedReplacement reserved;
    if (auto refusal = refuseReplacing(path)) return refusal;
    const std::string text = formatChipState(chip);
    if (auto problem = file::ReservedReplacement::reserve(path, text.size(), reserved)) {
        return saveProblemText(path, *problem);
    }
    return saveChipState(path, chip, reserved);
}

std::optional<std::string> saveChipState(const std::string& path, const ChipState& chip,
                                         file::ReservedReplacement& reserved) {
    if (auto refusal = refuseReplacing(path)) {
        reserved.abandon();
        return refusal;
    }
    if (auto problem = reserved.commit(formatChipState(chip)))
        return saveProblemText(path, *problem);
    return std::nullopt;
}

}  // namespace lpt51::sim
