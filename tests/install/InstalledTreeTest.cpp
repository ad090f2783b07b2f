// SPDX-License-Identifier: GPL-3.0-or-later
// The program installed as a package installs it, under a prefix its user
// cannot write: the window starts, its setting and its temporary files live in
// the user's state directory, and d51 runs from the libexec directory.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../cli/CliTestSupport.h"

namespace {

using lpt51::cli::test::ReadAll;

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr int kCannotDropPrivileges = 125;

struct Outcome {
    int code = -1;
    std::string out;
    std::string err;
};

class InstalledTree : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/lpt51-installed-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        // Another user must be able to reach the prefix and the probe.
        ASSERT_EQ(chmod(root.c_str(), 0755), 0);
        prefix = root + "/usr";
        home = root + "/home";
        fs::create_directory(home);

        const std::string log = root + "/install.log";
        const std::string install = std::string("'") + LPT51_CMAKE_COMMAND + "' --install '" +
                                    LPT51_BUILD_DIR + "' --prefix '" + prefix + "' >'" + log +
                                    "' 2>&1";
        ASSERT_EQ(std::system(install.c_str()), 0) << ReadAll(log);
        probe = root + "/installed_window_probe";
        fs::copy_file(LPT51_WINDOW_PROBE, probe);
        ASSERT_EQ(chmod(probe.c_str(), 0755), 0);

