#include "chip/Erase.h"

#include <chrono>

#include "chip/At89c51.h"
#include "chip/Devices.h"
#include "chip/Signature.h"

namespace lpt51::chip {

void EraseSequence(Bus& bus, bool is12V) {
    const ModeEntry& erase = kAt89c51.mode(Operation::Erase);
    const auto pulseMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(kAt89c51.timing.erasePulse);
    bus.LatchIdle(1);
    bus.BusDelay(20);
    // Erase mode into the high latch; the strobe ends with the data lines
    // turned to input, so nothing drives P0 while the pulse runs.
    bus.PutData(erase.modeByte(is12V ? Variant::Volts12 : Variant::Volts5));
    bus.BusDelay(1);
    bus.SetControl(control::kHighStrobe);
    bus.BusDelay(1);
    bus.SetControl(control::kInput);
    bus.BusDelay(4);
    bus.SetControl(control::kInputEnable);
    bus.BusDelay(20);
    // SetControl keeps bit 5: the pulse runs with the lines still input.
    bus.SetControl(erase.control);
    bus.Sleep(static_cast<unsigned>(pulseMs.count()));
    bus.SetControlOut(control::kRest);
    bus.ReleaseBus();
}

bool ClearChip(ChipContext& ctx, const std::string& cpuCaption) {
    if (!RunDeviceCheck(ctx, cpuCaption)) return false;
    EraseSequence(ctx.bus, Is12V(cpuCaption));
    if (ctx.state.CwvActive == 0) ctx.prompts.showMessage(kChipIsClear);
    return true;
}

}  // namespace lpt51::chip
