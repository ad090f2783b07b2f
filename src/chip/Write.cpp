// SPDX-License-Identifier: GPL-3.0-or-later
#include "chip/Write.h"

#include <algorithm>
#include <cstdint>

#include "chip/At89c51.h"
#include "chip/Devices.h"
#include "chip/HexText.h"
#include "chip/WriteCycle.h"

namespace lpt51::chip {

namespace {

constexpr std::uint8_t kErased = 0xFF;

struct Programmed {
    Clock::Duration width{0};  // the bound on its pulse's width
    // Why the byte polled at the end of its cycle stops the write, if it does.
    std::optional<std::string> failure;
};

// One code byte at the current address, from its address to the end of its
// write cycle.
Programmed ProgramByte(Bus& bus, ProgrammerState& st, std::uint8_t pulseControl,
                       std::uint8_t modeBits, std::uint8_t b) {
    const WriteWaits& w = st.waits().write;
    LatchAddress(bus, st, modeBits, w.latch);
    st.ChipByte = b;
    bus.PutData(b);
    bus.Wait(w.setup);
    // An output-only port gets more time before the pulse.
    if (st.BidiMode == 0) bus.Wait(w.setupOutputOnly);
    const Clock::Duration width = bus.TimedPulse(pulseControl, w.pulse.units);
    return {width, EndWriteCycle(bus, st, b)};
}

// The byte at the current address, read as the verify reads it; then the
// lines drive again and the next byte can be programmed as any other.
std::uint8_t ReadBack(Bus& bus, ProgrammerState& st) {
    const ReadWaits& r = st.waits().verify;
    bus.LatchIdle(r.idle);
    bus.Wait(r.settle);
    LatchAddress(bus, st, kAt89c51.modeByte(Operation::ReadCode, Variant::Volts5), r.latch);
    const std::uint8_t read = bus.ReadStrobe(r.input, r.access);
    bus.LatchIdle(r.idle);
    bus.Wait(r.settle);
    bus.SetControl(control::kRest);
    bus.Wait(st.waits().write.record);
    return read;
}

// A byte whose pulse was too long. Flash only clears bits, so another pulse
// with the same byte cannot spoil a cell the long one programmed correctly.
void MendByte(Bus& bus, ProgrammerState& st, std::uint8_t pulseControl, std::uint8_t modeBits,
              std::uint8_t b, StretchedPulse& pulse) {
    auto another = [&] {
        // The read-back below judges the byte, not the polling.
        const Clock::Duration width = ProgramByte(bus, st, pulseControl, modeBits, b).width;
        if (!Stretched(width)) return false;
        ++pulse.stretched;
        pulse.longest = std::max(pulse.longest, width);
        return true;
    };
    if (st.BidiMode == 0) {
        // Nothing to read back: a pulse of normal length is the only proof.
        for (int tries = 1; tries < kPulseTries; ++tries) {
            if (!another()) {
                pulse.outcome = PulseOutcome::ProgrammedAgain;
                return;
            }
        }
        pulse.outcome = PulseOutcome::CouldNotBeMended;
        return;
    }
    for (int tries = 1;; ++tries) {
        pulse.readBack = ReadBack(bus, st);
        if (*pulse.readBack == b) {
            pulse.outcome =
                tries == 1 ? PulseOutcome::ReadBackCorrect : PulseOutcome::ProgrammedAgain;
            return;
        }
        if (tries == kPulseTries) break;
        another();
    }
    pulse.outcome = PulseOutcome::CouldNotBeMended;
}

std::string FailureText(const StretchedPulse& pulse, std::uint8_t b) {
    std::string text =
        "Write stopped at " + pulse.subject() + ": " + std::to_string(kPulseTries) + " pulses, ";
    if (pulse.readBack) {
        text += "and it reads " + Hex2(*pulse.readBack) + " instead of " + Hex2(b) + ".";
    } else {
        text += "none within the chip's limit (" + Hex2(b) +
                " written, nothing read back on an output-only port).";
    }
    return text + " The chip may be partly programmed: erase it and write again.";
}

}  // namespace

WriteResult WriteImage(ChipContext& ctx, const std::string& cpuCaption, const ScannedImage& scan,
                       ProgressObserver* observer) {
    WriteResult result;
    // The whole text was walked before the first port access, so a bad field
    // or an address beyond the chip programs nothing at all.
    result.refusal = RefusalText(scan, ImageUse::Write);
    if (result.refusal) return result;

    Bus& bus = ctx.bus;
    ProgrammerState& st = ctx.state;
    const ModeEntry& program = kAt89c51.mode(Operation::ProgramCode);
    const std::uint8_t modeBits = program.modeByte(CaptionVariant(cpuCaption));

    const WriteWaits& w = st.waits().write;
    bus.LatchIdle(w.idle);
    bus.Wait(w.settle);
    for (const WalkRecord& rec : scan.records) {
        if (rec.data) {
            st.AddrHigh = rec.addrHigh;
            st.AddrLow = rec.addrLow;
            bus.SetControl(control::kRest);
            bus.Wait(w.record);
            for (const std::uint8_t b : rec.bytes) {
                if (ctx.stopAsked()) {
                    result.stopped = true;
                    bus.ReleaseBus();
                    return result;
                }
                // A flash cell only clears bits: a pulse with 0xFF changes
                // nothing on any chip, so the byte gets none.
                const Programmed p = b == kErased
                                         ? Programmed{}
                                         : ProgramByte(bus, st, program.control, modeBits, b);
                if (Stretched(p.width)) {
                    StretchedPulse pulse;
                    pulse.address = static_cast<std::uint16_t>((st.AddrHigh << 8) | st.AddrLow);
                    pulse.longest = p.width;
                    MendByte(bus, st, program.control, modeBits, b, pulse);
                    result.pulses.pulses.push_back(pulse);
                    if (ctx.pulseLog) ctx.pulseLog->pulses.push_back(pulse);
                    if (pulse.outcome == PulseOutcome::CouldNotBeMended) {
                        result.failure = FailureText(pulse, b);
                        bus.ReleaseBus();
                        return result;
                    }
                } else if (p.failure) {
                    result.failure = p.failure;
                    bus.ReleaseBus();
                    return result;
                }
                AdvanceAddress(st);
                ++result.bytesProgrammed;
                if (observer) observer->bytesDone(result.bytesProgrammed, scan.dataBytes);
            }
        }
        if (observer) observer->recordFinished(rec.lineIndex);
    }
    bus.ReleaseBus();
    result.completed = true;
    return result;
}

std::optional<std::string> WriteFinalMessage(const WriteResult& result,
                                             const ProgrammerState& state) {
    if (result.refusal) return result.refusal;
    if (result.failure) return result.failure;
    if (result.completed && state.CwvActive == 0) return std::string(kFileWasBurn);
    return std::nullopt;
}

}  // namespace lpt51::chip
