// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "backend/Backend.h"
#include "chip/ProgrammerState.h"
#include "chip/ReadOut.h"
#include "chip/Verify.h"
#include "port/Bus.h"
#include "session/Facts.h"

namespace lpt51::session {

// The clock figure virtual timing uses: its waits take no time, so the
// half-second measurement would only delay the start.
inline constexpr double kNominalVirtualMHz = 1000.0;

// Shown when the probe reads neither the pull-ups nor its own 3.
inline constexpr const char* kNoPullUps =
    "I can not correctly detect your LPT1 port.\rYou probably have not any pull up resistors on "
    "your LPT1 !! \rI suggest to you connect eight pieces of 4K7 resistors between pins 2 to 9 "
    "and +5V .";

// What a session is opened from. Tests replace the clock reading and the
// opener; left empty, the session measures the clock (or takes the nominal
// figure on virtual time) and opens `backend` itself.
struct SessionSetup {
    BackendOptions backend;
    // Where settings and temporary files are kept, as Info names it; asked
    // only then (finding it may create it).
    std::function<std::string()> filesDirectory;
    std::function<double()> measureCpuMHz;
    bool nominalClock = false;  // the figure measureCpuMHz gives is not a measurement
    // Gives a backend that stays the caller's; it must outlive the session.
    std::function<Backend*()> openBackend;
    // Told each stage of opening as it is done (the clock, the port, the
    // probe), for a front end that reports them; may be empty.
    std::function<void(const std::string&)> stage;
    chip::TimingKind timing = chip::TimingKind::Standard;  // the waits the operations use
};

// Why chip work cannot be done.
enum class PortRefusal {
    None,
    NotOpened,  // no backend was given at all
    Unusable,   // the backend could not open its port; problem() says why
    SlowClock,  // the clock measured below 1 MHz: no delay unit (nothing was opened)
};

// How one operation ended, as the operation itself judges it.
enum class Outcome { Done, Failed, Stopped };

inline Outcome Judged(bool done) {
    return done ? Outcome::Done : Outcome::Failed;
}

// Whether an operation runs at real-time priority. Info does not: inside a
// section it would find everything granted already.
enum class Priority { RealTime, Normal };

// The steps an operation walks, each named as the window names it.
enum class Step { Signature, Erase, Write, ReadBack, Verify, ReadOut, Lock, PortTest };

// "Write Chip", "Verify Chip", ...
const char* StepName(Step step);

// What the chip holds once an operation has ended, as far as the program
// has seen it.
struct ChipHolds {
    enum class Kind {
        Unchanged,  // nothing that changes the chip reached it
        Erased,     // the erase pulse ran
        Written,    // every byte of the image was programmed; nothing read back
        AsFile,     // every byte of the image was read back as the file
        Differs,    // every byte was programmed, and the verify found the chip different
        Partly,     // programming ended early; see asFile
        Unknown,    // programming ended early where nothing can be read back
    };
    Kind kind = Kind::Unchanged;
    // Partly: the image's first `asFile` bytes were read back as the file
    // (the last of them at `lastAddress`), of `imageBytes`.
    std::size_t asFile = 0;
    std::size_t imageBytes = 0;
    std::uint16_t lastAddress = 0;
    // Erased or Written before this operation programmed it further (the
    // steps of Clear-Write-Verify).
    bool erasedFirst = false;

    // "the chip was not changed.", "the chip holds the file's first 100 of
    // 321 bytes (to 0063, read back); erase it and write it again.", ...
    std::string text() const;
};

// Everything one operation gives back.
struct OperationResult {
    Outcome outcome = Outcome::Done;
    // The operation's own texts, in the order it said them: the system's
    // messages ("File was burn !", a refusal), each for a box of its own.
    std::vector<std::string> said;
    // lpt51's account of what went wrong: a stop and what the chip holds
    // after it, a read-back that differs, saving the virtual chip, a port
    // access the system refused. Each one fails the operation.
    std::vector<std::string> messages;
    // lpt51's remarks that do not fail it ("not verified: output-only port").
    std::vector<std::string> notes;
    ChipHolds holds;
    // The step a stop or failure ended, with its bytes done of its total.
    std::optional<Step> endedIn;
    std::size_t stepDone = 0;
    std::size_t stepTotal = 0;
    // What the operation read: the device the signature names (a device
    // string of chip/Devices.h) and the bytes it returned; a read-out's
    // bytes; a verify's or read-back's differences.
    std::string chipType;
    std::vector<std::uint8_t> signature;
    chip::ChipReadOut readOut;
    std::vector<chip::ByteDifference> differences;
    // Refused before the port was touched: this port cannot read the chip.
    bool needsBidirectional = false;
    // On the virtual adapter, what it noticed while the operation ran
    // ("at 12.345 ms: ..."), and the summary line; empty on hardware. Real
    // hardware may have failed where these stand, so they turn a success
    // into a failure.
    std::vector<std::string> faults;
    std::string faultSummary;
    // Every programming pulse the program measured past the chip's limit,
    // and what became of it; its text() is shown after the operation's own
    // messages, on hardware as on the virtual adapter. Those of an operation
    // run inside another are the outer one's.
    chip::PulseChecks pulses;
    // Faults of the virtual adapter that were such a pulse, measured by the
    // program and mended: not among `faults`, since the chip holds what it
    // should.
    std::size_t mendedFaults = 0;
    // Set when the operation never ran: the virtual chip is in use by
    // another lpt51, or its state file cannot take what it would change.
    std::optional<sim::ChipStateRefusal> refused;

