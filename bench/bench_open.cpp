// SPDX-License-Identifier: GPL-3.0-or-later
// Open's load and validation walk on HEX files of growing size: time per MiB
// of text and peak resident memory. Each size runs in its own child process so
// that the peak belongs to that size alone.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/OpenWalk.h"
#include "image/RecordWriter.h"
#include "image/TextFile.h"

namespace {

using namespace lpt51::image;
using Clock = std::chrono::steady_clock;

struct Figures {
    double loadMs = 0;
    double walkMs = 0;
    long peakKiB = 0;
    int outcome = 0;
};

// Well-formed 16-byte records (addresses wrap) up to about `bytes` of text.
Lines MakeLines(std::size_t bytes) {
    Lines lines;
    std::uint8_t data[kRecordBytes];
    std::size_t size = 0;
    unsigned address = 0;
    unsigned seed = 1;
    while (size + 44 + 12 <= bytes || lines.empty()) {
        for (auto& b : data) b = static_cast<std::uint8_t>(seed = seed * 1103515245u + 12345u);
        lines.push_back(RecordLine(static_cast<std::uint16_t>(address), data));
        address = (address + 16) & 0xFF0;
        size += 44;
    }
    lines.emplace_back(kEndRecordLine);
    return lines;
}

Figures Measure(const std::string& path) {
    Figures f;
    const auto t0 = Clock::now();
    Lines lines;
    if (auto error = LoadLines(path, lines)) {
        std::fprintf(stderr, "%s\n", error->c_str());
        std::exit(1);
    }
    const auto t1 = Clock::now();
    const OpenResult r = ValidateImage(lines);
    const auto t2 = Clock::now();
    f.loadMs = std::chrono::duration<double, std::milli>(t1 - t0).count();
    f.walkMs = std::chrono::duration<double, std::milli>(t2 - t1).count();
    f.outcome = static_cast<int>(r.outcome);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    f.peakKiB = usage.ru_maxrss;
    return f;
}

}  // namespace

int main() {
    const std::size_t sizes[] = {4u << 10, 64u << 10, 1u << 20, 16u << 20};
    const char* names[] = {"4 KiB", "64 KiB", "1 MiB", "16 MiB"};
    const char* outcomes[] = {"accepted", "rejected", "too large"};
    const std::string path = "/tmp/lpt51_bench_open_" + std::to_string(getpid()) + ".hex";

    std::printf("%-8s %10s %10s %10s %12s %12s %10s\n", "file", "lines", "load ms", "walk ms",
                "load ms/MiB", "walk ms/MiB", "peak KiB");
    for (int i = 0; i < 4; ++i) {
        const Lines lines = MakeLines(sizes[i]);
        if (auto error = SaveLines(path, lines)) {
            std::fprintf(stderr, "%s\n", error->c_str());
            return 1;
        }
        int pipeFd[2];
        if (pipe(pipeFd) != 0) return 1;
        const pid_t pid = fork();
        if (pid == 0) {
            close(pipeFd[0]);
            const Figures f = Measure(path);
            if (write(pipeFd[1], &f, sizeof f) != static_cast<ssize_t>(sizeof f)) _exit(1);
            _exit(0);
        }
        close(pipeFd[1]);
        Figures f;
        const bool got = read(pipeFd[0], &f, sizeof f) == static_cast<ssize_t>(sizeof f);
        close(pipeFd[0]);
        waitpid(pid, nullptr, 0);
        if (!got) return 1;
        const double mib = static_cast<double>(sizes[i]) / (1 << 20);
        std::printf("%-8s %10zu %10.2f %10.2f %12.2f %12.2f %10ld  %s\n", names[i], lines.size(),
                    f.loadMs, f.walkMs, f.loadMs / mib, f.walkMs / mib, f.peakKiB,
                    outcomes[f.outcome]);
    }
    unlink(path.c_str());
    return 0;
}
