// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/RunAndWait.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace lpt51::image {

RunResult RunAndWait(const std::string& program, const std::vector<std::string>& args,
                     const std::string& workingDir) {
    RunResult result;
    std::vector<std::string> argvStore;
    argvStore.push_back(program);
    argvStore.insert(argvStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argvStore) argv.push_back(a.data());
    argv.push_back(nullptr);

    // A close-on-exec pipe tells the parent whether chdir or exec failed in
    // the child: it stays silent exactly when the program was started.
    const auto notStarted = [&result](int err) {
        result.startError = std::strerror(err);
        return result;
    };
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return notStarted(errno);
    int errors[2];
    if (::pipe2(errors, O_CLOEXEC) != 0) {
        const int err = errno;
        ::close(report[0]);
        ::close(report[1]);
        return notStarted(err);
    }

    const pid_t pid = ::fork();
    if (pid < 0) {
        const int err = errno;
        for (int fd : {report[0], report[1], errors[0], errors[1]}) ::close(fd);
        return notStarted(err);
    }
    if (pid == 0) {
        // This program ignores them so that its own writes fail with an
        // error instead; the program started here keeps the usual ones.
        ::signal(SIGPIPE, SIG_DFL);
        ::signal(SIGXFSZ, SIG_DFL);
        ::close(report[0]);
        ::close(errors[0]);
        // dup2 clears close-on-exec on the copy: the program keeps it as stderr.
        if (::dup2(errors[1], STDERR_FILENO) < 0) ::_exit(127);
        if (workingDir.empty() || ::chdir(workingDir.c_str()) == 0)
            ::execv(program.c_str(), argv.data());
        const int err = errno;
        [[maybe_unused]] ssize_t n = ::write(report[1], &err, sizeof err);
        ::_exit(127);
    }
    ::close(report[1]);
    ::close(errors[1]);
    int childErr = 0;
    ssize_t n;
    do {
        n = ::read(report[0], &childErr, sizeof childErr);
    } while (n < 0 && errno == EINTR);
    ::close(report[0]);

    // Read to the end, so that a talkative program never blocks on a full
    // pipe; keep only the start.
    char buffer[512];
    for (;;) {
        const ssize_t got = ::read(errors[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        const std::size_t room = kErrorOutputLimit - result.errorOutput.size();
        result.errorOutput.append(buffer, std::min(room, static_cast<std::size_t>(got)));
    }
    ::close(errors[0]);

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return notStarted(errno);
    }
    if (n > 0) return notStarted(childErr);  // chdir or exec failed

    result.started = true;
    if (WIFEXITED(status)) {
        result.exited = true;
        result.exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

}  // namespace lpt51::image
