// SPDX-License-Identifier: GPL-3.0-or-later
// What the built program does with the files around it when its own world is
// hostile: standard streams closed, a file-size limit, outputs that are
// devices or FIFOs, a chip the user may only read. Nothing the user owns may
// be lost or damaged, and each run ends with a message rather than a signal.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "../ScratchDir.h"
#include "../SpawnProgram.h"
#include "../TestFiles.h"
#include "sim/ChipStateFile.h"

namespace lpt51::e2e {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;
using test::WriteAll;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr uid_t kNobody = 65534;

// How a run is started beyond its words.
struct Launch {
    std::vector<int> closed;               // of 0, 1 and 2: left closed
    rlim_t fileSizeLimit = RLIM_INFINITY;  // ulimit -f, in bytes
    bool asNormalUser = false;             // as nobody when the tests run as root
};

std::string Record(unsigned address, unsigned value) {
    unsigned sum = 16 + (address >> 8) + (address & 0xFF);
    char line[64];
    std::snprintf(line, sizeof line, ":10%04X00", address);
    std::string text = line;
    for (int i = 0; i < 16; ++i) {
        std::snprintf(line, sizeof line, "%02X", value & 0xFF);
        text += line;
        sum += value & 0xFF;
    }
    std::snprintf(line, sizeof line, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
    return text + line;
}

// Every byte of the chip, 16 to a record.
std::string FullImage(unsigned value) {
    std::string text;
    for (unsigned a = 0; a < 4096; a += 16) text += Record(a, value + a / 16);
    return text + ":00000001FF\n";
}

class UserFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        program_ = test::BuiltProgram("lpt51");
        if (!fs::exists(program_)) GTEST_SKIP() << "no program at " << program_;
        WriteAll(path("p.hex"), FullImage(0x10));
    }

    std::string path(const std::string& name) const { return scratch_.path(name); }
    std::string err() const { return ReadAll(path("err")); }

    std::vector<std::string> words(const std::vector<std::string>& args) const {
        std::vector<std::string> all{program_,       "--port",  "sim:" + path("chip.state"),
                                     "--sim-timing", "virtual", "--quiet"};
        all.insert(all.end(), args.begin(), args.end());
        return all;
    }

    // Standard input from /dev/null, output and errors into "out" and "err",
    // less what `launch` closes.
    pid_t start(const std::vector<std::string>& args, const Launch& launch = {}) const {
        std::vector<std::string> all = words(args);
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        const std::string out = path("out"), errors = path("err");
        const pid_t pid = ::fork();
        if (pid != 0) return pid;
        const int in = ::open("/dev/null", O_RDONLY);
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        const int e = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (in < 0 || o < 0 || e < 0 || ::dup2(in, 0) < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0)
            ::_exit(126);
        for (int fd : {in, o, e})
            if (fd > 2) ::close(fd);
        for (int fd : launch.closed) ::close(fd);
        const rlimit limit{launch.fileSizeLimit, launch.fileSizeLimit};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
        if (launch.asNormalUser && ::getuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(126);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }

    static int wait(pid_t pid) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    int run(const std::vector<std::string>& args, const Launch& launch = {}) const {
        return wait(start(args, launch));
    }

    // Names in the scratch directory that a save left behind.
    std::vector<std::string> temporaries() const {
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(scratch_.dir())) {
            const std::string name = entry.path().filename().string();
            if (name.find(".tmp-") != std::string::npos) left.push_back(name);
        }
        return left;
    }

    std::string program_;
    test::ScratchDir scratch_;
};

TEST_F(UserFilesTest, ClosedStandardStreamsNeverLandInTheStateOrLockFile) {
    const std::string state = path("chip.state"), lock = state + ".lock";
    const std::string hex = path("small.hex");
    WriteAll(hex, Record(0x100, 0x20) + ":00000001FF\n");
    for (int mask = 1; mask < 8; ++mask) {
        Launch launch;
        for (int fd = 0; fd < 3; ++fd)
            if (mask & (1 << fd)) launch.closed.push_back(fd);
        const std::vector<std::vector<std::string>> commands{
            {"--device", "12v", "--yes", "cwv", hex},
            {"--device", "12v", "--yes", "write", hex},
            {"read", "-"},
            {"--device", "12v", "--yes", "lock", "1,2,3"},
        };
        for (const auto& command : commands) {
            SCOPED_TRACE("closed " + std::to_string(mask) + ": " + command[command.size() - 2] +
                         " " + command.back());
            EXPECT_EQ(run(command, launch), 0) << err();
            const sim::ChipStateLoad loaded = sim::loadChipState(state, sim::ChipKind::Empty);
            ASSERT_TRUE(loaded.chip) << loaded.error;
            EXPECT_EQ(loaded.chip->code[0x100], 0x20);
            EXPECT_FALSE(fs::exists(lock)) << "removed by its holder";
        }
    }
}

