#include "cli/CommandLine.h"

#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>

#include "backend/Backend.h"
#include "chip/Cwv.h"
#include "chip/Devices.h"
#include "chip/Erase.h"
#include "chip/HexText.h"
#include "chip/ImageScan.h"
#include "chip/Lock.h"
#include "chip/ReadOut.h"
#include "chip/Signature.h"
#include "chip/Verify.h"
#include "chip/Write.h"
#include "cli/AdapterFaults.h"
#include "cli/Arguments.h"
#include "cli/CliPrompts.h"
#include "cli/ImageOperand.h"
#include "cli/Interrupt.h"
#include "cli/OpenCheck.h"
#include "cli/ProgressBar.h"
#include "image/AppFiles.h"
#include "port/Calibration.h"
#include "port/Probe.h"
#include "port/RealTime.h"
#include "port/RecordingPort.h"

namespace lpt51::cli {

namespace {

constexpr const char* kNoPullUps =
    "I can not correctly detect your LPT1 port.\rYou probably have not any pull up resistors on "
    "your LPT1 !! \rI suggest to you connect eight pieces of 4K7 resistors between pins 2 to 9 "
    "and +5V .";

std::optional<chip::LockSelection> ParseLockBits(const std::string& text) {
    chip::LockSelection bits;
    std::stringstream in(text);
    std::string item;
    bool any = false;
    while (std::getline(in, item, ',')) {
        if (item == "1") {
            bits.l1 = true;
        } else if (item == "2") {
            bits.l2 = true;
        } else if (item == "3") {
            bits.l3 = true;
        } else {
            return std::nullopt;
        }
        any = true;
    }
    if (!any) return std::nullopt;
    return bits;
}

std::string Hex4(unsigned v) {
    return chip::Hex2(v >> 8) + chip::Hex2(v & 0xFF);
}

// Everything a command that drives the port works with.
class Session {
  public:
    Session(const Options& o, std::ostream& out, std::ostream& err)
        : o_(o), out_(out), err_(err), prompts_(err, o.yes) {}

    int run();

  private:
    int openPort();
    int info();
    int signature();
    int erase();
    int write(const image::Lines& lines);
    // Programs the image with a progress bar and shows the final message.
    bool programImage(chip::ChipContext& ctx, const image::Lines& lines);
    int verify(const image::Lines& lines);
    // All 4096 bytes, with a progress bar.
    std::array<std::uint8_t, 4096> readWholeChip();
    int read();
    int blank();
    int lock();
    int cwv(const image::Lines& lines);

    ProgressStyle style() const {
        if (o_.quiet) return ProgressStyle::Quiet;
        return (&err_ == &std::cerr && ::isatty(STDERR_FILENO)) ? ProgressStyle::Bar
                                                                : ProgressStyle::Line;
    }
    bool refuseOutputOnly(const char* what);
    void reportDifferences(const ProgressBar& bar, std::size_t total);
    int persist(int code);

