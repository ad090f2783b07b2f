// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "chip/At89c51.h"
#include "chip/Devices.h"
#include "chip/Prompts.h"
#include "chip/PulseCheck.h"
#include "port/Bus.h"

namespace lpt51::chip {

// The process-wide variables the chip operations share. One instance lives as
// long as the program (the window or the command line owns it).
struct ProgrammerState {
    std::string ChipType;            // device type string, see Devices.h
    std::uint8_t BidiMode = 1;       // 1: the port can read the chip
    std::uint8_t CwvActive = 0;      // Clear-Write-Verify running: final messages stay silent
    std::uint8_t SkipSignature = 0;  // ReadSignature reads nothing while set
    std::uint8_t VerifyFailed = 0;   // a byte differed in the current verify
    std::uint16_t AddrLow = 0;       // chip address bits 0-7
    std::uint16_t AddrHigh = 0;      // chip address bits 8-11 (a record may hold more)
    std::uint16_t ChipByte = 0;      // byte last read from or to be written to the chip
    // The waits the bus sequences use: one of the descriptor's timings.
    const BusTiming* Timing = &kStandardTiming;

    const BusTiming& waits() const { return *Timing; }
};

// What every chip operation works with. The selected device (the `cpu`
// caption) is passed to each operation that needs it, since the caption, not
// ChipType, decides the variant.
struct ChipContext {
    Bus& bus;
    Prompts& prompts;
    ProgrammerState& state;
    // Where every write and lock also notes its stretched pulses, when set:
    // the session collects them across the steps of one operation.
    PulseChecks* pulseLog = nullptr;
    // Asked between two bytes of a write, verify or read-out: true ends the
    // walk there, the bus released as at its end.
    std::function<bool()> stopRequested = {};

    bool stopAsked() const { return stopRequested && stopRequested(); }
};

// Steps the chip address by one byte: the carry out of AddrLow goes into
// AddrHigh, so a record running over a 256-byte page continues on the next.
inline void AdvanceAddress(ProgrammerState& st) {
    if (++st.AddrLow == 0x100) {
        st.AddrLow = 0;
        ++st.AddrHigh;
    }
}

// Latches the current address with `mode` in the high latch's upper bits:
// the first steps of every byte the chip is asked to take or give.
inline void LatchAddress(Bus& bus, const ProgrammerState& st, std::uint8_t mode, const BusWait& d) {
    bus.LatchLow(static_cast<std::uint8_t>(st.AddrLow), d);
    bus.LatchHigh(static_cast<std::uint8_t>(mode | (st.AddrHigh & mode_bits::kAddressHigh)), d);
}

// Reads the byte at the current address in a read mode into ChipByte: idle,
// the address with the mode, the read strobe, with the waits `w`.
inline std::uint8_t ReadByteAt(ChipContext& ctx, Operation read, const ReadWaits& w) {
    ctx.bus.LatchIdle(w.idle);
    ctx.bus.Wait(w.settle);
    LatchAddress(ctx.bus, ctx.state, kAt89c51.modeByte(read, Variant::Volts5), w.latch);
    ctx.state.ChipByte = ctx.bus.ReadStrobe(w.input, w.access);
    return static_cast<std::uint8_t>(ctx.state.ChipByte);
}

// True when the caption selects the 12 V mode bytes (exact comparison).
inline bool Is12V(const std::string& cpuCaption) {
    return cpuCaption == kDevice12V;
}

inline Variant CaptionVariant(const std::string& cpuCaption) {
    return Is12V(cpuCaption) ? Variant::Volts12 : Variant::Volts5;
}

}  // namespace lpt51::chip
