// The built program, run as a user runs it: one process per command, the
// virtual chip carried from run to run in its state file.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "CliTestSupport.h"

extern char** environ;

namespace lpt51::cli {
namespace {

using test::kEnd;
using test::Record;
using ::testing::HasSubstr;

class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* bin = std::getenv("LPT51_BIN_DIR");
        program = std::string(bin ? bin : "") + "/lpt51";
        if (!std::filesystem::exists(program)) GTEST_SKIP() << "no program at " << program;
    }

    // Standard output goes to the file "out" unless `stdoutFd` is given, and
    // standard input comes from `stdinFd` when it is given.
    pid_t start(const std::vector<std::string>& args, const std::string& timing = "virtual",
                int stdinFd = -1, int stdoutFd = -1) {
        std::vector<std::string> all{program, "--port", "sim:" + dir.path("chip.state"),
                                     "--sim-timing", timing};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        if (stdinFd >= 0) posix_spawn_file_actions_adddup2(&fa, stdinFd, 0);
        if (stdoutFd >= 0) {
            posix_spawn_file_actions_adddup2(&fa, stdoutFd, 1);
        } else {
            posix_spawn_file_actions_addopen(&fa, 1, dir.path("out").c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        }
        posix_spawn_file_actions_addopen(&fa, 2, dir.path("err").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = -1;
        const int rc = posix_spawn(&pid, program.c_str(), &fa, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&fa);
        EXPECT_EQ(rc, 0);
        return pid;
    }

    int wait(pid_t pid) {
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    int run(const std::vector<std::string>& args) { return wait(start(args)); }
    std::string out() { return test::ReadAll(dir.path("out")); }
    std::string err() { return test::ReadAll(dir.path("err")); }

    std::string program;
    test::TempDir dir;
};

TEST_F(ProgramTest, WriteInOneRunReadAndVerifyInTheNext) {
    const std::string hex = dir.write("p.hex", {Record(0x100, {1, 2, 3, 4}), kEnd});
    ASSERT_EQ(run({"--device=12v", "write", hex}), 0) << err();
    ASSERT_EQ(run({"verify", hex}), 0) << err();
    ASSERT_EQ(run({"--quiet", "read", dir.path("back.hex")}), 0) << err();
    EXPECT_THAT(test::ReadAll(dir.path("back.hex")), HasSubstr(":10010000"
                                                               "01020304"
                                                               "FFFFFFFFFFFFFFFFFFFFFFFF"));
    ASSERT_EQ(run({"--device", "12v", "erase"}), 0) << err();
    EXPECT_EQ(run({"verify", hex}), 1);
    EXPECT_THAT(out(), HasSubstr("4 bytes differ"));
}

TEST_F(ProgramTest, WriteFromAPipeAndReadIntoAPipe) {
    int in[2], out[2];
    ASSERT_EQ(pipe2(in, O_CLOEXEC), 0);
    ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
    const std::string hex = Record(0x100, {1, 2, 3, 4}) + "\r\n" + kEnd + "\r\n";
    const pid_t writer = start({"--device", "12v", "write", "-"}, "virtual", in[0]);
    close(in[0]);
    ASSERT_EQ(::write(in[1], hex.data(), hex.size()), static_cast<ssize_t>(hex.size()));
    close(in[1]);
    ASSERT_EQ(wait(writer), 0) << err();

    const pid_t reader = start({"--quiet", "read", "-"}, "virtual", -1, out[1]);
    close(out[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    close(out[0]);
    ASSERT_EQ(wait(reader), 0) << err();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 257);
    EXPECT_THAT(text, HasSubstr("\n:1001000001020304FFFFFFFFFFFFFFFFFFFFFFFFF1\n"));
    EXPECT_FALSE(std::filesystem::exists(dir.path("-")));
}

TEST_F(ProgramTest, EveryExitCode) {
    EXPECT_EQ(run({"info"}), 0);
    EXPECT_EQ(run({"lock", "9"}), 2);
    EXPECT_EQ(run({"erase"}), 1);  // no device selected
    EXPECT_EQ(run({"--sim-port", "spp", "read", dir.path("x.hex")}), 3);
    EXPECT_THAT(err(), HasSubstr("cannot read the chip"));
}

TEST_F(ProgramTest, InterruptLeavesThePortAtRestAndSaysSo) {
    std::vector<std::string> lines;
    for (unsigned a = 0; a < 4096; a += 16)
        lines.push_back(Record(a, std::vector<unsigned>(16, 0x55)));
    lines.push_back(kEnd);
    const std::string hex = dir.write("full.hex", lines);
    // Real timing makes the write last long enough to be interrupted.
    const pid_t pid = start({"--device", "12v", "write", hex}, "real");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    kill(pid, SIGINT);
    const int code = wait(pid);
    if (code == 0) GTEST_SKIP() << "the write finished before the signal";
    EXPECT_EQ(code, 130) << err();
    EXPECT_THAT(err(), HasSubstr("port is at rest"));
    // The chip file is still a chip file the next run can use.
    EXPECT_EQ(run({"signature"}), 0) << err();
}

}  // namespace
}  // namespace lpt51::cli
