// SPDX-License-Identifier: GPL-3.0-or-later
#include "KernelPort.h"

#include <linux/parport.h>

#include "port/ControlBits.h"

namespace lpt51::emuport {

namespace {

using control_bits::kDataInput;
using control_bits::kIrqEnable;
using control_bits::kLines;
constexpr std::uint8_t kEcrPs2 = 0x34;

}  // namespace

KernelPort::KernelPort(const Settings& settings, Card& card) : settings_(settings), card_(card) {
    // The interrupt enable only with an IRQ; the direction bit only on a port
    // that passed the PS/2 test at boot.
    ctrWritable_ = static_cast<std::uint8_t>(~kIrqEnable);
    if (settings.irq >= 0) ctrWritable_ |= kIrqEnable;
    if (settings.portKind == sim::PortKind::OutputOnly) ctrWritable_ &= ~kDataInput;
}

KernelPort::DeviceState KernelPort::initialState() const {
    DeviceState s{0x0C, kEcrPs2};
    if (settings_.irq >= 0) s.ctr |= kIrqEnable;
    return s;
}

void KernelPort::claim(const DeviceState& state) {
    ctr_ = state.ctr & ctrWritable_;
    card_.writeControl(ctr_, "claim", true);
    if (card_.hasEcr()) card_.writeEcr(state.ecr, "claim", true);
    frob(kIrqEnable, kIrqEnable, "claim", true);
}

void KernelPort::release(DeviceState& state) {
    state.ctr = ctr_;
    if (card_.hasEcr()) state.ecr = card_.readEcr("release");
}

std::uint8_t KernelPort::readControl() const {
    return ctr_ & kLines;
}

void KernelPort::writeControl(std::uint8_t value) {
    if (value & kDataInput) frob(kDataInput, kDataInput, "PPWCONTROL");
    frob(kLines, value & kLines, "PPWCONTROL");
}

void KernelPort::frobControl(std::uint8_t mask, std::uint8_t value) {
    if (mask & kDataInput) frob(kDataInput, value & kDataInput, "PPFCONTROL");
    frob(mask & kLines, value & kLines, "PPFCONTROL");
}

void KernelPort::dataDirection(bool reverse) {
    frob(kDataInput, reverse ? kDataInput : 0, "PPDATADIR");
}

unsigned KernelPort::modes() const {
    unsigned m = PARPORT_MODE_PCSPP | PARPORT_MODE_SAFEININT;
    if (settings_.portKind != sim::PortKind::OutputOnly) m |= PARPORT_MODE_TRISTATE;
    return m;
}

void KernelPort::frob(std::uint8_t mask, std::uint8_t value, const char* cause, bool byDriver) {
    // __parport_pc_frob_control writes the register even when nothing changes.
    ctr_ = static_cast<std::uint8_t>(((ctr_ & ~mask) ^ value) & ctrWritable_);
    card_.writeControl(ctr_, cause, byDriver);
}

}  // namespace lpt51::emuport