        if (geteuid() == 0) {
            // Root writes anywhere: the programs run as an unprivileged user.
            const passwd* nobody = getpwnam("nobody");
            uid = nobody != nullptr ? nobody->pw_uid : 65534;
            gid = nobody != nullptr ? nobody->pw_gid : 65534;
            ASSERT_EQ(chown(home.c_str(), uid, gid), 0);
        } else {
            uid = geteuid();
            gid = getegid();
        }
        SetReadOnly(true);
    }

    void TearDown() override {
        if (root.empty()) return;
        SetReadOnly(false);
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    void SetReadOnly(bool readOnly) {
        std::error_code ignored;
        if (!fs::exists(prefix, ignored)) return;
        // Read-only removes every write bit; the way back gives the owner
        // enough to delete the tree.
        const auto bits =
            readOnly ? fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write
                     : fs::perms::owner_write;
        const auto options = readOnly ? fs::perm_options::remove : fs::perm_options::add;
        fs::permissions(prefix, bits, options, ignored);
        for (const auto& entry : fs::recursive_directory_iterator(prefix, ignored))
            fs::permissions(entry.path(), bits, options, ignored);
    }

    // Runs `argv` as the test's user, with its home under the test directory
    // and no XDG_STATE_HOME, so the default state directory is used. Ends a
    // run that takes more than a minute.
    Outcome runAs(const std::vector<std::string>& argv) {
        const std::string out = root + "/out", err = root + "/err";
        const pid_t pid = fork();
        if (pid == 0) {
            const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (o < 0 || e < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(kCannotDropPrivileges);
            if (chdir(home.c_str()) != 0) _exit(kCannotDropPrivileges);
            if (geteuid() == 0) {
                if (setgroups(0, nullptr) != 0 || setresgid(gid, gid, gid) != 0 ||
                    setresuid(uid, uid, uid) != 0) {
                    dprintf(2, "cannot become uid %u: %s\n", uid, std::strerror(errno));
                    _exit(kCannotDropPrivileges);
                }
            }
            setenv("HOME", home.c_str(), 1);
            unsetenv("XDG_STATE_HOME");
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        Outcome r;
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        r.out = ReadAll(out);
        r.err = ReadAll(err);
        return r;
    }

    std::string root, prefix, home, probe;
    uid_t uid = 0;
    gid_t gid = 0;
};

TEST_F(InstalledTree, RunsFromAPrefixItCannotWriteWithItsFilesInTheStateDirectory) {
    for (const char* file :
         {"bin/lpt51", "libexec/lpt51/d51", "share/applications/lpt51.desktop",
          "share/icons/hicolor/scalable/apps/lpt51.svg", "share/man/man1/lpt51.1.gz",
          "share/man/man7/d51.7.gz", "share/bash-completion/completions/lpt51",
          "share/mime/packages/lpt51-intel-hex.xml", "share/doc/lpt51/examples/blink.c",
          "share/doc/lpt51/examples/blink.hex", "share/doc/lpt51/examples/Makefile",
          "share/doc/lpt51/copyright", "share/doc/lpt51/changelog.gz", "share/doc/lpt51/adapter.md",
          "share/doc/lpt51/adapter.svg", "share/metainfo/org.example.lpt51.metainfo.xml",
          "share/lintian/overrides/lpt51"}) {
        EXPECT_TRUE(fs::exists(prefix + "/" + file)) << file;
    }
    const std::string desktop = prefix + "/share/applications/lpt51.desktop";
    EXPECT_THAT(ReadAll(desktop), HasSubstr("Exec=" + prefix + "/bin/lpt51 %f\n"));
    // The icon by its name in the theme, and a second way in: the window on
    // the virtual adapter, its chip in the state directory.
    EXPECT_THAT(ReadAll(desktop), HasSubstr("\nIcon=lpt51\n"));
    EXPECT_THAT(ReadAll(desktop), HasSubstr("\n[Desktop Action try-without-hardware]\nName=Try "
                                            "without hardware\nExec=" +
                                            prefix + "/bin/lpt51 --port sim:\n"));

    const std::string program = prefix + "/bin/lpt51";
    const std::string state = home + "/.local/state/lpt51/";
    Outcome r = runAs({program, "--port", "sim", "--sim-timing", "virtual", "--screenshot",
                       home + "/window.png"});
    if (r.code == kCannotDropPrivileges) GTEST_SKIP() << r.err;
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(fs::exists(home + "/window.png"));
    r = runAs({program, "--port", "sim", "--sim-timing", "virtual", "info"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("Files: " + state + "\n"));
    // The installed example programs, as the manual page's EXAMPLES section does it.
    r = runAs({program, "--port", "sim", "--sim-timing", "virtual", "--device", "12v", "cwv",
               prefix + "/share/doc/lpt51/examples/blink.hex"});
    EXPECT_EQ(r.code, 0) << r.err;
    struct stat st {};
    ASSERT_EQ(stat(state.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    r = runAs({program, "--port", "sim:", "--sim-timing", "virtual", "--device", "12v", "erase"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(fs::exists(state + "virtual-chip.state"));
    EXPECT_FALSE(fs::exists(state + "virtual-chip.state.lock"));
    if (fs::exists("/usr/bin/desktop-file-validate")) {
        r = runAs({"/usr/bin/desktop-file-validate", desktop});
        EXPECT_EQ(r.code, 0);
        EXPECT_EQ(r.out + r.err, "");
    }

    // The default-device switch, then a new process: the setting is still there.
    r = runAs({probe, prefix, "def12"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("cpu: AT89C51-12V\n"));
    EXPECT_TRUE(fs::exists(state + "89c51_12.dat"));
    r = runAs({probe, prefix, "start"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("cpu: AT89C51-12V\n"));
    EXPECT_THAT(r.out, HasSubstr("Def12: &Set no default processor\n"));
    EXPECT_THAT(r.out, HasSubstr("Settings are kept in " + state +
                                 "; this window's temporary files in " + home + "/lpt51/window-"));

    // The disassembly view: d51 from libexec, working on files in the window's
    // own directory in the runtime directory, which goes with the window.
    const std::string hex = home + "/prog.hex";
    std::ofstream(hex) << ":03000000020030CB\n:0200300080FE50\n:00000001FF\n";
    r = runAs({probe, prefix, "disassemble", hex});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("LJMP  L0030"));
    EXPECT_THAT(r.out, Not(HasSubstr("Can not find file")));
    EXPECT_FALSE(fs::exists(state + "temxyzbg.hex"));
    for (const auto& entry : fs::directory_iterator(home + "/lpt51"))
        EXPECT_EQ(entry.path().filename().string().rfind("window-", 0), std::string::npos)
            << entry.path();

    // Nothing was left beside the programs.
    for (const char* dir : {"/bin", "/libexec/lpt51"}) {
        for (const auto& entry : fs::directory_iterator(prefix + dir)) {
            const std::string name = entry.path().filename().string();
            EXPECT_TRUE(name == "lpt51" || name == "d51") << entry.path();
        }
    }
}

}  // namespace
