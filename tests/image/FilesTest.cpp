#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "image/AppFiles.h"
#include "image/RunAndWait.h"
#include "image/SaveName.h"

namespace lpt51::image {
namespace {

namespace fs = std::filesystem;

TEST(SaveName, ExtensionOfTheFileNamePartIsReplacedOrAdded) {
    EXPECT_EQ(ChangeExtension("prog.txt", ".hex"), "prog.hex");
    EXPECT_EQ(ChangeExtension("prog", ".hex"), "prog.hex");
    EXPECT_EQ(ChangeExtension("prog.d51", ".hex"), "prog.hex");
    EXPECT_EQ(ChangeExtension("a.b.c", ".hex"), "a.b.hex");
    EXPECT_EQ(ChangeExtension("/home/u/prog.hex", ".d51"), "/home/u/prog.d51");
    EXPECT_EQ(ChangeExtension("/home/my.dir/prog", ".hex"), "/home/my.dir/prog.hex");
    EXPECT_EQ(ChangeExtension("/home/my.dir/prog.", ".hex"), "/home/my.dir/prog.hex");
}

TEST(AppFiles, DirectoryOfTheRunningProgram) {
    const std::string dir = AppDirOfExecutable();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_EQ(dir.front(), '/');
    EXPECT_TRUE(fs::is_directory(dir));
    EXPECT_EQ(AppPath(dir, kTempHex), dir + "temxyzbg.hex");
    EXPECT_EQ(AppPath("/opt/x", kTempD51), "/opt/x/temxyzbg.d51");
}

class ScratchDir : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ =
            (fs::temp_directory_path() / ("lpt51_files_" + std::to_string(::getpid()))).string() +
            "/";
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string dir_;
};

TEST_F(ScratchDir, MarkerFilesAreCreatedTestedAndDeleted) {
    const std::string marker = AppPath(dir_, kNoBidiMarker);
    EXPECT_FALSE(FileExists(marker));
    EXPECT_TRUE(CreateMarker(marker));
    EXPECT_TRUE(FileExists(marker));
    EXPECT_EQ(fs::file_size(marker), 0u);

    std::ofstream(AppPath(dir_, kDefault12VMarker)) << "kept";
    EXPECT_TRUE(CreateMarker(AppPath(dir_, kDefault12VMarker)));
    EXPECT_EQ(fs::file_size(AppPath(dir_, kDefault12VMarker)), 4u);

    DeleteQuietly(marker);
    EXPECT_FALSE(FileExists(marker));
    DeleteQuietly(marker);  // already gone: nothing happens
    EXPECT_FALSE(CreateMarker(dir_ + "no/such/dir/marker"));
}

TEST_F(ScratchDir, RunAndWaitRunsInTheWorkingDirectoryWithArguments) {
    const RunResult r = RunAndWait(
        "/bin/sh", {"-c", "echo \"$1\" > out.txt; echo why >&2; exit 3", "sh", "temxyzbg"}, dir_);
    ASSERT_TRUE(r.started);
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.exitStatus, 3);
    EXPECT_EQ(r.errorOutput, "why\n");
    std::ifstream in(dir_ + "out.txt");
    std::string word;
    in >> word;
    EXPECT_EQ(word, "temxyzbg");
}

TEST_F(ScratchDir, RunAndWaitReportsWhatDidNotStartOrWasKilled) {
    EXPECT_FALSE(RunAndWait(dir_ + "d51", {"temxyzbg"}, dir_).started);
    EXPECT_FALSE(RunAndWait("/bin/true", {}, dir_ + "missing").started);

    const RunResult killed = RunAndWait("/bin/sh", {"-c", "kill -TERM $$"}, dir_);
    ASSERT_TRUE(killed.started);
    EXPECT_FALSE(killed.exited);
    EXPECT_EQ(killed.signal, SIGTERM);
}

}  // namespace
}  // namespace lpt51::image
