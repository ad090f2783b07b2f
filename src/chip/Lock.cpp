#include "chip/Lock.h"

#include <cstdint>

#include "chip/Devices.h"
#include "chip/Signature.h"

namespace lpt51::chip {

namespace {

// Lock bits 1 and 2: pulse with bit 2 set and the lines driving the mode byte.
void LockDriven(Bus& bus, std::uint8_t mode) {
    bus.LatchIdle(1);
    bus.PutData(mode);
    bus.BusDelay(1);
    bus.SetControl(0x05);
    bus.BusDelay(1);
    bus.SetControl(0x07);
    bus.Sleep(1);
    bus.SetControl(0x0F);
    bus.BusDelay(1);
    bus.SetControl(0x07);
}

// Lock bit 3: lines to input, bit 2 cleared; bit 5 stays set until ReleaseBus.
void LockBit3(Bus& bus, std::uint8_t mode) {
    bus.LatchIdle(1);
    bus.LatchHigh(mode, 1);
    bus.SetControl(0x27);
    bus.BusDelay(4);
    bus.SetControl(0x23);
    bus.Sleep(1);
    bus.SetControl(0x0B);
    bus.BusDelay(1);
    bus.SetControl(0x07);
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
    if (bits.l1) LockDriven(ctx.bus, Is12V(cpuCaption) ? 0x70 : 0xF0);
    if (bits.l2) LockDriven(ctx.bus, Is12V(cpuCaption) ? 0x40 : 0xC0);
    if (bits.l3) LockBit3(ctx.bus, Is12V(cpuCaption) ? 0x60 : 0xE0);
    ctx.bus.ReleaseBus();
    if (any) ctx.prompts.showMessage(LockMessage(bits));
    return true;
}

}  // namespace lpt51::chip
