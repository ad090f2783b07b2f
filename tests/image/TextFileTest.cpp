// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "image/TextFile.h"

namespace lpt51::image {
namespace {

namespace fs = std::filesystem;

class TextFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("lpt51_textfile_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(Path(name), std::ios::binary) << bytes;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }
    std::size_t EntryCount() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
    }

    fs::path dir_;
};

TEST_F(TextFileTest, LineBreaksLfCrlfAndCrReadAlike) {
    Write("lf.hex", ":a\n:b\n");
    Write("crlf.hex", ":a\r\n:b\r\n");
    Write("nofinal.hex", ":a\r\n:b");
    Write("cr.hex", ":a\r:b\r");  // as srec_cat -line-termination=cr writes
    for (const char* name : {"lf.hex", "crlf.hex", "nofinal.hex", "cr.hex"}) {
        Lines lines;
        ASSERT_FALSE(LoadLines(Path(name), lines).has_value()) << name;
        EXPECT_EQ(lines, (Lines{":a", ":b"})) << name;
    }
}

TEST_F(TextFileTest, RefusalsNameTheFileAndTheReason) {
    Lines lines{"untouched"};
    const auto missing = LoadLines(Path("none.hex"), lines);
    ASSERT_TRUE(missing.has_value());
    EXPECT_EQ(*missing, "Cannot open \"" + Path("none.hex") + "\": No such file or directory");

    fs::create_directory(dir_ / "folder.hex");
    const auto folder = LoadLines(Path("folder.hex"), lines);
    ASSERT_TRUE(folder.has_value());
    EXPECT_NE(folder->find("Is a directory"), std::string::npos) << *folder;

    Write("binary.hex", std::string(":10\0\0\0", 6));
    const auto binary = LoadLines(Path("binary.hex"), lines);
    ASSERT_TRUE(binary.has_value());
    EXPECT_NE(binary->find("NUL"), std::string::npos) << *binary;

    // A pipe with no writer is refused at once rather than waited on.
    ASSERT_EQ(::mkfifo(Path("pipe.hex").c_str(), 0600), 0);
    const auto pipe = LoadLines(Path("pipe.hex"), lines);
    ASSERT_TRUE(pipe.has_value());
    EXPECT_EQ(*pipe, "Cannot open \"" + Path("pipe.hex") + "\": not a regular file");

    // Sparse, so the test costs no disk space.
    { std::ofstream(Path("huge.hex")); }
    fs::resize_file(dir_ / "huge.hex", kMaxTextFileBytes + 1);
    const auto huge = LoadLines(Path("huge.hex"), lines);
    ASSERT_TRUE(huge.has_value());
    EXPECT_NE(huge->find("64 MiB"), std::string::npos) << *huge;

    EXPECT_EQ(lines, Lines{"untouched"});
}

TEST_F(TextFileTest, SaveWritesLfLinesAndReplacesTheOldFile) {
    Write("out.hex", "old content that is longer than the new\n");
    fs::permissions(dir_ / "out.hex",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_FALSE(SaveLines(Path("out.hex"), {":00000001FF", "x"}).has_value());
    EXPECT_EQ(Read("out.hex"), ":00000001FF\nx\n");
    EXPECT_EQ(fs::status(dir_ / "out.hex").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(EntryCount(), 1u);  // no temporary file left behind

    Lines back;
    ASSERT_FALSE(LoadLines(Path("out.hex"), back).has_value());
    EXPECT_EQ(back, (Lines{":00000001FF", "x"}));
}

TEST_F(TextFileTest, SaveThroughALinkWritesTheLinkedFile) {
    Write("target.hex", "old\n");
    fs::create_symlink(dir_ / "target.hex", dir_ / "link.hex");
    ASSERT_FALSE(SaveLines(Path("link.hex"), {"new"}).has_value());
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.hex"));
    EXPECT_EQ(Read("target.hex"), "new\n");
}

TEST_F(TextFileTest, FailedSavesLeaveTheOldFileAlone) {
    const auto noDir = SaveLines(Path("missing/out.hex"), {"x"});
    ASSERT_TRUE(noDir.has_value());
    EXPECT_NE(noDir->find("No such file or directory"), std::string::npos) << *noDir;

    fs::create_directory(dir_ / "folder.hex");
    EXPECT_TRUE(SaveLines(Path("folder.hex"), {"x"}).has_value());

    // A write that fails half-way (file size limit in a child process) must
    // not truncate the file it was meant to replace.
    Write("keep.hex", "precious\n");
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1000, 1000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const auto error = SaveLines(Path("keep.hex"), Lines(1000, std::string(40, 'A')));
        ::_exit(error.has_value() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "save did not report failure";
    EXPECT_EQ(Read("keep.hex"), "precious\n");
    EXPECT_EQ(EntryCount(), 2u);  // keep.hex and folder.hex only
}

}  // namespace
}  // namespace lpt51::image
