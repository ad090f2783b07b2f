// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "port/Clock.h"
#include "port/Port.h"
#include "sim/ChipStateStore.h"
#include "sim/VirtualAdapter.h"

namespace lpt51 {

// Which port the program drives, as the command line names it.
struct BackendOptions {
    // "0x378" (a base address), "parport0" or "/dev/parport0" (a port name),
    // "sim" or "sim:STATEFILE" (the virtual adapter, its chip kept in STATEFILE).
    std::string port = "0x378";
    // False until --port is given: then a machine whose only parallel port
    // is not at 0x378 gets that port instead.
    bool portNamed = false;
    sim::ChipKind simChip = sim::ChipKind::Part12V;  // --sim-chip 12v|5v|empty|foreign
    // True once --sim-chip is given: a state file that keeps another chip is
    // then refused, not taken in its place.
    bool simChipNamed = false;
    sim::PortKind simPort = sim::PortKind::Bidirectional;  // --sim-port bidi|spp|nopullups
    bool virtualTiming = false;                            // --sim-timing virtual|real
    double simOscMHz = 12.0;          // --sim-osc MHZ: the virtual adapter's crystal, 3 to 24
    unsigned simWriteCycleUs = 1500;  // --sim-write-cycle US: the virtual chip's, 1 to 2000
    sim::WiringFault simWiring;       // --sim-wiring FAULT: the virtual adapter miswired so
    // --trace FILE: every register access, busy wait and sleep of the run,
    // as a Value Change Dump if FILE ends in ".vcd", as text otherwise.
    std::string trace;
};

// One option that chooses or shapes the port.
struct BackendOptionInfo {
    std::string_view name;       // "--port"
    std::string_view valueName;  // "PORT"
    std::string_view help;       // one line for --help
};

// Every backend option, in the order --help lists them.
std::span<const BackendOptionInfo> BackendOptionList();

// Sets one backend option from its value; returns an error text that begins
// with the option's name when the value is refused (`out` is then untouched).
std::optional<std::string> ApplyBackendOption(const std::string& option, const std::string& value,
                                              BackendOptions& out);

// The --sim-chip word for `kind`: "12v", "5v", "empty" or "foreign".
std::string_view SimChipWord(sim::ChipKind kind);

// Whether the bus runs on virtual time: only the virtual adapter ever does. The
// hardware is always timed by the measured clock, whatever --sim-timing says.
bool TimedVirtually(const BackendOptions& options);

// The open port and the clock it is timed by. A port that cannot be opened
// still gives a Backend: usable() is false and problem() says what is wrong
// and how to fix it; port() is then null and nothing is ever touched.
class Backend {
  public:
    static std::unique_ptr<Backend> open(const BackendOptions& options);
    virtual ~Backend() = default;

    virtual bool usable() const = 0;
    virtual const std::string& problem() const = 0;
    virtual Port* port() = 0;
    virtual Clock& clock() = 0;

    // "virtual adapter (AT89C51 12 V part, bidirectional port, state in F)" or
    // "parallel port parport0 at 0x378 (/dev/parport0, ppdev)".
    virtual std::string description() const = 0;
    // Short enough for a window title: "parport0 at 0xD010", "virtual
    // adapter", "no port".
    virtual std::string name() const { return description(); }
    // Said once when the port in use is not the one asked for (the only
    // port on the machine, in place of 0x378); empty otherwise.
    virtual std::string notice() const { return {}; }

    // The virtual adapter, or null on hardware.
    virtual sim::VirtualAdapter* virtualAdapter() = 0;

    // Called before each chip operation. With a virtual chip kept in a
    // state file: locks it against other lpt51 processes, reads it again
    // from the file as it is now, and for an operation that may change it
    // makes sure its new state can be saved. A refusal means nothing was
    // done, and the operation must not run. Elsewhere it does nothing.
    virtual std::optional<sim::ChipStateRefusal> beginOperation(sim::ChipUse) {
        return std::nullopt;
    }
    // Called after it, also when it failed or stopped: saves the virtual
    // chip when the operation began as one that changes it (a read-only one
    // never rewrites the file), then writes what the port trace collected,
    // and unlocks. Returns an error text on failure.
    [[nodiscard]] virtual std::optional<std::string> endOperation() { return std::nullopt; }

    // Writes the virtual chip to its state file (atomically) when there is
    // one, then what the port trace has collected; call after every chip
    // operation. Returns an error text on failure.
    [[nodiscard]] virtual std::optional<std::string> persist() = 0;
};

}  // namespace lpt51
