// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Runs a built program as a user would: its own process, stdin from
// /dev/null, stdout and stderr into files, and the caller's environment with
// some variables added or replaced. With `aboveOthers`, the program runs in
// the lowest real-time class (SCHED_FIFO 1) where the system permits it, so
// no ordinary process can stretch its busy waits; elsewhere as usual.
#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace lpt51::test {

// A program the build made, by name ("lpt51"), in LPT51_BIN_DIR.
inline std::string BuiltProgram(const std::string& name) {
    const char* bin = std::getenv("LPT51_BIN_DIR");
    return std::string(bin ? bin : "") + "/" + name;
}

// Returns the exit code; a signal counts as 128 + its number, so a crash
// never looks like a refusal. -1 when the program could not be started.
inline int SpawnProgram(const std::vector<std::string>& argv,
                        const std::map<std::string, std::string>& variables,
                        const std::string& outFile, const std::string& errFile,
                        bool aboveOthers = false) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (variables.count(entry.substr(0, entry.find('='))) == 0) env.push_back(entry);
    }
    for (const auto& [name, value] : variables) env.push_back(name + "=" + value);
    std::vector<std::string> args = argv;
    std::vector<char*> argp, envp;
    for (auto& a : args) argp.push_back(a.data());
    argp.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&fa, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (aboveOthers) {
        sched_param priority{};
        priority.sched_priority = 1;
        posix_spawnattr_setschedpolicy(&attributes, SCHED_FIFO);
        posix_spawnattr_setschedparam(&attributes, &priority);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSCHEDULER);
    }
    pid_t pid = -1;
    int rc = posix_spawn(&pid, args[0].c_str(), &fa, &attributes, argp.data(), envp.data());
    if (rc == EPERM && aboveOthers) {
        rc = posix_spawn(&pid, args[0].c_str(), &fa, nullptr, argp.data(), envp.data());
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace lpt51::test
