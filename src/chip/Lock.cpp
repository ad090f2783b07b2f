#include "chip/Lock.h"

#include <cstdint>

#include "chip/At89c51.h"
#include "chip/Devices.h"
#include "chip/Signature.h"

namespace lpt51::chip {

namespace {

// Lock bits 1 and 2: P2.7 high, the lines driving the mode byte.
void LockDriven(Bus& bus, const ModeEntry& lock, Variant variant) {
    bus.LatchIdle(1);
    bus.PutData(lock.modeByte(variant));
    bus.BusDelay(1);
    bus.SetControl(control::kHighStrobe);
    bus.BusDelay(1);
    bus.SetControl(control::kRest);
    bus.Sleep(1);
    bus.SetControl(lock.control);
    bus.BusDelay(1);
    bus.SetControl(control::kRest);
}

// Lock bit 3: P2.7 low, so the lines go to input first; bit 5 stays set until
// ReleaseBus.
void LockBit3(Bus& bus, Variant variant) {
    const ModeEntry& lock = kAt89c51.mode(Operation::LockBit3);
    bus.LatchIdle(1);
    bus.LatchHigh(lock.modeByte(variant), 1);
    bus.SetControl(control::kInput);
    bus.BusDelay(4);
    bus.SetControl(control::kInputEnable);
    bus.Sleep(1);
    bus.SetControl(lock.control);
    bus.BusDelay(1);
    bus.SetControl(control::kRest);
}

}  // namespace

std::string LockMessage(LockSelection bits) {
    return std::string("Lock Bit ") + (bits.l1 ? "1" : "") + " " + (bits.l2 ? "2" : "") + " " +
           (bits.l3 ? "3" : "") + " burn successful.";
}

bool LockChip(ChipContext& ctx, const std::string& cpuCaption, LockSelection bits) {
    if (!RunDeviceCheck(ctx, cpuCaption)) return false;
    const bool any = bits.l1 || bits.l2 || bits.l3;
    if (!any) ctx.prompts.showMessage(kNoLockBitSelect);
    const Variant variant = CaptionVariant(cpuCaption);
    if (bits.l1) LockDriven(ctx.bus, kAt89c51.mode(Operation::LockBit1), variant);
    if (bits.l2) LockDriven(ctx.bus, kAt89c51.mode(Operation::LockBit2), variant);
    if (bits.l3) LockBit3(ctx.bus, variant);
    ctx.bus.ReleaseBus();
    if (any) ctx.prompts.showMessage(LockMessage(bits));
    return true;
}

}  // namespace lpt51::chip
