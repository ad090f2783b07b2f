// SPDX-License-Identifier: GPL-3.0-or-later
// The built program, run as a user runs it: one process per command, the
// virtual chip carried from run to run in its state file.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <thread>

#include "../SpawnProgram.h"
#include "CliTestSupport.h"

extern char** environ;

namespace lpt51::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

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
    // Whether the run `pid` has begun its operation: it holds the chip's
    // lock, and its signal handlers are in place.
    bool operationStarted(pid_t pid) {
        const std::string lock = dir.path("chip.state.lock");
        const std::string mine = std::to_string(pid) + "\n";
        for (int i = 0; i < 3000; ++i) {
            if (test::ReadAll(lock) == mine) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
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

// What a shell hands over for a file: <(cmd), /dev/stdout into a pipe, a
// FIFO, a raw image on standard input. The read-out is judged by a HEX reader
// of its own.
TEST_F(ProgramTest, EveryFileAShellCanNameIsTaken) {
    if (!std::filesystem::exists("/usr/bin/bash")) GTEST_SKIP() << "no bash";
    const std::string hex = dir.write("p.hex", {Record(0x100, {0xA5, 0x5A, 0x3C}), kEnd});
    const auto shell = [&](const std::string& script) {
        return lpt51::test::SpawnProgram(
            {"/usr/bin/bash", "-c", script},
            {{"P", program + " --port sim:" + dir.path("chip.state") + " --sim-timing virtual"}},
            dir.path("out"), dir.path("err"));
    };
    ASSERT_EQ(shell("$P check <(cat " + hex + ")"), 0) << err();
    EXPECT_EQ(out(), "Code size: 3 bytes\n");
    ASSERT_EQ(shell("$P -d 12v write <(cat " + hex + ")"), 0) << err();
    EXPECT_THAT(err(), HasSubstr("3 bytes in 0.0 s of virtual time"));
    if (std::filesystem::exists("/usr/lib/python3/dist-packages/intelhex")) {
        ASSERT_EQ(shell("$P -q read /dev/stdout | /usr/bin/python3 -c 'import sys, intelhex; "
                        "h = intelhex.IntelHex(sys.stdin); "
                        "print(h.minaddr(), h.maxaddr(), h[0x100], h[0x102], h[0x103])'"),
                  0)
            << err();
        EXPECT_EQ(out(), "0 4095 165 60 255\n");
    }

    // Raw bytes through standard input, said to be raw by --format.
    std::ofstream(dir.path("raw"), std::ios::binary) << std::string("\x02\x00\x30", 3);
    ASSERT_EQ(shell("$P -d 12v --format bin write - < " + dir.path("raw")), 0) << err();
    ASSERT_EQ(shell("$P -q --format bin read - | od -An -tx1 -N4"), 0) << err();
    EXPECT_EQ(out(), " 02 00 30 ff\n");

    // A FIFO nobody writes to yet: the program says what it waits for.
    ASSERT_EQ(shell("mkfifo " + dir.path("fifo") + " && { $P check " + dir.path("fifo") +
                    " & sleep 1; cat " + hex + " > " + dir.path("fifo") + "; wait $!; }"),
              0)
        << err();
    EXPECT_THAT(err(), HasSubstr("waiting for data on " + dir.path("fifo")));
    EXPECT_EQ(out(), "Code size: 3 bytes\n");
}

// Without a parport driver the library only guesses addresses; those are
// not ports found.
TEST_F(ProgramTest, PortsOnAMachineWithoutADriverSaysWhatToLoad) {
    if (std::filesystem::exists("/proc/sys/dev/parport") ||
        std::filesystem::exists("/proc/parport"))
        GTEST_SKIP() << "this machine has a parport driver";
    EXPECT_EQ(run({"ports"}), 0);
    EXPECT_EQ(out(), "");
    EXPECT_THAT(err(), HasSubstr("No parallel-port driver is loaded"));
    EXPECT_THAT(err(), HasSubstr("modprobe parport_pc ppdev"));
    EXPECT_EQ(run({"--port", "parport3", "info"}), 3);
    EXPECT_THAT(err(), Not(HasSubstr("Ports found")));
    EXPECT_THAT(err(), HasSubstr("No parallel-port driver is loaded"));
    // What can be told without a port is told.
    EXPECT_THAT(out(), HasSubstr("CPU clock: "));
    EXPECT_THAT(out(), HasSubstr("Files: "));
}

TEST_F(ProgramTest, EveryExitCode) {
    EXPECT_EQ(run({"info"}), 0);
    EXPECT_EQ(run({"lock", "9"}), 2);
    EXPECT_EQ(run({"erase"}), 2);  // no device selected
    EXPECT_THAT(err(), HasSubstr("--device 12v or --device 5v"));
    EXPECT_EQ(run({"frobnicate"}), 2);
    EXPECT_THAT(err(), HasSubstr("unknown command 'frobnicate'"));
    EXPECT_EQ(run({"wirte", "x.hex"}), 2);
    EXPECT_THAT(err(), HasSubstr("did you mean 'write'?"));
    EXPECT_EQ(run({"--sim-port", "spp", "read", dir.path("x.hex")}), 3);
    EXPECT_THAT(err(), HasSubstr("cannot read the chip"));
}

TEST_F(ProgramTest, NoDisplayIsAUsageErrorAndAScreenshotAlwaysEnds) {
    const auto spawn = [&](std::vector<std::string> args,
                           const std::map<std::string, std::string>& variables) {
        args.insert(args.begin(), {program, "--port", "sim:" + dir.path("chip.state")});
        return lpt51::test::SpawnProgram(args, variables, dir.path("out"), dir.path("err"));
    };
    const std::map<std::string, std::string> none{
        {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}};
    EXPECT_EQ(spawn({}, none), 2);
    EXPECT_THAT(err(), HasSubstr("no display to open the window on"));
    EXPECT_THAT(err(), HasSubstr("lpt51 --help"));
    // A display that is named but cannot be reached: Qt's fatal end is taken.
    EXPECT_EQ(spawn({}, {{"DISPLAY", ":97"}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}}), 2);
    EXPECT_THAT(err(), HasSubstr("no display to open the window on"));

    // The file's error message is a dialog of its own; the picture is still
    // taken and the program ends.
    const std::map<std::string, std::string> offscreen{{"QT_QPA_PLATFORM", "offscreen"}};
    EXPECT_EQ(spawn({"--screenshot", dir.path("s.png"), dir.path("missing.hex")}, offscreen), 0)
        << err();
    EXPECT_TRUE(std::filesystem::exists(dir.path("s.png")));
    EXPECT_EQ(spawn({"--screenshot", dir.path("no/s.png")}, offscreen), 1);
}

// A full image at real timing lasts seconds: long enough to be interrupted or
// overlapped.
std::vector<std::string> Image(unsigned bytes, unsigned value) {
    std::vector<std::string> lines;
    for (unsigned a = 0; a < bytes; a += 16)
        lines.push_back(Record(a, std::vector<unsigned>(16, value)));
    lines.push_back(kEnd);
    return lines;
}

TEST_F(ProgramTest, InterruptLeavesThePortAtRestSavesWhatWasProgrammedAndSaysSo) {
    const std::string hex = dir.write("full.hex", Image(4096, 0x55));
    const std::string trace = dir.path("write.trace");
    // On an output-only port nothing is read back after the stop, which
    // would end at rest of its own.
    for (const auto& [sig, port] : {std::pair{SIGINT, "bidi"}, std::pair{SIGHUP, "spp"}}) {
        ASSERT_EQ(run({"--device", "12v", "erase"}), 0) << err();
        const pid_t pid =
            start({"--sim-port", port, "--trace", trace, "--device", "12v", "write", hex}, "real");
        ASSERT_TRUE(operationStarted(pid)) << err();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // a few bytes
        kill(pid, sig);
        const int code = wait(pid);
        if (code == 0) GTEST_SKIP() << "the write finished before the signal";
        EXPECT_EQ(code, 128 + sig) << err();
        EXPECT_THAT(err(), HasSubstr("port is at rest"));
        // No programming mode, no 12 V and no driven byte left behind.
        EXPECT_TRUE(test::EndsAtRest(test::ReadAll(trace))) << sig;
        // What was programmed before the signal is in the state file.
        ASSERT_EQ(run({"--quiet", "--force", "read", dir.path("back.hex")}), 0) << err();
        EXPECT_THAT(test::ReadAll(dir.path("back.hex")), HasSubstr(":1000000055555555")) << sig;
    }
}

// The chip's lock held as another lpt51 holds it for the whole of its
// operation: here by the test itself, so that nothing races a write.
TEST_F(ProgramTest, ASecondWriterIsRefusedAtOnceAndTheFirstsImageStands) {
    const std::string first = dir.write("first.hex", Image(64, 0x11));
    const std::string second = dir.write("second.hex", Image(64, 0x22));
    ASSERT_EQ(run({"--device", "12v", "write", first}), 0) << err();
    const std::string state = dir.path("chip.state");
    const std::string before = test::ReadAll(state);
    {
        const int lock =
            ::open(dir.path("chip.state.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(lock, 0);
        ASSERT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
        const std::string mine = std::to_string(::getpid()) + "\n";
        ASSERT_EQ(::ftruncate(lock, 0), 0);
        ASSERT_EQ(::write(lock, mine.data(), mine.size()), static_cast<ssize_t>(mine.size()));
        EXPECT_EQ(run({"--device", "12v", "write", second}), 3);
        EXPECT_EQ(err(), "lpt51: the virtual chip " + state + " is in use by another lpt51 (pid " +
                             std::to_string(::getpid()) + ")\n");
        ::close(lock);
    }
    EXPECT_EQ(test::ReadAll(state), before);
    EXPECT_EQ(run({"verify", first}), 0) << out() << err();
}

TEST_F(ProgramTest, AReadOnlyStateFileIsReadButNeverProgrammed) {
    const std::string hex = dir.write("p.hex", {Record(0x100, {1, 2, 3, 4}), kEnd});
    ASSERT_EQ(run({"--device", "12v", "write", hex}), 0) << err();
    const std::string state = dir.path("chip.state");
    const std::string before = test::ReadAll(state);
    ::chmod(state.c_str(), 0444);
    EXPECT_EQ(run({"signature"}), 0) << err();
    EXPECT_EQ(run({"verify", hex}), 0) << err();
    // The virtual chip cannot be used for that: the port's exit code.
    EXPECT_EQ(run({"--device", "12v", "erase"}), 3);
    EXPECT_THAT(err(), HasSubstr(state + " is read-only"));
    EXPECT_EQ(test::ReadAll(state), before);
    struct stat info {};
    ASSERT_EQ(::stat(state.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0444u);
}

TEST_F(ProgramTest, ReadOntoALinkWritesWhatItNamesOnlyWithForceAndNeverThroughALoop) {
    namespace fs = std::filesystem;
    const std::string link = dir.path("out.hex"), target = dir.path("target.hex");
    fs::create_symlink("target.hex", link);
    EXPECT_EQ(run({"--quiet", "read", link}), 1);
    EXPECT_THAT(err(), HasSubstr("does not exist; give --force"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(run({"--quiet", "--force", "read", link}), 0) << err();
    EXPECT_TRUE(fs::is_symlink(link));
    const std::string written = test::ReadAll(target);
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 257);
    EXPECT_EQ(run({"--quiet", "read", link}), 1);  // now an existing file
    EXPECT_THAT(err(), HasSubstr(" exists; give --force"));

    const std::string loop = dir.path("loop.hex");
    fs::create_symlink("loop.hex", loop);
    EXPECT_EQ(run({"--quiet", "--force", "read", loop}), 1);
    EXPECT_THAT(err(), HasSubstr("leads round in a loop"));
    EXPECT_TRUE(fs::is_symlink(loop));
}

TEST_F(ProgramTest, AnImageWithoutDataIsRefusedByEveryCommandThatTakesOne) {
    const std::string empty = dir.write("empty.bin", {});
    const std::string endOnly = dir.write("end.hex", {kEnd});
    const std::string blank = dir.write("blank.hex", {});
    for (const char* command : {"write", "verify", "cwv", "check"}) {
        for (const std::string& file : {empty, endOnly, blank}) {
            EXPECT_EQ(run({"--device", "12v", command, file}), 1) << command << " " << file;
            EXPECT_THAT(err(), HasSubstr("the image holds no data: nothing to program"))
                << command << " " << file;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path("chip.state"))) << "the chip was touched";
}

// sigrok-cli, the reader behind PulseView, is the referee for the Value
// Change Dump: it must take every channel without a complaint, and the
// samples it makes of them must show the write as the adapter saw it.
TEST_F(ProgramTest, TraceOfAWriteIsAValueChangeDumpThatSigrokReads) {
    const std::string sigrok = "/usr/bin/sigrok-cli";
    if (!std::filesystem::exists(sigrok)) GTEST_SKIP() << "no " << sigrok;
    const std::string hex = dir.write("p.hex", {Record(0x123, {0xA5, 0x5A, 0x00}), kEnd});
    const std::string vcd = dir.path("w.vcd");
    ASSERT_EQ(run({"--trace", vcd, "--device", "12v", "write", hex}), 0) << err();

    auto sigrokRun = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {sigrok, "-i", vcd});
        return lpt51::test::SpawnProgram(args, {}, dir.path("out"), dir.path("err"));
    };
    ASSERT_EQ(sigrokRun({"--show"}), 0) << err();
    EXPECT_EQ(err(), "");
    EXPECT_THAT(out(), HasSubstr("Channels: 50\n"));
    for (const char* name : {"D0", "low_latch_strobe", "PROG", "data_direction", "read_D7", "A11",
                             "mode_P3_7", "VPP_12V", "chip_drives_P0", "P0_7", "fault"})
        EXPECT_THAT(out(), HasSubstr(std::string("- ") + name + ": logic\n"));

    ASSERT_EQ(sigrokRun({"-O", "csv"}), 0) << err();
    EXPECT_EQ(err(), "");
    std::istringstream csv(out());
    std::string line;
    std::vector<std::string> names;
    std::map<std::string, std::size_t> column;
    std::size_t samples = 0, pulses = 0, faultSamples = 0;
    std::string previous;
    while (std::getline(csv, line)) {
        const std::string channels = "; Channels (50/50): ";
        if (line.rfind(channels, 0) == 0) {
            std::istringstream list(line.substr(channels.size()));
            std::string name;
            while (std::getline(list, name, ',')) {
                column[name.substr(name.find_first_not_of(' '))] = names.size();
                names.push_back(name);
            }
            continue;
        }
        if (line.empty() || (line[0] != '0' && line[0] != '1')) continue;
        ASSERT_EQ(line.size(), 2 * names.size() - 1) << line;
        ++samples;
        auto level = [&](const char* name) { return line[2 * column.at(name)] == '1'; };
        if (level("fault")) ++faultSamples;
        if (level("PROG")) {
            // Code-byte mode, 12 V on EA/VPP, the address in the latches and
            // the byte on P0 from the port alone.
            EXPECT_FALSE(level("mode_P2_6"));
            EXPECT_TRUE(level("mode_P2_7") && level("mode_P3_6") && level("mode_P3_7"));
            EXPECT_TRUE(level("VPP_12V"));
            EXPECT_TRUE(level("port_drives_P0") && !level("chip_drives_P0"));
            EXPECT_TRUE(level("A8") && level("A5") && !level("A9"));
            if (previous.empty() || previous[2 * column.at("PROG")] == '0') ++pulses;
        }
        previous = line;
    }
    EXPECT_EQ(pulses, 3u);
    EXPECT_EQ(faultSamples, 0u);
    // A 1 MHz sample for every microsecond: at least the write's 3 x 4 ms of sleeps.
    EXPECT_GT(samples, 12000u);
}

}  // namespace
}  // namespace lpt51::cli
