// SPDX-License-Identifier: GPL-3.0-or-later
// Full-chip erase, write, read-out, verify and clear-write-verify on the
// virtual adapter with real timing, in the standard timing and in the
// datasheet timing (at the slowest and the fastest crystal), side by side,
// each against the floor taken in the same run: the busy waits asked for, at
// 10 us a unit or their exact time, plus the sleeps asked for; for the
// polling write, the model's write cycle plus the datasheet waits. Then
// the window's write (its handler, painting between records) against the
// command line's (the chip layer's write with the command line's progress
// display), each on a chip erased just before. Between the two, a
// clear-write-verify of examples/blink.hex filled to 4 KiB with 0xFF in both
// timings, against a target for each: bytes of 0xFF get no pulse.
// Usage: bench_chip [DELAY_UNIT]  (default: 10 x the measured CPU MHz)

#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>

#include "app/MainWindow.h"
#include "app/ViewText.h"
#include "chip/Cwv.h"
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
#include "session/Session.h"
#include "sim/VirtualAdapter.h"

namespace {

using namespace lpt51;
using Seconds = std::chrono::duration<double>;

class SilentDialogs final : public app::Dialogs {
  public:
    std::vector<std::string> messages;

    void showMessage(const std::string& text) override { messages.push_back(text); }
    Answer ask(QuestionKind, const std::string& text) override {
        std::fprintf(stderr, "unexpected question: %s\n", text.c_str());
        return Answer::Yes;
    }
    bool offerChoice(const std::string& text, const std::string&) override {
        messages.push_back(text);
        return false;
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
    // How much longer the busy waits took than asked: the host holding the
    // process (or the whole machine) up in the middle of one.
    double held = 0;
    // The adapter's faults, as the session judges them: those that are a
    // pulse the program measured and mended are counted apart.
    std::size_t faults = 0;
    std::size_t mended = 0;
};

// Runs `f` and takes its time, its floor and the faults it caused from the
// clock and the adapter it runs on; `pulses` is where the chip layer notes
// the pulses it measured. The window's session judges its own (nullptr).
template <typename F>
Measured Measure(const RealClock& clock, const sim::VirtualAdapter& adapter,
                 chip::PulseChecks* pulses, F&& f) {
    const auto busy = clock.busyAsked();
    const auto asked = clock.sleepAsked();
    const auto spent = clock.busySpent();
    const std::size_t faults = adapter.faults().size();
    if (pulses) pulses->pulses.clear();
    const auto t0 = std::chrono::steady_clock::now();
    f();
    Measured m;
    m.seconds = Seconds(std::chrono::steady_clock::now() - t0).count();
    m.floor = Seconds(clock.busyAsked() - busy + clock.sleepAsked() - asked).count();
    m.held = Seconds(clock.busySpent() - spent - (clock.busyAsked() - busy)).count();
    const std::vector<sim::Fault> seen(adapter.faults().begin() + faults, adapter.faults().end());
    if (!pulses) {
        m.faults = seen.size();
        return m;
    }
    const std::vector<sim::Fault> unexplained = session::UnexplainedFaults(seen, *pulses);
    for (const sim::Fault& f : unexplained) std::printf("  fault: %s\n", f.what.c_str());
    m.faults = unexplained.size();
    m.mended = seen.size() - unexplained.size();
    return m;
}

void Report(const char* what, const Measured& m) {
    std::printf("%-22s %8.3f s   floor %8.3f s   ratio %.4f   faults %zu\n", what, m.seconds,
                m.floor, m.seconds / m.floor, m.faults);
}

// An image of every address, neither erased nor zero.
image::Lines PatternImage() {
    chip::CodeBytes bytes{};
    for (std::size_t a = 0; a < bytes.size(); ++a) bytes[a] = static_cast<std::uint8_t>(a * 13 + 7);
    return image::RenderImage(bytes);
}

struct TimingRun {
    const char* title;
    Measured erase, write, read, verify, cwv;
    bool ok = false;
};

// The write's floor in a timing that polls: per byte the waits up to the
// pulse's end, then the model's write cycle (the hold and the access wait run
// inside it), then the wait before the lines drive again.
double PollingWriteFloor(const chip::BusTiming& t, const sim::ChipTimingModel& model,
                         std::size_t bytes) {
    const chip::WriteWaits& w = t.write;
    const auto inCycle =
        std::max<Clock::Duration>(model.writeCycle, w.pollHold.nominal() + w.pollAccess.nominal());
    const auto perByte = 6 * w.latch.nominal() + w.setup.nominal() + w.pulse.nominal() + inCycle +
                         w.pollFloat.nominal();
    return Seconds(perByte).count() * static_cast<double>(bytes);
}

// The chip layer, as the command line drives it, in one timing at one crystal.
TimingRun CommandLineRun(const char* title, std::uint32_t delayUnit, const image::Lines& image,
                         const chip::BusTiming& timing, double oscMHz) {
    RealClock clock;
    sim::ChipTimingModel model;
    model.oscMHz = oscMHz;
    sim::VirtualAdapter adapter(clock, sim::PortKind::Bidirectional,
                                sim::ChipState::erased(sim::ChipKind::Part12V), model);
    Bus bus(adapter, clock, delayUnit);
    SilentDialogs prompts;
    chip::ProgrammerState state;
    state.Timing = &timing;
    chip::PulseChecks pulses;
    chip::ChipContext ctx{bus, prompts, state, &pulses};
    const RealTimeSection realTime(clock);
    TimingRun run{title, {}, {}, {}, {}, {}};

    run.erase = Measure(clock, adapter, &pulses, [&] { chip::ClearChip(ctx, chip::kDevice12V); });

    const chip::ScannedImage scan = chip::ScanImage(image);
    std::ostringstream progress;
    chip::WriteResult w;
    run.write = Measure(clock, adapter, &pulses, [&] {
        cli::ProgressBar bar(progress, cli::ProgressStyle::Line, clock, "Writing");
        w = chip::WriteImage(ctx, chip::kDevice12V, scan, &bar);
        bar.finish();
    });
    if (timing.write.dataPolling)
        run.write.floor = PollingWriteFloor(timing, model, scan.dataBytes);

    image::Lines back;
    run.read = Measure(clock, adapter, &pulses, [&] { back = chip::ReadChip(ctx, nullptr); });

    chip::VerifyResult v;
    run.verify =
        Measure(clock, adapter, &pulses, [&] { v = chip::VerifyImage(ctx, scan, nullptr); });

    bool cwvOk = false;
    run.cwv = Measure(clock, adapter, &pulses, [&] {
        const auto step = [](bool done) {
            return done ? chip::CwvStep::Continue : chip::CwvStep::Stop;
        };
        cwvOk = chip::RunClearWriteVerify(
            ctx, chip::kDevice12V, scan,
            {[&] { return step(chip::ClearChip(ctx, chip::kDevice12V)); },
             [&] { return step(chip::WriteImage(ctx, chip::kDevice12V, scan, nullptr).completed); },
             [&] {
                 const chip::VerifyResult r = chip::VerifyImage(ctx, scan, nullptr);
                 return step(r.reachedEnd && r.mismatches == 0);
             }});
    });
    if (timing.write.dataPolling) run.cwv.floor = 0;  // no single floor: see the write's

    if (w.failure) std::printf("  write: %s\n", w.failure->c_str());
    std::size_t faults = 0;
    for (const Measured* m : {&run.erase, &run.write, &run.read, &run.verify, &run.cwv})
        faults += m->faults;
    run.ok =
        w.completed && back == image && v.reachedEnd && v.mismatches == 0 && cwvOk && faults == 0;
    return run;
}

// examples/blink.hex filled to the whole chip with 0xFF, as a chip read out
// and written to another is: mostly bytes that need no pulse.
image::Lines FilledBlink() {
    image::Lines blink;
    if (image::LoadLines(std::string(LPT51_EXAMPLES_DIR) + "/blink.hex", blink)) return {};
    chip::CodeBytes bytes;
    bytes.fill(0xFF);
    for (const chip::WalkRecord& rec : chip::ScanImage(blink).records) {
        if (!rec.data) continue;
        unsigned address = (rec.addrHigh << 8) | rec.addrLow;
        for (const std::uint8_t b : rec.bytes) bytes[address++ % bytes.size()] = b;
    }
    return chip::ReadOutLines(bytes);
}

// Clear-write-verify of the filled image in one timing, on a fresh chip.
Measured FilledCwv(std::uint32_t delayUnit, const image::Lines& image,
                   const chip::BusTiming& timing, double oscMHz) {
    RealClock clock;
    sim::ChipTimingModel model;
    model.oscMHz = oscMHz;
    sim::VirtualAdapter adapter(clock, sim::PortKind::Bidirectional,
                                sim::ChipState::erased(sim::ChipKind::Part12V), model);
    Bus bus(adapter, clock, delayUnit);
    SilentDialogs prompts;
    chip::ProgrammerState state;
    state.Timing = &timing;
    chip::PulseChecks pulses;
    chip::ChipContext ctx{bus, prompts, state, &pulses};
    const RealTimeSection realTime(clock);
    const chip::ScannedImage scan = chip::ScanImage(image);
    bool ok = false;
    Measured m = Measure(clock, adapter, &pulses, [&] {
        const auto step = [](bool done) {
            return done ? chip::CwvStep::Continue : chip::CwvStep::Stop;
        };
        ok = chip::RunClearWriteVerify(
            ctx, chip::kDevice12V, scan,
            {[&] { return step(chip::ClearChip(ctx, chip::kDevice12V)); },
             [&] { return step(chip::WriteImage(ctx, chip::kDevice12V, scan, nullptr).completed); },
             [&] {
                 const chip::VerifyResult r = chip::VerifyImage(ctx, scan, nullptr);
                 return step(r.reachedEnd && r.mismatches == 0);
             }});
    });
    if (!ok) ++m.faults;
    std::printf("  %zu pulses, ", adapter.programPulses());
    return m;
}

// The filled image's clear-write-verify in each timing, against its target.
bool FilledRow(std::uint32_t delayUnit) {
    const image::Lines image = FilledBlink();
    if (image.empty()) {
        std::printf("FAIL examples/blink.hex not found\n");
        return false;
    }
    std::printf("\ncwv of examples/blink.hex filled to 4 KiB with 0xFF:\n");
    bool ok = true;
    for (const auto& [timing, osc, target] : {std::tuple{&chip::kStandardTiming, 12.0, 8.0},
                                              std::tuple{&chip::kDatasheetTiming, 3.0, 0.6}}) {
        const Measured m = FilledCwv(delayUnit, image, *timing, osc);
        const bool pass = m.faults == 0 && m.seconds < target;
        std::printf("%s %s, %g MHz: %.3f s (target under %g s), %zu faults\n",
                    pass ? "ok  " : "FAIL", timing->name, osc, m.seconds, target, m.faults);
        ok = ok && pass;
    }
    return ok;
}

void ReportSideBySide(const std::array<TimingRun, 3>& runs) {
    std::printf("\n%-10s", "");
    for (const TimingRun& r : runs) std::printf(" | %-43s", r.title);
    std::printf("\n");
    const auto row = [&](const char* what, Measured TimingRun::*m) {
        std::printf("%-10s", what);
        for (const TimingRun& r : runs) {
            const Measured& x = r.*m;
            if (x.floor > 0) {
                std::printf(" | %8.3f s  x%.3f floor  %3zu faults %zu mended", x.seconds,
                            x.seconds / x.floor, x.faults, x.mended);
            } else {
                std::printf(" | %8.3f s               %3zu faults %zu mended", x.seconds, x.faults,
                            x.mended);
            }
        }
        std::printf("\n");
    };
    row("erase", &TimingRun::erase);
    row("write", &TimingRun::write);
    row("read-out", &TimingRun::read);
    row("verify", &TimingRun::verify);
    row("cwv", &TimingRun::cwv);
}

// What the standard timing must achieve against its floor, and the
// datasheet timing against the standard one.
bool Judge(const std::array<TimingRun, 3>& runs) {
    bool ok = true;
    const auto check = [&](bool pass, const std::string& what) {
        std::printf("  %s %s\n", pass ? "ok  " : "FAIL", what.c_str());
        ok = ok && pass;
    };
    char text[160];
    for (const auto& [what, m] :
         {std::pair{"write", &runs[0].write}, std::pair{"read-out", &runs[0].read},
          std::pair{"verify", &runs[0].verify}}) {
        std::snprintf(text, sizeof text,
                      "%s: %s %.4f of its floor (at most 1.01); the host held its waits up %.0f ms",
                      runs[0].title, what, m->seconds / m->floor, m->held * 1000);
        check(m->seconds <= 1.01 * m->floor, text);
    }
    for (std::size_t i = 1; i < runs.size(); ++i) {
        const TimingRun& d = runs[i];
        std::snprintf(text, sizeof text, "%s: no faults", d.title);
        check(d.ok, text);
        std::snprintf(text, sizeof text, "%s: cwv %.3f of the standard timing's (at most 0.35)",
                      d.title, d.cwv.seconds / runs[0].cwv.seconds);
        check(d.cwv.seconds <= 0.35 * runs[0].cwv.seconds, text);
        std::snprintf(text, sizeof text, "%s: read-out %.3f s, verify %.3f s (each under 0.25 s)",
                      d.title, d.read.seconds, d.verify.seconds);
        check(d.read.seconds < 0.25 && d.verify.seconds < 0.25, text);
        std::snprintf(text, sizeof text, "%s: write %.4f of its floor (at most 1.05)", d.title,
                      d.write.seconds / d.write.floor);
        check(d.write.seconds <= 1.05 * d.write.floor, text);
    }
    return ok;
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

    const Measured erase = Measure(clock, adapter, nullptr, [&] { window.clear->click(); });
    const Measured write = Measure(clock, adapter, nullptr, [&] { window.write->click(); });
    Report("erase (window)", erase);
    Report("write (window)", write);
    // What the window said of the pulses it mended and of the faults it did
    // not forgive; the adapter's count above has both.
    bool faulted = false;
    for (const std::string& m : dialogs.messages) {
        const bool fault = m.find("irtual adapter noticed") != std::string::npos;
        if (fault || m.find("programming pulse") != std::string::npos)
            std::printf("  window: %s\n", m.c_str());
        faulted = faulted || fault;
    }
    const bool ok =
        !faulted && adapter.chip().code[0x123] == static_cast<std::uint8_t>(0x123 * 13 + 7);
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
    {
        RealClock clock;
        const RealTimeSection realTime(clock);
        std::printf("real-time priority %s, memory %s\n", realTime.scheduled() ? "yes" : "refused",
                    realTime.locked() ? "locked" : "not locked");
        sim::VirtualAdapter adapter(clock, sim::PortKind::Bidirectional,
                                    sim::ChipState::erased(sim::ChipKind::Part12V));
        Bus bus(adapter, clock, delayUnit);
        std::printf("delay unit %u, %.2f us by the clock\n", delayUnit,
                    MeasureDelayUnitNs(bus) / 1000.0);
    }
    const std::array<TimingRun, 3> runs{
        CommandLineRun("standard, 12 MHz", delayUnit, image, chip::kStandardTiming, 12.0),
        CommandLineRun("datasheet, --sim-osc 3", delayUnit, image, chip::kDatasheetTiming, 3.0),
        CommandLineRun("datasheet, --sim-osc 24", delayUnit, image, chip::kDatasheetTiming, 24.0),
    };
    ReportSideBySide(runs);
    const bool judged = Judge(runs);
    const bool filled = FilledRow(delayUnit);
    const bool cli = runs[0].ok && judged && filled;
    const bool window = WindowRun(delayUnit, image);

    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("peak memory %ld KiB\n", ru.ru_maxrss);
    std::printf("%s\n", cli && window ? "image round trip ok, no faults"
                                      : "ROUND TRIP FAILED OR FAULTS NOTICED");
    return cli && window ? 0 : 1;
}