    bool succeeded() const {
        return outcome == Outcome::Done && messages.empty() && faults.empty();
    }
};

class OperationView;

// The faults of a result as both front ends show them: a line for each
// ("virtual adapter at 1.234 ms: ..."), then the summary sentence.
std::vector<std::string> FaultReportLines(const OperationResult& result);

// The virtual adapter's faults that real hardware may not have survived:
// all but the stretched pulses the program measured itself and mended. One
// it did not measure stays, since its own timing would miss it on hardware.
std::vector<sim::Fault> UnexplainedFaults(const std::vector<sim::Fault>& faults,
                                          const chip::PulseChecks& pulses);

// One programming session: the port, its bus and clock, the programmer's
// state, and the operations run on them. Both front ends present one; none
// of them touches the port or the clock other than through it.
class Session {
  public:
    explicit Session(SessionSetup setup);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Measures the clock, then opens the port, probes it and puts it at
    // rest. The measurement comes first: a claim pulls PROG low until the
    // port is put at rest, and the half-second must not lie in between. A
    // clock below 1 MHz is refused before anything is opened.
    void open();
    // Lets go of the port in use, then opens the one `backend` names as
    // open() does: the window switches between the virtual adapter and the
    // port with it. A backend the setup gave is never reopened.
    void reopen(const BackendOptions& backend);
    // The options the port in use was opened from.
    const BackendOptions& backendOptions() const { return setup_.backend; }

    bool ready() const { return refusal_ == PortRefusal::None && bus_ != nullptr; }
    PortRefusal refusal() const { return refusal_; }
    // The backend's own text for PortRefusal::Unusable.
    std::string problem() const;
    // Said once when the port in use is not the one asked for; empty otherwise.
    std::string notice() const;
    bool pullUpsMissing() const;

    double cpuMHz() const { return mhz_; }
    bool nominalClock() const { return nominal_; }
    std::uint32_t delayUnit() const { return delayUnit_; }
    std::uint8_t probe() const { return probe_; }

    // Null until open(), and after a refused open when nothing was opened.
    Backend* backend() { return backend_; }
    const Backend* backend() const { return backend_; }
    // Null unless ready().
    Bus* bus() { return bus_.get(); }
    // The clock the port's waits run on; only when ready().
    const Clock& clock() { return backend_->clock(); }
    chip::ProgrammerState& state() { return state_; }
    // The waits every operation from now on uses.
    void setTiming(chip::TimingKind timing) { state_.Timing = &chip::kAt89c51.busTiming(timing); }
    chip::TimingKind timing() const { return state_.Timing->kind; }
    // The port reads the chip: the probe found it so, and the user has not
    // switched the mode off.
    bool bidirectional() const { return state_.BidiMode == 1; }

    // Runs `operation` (only when ready()) with real-time priority, the
    // virtual adapter's faults collected, and its chip locked and read from
    // its state file before it and saved after it when `use` says it may
    // change it. An operation run inside another (a step of
    // Clear-Write-Verify) leaves all of that to the outer one.
    // The operation's messages are kept in the result's `said`, in order,
    // and shown by the front end only once the chip has been saved; its
    // questions are asked at once. It is asked to stop between two bytes
    // when `view` says so or an access to the port has failed; the latter
    // fails it with the port's own account.
    OperationResult run(Prompts& prompts, sim::ChipUse use,
                        const std::function<Outcome(chip::ChipContext&)>& operation,
                        Priority priority = Priority::RealTime, OperationView* view = nullptr);
    // The same, for an operation that gives more than its outcome.
    using DetailedOperation = std::function<Outcome(chip::ChipContext&, OperationResult&)>;
    OperationResult run(Prompts& prompts, sim::ChipUse use, const DetailedOperation& operation,
                        Priority priority = Priority::RealTime, OperationView* view = nullptr);

    // Everything Info says, measured now.
    Facts facts();

  private:
    void report(const std::string& text) const;

    SessionSetup setup_;
    std::unique_ptr<Backend> owned_;
    Backend* backend_ = nullptr;
    std::unique_ptr<Bus> bus_;
    chip::ProgrammerState state_;
    PortRefusal refusal_ = PortRefusal::NotOpened;
    double mhz_ = 0;
    bool nominal_ = false;
    std::uint32_t delayUnit_ = 0;
    // Without a port nothing is probed: taken as bidirectional.
    std::uint8_t probe_ = 0xFF;
    int depth_ = 0;
    // The outermost running operation's pulse checks.
    chip::PulseChecks* pulseLog_ = nullptr;
};

}  // namespace lpt51::session
