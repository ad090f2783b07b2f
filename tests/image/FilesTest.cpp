// SPDX-License-Identifier: GPL-3.0-or-later
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
#include "image/WindowDirectory.h"

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

// Each window's temporary files in a directory of its own: what windows that
// no longer run left is removed as the next one starts, never what a running
// one holds, nor anything a link leads to.
TEST_F(ScratchDir, AWindowDirectoryIsPrivateAndLeftoversOfEndedWindowsGo) {
    const std::string base = dir_ + "windows/";
    fs::create_directories(base + "window-1-ended");
    std::ofstream(base + "window-1-ended/lock") << "1\n";
    std::ofstream(base + "window-1-ended/temxyzbg.hex") << ":00000001FF\n";
    fs::create_directories(base + "window-2-neverlocked");
    fs::create_directories(base + "window-3-running");
    file::FileLock running;
    ASSERT_FALSE(file::FileLock::acquire(base + "window-3-running/lock", running));
    std::ofstream(base + "window-3-running/temxyzbg.hex") << "mine\n";
    fs::create_directories(dir_ + "elsewhere");
    std::ofstream(dir_ + "elsewhere/temxyzbg.hex") << "not a window's\n";
    fs::create_directory_symlink(dir_ + "elsewhere", base + "window-4-link");
    std::ofstream(base + "notes.txt") << "kept\n";

    std::string made;
    {
        const std::unique_ptr<WindowDirectory> window = WindowDirectory::createIn(base);
        ASSERT_NE(window, nullptr);
        made = window->path();
        EXPECT_EQ(made.rfind(base + "window-" + std::to_string(::getpid()) + "-", 0), 0u) << made;
        EXPECT_EQ(made.back(), '/');
        EXPECT_EQ(fs::status(made).permissions() & fs::perms::all, fs::perms::owner_all);
        EXPECT_FALSE(fs::exists(base + "window-1-ended"));
        EXPECT_FALSE(fs::exists(base + "window-2-neverlocked"));
        EXPECT_TRUE(fs::exists(base + "window-3-running/temxyzbg.hex"));
        EXPECT_TRUE(fs::exists(dir_ + "elsewhere/temxyzbg.hex"));
        EXPECT_TRUE(fs::exists(base + "notes.txt"));

        // A second window keeps the first one's directory.
        std::ofstream(made + "temxyzbg.hex") << "first\n";
        const std::unique_ptr<WindowDirectory> second = WindowDirectory::createIn(base);
        ASSERT_NE(second, nullptr);
        EXPECT_NE(second->path(), made);
        EXPECT_TRUE(fs::exists(made + "temxyzbg.hex"));
    }
    // Gone with its window; the running one's stays until its lock is let go.
    EXPECT_FALSE(fs::exists(made));
    running.release();
    const std::unique_ptr<WindowDirectory> after = WindowDirectory::createIn(base);
    ASSERT_NE(after, nullptr);
    EXPECT_FALSE(fs::exists(base + "window-3-running"));
}

TEST_F(ScratchDir, WindowDirectoriesGoToTheRuntimeDirectoryOnlyWhenItIsPrivate) {
    const SavedVariable runtime("XDG_RUNTIME_DIR");
    const std::string files = dir_ + "state/";
    fs::create_directories(files);
    fs::create_directories(dir_ + "run");
    fs::permissions(dir_ + "run", fs::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", (dir_ + "run").c_str(), 1);
    EXPECT_EQ(WindowDirectory::create(files)->path().rfind(dir_ + "run/lpt51/window-", 0), 0u);

    // Others may write there (or it is not set): the settings' directory takes them.
    fs::permissions(dir_ + "run", fs::perms::all);
    EXPECT_EQ(RuntimeWindowsDirectory(), "");
    EXPECT_EQ(WindowDirectory::create(files)->path().rfind(files + "windows/window-", 0), 0u);
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(WindowDirectory::create(files)->path().rfind(files + "windows/window-", 0), 0u);
    EXPECT_EQ(fs::status(files + "windows").permissions() & fs::perms::all, fs::perms::owner_all);
}

}  // namespace
}  // namespace lpt51::image
