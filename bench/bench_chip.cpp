// Full-chip write, read-out and verify on the virtual adapter with real
// timing, each against the floor taken in the same run: the busy waits
// asked for, at 10 us a unit, plus the sleeps asked for. Then
// the window's write (its handler, painting between records) against the
// command line's (the chip layer's write with the command line's progress
// display), each on a chip erased just before.
// Usage: bench_chip [DELAY_UNIT]  (default: 10 x the measured CPU MHz)

#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "app/MainWindow.h"
#include "app/ViewText.h"
#include "chip/Devices.h"
#include "chip/Erase.h"
#include "chip/ReadOut.h"
#include "chip/Verify.h"
#include "chip/Write.h"
#include "cli/ProgressBar.h"
#include "image/RecordWriter.h"
#include "image/TextFile.h"
#include "port/Calibration.h"
#include "port/RealTime.h"
#include "sim/VirtualAdapter.h"

namespace {

using namespace lpt51;
using Seconds = std::chrono::duration<double>;

class SilentDialogs final : public app::Dialogs {
  public:
    void showMessage(const std::string&) override {}
    Answer ask(QuestionKind, const std::string& text) override {
        std::fprintf(stderr, "unexpected question: %s\n", text.c_str());
        return Answer::Yes;
    }
    std::string inputBox(const std::string&, const std::string&, const std::string& d) override {
        return d;
    }
    std::optional<std::string> chooseOpenFile(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> chooseSaveFile(const std::string&, const std::string&) override {
        return std::nullopt;
    }
};

struct Measured {
    double seconds = 0;
    double floor = 0;
    std::size_t faults = 0;
};

// Runs `f` and takes its time, its floor and the faults it caused from the
// clock and the adapter it runs on.
template <typename F>
Measured Measure(const RealClock& clock, const sim::VirtualAdapter& adapter, F&& f) {
    const auto busy = clock.busyAsked();
    const auto asked = clock.sleepAsked();
    const std::size_t faults = adapter.faults().size();
    const auto t0 = std::chrono::steady_clock::now();
    f();
    Measured m;
    m.seconds = Seconds(std::chrono::steady_clock::now() - t0).count();
    m.floor = Seconds(clock.busyAsked() - busy + clock.sleepAsked() - asked).count();
    m.faults = adapter.faults().size() - faults;
    return m;
}

void Report(const char* what, const Measured& m) {
    std::printf("%-22s %8.3f s   floor %8.3f s   ratio %.4f   faults %zu\n", what, m.seconds,
                m.floor, m.seconds / m.floor, m.faults);
}

void PrintFaults(const sim::VirtualAdapter& adapter) {
    for (std::size_t i = 0; i < adapter.faults().size() && i < 3; ++i)
        std::printf("  fault: %s\n", adapter.faults()[i].what.c_str());
}

// An image of every address, neither erased nor zero.
image::Lines PatternImage() {
    chip::CodeBytes bytes{};
    for (std::size_t a = 0; a < bytes.size(); ++a) bytes[a] = static_cast<std::uint8_t>(a * 13 + 7);
    return image::RenderImage(bytes);
}

// The chip layer, as the command line drives it.
bool CommandLineRun(std::uint32_t delayUnit, const image::Lines& image) {
    RealClock clock;
    sim::VirtualAdapter adapter(clock, sim::PortKind::Bidirectional,
                                sim::ChipState::erased(sim::ChipKind::Part12V));
    Bus bus(adapter, clock, delayUnit);
    SilentDialogs prompts;
    chip::ProgrammerState state;
    chip::ChipContext ctx{bus, prompts, state};
    const RealTimeSection realTime(clock);
    std::printf("real-time priority %s, memory %s\n", realTime.scheduled() ? "yes" : "refused",
                realTime.locked() ? "locked" : "not locked");

    const std::uint32_t probeUnits = 2000;
    const auto t0 = std::chrono::steady_clock::now();
    bus.BusDelay(probeUnits);
    std::printf("delay unit %u iterations = %.2f us\n", delayUnit,
                Seconds(std::chrono::steady_clock::now() - t0).count() * 1e6 / probeUnits);

    const Measured erase = Measure(clock, adapter, [&] { chip::ClearChip(ctx, chip::kDevice12V); });
    Report("erase", erase);

    const chip::ScannedImage scan = chip::ScanImage(image);
    std::ostringstream progress;
    chip::WriteResult w;
    const Measured write = Measure(clock, adapter, [&] {
        cli::ProgressBar bar(progress, cli::ProgressStyle::Line, clock, "Writing");
        w = chip::WriteImage(ctx, chip::kDevice12V, scan, &bar);
        bar.finish();
    });
    Report("write (command line)", write);

    image::Lines back;
    const Measured read = Measure(clock, adapter, [&] { back = chip::ReadChip(ctx, nullptr); });
    Report("read-out", read);

    chip::VerifyResult v;
    const Measured verify =
        Measure(clock, adapter, [&] { v = chip::VerifyImage(ctx, scan, nullptr); });
    Report("verify", verify);

    PrintFaults(adapter);
    return w.completed && back == image && v.reachedEnd && v.mismatches == 0 &&
           adapter.faults().empty();
}

// The window's handlers on the virtual adapter with real timing.
bool WindowRun(std::uint32_t delayUnit, const image::Lines& image) {
    BackendOptions options;
    options.port = "sim";
    options.virtualTiming = false;
    std::unique_ptr<Backend> backend = Backend::open(options);
    const auto& clock = dynamic_cast<const RealClock&>(backend->clock());
    const sim::VirtualAdapter& adapter = *backend->virtualAdapter();

    const std::string dir =
        std::filesystem::temp_directory_path() / ("lpt51_bench_" + std::to_string(::getpid())) / "";
    std::filesystem::create_directories(dir);
    const std::string file = dir + "image.hex";
    image::SaveLines(file, image);

    SilentDialogs dialogs;
    app::WindowContext context;
    context.backend = backend.get();
    context.dialogs = &dialogs;
    context.appDir = dir;
    context.appDirectory = [dir] { return dir; };
    context.measureCpuMHz = [delayUnit] { return delayUnit / 10.0; };
    app::Form1 window(std::move(context));
    window.FormCreate();
    window.show();
    window.AT89C5112V1->trigger();
    window.currentImageFile = file;
    app::SetViewLines(*window.RichEdit1, image);
    window.write->setEnabled(true);

    const Measured erase = Measure(clock, adapter, [&] { window.clear->click(); });
    const Measured write = Measure(clock, adapter, [&] { window.write->click(); });
    Report("erase (window)", erase);
    Report("write (window)", write);
    PrintFaults(adapter);
    const bool ok = adapter.faults().empty() &&
                    adapter.chip().code[0x123] == static_cast<std::uint8_t>(0x123 * 13 + 7);
    std::filesystem::remove_all(dir);
    return ok;
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
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication qt(argc, argv);

    const image::Lines image = PatternImage();
    const bool cli = CommandLineRun(delayUnit, image);
    const bool window = WindowRun(delayUnit, image);

    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("peak memory %ld KiB\n", ru.ru_maxrss);
    std::printf("%s\n", cli && window ? "image round trip ok, no faults"
                                      : "ROUND TRIP FAILED OR FAULTS NOTICED");
    return cli && window ? 0 : 1;
}
