#include "image/RunAndWait.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

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
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return result;

    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return result;
    }
    if (pid == 0) {
        ::close(report[0]);
        if (workingDir.empty() || ::chdir(workingDir.c_str()) == 0)
            ::execv(program.c_str(), argv.data());
        const int err = errno;
        [[maybe_unused]] ssize_t n = ::write(report[1], &err, sizeof err);
        ::_exit(127);
    }
    ::close(report[1]);
    int childErr = 0;
    ssize_t n;
    do {
        n = ::read(report[0], &childErr, sizeof childErr);
    } while (n < 0 && errno == EINTR);
    ::close(report[0]);

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return result;
    }
    if (n > 0) return result;  // chdir or exec failed: not started

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
