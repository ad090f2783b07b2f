#include "chip/Erase.h"

#include "chip/Devices.h"
#include "chip/Signature.h"

namespace lpt51::chip {

void EraseSequence(Bus& bus, bool is12V) {
    bus.LatchIdle(1);
    bus.BusDelay(20);
    // Erase mode into the high latch; the strobe ends with the data lines
    // turned to input (0x27), so nothing drives P0 while the pulse runs.
    bus.PutData(is12V ? 0x40 : 0xC0);
    bus.BusDelay(1);
    bus.SetControl(0x05);
    bus.BusDelay(1);
    bus.SetControl(0x27);
    bus.BusDelay(4);
    bus.SetControl(0x23);
    bus.BusDelay(20);
    // SetControl keeps bit 5: the pulse runs as 0x2B.
    bus.SetControl(0x0B);
    bus.Sleep(10);
    bus.SetControlOut(7);
    bus.ReleaseBus();
}

bool ClearChip(ChipContext& ctx, const std::string& cpuCaption) {
    if (!RunDeviceCheck(ctx, cpuCaption)) return false;
    EraseSequence(ctx.bus, Is12V(cpuCaption));
    if (ctx.state.CwvActive == 0) ctx.prompts.showMessage(kChipIsClear);
    return true;
}

}  // namespace lpt51::chip
