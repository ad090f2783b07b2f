// SPDX-License-Identifier: GPL-3.0-or-later
#include "chip/WriteCycle.h"

#include "chip/HexText.h"

namespace lpt51::chip {

namespace {

std::string AddressText(const ProgrammerState& st) {
    return Hex2(st.AddrHigh) + Hex2(st.AddrLow);
}

}  // namespace

std::optional<std::string> EndWriteCycle(Bus& bus, const ProgrammerState& st,
                                         std::uint8_t written) {
    const WriteWaits& w = st.waits().write;
    if (!w.dataPolling || st.BidiMode == 0) {
        bus.Wait(w.cycle);
        return std::nullopt;
    }
    const Clock::Duration deadline = bus.clock().now() + w.pollTimeout;
    bus.Wait(w.pollHold);
    bus.SetControl(control::kInput);
    bus.SetControl(control::kInputEnable);
    bus.Wait(w.pollAccess);
    std::optional<std::uint8_t> read;
    for (;;) {
        // Taken before the read, so that the last read comes after the
        // deadline however long the process was held up before it.
        const bool late = bus.clock().now() >= deadline;
        if (((bus.GetData() ^ written) & 0x80) == 0) {
            // Bit 7 comes true as the cycle ends; the other bits with it.
            read = bus.GetData();
            break;
        }
        if (late) break;
        bus.Wait(w.pollInterval);
    }
    bus.SetControl(control::kInput);
    bus.Wait(w.pollFloat);
    bus.SetControlOut(control::kRest);
    if (!read) {
        return "the chip did not finish writing byte " + AddressText(st) +
               ": is the programming voltage on, and is the chip locked?";
    }
    if (*read != written) {
        return "Write stopped at code byte " + AddressText(st) + ": it reads " + Hex2(*read) +
               " instead of " + Hex2(written) +
               ". The chip may be partly programmed: erase it and write again.";
    }
    return std::nullopt;
}

}  // namespace lpt51::chip
