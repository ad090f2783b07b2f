// SPDX-License-Identifier: GPL-3.0-or-later
// Bad input and faults, each given to the built program as a user would: every
// one must end with a message naming the problem, the right exit code, no
// crash, and nothing the user owns changed.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../ScratchDir.h"
#include "../SpawnProgram.h"
#include "../TestFiles.h"

namespace lpt51::e2e {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

using test::ReadAll;

using test::WriteAll;

// Four bytes at 0100 and the end record, checksums correct.
const std::string kHex = ":0401000001020304F1\r\n:00000001FF\r\n";

class BadInputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        program_ = test::BuiltProgram("lpt51");
        if (!fs::exists(program_)) GTEST_SKIP() << "no program at " << program_;
        WriteAll(path("p.hex"), kHex);
    }

    std::string path(const std::string& name) const { return scratch_.path(name); }

    // Runs the program on the virtual adapter with the given state file; a
    // signal counts as 128 + its number so a crash never looks like a refusal.
    int run(const std::vector<std::string>& args, const std::string& state = "chip.state") {
        std::vector<std::string> all{program_, "--port", "sim:" + path(state), "--sim-timing",
                                     "virtual"};
        all.insert(all.end(), args.begin(), args.end());
        return test::SpawnProgram(all, {}, path("out"), path("err"));
    }
    std::string out() const { return ReadAll(path("out")); }
    std::string err() const { return ReadAll(path("err")); }

    std::string program_;
    test::ScratchDir scratch_;
};

TEST_F(BadInputTest, UnusableHexFilesAreRefusedByNameAndLeftAsTheyAre) {
    fs::create_directories(path("adir"));
    WriteAll(path("nul.hex"), std::string(":0401\0\0\0\r\n", 10));
    WriteAll(path("empty.hex"), "");
    {
        // Sparse: 50 MB of zero bytes without writing them.
        const int fd = ::open(path("big.hex").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, 50 * 1024 * 1024), 0);
        ::close(fd);
    }
    {
        // Valid records, far more of them than the chip holds.
        std::string many;
        for (int i = 0; i < 250000; ++i) many += ":0401000001020304F1\r\n";
        WriteAll(path("many.hex"), many);
    }
    WriteAll(path("long.hex"), ":" + std::string(100 * 1024, 'A') + "\r\n");
    WriteAll(path("utf8.hex"), ":04\xC3\xA9\xC3\xA9\r\n:00000001FF\r\n");
    WriteAll(path("latin1.hex"), ":04\xE9\xE9\r\n:00000001FF\r\n");

    const std::vector<std::string> files{"adir",    "missing.hex", "nul.hex",  "empty.hex",
                                         "big.hex", "long.hex",    "utf8.hex", "latin1.hex"};
    ASSERT_EQ(run({"--device", "12v", "--yes", "erase"}), 0) << err();
    const std::string blank = ReadAll(path("chip.state"));
    for (const auto& name : files) {
        const std::string before = fs::is_regular_file(path(name)) ? ReadAll(path(name)) : "";
        for (const std::string command : {"check", "write"}) {
            SCOPED_TRACE(command + " " + name);
            EXPECT_EQ(run({"--device", "12v", "--yes", command, path(name)}), 1) << err();
            EXPECT_THAT(err(), HasSubstr(name));
            if (fs::is_regular_file(path(name))) {
                EXPECT_EQ(ReadAll(path(name)), before);
            }
            EXPECT_FALSE(fs::exists(path("missing.hex")));
            EXPECT_EQ(ReadAll(path("chip.state")), blank) << "the chip was touched";
        }
    }
}

TEST_F(BadInputTest, ReadNeverReplacesAFileUnaskedAndNamesAPathItCannotCreate) {
    WriteAll(path("mine.hex"), "my own notes\n");
    EXPECT_EQ(run({"read", path("mine.hex")}), 1);
    EXPECT_THAT(err(), HasSubstr("mine.hex"));
    EXPECT_THAT(err(), HasSubstr("--force"));
    EXPECT_EQ(ReadAll(path("mine.hex")), "my own notes\n");

    EXPECT_EQ(run({"read", path("nodir/back.hex")}), 1);
    EXPECT_THAT(err(), HasSubstr("nodir/back.hex"));
    EXPECT_FALSE(fs::exists(path("nodir")));
}

