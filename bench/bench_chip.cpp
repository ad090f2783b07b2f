// Full-chip write, read-out and verify on the virtual adapter with real
// timing, each beside the floor its busy waits and sleeps set:
//   write  4 ms of sleep + 8 delay units per byte (+1 unit per record)
//   read   90 delay units per byte
//   verify 54 delay units + 1 ms per byte
// Usage: bench_chip [DELAY_UNIT]  (default: 10 x the measured CPU MHz)

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "SilentPrompts.h"
#include "chip/Devices.h"
#include "chip/Erase.h"
#include "chip/ReadOut.h"
#include "chip/Verify.h"
#include "chip/Write.h"
#include "port/Calibration.h"
#include "sim/VirtualAdapter.h"

namespace {

using namespace lpt51;
using Seconds = std::chrono::duration<double>;

using bench::SilentPrompts;

template <typename F>
double Time(F&& f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return Seconds(std::chrono::steady_clock::now() - t0).count();
}

void Report(const char* what, double seconds, double floor) {
    std::printf("%-8s %8.3f s   floor %8.3f s   ratio %.3f\n", what, seconds, floor,
                seconds / floor);
}

}  // namespace

int main(int argc, char** argv) {
    std::uint32_t delayUnit = 0;
    if (argc > 1) {
        delayUnit = static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10));
    } else {
        const double mhz = MeasureCpuMHz();
        delayUnit = DelayUnitFromMHz(mhz);
        std::printf("CPU %.0f MHz\n", mhz);
    }
    if (delayUnit == 0) {
        std::fprintf(stderr, "delay unit is 0: give one on the command line\n");
        return 1;
    }

    RealClock clock;
    sim::VirtualAdapter adapter(clock, sim::PortKind::Bidirectional,
                                sim::ChipState::erased(sim::ChipKind::Part12V));
    Bus bus(adapter, clock, delayUnit);
    SilentPrompts prompts;
    chip::ProgrammerState state;
    chip::ChipContext ctx{bus, prompts, state};

    // One delay unit's real length, timed on a long wait.
    const std::uint32_t probeUnits = 20000;
    const double unitNs = Time([&] { bus.BusDelay(probeUnits); }) * 1e9 / probeUnits;
    const double unit = unitNs * 1e-9;
    std::printf("delay unit %u iterations = %.1f ns\n", delayUnit, unitNs);

    // An image of every address: the read-out of a patterned chip.
    for (std::size_t a = 0; a < 4096; ++a)
        adapter.chip().code[a] = static_cast<std::uint8_t>(a * 13 + 7);
    const image::Lines image = chip::ReadChip(ctx, nullptr);
    state.CwvActive = 1;
    chip::ClearChip(ctx, chip::kDevice12V);
    state.CwvActive = 0;
    const std::size_t eraseFaults = adapter.faults().size();
    if (eraseFaults != 0) std::printf("erase: %zu faults\n", eraseFaults);

    chip::WriteResult w;
    const double tw = Time([&] { w = chip::WriteImage(ctx, chip::kDevice12V, image, nullptr); });
    Report("write", tw, 4096 * (4e-3 + 8 * unit) + 256 * unit);

    image::Lines back;
    const double tr = Time([&] { back = chip::ReadChip(ctx, nullptr); });
    Report("read", tr, 4096 * 90 * unit);

    chip::VerifyResult v;
    const double tv = Time([&] { v = chip::VerifyImage(ctx, image, nullptr); });
    Report("verify", tv, 4096 * (54 * unit + 1e-3));

    const bool ok = w.completed && back == image && v.reachedEnd && v.mismatches == 0 &&
                    adapter.faults().empty();
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("peak memory %ld KiB\n", ru.ru_maxrss);
    std::printf("%s (%zu faults)\n", ok ? "image round trip ok" : "IMAGE ROUND TRIP FAILED",
                adapter.faults().size());
    for (std::size_t i = 0; i < adapter.faults().size() && i < 3; ++i)
        std::printf("  fault: %s\n", adapter.faults()[i].what.c_str());
    return ok ? 0 : 1;
}
