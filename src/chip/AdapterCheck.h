// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The adapter check: three stages that find a wiring fault and name the
// wire, from the wiring table (AdapterWiring.h). Each stage works on the
// port alone, leaves it at rest (ReleaseBus) and returns what it found; the
// session runs them and a front end presents them.

#include <optional>
#include <string>
#include <vector>

#include "chip/ProgrammerState.h"
#include "chip/Progress.h"

namespace lpt51::chip {

enum class CheckStage {
    Automatic,  // the port and the data lines, socket empty
    Guided,     // every socket pin with a meter, socket empty
    Chip,       // a chip erased, programmed, read back and erased again
};

// One fault a stage named, in words for the user: "A3 and A4 are swapped:
// ...". Any finding means the adapter is not right.
struct Finding {
    CheckStage stage;
    std::string text;
};

struct StageResult {
    std::vector<Finding> findings;
    // Set when the stage could not run, or not to its end, with why: "this
    // port cannot read its lines back...". Not a finding.
    std::optional<std::string> skipped;
};

// What a meter or a logic probe shows on a socket pin.
enum class Volts { Zero, Five, Twelve };

// "0 V", "5 V", "12 V".
const char* VoltsText(Volts v);

// One measurement the guided stage asks for: the adapter is set so that
// this pin differs from its neighbours.
struct Measurement {
    int socketPin;     // 1 to 40: the pin to put the meter on
    Volts expected;    // what a correctly wired adapter gives there now
    std::string line;  // what the pin carries: "A3", "EA/VPP"
    std::string set;   // what lpt51 has set: "A3 high, A0-A7 others low"
};

// "Socket pin 4 (P1.3, A3) should read 5 V (A3 high, the other low latch
// outputs low). What does it read?"
std::string MeasurementQuestion(const Measurement& m);

// Answers the guided stage's measurements: the command line asks on the
// terminal, the window in a dialog, tests read the virtual adapter's pins.
class Meter {
  public:
    virtual ~Meter() = default;
    // What the pin reads now; nothing when the user stops the stage.
    virtual std::optional<Volts> read(const Measurement& m) = 0;
};

// The automatic stage, with the socket empty. Checks the port's kind; with
// the data lines as inputs each must read 1 (its pull-up); a bidirectional
// port drives 00, FF, walking ones and walking zeros and reads them back.
// Skipped, saying so, on a port that cannot read its lines (output-only).
StageResult CheckPort(ChipContext& ctx);

// The guided stage, with the socket empty: each latch output, EA/VPP, P2.7,
// ALE/PROG and the data lines at the socket, measured twice (the pin high
// with its neighbours low, then low with them high); a pin that reads as
// its neighbour does is followed to the output that drives it. Works on any
// port kind.
StageResult CheckWithMeter(ChipContext& ctx, Meter& meter);

// The chip stage: destructive, with an AT89C51 in the socket. The device
// check as erase runs it (its questions through ctx.prompts), then erase,
// read (the erase must have cleared every byte), program a pattern in which
// addresses that differ in any one line hold different bytes, read it back,
// judge the signature the device check read, erase again and read (blank).
// Names stuck, shorted or swapped address and data lines from what comes
// back. Needs a bidirectional port. `observer` sees each read and the write.
// Run it only after the other stages found nothing: an adapter whose P2.7
// is open turns every erase into a lock bit 2 pulse.
StageResult CheckWithChip(ChipContext& ctx, const std::string& cpuCaption,
                          ProgressObserver* observer = nullptr);

}  // namespace lpt51::chip