// Whatever is wrong with the chip's file, the chip cannot be used: one exit
// code, the file named, and left as it was.
TEST_F(BadInputTest, EveryStateFileThatCannotBeUsedIsNamedLeftAsItIsAndExitsThree) {
    ASSERT_EQ(run({"--device", "12v", "--yes", "write", path("p.hex")}), 0) << err();
    const std::string good = ReadAll(path("chip.state"));
    std::string damaged = good;
    const auto at = damaged.find("FFFF", damaged.find("code"));
    ASSERT_NE(at, std::string::npos);
    damaged[at] = 'E';

    const std::vector<std::pair<std::string, std::string>> states{
        {"damaged.state", damaged},
        {"picture.state", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)},
        {"script.state", "#!/bin/sh\necho hello\n"},
        {"empty.state", ""},
        {"newer.state", "lpt51 virtual chip state\nversion 7\n"},
        {"large.state", std::string(200 * 1024, '0')},
    };
    for (const auto& [name, bytes] : states) WriteAll(path(name), bytes);
    fs::create_directory(path("dir.state"));
    ASSERT_EQ(::mkfifo(path("fifo.state").c_str(), 0644), 0);
    fs::create_symlink("loop.state", path("loop.state"));
    const std::vector<std::string> others{"dir.state", "fifo.state", "loop.state",
                                          "nodir/chip.state", "p.hex/chip.state"};

    const auto refusedByName = [&](const std::string& name) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"info"}, std::vector<std::string>{"signature"},
              std::vector<std::string>{"--device", "12v", "--yes", "write", path("p.hex")}}) {
            SCOPED_TRACE(name + " " + args.back());
            EXPECT_EQ(run(args, name), 3) << err();
            EXPECT_THAT(err(), HasSubstr(name));
        }
    };
    for (const auto& [name, bytes] : states) {
        refusedByName(name);
        EXPECT_EQ(ReadAll(path(name)), bytes);
    }
    for (const std::string& name : others) refusedByName(name);
    EXPECT_TRUE(fs::is_directory(path("dir.state")));
    EXPECT_TRUE(fs::is_fifo(path("fifo.state")));
    EXPECT_TRUE(fs::is_symlink(path("loop.state")));
    EXPECT_FALSE(fs::exists(path("nodir")));

    // Held by a program other than lpt51: named by the process id the system
    // gives, whatever an earlier holder left in the lock file.
    WriteAll(path("chip.state.lock"), "1\n");
    const int lock = ::open(path("chip.state.lock").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(run({"signature"}), 3);
    EXPECT_THAT(err(), HasSubstr(path("chip.state") + " is in use by another program, "));
    EXPECT_THAT(err(), HasSubstr(" (pid " + std::to_string(::getpid()) + ")"));
    ::close(lock);
    EXPECT_EQ(ReadAll(path("chip.state")), good);
}

TEST_F(BadInputTest, AChipThatProgramsNothingFailsVerifyWithTheDifferences) {
    for (const std::string chip : {"empty", "foreign"}) {
        SCOPED_TRACE(chip);
        const std::string state = chip + ".state";
        run({"--sim-chip", chip, "--device", "12v", "--yes", "write", path("p.hex")}, state);
        EXPECT_EQ(
            run({"--sim-chip", chip, "--device", "12v", "--yes", "verify", path("p.hex")}, state),
            1);
        EXPECT_THAT(out(), HasSubstr("0100: chip FF, file 01"));
        EXPECT_THAT(out(), HasSubstr("4 bytes differ"));
    }
}

TEST_F(BadInputTest, TheWrongVariantWithoutYesIsRefusedAndTheChipKeepsItsContent) {
    ASSERT_EQ(run({"--sim-chip", "5v", "--device", "5v", "--yes", "erase"}), 0) << err();
    const std::string before = ReadAll(path("chip.state"));
    for (const std::string command : {"write", "erase"}) {
        SCOPED_TRACE(command);
        const std::vector<std::string> args =
            command == "write" ? std::vector<std::string>{"--device", "12v", "write", path("p.hex")}
                               : std::vector<std::string>{"--device", "12v", "erase"};
        EXPECT_EQ(run(args), 1) << err();
        EXPECT_THAT(out() + err(), HasSubstr("12V"));
        EXPECT_EQ(ReadAll(path("chip.state")), before);
    }
    // Read back: still blank where the file would have put 01 02 03 04.
    EXPECT_EQ(run({"--device", "5v", "verify", path("p.hex")}), 1);
    EXPECT_THAT(out(), HasSubstr("4 bytes differ"));
}

}  // namespace
}  // namespace lpt51::e2e
