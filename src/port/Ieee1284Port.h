// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "port/Ieee1284Library.h"
#include "port/Port.h"

struct parport;
struct parport_list;

namespace lpt51 {

// A parallel port reached through libieee1284 (ppdev, or raw I/O where the
// process may). The library speaks IEEE 1284 line levels; this class turns
// them back into the PC register values the bus steps write.
//
// The port is claimed for the whole life of the object, so no other driver
// (the printer driver, another program) touches the lines between two steps
// of a sequence.
// One port as libieee1284 finds it, for a list the user reads.
struct FoundPort {
    std::string name;    // "parport0", or "0x378" for one known only by its address
    std::string base;    // "0x378"; empty when the library gives none
    std::string device;  // "/dev/parport0"; empty for direct I/O
    std::string access;  // "ppdev" or "direct I/O"
    bool opens = false;  // this user may open it now
    std::string whyNot;  // when not: the reason and what to do
};

// Every port the library finds. `guessed` is set when no parallel-port driver
// is loaded: the library then only tries the classic addresses, which are
// no ports found. `problem` is set when the library cannot look at all.
// Opening a port to ask does nothing to its lines: nothing is claimed.
std::vector<FoundPort> FindPorts(bool& guessed, std::string& problem,
                                 Ieee1284Library& library = systemIeee1284());

// What to say when no driver is loaded and the library only guessed.
inline constexpr const char* kNoParportDriver =
    "No parallel-port driver is loaded, so no port can be found (the addresses 0x278, 0x378 "
    "and 0x3BC are only the library's guesses). Load the modules: sudo modprobe parport_pc "
    "ppdev.";

class Ieee1284Port final : public Port {
  public:
    // Opens the port whose base address is `baseAddress` (e.g. 0x378).
    static std::unique_ptr<Ieee1284Port> openByAddress(unsigned long baseAddress,
                                                       std::string& problem,
                                                       Ieee1284Library& library = systemIeee1284());
    // The same, except that a machine without a port there whose only parallel
    // port lies elsewhere (a PCIe card, usually parport0 at an address such as
    // 0xD010) gets that one; standsIn() then says so.
    static std::unique_ptr<Ieee1284Port> openAtOrOnly(unsigned long baseAddress,
                                                      std::string& problem,
                                                      Ieee1284Library& library = systemIeee1284());
    // Opens the port named "parport0" or "/dev/parport0".
    static std::unique_ptr<Ieee1284Port> openByName(const std::string& name, std::string& problem,
                                                    Ieee1284Library& library = systemIeee1284());

    ~Ieee1284Port() override = default;
    Ieee1284Port(const Ieee1284Port&) = delete;
    Ieee1284Port& operator=(const Ieee1284Port&) = delete;

    std::uint8_t readData() override;
    void writeData(std::uint8_t value) override;
    std::uint8_t readControl() override;
    void writeControl(std::uint8_t value) override;
    std::optional<std::string> failure() const override { return failure_; }
    void clearFailure() override { failure_.reset(); }

    // "parallel port parport0 at 0x378 (/dev/parport0, ppdev)" or
    // "parallel port 0x378 (direct I/O)".
    const std::string& description() const { return description_; }
    // "parport0 at 0x378", or "0x378" for a port known only by its address.
    const std::string& name() const { return name_; }
    // True when this is the machine's only port, opened in place of the
    // address asked for.
    bool standsIn() const { return standsIn_; }

  private:
    // Each undoes one step of opening a port; held in the order of the steps,
    // they are undone in reverse: release, close, free the list.
    struct FreeList {
        Ieee1284Library* library;
        void operator()(parport_list* list) const;
    };
    struct ClosePort {
        Ieee1284Library* library;
        void operator()(parport* port) const;
    };
    struct ReleasePort {
        Ieee1284Library* library;
        void operator()(parport* port) const;
    };
    using PortList = std::unique_ptr<parport_list, FreeList>;
    using OpenedPort = std::unique_ptr<parport, ClosePort>;
    using ClaimedPort = std::unique_ptr<parport, ReleasePort>;

    // Takes over a claimed port and puts it at rest at once.
    Ieee1284Port(Ieee1284Library& library, PortList list, OpenedPort opened, ClaimedPort claimed);
    // Bits 0-3 of `value` to the control lines; bit 5 stays as it is.
    void writeLines(std::uint8_t value);
    static std::unique_ptr<Ieee1284Port> openMatching(
        const std::string& wanted, const std::function<bool(const parport*)>& matches,
        bool onlyPortWillDo, std::string& problem, Ieee1284Library& library);

    Ieee1284Library& library_;
    PortList list_;
    OpenedPort opened_;
    ClaimedPort claimed_;
    parport* port_;  // the claimed port
    std::string name_;
    std::string description_;
    bool standsIn_ = false;
    // The last control value written: the library's read of the control
    // lines may be unreliable, and it cannot read the data direction at all.
    std::uint8_t shadow_ = 0;
    bool directionKnown_ = false;
    std::optional<std::string> failure_;
};

}  // namespace lpt51
