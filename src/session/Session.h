#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "backend/Backend.h"
#include "chip/ProgrammerState.h"
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

// Everything one operation gives back.
struct OperationResult {
    Outcome outcome = Outcome::Done;
    // What went wrong around it: saving the virtual chip.
    std::vector<std::string> messages;
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
    chip::ProgrammerState& state() { return state_; }
    // The waits every operation from now on uses.
    void setTiming(chip::TimingKind timing) { state_.Timing = &chip::kAt89c51.busTiming(timing); }
    chip::TimingKind timing() const { return state_.Timing->kind; }

    // Runs `operation` (only when ready()) with real-time priority, the
    // virtual adapter's faults collected, and its chip locked and read from
    // its state file before it and saved after it when `use` says it may
    // change it. An operation run inside another (a step of
    // Clear-Write-Verify) leaves all of that to the outer one.
    OperationResult run(Prompts& prompts, sim::ChipUse use,
                        const std::function<Outcome(chip::ChipContext&)>& operation,
                        Priority priority = Priority::RealTime);

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
