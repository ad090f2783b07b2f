// SPDX-License-Identifier: GPL-3.0-or-later
#include "chip/Lock.h"

#include <algorithm>
#include <cstdint>

#include "chip/At89c51.h"
#include "chip/Devices.h"
#include "chip/Signature.h"

namespace lpt51::chip {

namespace {

// The pulse of a lock bit whose mode is latched, as often as it takes to
// give one of normal length; a stretched one may not have programmed it.
void PulseLockBit(Bus& bus, const LockWaits& w, const ModeEntry& lock, int bit,
                  PulseChecks& checks) {
    Clock::Duration width = bus.TimedPulse(lock.control, w.pulse.units);
    if (!Stretched(width)) return;
    StretchedPulse pulse;
    pulse.lockBit = bit;
    pulse.longest = width;
    pulse.outcome = PulseOutcome::CouldNotBeMended;
    for (int tries = 1; tries < kPulseTries; ++tries) {
        // The mode stays latched: P2.7 as the mode wants it, a millisecond
        // past the previous pulse's programming time, then the pulse.
        bus.Wait(w.repeat);
        bus.SetControl(static_cast<std::uint8_t>(lock.control & ~control::kProgLow));
        bus.Wait(w.setup);
        width = bus.TimedPulse(lock.control, w.pulse.units);
        if (!Stretched(width)) {
            pulse.outcome = PulseOutcome::ProgrammedAgain;
            break;
        }
        ++pulse.stretched;
        pulse.longest = std::max(pulse.longest, width);
    }
    checks.pulses.push_back(pulse);
}

// Lock bits 1 and 2: P2.7 high, the lines driving the mode byte.
void LockDriven(Bus& bus, const LockWaits& w, const ModeEntry& lock, Variant variant, int bit,
                PulseChecks& checks) {
    bus.LatchIdle(w.idle);
    bus.PutData(lock.modeByte(variant));
    bus.Wait(w.latch);
    bus.SetControl(control::kHighStrobe);
    bus.Wait(w.latch);
    bus.SetControl(control::kRest);
    bus.Wait(w.setup);
    PulseLockBit(bus, w, lock, bit, checks);
}

// Lock bit 3: P2.7 low, so the lines go to input first; bit 5 stays set until
// ReleaseBus.
void LockBit3(Bus& bus, const LockWaits& w, Variant variant, PulseChecks& checks) {
    const ModeEntry& lock = kAt89c51.mode(Operation::LockBit3);
    bus.LatchIdle(w.idle);
    bus.LatchHigh(lock.modeByte(variant), w.latch);
    bus.SetControl(control::kInput);
    bus.Wait(w.input);
    bus.SetControl(control::kInputEnable);
    bus.Wait(w.setup);
    PulseLockBit(bus, w, lock, 3, checks);
}

}  // namespace

std::string LockMessage(LockSelection bits) {
    return std::string("Lock Bit ") + (bits.l1 ? "1" : "") + " " + (bits.l2 ? "2" : "") + " " +
           (bits.l3 ? "3" : "") + " burn successful.";
}

LockResult LockChip(ChipContext& ctx, const std::string& cpuCaption, LockSelection bits) {
    LockResult result;
    if (!RunDeviceCheck(ctx, cpuCaption)) return result;
    result.deviceChecked = true;
    const bool any = bits.l1 || bits.l2 || bits.l3;
    result.anyBit = any;
    if (!any) ctx.prompts.showMessage(kNoLockBitSelect);
    const Variant variant = CaptionVariant(cpuCaption);
    PulseChecks& checks = result.pulses;
    const LockWaits& w = ctx.state.waits().lock;
    if (bits.l1) LockDriven(ctx.bus, w, kAt89c51.mode(Operation::LockBit1), variant, 1, checks);
    if (bits.l2) LockDriven(ctx.bus, w, kAt89c51.mode(Operation::LockBit2), variant, 2, checks);
    if (bits.l3) LockBit3(ctx.bus, w, variant, checks);
    ctx.bus.ReleaseBus();
    if (ctx.pulseLog) {
        for (const StretchedPulse& p : checks.pulses) ctx.pulseLog->pulses.push_back(p);
    }
    for (const StretchedPulse& p : checks.pulses) {
        if (p.outcome != PulseOutcome::CouldNotBeMended) continue;
        result.failure = "The " + p.subject() + " got " + std::to_string(kPulseTries) +
                         " pulses, none within the chip's limit: it may not be set. Lock the "
                         "chip again.";
    }
    if (result.failure) {
        ctx.prompts.showMessage(*result.failure);
    } else if (any) {
        ctx.prompts.showMessage(LockMessage(bits));
    }
    return result;
}

}  // namespace lpt51::chip
