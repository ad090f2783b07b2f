#include "backend/ChipStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace lpt51 {

namespace {

// A text file a person can read and diff: a header line, the chip's kind,
// lock bits, worn cells, then the 4096 code bytes 16 to a line.
constexpr const char* kHeader = "lpt51 virtual chip state 1";
constexpr std::size_t kBytesPerLine = 16;

const char* kindWord(sim::ChipKind kind) {
    switch (kind) {
        case sim::ChipKind::Part12V:
            return "12v";
        case sim::ChipKind::Part5V:
            return "5v";
        case sim::ChipKind::Empty:
            return "empty";
        case sim::ChipKind::Foreign:
            return "foreign";
    }
    return "?";
}

std::optional<sim::ChipKind> kindFromWord(const std::string& word) {
    for (auto kind : {sim::ChipKind::Part12V, sim::ChipKind::Part5V, sim::ChipKind::Empty,
                      sim::ChipKind::Foreign}) {
        if (word == kindWord(kind)) return kind;
    }
    return std::nullopt;
}

bool readHexByte(const std::string& text, std::uint8_t& out) {
    if (text.size() != 2) return false;
    unsigned value = 0;
    for (char c : text) {
        value <<= 4;
        if (c >= '0' && c <= '9') {
            value |= static_cast<unsigned>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            value |= static_cast<unsigned>(c - 'A' + 10);
        } else {
            return false;
        }
    }
    out = static_cast<std::uint8_t>(value);
    return true;
}

std::string serialise(const sim::ChipState& chip) {
    std::ostringstream out;
    char text[8];
    out << kHeader << "\nkind " << kindWord(chip.kind) << "\nlock " << chip.lockBits[0] << ' '
        << chip.lockBits[1] << ' ' << chip.lockBits[2];
    std::snprintf(text, sizeof text, "%02X", chip.stuckMask);
    out << "\nstuck " << text << "\nweak";
    for (std::uint16_t cell : chip.weakCells) {
        std::snprintf(text, sizeof text, " %03X", cell & 0xFFFu);
        out << text;
    }
    out << "\ncode\n";
    for (std::size_t i = 0; i < chip.code.size(); ++i) {
        std::snprintf(text, sizeof text, "%02X", chip.code[i]);
        out << text << ((i + 1) % kBytesPerLine == 0 ? '\n' : ' ');
    }
    return out.str();
}

bool readCell(const std::string& text, std::uint16_t& out) {
    if (text.size() != 3) return false;
    std::uint8_t high = 0, low = 0;
    if (!readHexByte("0" + text.substr(0, 1), high) || !readHexByte(text.substr(1), low)) {
        return false;
    }
    out = static_cast<std::uint16_t>(high << 8 | low);
    return true;
}

// The body after the header line; false for anything not exactly as written.
bool parseBody(std::istream& in, sim::ChipState& chip) {
    std::string word;
    if (!(in >> word) || word != "kind" || !(in >> word)) return false;
    const auto kind = kindFromWord(word);
    if (!kind) return false;
    chip.kind = *kind;
    if (!(in >> word) || word != "lock") return false;
    for (bool& bit : chip.lockBits) {
        if (!(in >> word) || (word != "0" && word != "1")) return false;
        bit = word == "1";
    }
    if (!(in >> word) || word != "stuck" || !(in >> word) || !readHexByte(word, chip.stuckMask)) {
        return false;
    }
    if (!(in >> word) || word != "weak") return false;
    chip.weakCells.clear();
    while (in >> word && word != "code") {
        std::uint16_t cell = 0;
        if (!readCell(word, cell)) return false;
        chip.weakCells.push_back(cell);
    }
    if (word != "code") return false;
    for (auto& byte : chip.code) {
        if (!(in >> word) || !readHexByte(word, byte)) return false;
    }
    return !(in >> word);  // nothing may follow
}

std::string reason(int err) {
    return std::strerror(err);
}

}  // namespace

LoadedChip loadChip(const std::string& path, sim::ChipKind kind) {
    LoadedChip result;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        result.fileExisted = true;
        result.problem = "Cannot read the virtual chip's state file " + path +
                         ": it is not a regular file; it is left as it is.";
        return result;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        const int err = errno;
        if (err == ENOENT) {
            result.chip = sim::ChipState::erased(kind);
            return result;
        }
        result.problem = "Cannot read the virtual chip's state file " + path + ": " + reason(err);
        return result;
    }
    result.fileExisted = true;
    std::string header;
    std::getline(in, header);
    if (header != kHeader) {
        result.problem = "The file " + path +
                         " is not a virtual chip state file; it is left as it is. Name another "
                         "file with --port sim:FILE.";
        return result;
    }
    sim::ChipState chip = sim::ChipState::erased(kind);
    if (!parseBody(in, chip)) {
        result.problem = "The virtual chip's state file " + path +
                         " is damaged; it is left as it is. Repair or delete it, or name another "
                         "file with --port sim:FILE.";
        return result;
    }
    result.chip = std::move(chip);
    return result;
}

std::optional<std::string> saveChip(const std::string& path, const sim::ChipState& chip) {
    // The file may have been replaced since it was loaded; only a state file
    // (or no file at all) is ours to replace.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        std::ifstream existing(path, std::ios::binary);
        std::string header;
        if (!S_ISREG(info.st_mode) || !std::getline(existing, header) || header != kHeader) {
            return "Cannot save the virtual chip's state to " + path +
                   ": the file there is not a virtual chip state file; it is left as it is.";
        }
    }
    // Written beside the target and renamed over it, so a crash or a full
    // disk leaves either the old state or the new one, never half of one.
    std::string temp = path + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        return "Cannot save the virtual chip's state to " + path + ": " + reason(errno);
    }
    // mkstemp makes the file private; give it the mode a new file would get.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    const std::string text = serialise(chip);
    std::size_t done = 0;
    int err = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            err = errno;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (err == 0 && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err == 0 && std::rename(temp.c_str(), path.c_str()) != 0) err = errno;
    if (err != 0) {
        std::remove(temp.c_str());
        return "Cannot save the virtual chip's state to " + path + ": " + reason(err);
    }
    return std::nullopt;
}

}  // namespace lpt51
