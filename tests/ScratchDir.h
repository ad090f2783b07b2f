// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "TestFiles.h"

namespace lpt51::test {

// A directory of its own for one test's files, removed with everything in
// it afterwards; mkdtemp makes it unique even when tests run side by side.
class ScratchDir {
  public:
    ScratchDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "lpt51-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
        dir_ = pattern;
    }
    ~ScratchDir() { std::filesystem::remove_all(dir_); }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& dir() const { return dir_; }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    // Files left in the directory: what a failed save must not add to.
    std::size_t entries() const {
        return static_cast<std::size_t>(
            std::distance(std::filesystem::directory_iterator(dir_), {}));
    }

    static std::string contents(const std::string& file) { return ReadAll(file); }
    static void put(const std::string& file, const std::string& bytes) { WriteAll(file, bytes); }

  private:
    std::filesystem::path dir_;
};

}  // namespace lpt51::test
