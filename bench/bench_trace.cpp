// SPDX-License-Identifier: GPL-3.0-or-later
// What a port trace costs: a full-chip write on the virtual adapter with real
// timing, without a trace, with a text trace and with a Value Change Dump,
// in alternating rounds so that drift in the machine's load falls on all three;
// then the same on virtual time, where tracing's own cost shows undiluted.
// Usage: bench_trace [ROUNDS] [DIRECTORY]  (default 1 round, traces in /tmp)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "backend/Backend.h"
#include "chip/Devices.h"
#include "chip/HexText.h"
#include "chip/Write.h"
#include "port/Calibration.h"
#include "port/RealTime.h"

namespace {

using namespace lpt51;
using Seconds = std::chrono::duration<double>;

// Messages go nowhere; a question would mean the run is not the one meant.
class SilentPrompts final : public Prompts {
  public:
    void showMessage(const std::string&) override {}
    Answer ask(QuestionKind, const std::string& text) override {
        std::fprintf(stderr, "unexpected question: %s\n", text.c_str());
        return Answer::Yes;
    }
};

// 256 records of 16 bytes with correct checksums, every byte programmed.
image::Lines FullImage() {
    image::Lines lines;
    for (unsigned address = 0; address < 4096; address += 16) {
        unsigned sum = 16 + (address >> 8) + (address & 0xFF);
        std::string line = ":10" + chip::Hex2(address >> 8) + chip::Hex2(address & 0xFF) + "00";
        for (unsigned i = 0; i < 16; ++i) {
            const unsigned b = ((address + i) * 13 + 7) & 0xFF;
            line += chip::Hex2(b);
            sum += b;
        }
        lines.push_back(line + chip::Hex2((0x100 - (sum & 0xFF)) & 0xFF));
    }
    lines.push_back(":00000001FF");
    return lines;
}

struct Run {
    double seconds = 0;
    bool ok = false;
    // A busy wait pre-empted on a loaded machine can stretch a pulse beyond
    // the chip's limit; the model counts it, and the run still counts.
    std::size_t faults = 0;
};

Run WriteOnce(const std::string& trace, std::uint32_t delayUnit, const image::Lines& image,
              bool virtualTiming = false) {
    BackendOptions options;
    options.port = "sim";
    options.trace = trace;
    options.virtualTiming = virtualTiming;
    std::unique_ptr<Backend> backend = Backend::open(options);
    if (!backend->usable()) {
        std::fprintf(stderr, "%s\n", backend->problem().c_str());
        return {};
    }
    Bus bus(*backend->port(), backend->clock(), delayUnit);
    SilentPrompts prompts;
    chip::ProgrammerState state;
    chip::ChipContext ctx{bus, prompts, state};
    // As the program runs an operation: unpre-empted where the system allows.
    std::optional<RealTimeSection> realTime;
    realTime.emplace(backend->clock());
    const auto t0 = std::chrono::steady_clock::now();
    const chip::WriteResult r =
        chip::WriteImage(ctx, chip::kDevice12V, chip::ScanImage(image), nullptr);
    realTime.reset();
    const bool persisted = !backend->persist().has_value();
    const std::vector<sim::Fault> faults = backend->virtualAdapter()->faults();
    backend.reset();  // the last of the trace reaches the file
    const double seconds = Seconds(std::chrono::steady_clock::now() - t0).count();
    if (!faults.empty()) std::printf("  first fault: %s\n", faults.front().what.c_str());
    return {seconds, r.completed && persisted, faults.size()};
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 1;
    const std::filesystem::path dir =
        argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::temp_directory_path();
    const double mhz = MeasureCpuMHz();
    const std::uint32_t delayUnit = DelayUnitFromMHz(mhz);
    if (delayUnit == 0 || rounds < 1) {
        std::fprintf(stderr, "usage: bench_trace [ROUNDS] [DIRECTORY] (CPU %.0f MHz)\n", mhz);
        return 1;
    }
    std::printf("CPU %.0f MHz, delay unit %u iterations, %d round(s)\n", mhz, delayUnit, rounds);

    const image::Lines image = FullImage();
    const std::string kinds[] = {"", (dir / "bench_trace.trace").string(),
                                 (dir / "bench_trace.vcd").string()};
    const char* names[] = {"no trace", "text trace", "vcd trace"};
    double total[3] = {0, 0, 0};
    bool ok = true;
    for (int round = 0; round < rounds; ++round) {
        for (int k = 0; k < 3; ++k) {
            const Run run = WriteOnce(kinds[k], delayUnit, image);
            ok = ok && run.ok;
            total[k] += run.seconds;
            std::printf("round %d  %-10s %8.3f s   %zu faults\n", round + 1, names[k], run.seconds,
                        run.faults);
            std::fflush(stdout);
        }
    }
    for (int k = 1; k < 3; ++k) {
        std::error_code ec;
        const auto size = std::filesystem::file_size(kinds[k], ec);
        std::printf("%-10s %8.3f s   ratio to no trace %.4f   file %.1f MiB\n", names[k],
                    total[k] / rounds, total[k] / total[0],
                    ec ? 0.0 : static_cast<double>(size) / (1 << 20));
    }
    std::printf("%-10s %8.3f s\n", names[0], total[0] / rounds);

    // The same writes on virtual time wait for nothing, so what tracing adds
    // stands out from the noise of pre-empted busy waits and late sleeps.
    constexpr int kVirtualRuns = 20;
    double virtualTotal[3] = {0, 0, 0};
    for (int run = 0; run < kVirtualRuns; ++run) {
        for (int k = 0; k < 3; ++k) {
            const Run r = WriteOnce(kinds[k], delayUnit, image, true);
            ok = ok && r.ok;
            virtualTotal[k] += r.seconds;
        }
    }
    const double base = virtualTotal[0] / kVirtualRuns;
    std::printf("virtual timing: no trace %.2f ms per write\n", base * 1e3);
    for (int k = 1; k < 3; ++k) {
        const double added = virtualTotal[k] / kVirtualRuns - base;
        std::printf(
            "virtual timing: %-10s %.2f ms per write: adds %.2f ms, %.3f %% of the "
            "real-timing write\n",
            names[k], virtualTotal[k] / kVirtualRuns * 1e3, added * 1e3,
            100 * added / (total[0] / rounds));
    }
    for (int k = 1; k < 3; ++k) {
        std::error_code ec;
        std::filesystem::remove(kinds[k], ec);
    }
    std::printf("%s\n", ok ? "all writes completed" : "A WRITE FAILED");
    return ok ? 0 : 1;
}