    const Options& o_;
    std::ostream& out_;
    std::ostream& err_;
    CliPrompts prompts_;
    std::unique_ptr<Backend> backend_;
    std::unique_ptr<Bus> bus_;
    chip::ProgrammerState state_;
    double mhz_ = 0;
    std::uint8_t probe_ = 0;
};

int Session::openPort() {
    // The clock is measured before the port is opened: a claim pulls PROG
    // low until the port is put at rest, and the half-second measurement must
    // not lie in between. The 510 ms mean nothing on virtual time.
    mhz_ = TimedVirtually(o_.backend) ? 1000.0 : MeasureCpuMHz();
    const std::uint32_t unit = DelayUnitFromMHz(mhz_);
    if (unit == 0) {
        err_ << "lpt51: the processor clock measured " << mhz_
             << " MHz; bus timing cannot be derived from it\n";
        return kExitPort;
    }
    backend_ = Backend::open(o_.backend);
    if (!backend_->usable()) {
        err_ << "lpt51: " << backend_->problem() << '\n';
        return kExitPort;
    }
    bus_ = std::make_unique<Bus>(*backend_->port(), backend_->clock(), unit);
    probe_ = ProbePort(*bus_);
    // Only a port that still reads its own 3 is known not to turn around; a
    // port without pull-ups is warned about and otherwise taken as bidirectional.
    state_.BidiMode = probe_ == kProbeOutputOnly ? 0 : 1;
    bus_->SetControlOut(7);
    bus_->PutData(0);
    if (const std::string notice = backend_->notice(); !notice.empty())
        err_ << "lpt51: " << notice << '\n';
    if (probe_ != kProbeOutputOnly && probe_ != kProbeBidirectional)
        prompts_.showMessage(kNoPullUps);
    return kExitDone;
}

bool Session::refuseOutputOnly(const char* what) {
    if (state_.BidiMode == 1) return false;
    err_ << "lpt51: " << what
         << " needs a bidirectional port, and this port only drives its data lines (SPP "
            "(Normal)); it cannot read the chip. Set the port to bidirectional/PS2/EPP mode "
            "in the BIOS.\n";
    return true;
}

int Session::persist(int code) {
    if (auto e = backend_->persist()) {
        err_ << "lpt51: " << *e << '\n';
        if (code == kExitDone) code = kExitFailed;
    }
    return code;
}

int Session::info() {
    out_ << "CPU clock: " << mhz_ << " MHz\n";
    out_ << "DelayUnit: " << bus_->delayUnit() << '\n';
    out_ << "Delay unit length: " << MeasureDelayUnitNs(*bus_, 20) / 1000.0 << " us\n";
    out_ << "Port mode: " << (state_.BidiMode == 1 ? "Bidirectional" : "SPP (Normal)");
    if (probe_ != kProbeOutputOnly && probe_ != kProbeBidirectional)
        out_ << " (probe read " << chip::Hex2(probe_) << ": no pull-ups detected)";
    out_ << '\n';
    out_ << "Port: " << backend_->description() << '\n';
    if (backend_->clock().realTime()) {
        const std::optional<std::string> refusal = RealTimeRefusal();
        out_ << "Operations: "
             << (refusal ? TerminalText(*refusal)
                         : std::string("at real-time priority, memory locked"))
             << '\n';
    }
    out_ << "Files: " << image::ResolveAppDirs(image::AppDirOfExecutable()).files << '\n';
    return persist(kExitDone);
}

int Session::signature() {
    if (refuseOutputOnly("Reading the signature")) return kExitPort;
    // The bytes are taken from the port traffic itself, so the command line
    // sends exactly what the window sends.
    RecordingPort tap(*backend_->port());
    Bus bus(tap, backend_->clock(), bus_->delayUnit());
    chip::ChipContext ctx{bus, prompts_, state_};
    const std::string type = chip::SignatureCommand(ctx);
    std::vector<std::uint8_t> bytes;
    for (const auto& a : tap.log()) {
        if (a.kind == PortAccess::Kind::ReadData) bytes.push_back(a.value);
    }
    std::string shown;
    bool allFF = !bytes.empty(), all00 = !bytes.empty();
    for (auto b : bytes) {
        shown += (shown.empty() ? "" : " ") + chip::Hex2(b);
        allFF = allFF && b == 0xFF;
        all00 = all00 && b == 0x00;
    }
    out_ << "Signature: " << shown << '\n';
    // Judged by the bytes, not by ChipType: after a Yes to the questions the
    // window takes any chip whose third byte is FF for a 12 V part.
    const bool known = bytes.size() == 3 && bytes[0] == 0x1E && bytes[1] == 0x51 &&
                       (bytes[2] == 0xFF || bytes[2] == 0x05);
    out_ << "Device: " << (type == chip::kChipNone ? std::string("none") : type)
         << (known || type == chip::kChipNone ? ""
                                              : " (taken so after Yes; not an AT89C51 signature)")
         << '\n';
    if (known) return persist(kExitDone);
    if (allFF || all00) {
        err_ << "lpt51: no chip answers (bytes " << shown
             << "): the socket is empty, the chip has no power, or the adapter is not "
                "connected.\n";
    } else {
        err_ << "lpt51: the chip in the socket is of another kind (signature " << shown
             << "), not an AT89C51.\n";
    }
    return persist(kExitFailed);
}

int Session::erase() {
    chip::ChipContext ctx{*bus_, prompts_, state_};
    const bool done = chip::ClearChip(ctx, o_.device);
    return persist(done ? kExitDone : kExitFailed);
}

int Session::write(const image::Lines& lines) {
    chip::ChipContext ctx{*bus_, prompts_, state_};
    if (!chip::RunDeviceCheck(ctx, o_.device)) return persist(kExitFailed);
    return persist(programImage(ctx, lines) ? kExitDone : kExitFailed);
}

bool Session::programImage(chip::ChipContext& ctx, const image::Lines& lines) {
    ProgressBar bar(err_, style(), backend_->clock(), "Writing");
    const chip::WriteResult r = chip::WriteImage(ctx, o_.device, lines, &bar);
    if (r.completed)
        bar.finish();
    else
        bar.abandon();
    if (auto m = chip::WriteFinalMessage(r, state_)) prompts_.showMessage(*m);
    return r.completed;
}

void Session::reportDifferences(const ProgressBar& bar, std::size_t total) {
    constexpr std::size_t kShown = 10;
    const auto& d = bar.differences();
    bool notErased = false;
    for (std::size_t i = 0; i < d.size(); ++i) {
        if (i < kShown) {
            out_ << "  " << Hex4(d[i].address) << ": chip " << chip::Hex2(d[i].onChip) << ", file "
                 << chip::Hex2(d[i].inFile) << '\n';
        }
        if (static_cast<std::uint8_t>(~d[i].onChip & d[i].inFile) != 0) notErased = true;
    }
    if (d.size() > kShown) out_ << "  ...\n";
    out_ << total << (total == 1 ? " byte differs" : " bytes differ") << '\n';
    if (notErased) {
        out_ << "The chip holds 0 bits where the file wants 1: it was probably not erased "
                "before writing.\n";
    }
}

int Session::verify(const image::Lines& lines) {
    if (refuseOutputOnly("Verify")) return kExitPort;
    chip::ChipContext ctx{*bus_, prompts_, state_};
    ProgressBar bar(err_, style(), backend_->clock(), "Verifying");
    prompts_.setVerifying(true);
    const chip::VerifyResult r = chip::VerifyImage(ctx, lines, &bar);
    prompts_.setVerifying(false);
    if (r.refusal)
        bar.abandon();
    else
        bar.finish();
    if (r.mismatches > 0) reportDifferences(bar, r.mismatches);
    if (auto m = chip::VerifyFinalMessage(r, state_)) prompts_.showMessage(*m);
    const bool ok = !r.refusal && r.mismatches == 0 && state_.VerifyFailed == 0;
    state_.VerifyFailed = 0;
    return persist(ok ? kExitDone : kExitFailed);
}

std::array<std::uint8_t, 4096> Session::readWholeChip() {
    chip::ChipContext ctx{*bus_, prompts_, state_};
    ProgressBar bar(err_, style(), backend_->clock(), "Reading");
    const auto bytes = chip::ReadChipBytes(ctx, &bar);
    bar.finish();
    return bytes;
}

int Session::read() {
    if (refuseOutputOnly("Reading the chip")) return kExitPort;
    const auto bytes = readWholeChip();
    if (auto e = SaveReadOut(o_.operands[0], bytes, out_)) {
        err_ << "lpt51: " << *e << '\n';
        return persist(kExitFailed);
    }
    return persist(kExitDone);
}

int Session::blank() {
    if (refuseOutputOnly("The blank check")) return kExitPort;
    return persist(ReportBlank(readWholeChip(), out_) ? kExitDone : kExitFailed);
}

int Session::lock() {
    const auto bits = ParseLockBits(o_.operands[0]);
    chip::ChipContext ctx{*bus_, prompts_, state_};
    const bool passed = chip::LockChip(ctx, o_.device, *bits);
    return persist(passed ? kExitDone : kExitFailed);
}

// Thrown by a step of the sequence to end it: a refused erase must not be
// followed by a write.
struct StopSequence {};

int Session::cwv(const image::Lines& lines) {
    chip::ChipContext ctx{*bus_, prompts_, state_};
    bool erased = false, written = false, verified = false;
    std::size_t mismatches = 0;
    chip::CwvSteps steps;
    steps.erase = [&] {
        erased = chip::ClearChip(ctx, o_.device);
        if (!erased) throw StopSequence{};
    };
    steps.write = [&] {
        if (!chip::RunDeviceCheck(ctx, o_.device)) throw StopSequence{};
        written = programImage(ctx, lines);
        if (!written) throw StopSequence{};
    };
    steps.verify = [&] {
        ProgressBar bar(err_, style(), backend_->clock(), "Verifying");
        prompts_.setVerifying(true);
        const chip::VerifyResult r = chip::VerifyImage(ctx, lines, &bar);
        prompts_.setVerifying(false);
        bar.finish();
        mismatches = r.mismatches;
        if (mismatches > 0) reportDifferences(bar, mismatches);
        if (auto m = chip::VerifyFinalMessage(r, state_)) prompts_.showMessage(*m);
        verified = !r.refusal && r.mismatches == 0 && state_.VerifyFailed == 0;
        state_.VerifyFailed = 0;
    };
    bool ran = false;
    try {
        ran = chip::RunClearWriteVerify(ctx, o_.device, lines, steps);
    } catch (const StopSequence&) {
        ran = false;
    }
    const bool readable = state_.BidiMode == 1;
    const bool ok = ran && erased && written && (!readable || verified);
    if (ok) {
        out_ << (readable ? "Erased, written and verified.\n"
                          : "Erased and written (this port cannot read the chip back).\n");
    } else if (!erased) {
        out_ << "Nothing was done.\n";
    } else if (!written) {
        out_ << "The chip was erased but not programmed.\n";
    } else {
        out_ << "Written, but the chip differs from the file.\n";
    }
    return persist(ok ? kExitDone : kExitFailed);
}

// The Open command's verdict plus the chip layer's own refusals (bytes at or
// beyond 0x1000), shown before the port is touched.
std::optional<std::string> FileRefusal(const image::Lines& lines, const std::string& operation,
                                       const std::string& nothingDone) {
    const OpenCheckResult open = CheckLikeOpen(lines);
    if (!open.ok) return TerminalText(open.message);
    const chip::ScannedImage scan = chip::ScanImage(lines);
    if (scan.problem) return TerminalText(chip::RefusalText(*scan.problem, operation, nothingDone));
    return std::nullopt;
}

int Session::run() {
    const std::string& c = o_.command;
    image::Lines lines;
    if (c == "write" || c == "verify" || c == "cwv") {
        const std::string op = c == "write"    ? "Write"
                               : c == "verify" ? "Verify"
                                               : "Clear-Write-Verify";
        const std::string nothing =
            c == "verify" ? "Nothing was compared." : "Nothing was programmed.";
        if (auto e = LoadImageOperand(o_.operands[0], lines, nothing)) {
            err_ << "lpt51: " << *e << '\n';
            return kExitFailed;
        }
        if (auto e = FileRefusal(lines, op, nothing)) {
            err_ << "lpt51: " << OperandName(o_.operands[0]) << ": " << *e << '\n';
            return kExitFailed;
        }
    }
    if (c == "read" && !o_.force && !IsStandardStream(o_.operands[0])) {
        std::error_code ec;
        if (std::filesystem::exists(o_.operands[0], ec)) {
            err_ << "lpt51: " << o_.operands[0]
                 << " exists; give --force to replace it. Nothing was read.\n";
            return kExitFailed;
        }
    }
    if (const int e = openPort(); e != kExitDone) return e;

    InterruptGuard guard;
    const AdapterFaults faults(backend_->virtualAdapter());
    // Not for info, which reports whether operations may run at real-time
    // priority: inside a section it would find everything granted already.
    std::optional<RealTimeSection> realTime;
    if (c != "info") realTime.emplace(backend_->clock());
    try {
        int code = kExitDone;
        if (c == "info")
            code = info();
        else if (c == "signature")
            code = signature();
        else if (c == "erase")
            code = erase();
        else if (c == "write")
            code = write(lines);
        else if (c == "verify")
            code = verify(lines);
        else if (c == "read")
            code = read();
        else if (c == "lock")
            code = lock();
        else if (c == "blank")
            code = blank();
        else
            code = cwv(lines);
        code = faults.finish(err_, code);
        // Erase and lock are not broken off halfway: a pulse cut short would
        // leave the chip in a worse state than one that has finished.
        if (const int sig = PendingSignal()) {
            err_ << "lpt51: interrupted after the operation had finished; the port is at rest.\n";
            ClearInterruptFlag();
            return sig == SIGTERM ? kExitSigTerm : kExitSigInt;
        }
        return code;
    } catch (const Interrupted& i) {
        prompts_.setVerifying(false);
        bus_->ReleaseBus();
        (void)persist(kExitDone);
        err_ << "\nlpt51: interrupted. The port is at rest; the chip may be partly "
             << (c == "read" || c == "verify" || c == "blank"
                     ? "read (it was not changed)."
                     : "programmed: erase and write it again.")
             << '\n';
        ClearInterruptFlag();
        return i.signal == SIGTERM ? kExitSigTerm : kExitSigInt;
    }
}

int CheckFile(const std::string& operand, std::ostream& out, std::ostream& err) {
    const std::string path = OperandName(operand);
    image::Lines lines;
    if (auto e = LoadImageOperand(operand, lines, "Nothing can be programmed.")) {
        err << "lpt51: " << *e << '\n';
        return kExitFailed;
    }
    const OpenCheckResult r = CheckLikeOpen(lines);
    if (!r.ok) {
        err << "lpt51: " << path << ": " << TerminalText(r.message) << '\n';
        return kExitFailed;
    }
    out << "Code size: " << r.codeSize << " bytes\n";
    const chip::ScannedImage scan = chip::ScanImage(lines);
    if (scan.problem) {
        err << "lpt51: " << path << ": "
            << TerminalText(chip::RefusalText(*scan.problem, "Write", "Nothing can be programmed."))
            << '\n';
        return kExitFailed;
    }
    return kExitDone;
}

// Runs what the words ask for; nullopt when they ask for the window.
std::optional<int> Run(const std::vector<std::string>& args, CommandNeeded needed,
                       std::ostream& out, std::ostream& err, Options& o) {
    try {
        o = ParseArguments(args, needed);
        if (o.command == "lock" && !ParseLockBits(o.operands[0]))
            throw UsageError{"lock: bits must be 1, 2 or 3 separated by commas, e.g. 1,2,3"};
    } catch (const UsageError& e) {
        err << "lpt51: " << e.text << "\nTry 'lpt51 --help'.\n";
        return kExitUsage;
    }
    if (o.help) {
        out << o.helpText;
        return kExitDone;
    }
    if (o.version) {
        out << "lpt51 " << LPT51_VERSION << '\n';
        return kExitDone;
    }
    if (o.command.empty()) return std::nullopt;
    if (o.command == "check") return CheckFile(o.operands[0], out, err);
    Session session(o, out, err);
    return session.run();
}

}  // namespace

int RunCommandLine(std::vector<std::string> args, std::ostream& out, std::ostream& err) {
    Options o;
    return Run(args, CommandNeeded::Yes, out, err, o).value_or(kExitUsage);
}

std::optional<int> RunProgramLine(const std::vector<std::string>& args, WindowArguments& window) {
    Options o;
    const std::optional<int> code =
        Run(args, CommandNeeded::NoWindowInstead, std::cout, std::cerr, o);
    if (!code) {
        window.backend = o.backend;
        window.screenshot = o.screenshot;
        window.words = o.operands;
    }
    return code;
}

}  // namespace lpt51::cli
