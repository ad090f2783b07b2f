// SPDX-License-Identifier: GPL-3.0-or-later
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

namespace lpt51::cli::test {

// The register writes of a text port trace (--trace FILE), in order: "WD 80",
// "WC 25".
inline std::vector<std::string> TraceWrites(const std::string& trace) {
    std::vector<std::string> writes;
    std::istringstream in(trace);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string time, direction, reg, value;
        fields >> time >> direction >> reg >> value;
        if (direction != "write") continue;
        writes.push_back((reg == "data" ? "WD " : "WC ") + value);
    }
    return writes;
}

inline std::size_t TraceDataReads(const std::string& trace) {
    std::size_t n = 0;
    for (std::size_t at = 0; (at = trace.find(" read data ", at)) != std::string::npos; ++at) ++n;
    return n;
}

// Whether the trace ends with the bus's release: the data lines at 80, the
// high latch strobed with idle mode (05, or 25 while the lines are inputs),
// the port's rest (07) and the data lines at 00.
inline ::testing::AssertionResult EndsAtRest(const std::string& trace) {
    const std::vector<std::string> w = TraceWrites(trace);
    if (w.size() >= 4 && w[w.size() - 4] == "WD 80" &&
        (w[w.size() - 3] == "WC 05" || w[w.size() - 3] == "WC 25") && w[w.size() - 2] == "WC 07" &&
        w.back() == "WD 00")
        return ::testing::AssertionSuccess();
    std::string tail;
    for (std::size_t i = w.size() > 8 ? w.size() - 8 : 0; i < w.size(); ++i) tail += w[i] + ", ";
    return ::testing::AssertionFailure() << "the trace ends " << tail;
}

}  // namespace lpt51::cli::test
