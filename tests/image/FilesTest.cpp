#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

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
    // A directory the program can write keeps its files.
    EXPECT_EQ(ResolveAppDirs(dir).files, dir);
}

// Puts an environment variable back as it was when the test ends.
class SavedVariable {
  public:
    explicit SavedVariable(const char* name) : name_(name) {
        if (const char* value = std::getenv(name)) saved_ = value;
    }
    ~SavedVariable() {
        if (saved_) {
            setenv(name_, saved_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> saved_;
};

TEST(AppFiles, StateDirectoryFollowsXdgStateHomeOnlyWhenAbsolute) {
    const SavedVariable home("HOME"), state("XDG_STATE_HOME");
    setenv("HOME", "/home/someone", 1);
    setenv("XDG_STATE_HOME", "/var/state", 1);
    EXPECT_EQ(StateDirectory(), "/var/state/lpt51/");
    setenv("XDG_STATE_HOME", "relative/state", 1);
    EXPECT_EQ(StateDirectory(), "/home/someone/.local/state/lpt51/");
    unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(StateDirectory(), "/home/someone/.local/state/lpt51/");
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
