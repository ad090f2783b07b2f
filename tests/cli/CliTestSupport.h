#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../TestFiles.h"
#include "chip/HexText.h"

namespace lpt51::cli::test {

// One Intel HEX data record with a correct checksum.
inline std::string Record(unsigned address, const std::vector<unsigned>& bytes, unsigned type = 0) {
    unsigned sum = static_cast<unsigned>(bytes.size()) + (address >> 8) + (address & 0xFF) + type;
    std::string line = ":" + chip::Hex2(static_cast<unsigned>(bytes.size())) +
                       chip::Hex2(address >> 8) + chip::Hex2(address & 0xFF) + chip::Hex2(type);
    for (unsigned b : bytes) {
        line += chip::Hex2(b);
        sum += b;
    }
    return line + chip::Hex2((0x100 - (sum & 0xFF)) & 0xFF);
}

inline constexpr const char* kEnd = ":00000001FF";

// A scratch directory per test, removed afterwards.
class TempDir {
  public:
    TempDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // Parameterised tests have a "/" in their names.
        std::string name = std::string(info->test_suite_name()) + "_" + info->name();
        std::replace(name.begin(), name.end(), '/', '_');
        // mkdtemp: another build's run of the same test must not share it.
        std::string pattern =
            (std::filesystem::temp_directory_path() / ("lpt51_cli_" + name + "_XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
        dir_ = pattern;
    }
    ~TempDir() { std::filesystem::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    std::string write(const std::string& name, const std::vector<std::string>& lines) const {
        std::ofstream out(path(name), std::ios::binary);
        for (const auto& l : lines) out << l << "\r\n";
        return path(name);
    }

  private:
    std::filesystem::path dir_;
};

using lpt51::test::ReadAll;

}  // namespace lpt51::cli::test

namespace lpt51::cli {
// The records every command-line test builds its files from.
using test::kEnd;
using test::Record;
}  // namespace lpt51::cli