TEST_F(UserFilesTest, ReadWritesIntoDevicesAndFifosAndReplacesOnlyRegularFiles) {
    ASSERT_EQ(run({"--device", "12v", "--yes", "write", path("p.hex")}), 0) << err();
    const auto isCharacterDevice = [](const std::string& file) {
        struct stat info {};
        return ::lstat(file.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
    };
    // Copies of /dev/null, /dev/full and /dev/port: the system's own are not
    // put at risk.
    const std::string null = path("null"), full = path("full");
    if (::mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 &&
        ::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0) {
        for (const std::vector<std::string>& force : {std::vector<std::string>{}, {"--force"}}) {
            std::vector<std::string> args = force;
            args.insert(args.end(), {"read", null});
            EXPECT_EQ(run(args), 0) << err();
            EXPECT_TRUE(isCharacterDevice(null));
        }
        EXPECT_EQ(run({"--force", "read", full}), 1);
        EXPECT_THAT(err(), HasSubstr("Cannot write \"" + full + "\": No space left on device"));
        EXPECT_TRUE(isCharacterDevice(full));
        // The machine's I/O ports take no read-out, --force or not.
        const std::string ports = path("port");
        ASSERT_EQ(::mknod(ports.c_str(), S_IFCHR | 0600, makedev(1, 4)), 0);
        EXPECT_EQ(run({"--force", "read", ports}), 1);
        EXPECT_THAT(err(), HasSubstr(ports + " is a block device or the machine's memory"));
        EXPECT_TRUE(isCharacterDevice(ports));
    } else {
        std::cout << "(no device nodes without root: the FIFO only)\n";
    }

    // Waited for with a word, and without the chip held meanwhile.
    const std::string fifo = path("fifo.hex");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const pid_t reading = start({"--force", "read", fifo});
    for (int i = 0; i < 500 && err().find("waiting for a reader on " + fifo) == std::string::npos;
         ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_THAT(err(), HasSubstr("waiting for a reader on " + fifo));
    // A holder would have its lock file there.
    EXPECT_FALSE(fs::exists(path("chip.state.lock"))) << "the chip is held while waiting";
    const std::string text = ReadAll(fifo);
    EXPECT_EQ(wait(reading), 0) << err();
    EXPECT_EQ(text, FullImage(0x10));
    struct stat info {};
    ASSERT_EQ(::lstat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_THAT(temporaries(), ::testing::IsEmpty());
}

TEST_F(UserFilesTest, AFileSizeLimitEndsAWriteAsAnErrorAndLeavesNoTemporaryFile) {
    // A state file is about 9.5 KiB, a read-out 11 KiB, a write's trace megabytes.
    Launch limited;
    limited.fileSizeLimit = 10 * 1024;
    EXPECT_EQ(run({"read", path("out.hex")}, limited), 1);
    EXPECT_THAT(err(), HasSubstr("Cannot write \"" + path("out.hex") + "\": File too large"));
    EXPECT_FALSE(fs::exists(path("out.hex")));

    limited.fileSizeLimit = 64 * 1024;
    EXPECT_EQ(run({"--trace", path("w.txt"), "--device", "12v", "--yes", "write", path("p.hex")},
                  limited),
              1)
        << err();
    EXPECT_THAT(err(), HasSubstr("port trace " + path("w.txt") +
                                 " could not be written to its end (File too large)"));
    EXPECT_THAT(temporaries(), ::testing::IsEmpty());
    // Only the trace failed: the write went to its end, the port at rest,
    // and the chip was saved.
    EXPECT_EQ(run({"verify", path("p.hex")}), 0) << err();

    // What a read killed mid-save left is removed by the next save there.
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    wait(gone);
    const std::string orphan = path("out.hex.tmp-" + std::to_string(gone) + "-0123ABCD");
    WriteAll(orphan, ":10000000");
    ASSERT_EQ(run({"read", path("out.hex")}), 0) << err();
    EXPECT_FALSE(fs::exists(orphan));
    EXPECT_EQ(ReadAll(path("out.hex")), FullImage(0x10));
}

TEST_F(UserFilesTest, AChipInAReadOnlyDirectoryIsReadByANormalUserAndNeverProgrammed) {
    ASSERT_EQ(run({"--device", "12v", "--yes", "write", path("p.hex")}), 0) << err();
    const std::string state = path("chip.state");
    fs::remove(state + ".lock");
    const std::string before = ReadAll(state);
    ::chmod(state.c_str(), 0444);
    ::chmod(scratch_.dir().c_str(), 0555);
    Launch user;
    user.asNormalUser = true;
    const int verified = run({"verify", path("p.hex")}, user);
    if (verified == 127) {
        ::chmod(scratch_.dir().c_str(), 0755);
        GTEST_SKIP() << "the program cannot be run as a normal user from here";
    }
    EXPECT_EQ(verified, 0) << err();
    EXPECT_EQ(run({"signature"}, user), 0) << err();
    EXPECT_EQ(run({"blank"}, user), 1) << err();
    EXPECT_THAT(ReadAll(path("out")), HasSubstr("The chip is not blank"));
    EXPECT_EQ(run({"read", "-"}, user), 0) << err();
    EXPECT_EQ(ReadAll(path("out")), FullImage(0x10));
    EXPECT_EQ(run({"--device", "12v", "--yes", "erase"}, user), 3);
    EXPECT_THAT(err(), HasSubstr(state + " is read-only"));
    ::chmod(scratch_.dir().c_str(), 0755);
    EXPECT_EQ(ReadAll(state), before);
    EXPECT_FALSE(fs::exists(state + ".lock"));

    // One the user may not even read is a chip that cannot be used.
    ::chmod(state.c_str(), 0);
    if (::getuid() == 0 || ::access(state.c_str(), R_OK) != 0) {
        EXPECT_EQ(run({"signature"}, user), 3);
        EXPECT_THAT(err(), HasSubstr(state + ": Permission denied"));
    }
}

}  // namespace
}  // namespace lpt51::e2e
