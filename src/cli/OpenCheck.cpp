#include "cli/OpenCheck.h"

#include <unistd.h>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace lpt51::cli {

namespace {

constexpr const char* kIllegalChar = "File contains illegal char =  ";
constexpr const char* kCorrupt = "File is corrupt   !!! \rControl sum is incorrect .";
constexpr const char* kTooLarge = "File has more than 4096 Byte !!";

// One record: every field converted, the checksum compared with the low byte
// of 0x10000 less the fields. Returns the window's message on failure.
std::optional<std::string> CheckRecord(const std::string& line, long& codeSize) {
    std::uint32_t acc = 0x10000;
    auto field = [&](std::size_t pos, std::uint8_t& value) -> std::optional<std::string> {
        auto v = image::ReadField(line, pos);
        if (!v) return std::string(kIllegalChar) + image::FieldText(line, pos) + " ! ";
        value = *v;
        return std::nullopt;
    };
    std::uint8_t count = 0;
    if (auto m = field(image::kCountPos, count)) return m;
    codeSize += count;
    acc -= count;
    for (std::size_t pos : {image::kAddrHighPos, image::kAddrLowPos, image::kTypePos}) {
        std::uint8_t v = 0;
        if (auto m = field(pos, v)) return m;
        acc -= v;
    }
    for (std::size_t k = 0; k < count; ++k) {
        std::uint8_t v = 0;
        if (auto m = field(image::kDataPos + 2 * k, v)) return m;
        acc -= v;
    }
    std::uint8_t sum = 0;
    if (auto m = field(image::kDataPos + 2 * std::size_t{count}, sum)) return m;
    if (sum != (acc & 0xFF)) return std::string(kCorrupt);
    return std::nullopt;
}

}  // namespace

OpenCheckResult CheckLikeOpen(const image::Lines& lines) {
    OpenCheckResult result;
    long codeSize = 0;
    // The window consumes its view line by line and stops when one line is
    // left; past the last line it reads an empty line, which is illegal.
    std::size_t counter = lines.size();
    for (std::size_t i = 0;; ++i) {
        const std::string line = i < lines.size() ? lines[i] : std::string();
        if (image::IsEndRecord(line)) break;
        if (auto m = CheckRecord(line, codeSize)) {
            result.message = *m;
            return result;
        }
        --counter;
        if (counter == 1) break;
    }
    if (codeSize > 4096) {
        result.message = kTooLarge;
        return result;
    }
    result.ok = true;
    result.codeSize = codeSize;
    return result;
}

std::optional<std::string> LoadTextFile(const std::string& path, image::Lines& lines) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "Cannot open " + path + ": " + std::strerror(errno);
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return "Cannot read " + path + ": " + std::strerror(errno);
    lines = image::SplitLines(text.str());
    return std::nullopt;
}

std::optional<std::string> SaveTextFile(const std::string& path, const image::Lines& lines) {
    const std::string temp = path + ".part" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return "Cannot create " + temp + ": " + std::strerror(errno);
        for (const auto& line : lines) out << line << '\n';
        out.flush();
        if (!out) {
            std::remove(temp.c_str());
            return "Cannot write " + temp + ": " + std::strerror(errno);
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        const std::string why = std::strerror(errno);
        std::remove(temp.c_str());
        return "Cannot write " + path + ": " + why;
    }
    return std::nullopt;
}

}  // namespace lpt51::cli
