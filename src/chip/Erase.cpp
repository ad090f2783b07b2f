// SPDX-License-Identifier: GPL-3.0-or-later
#include "chip/Erase.h"

#include "chip/At89c51.h"
#include "chip/Devices.h"
#include "chip/Signature.h"

namespace lpt51::chip {

void EraseSequence(Bus& bus, bool is12V, const EraseWaits& w) {
    const ModeEntry& erase = kAt89c51.mode(Operation::Erase);
    bus.LatchIdle(w.idle);
    bus.Wait(w.settle);
    // Erase mode into the high latch; the strobe ends with the data lines
    // turned to input, so nothing drives P0 while the pulse runs.
    bus.PutData(erase.modeByte(is12V ? Variant::Volts12 : Variant::Volts5));
    bus.Wait(w.latch);
    bus.SetControl(control::kHighStrobe);
    bus.Wait(w.latch);
    bus.SetControl(control::kInput);
    bus.Wait(w.input);
    bus.SetControl(control::kInputEnable);
    bus.Wait(w.setup);
    // SetControl keeps bit 5: the pulse runs with the lines still input.
    bus.SetControl(erase.control);
    bus.Wait(w.pulse);
    bus.SetControlOut(control::kRest);
    bus.ReleaseBus();
}

bool ClearChip(ChipContext& ctx, const std::string& cpuCaption) {
    if (!RunDeviceCheck(ctx, cpuCaption)) return false;
    EraseSequence(ctx.bus, Is12V(cpuCaption), ctx.state.waits().erase);
    if (ctx.state.CwvActive == 0) ctx.prompts.showMessage(kChipIsClear);
    return true;
}

}  // namespace lpt51::chip
