// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "Card.h"
#include "Settings.h"

namespace lpt51::emuport {

// The kernel's side of one port, as drivers/parport/parport_pc.c and the
// parport core keep it: a soft copy of the control register that every
// write starts from, the control bits the port may be given, and the state
// each registered device gets back when it claims the port.
class KernelPort {
  public:
    // What a device (one open ppdev file) has saved of the port.
    struct DeviceState {
        std::uint8_t ctr;
        std::uint8_t ecr;
    };

    KernelPort(const Settings& settings, Card& card);

    // parport_pc_init_state: 0x0C, with the interrupt enable (0x10) when the
    // port has an IRQ, and the ECR in PS/2 mode.
    DeviceState initialState() const;
    // parport_claim's restore_state, then ppdev's enable_irq.
    void claim(const DeviceState& state);
    // parport_release's save_state.
    void release(DeviceState& state);

    // The ioctls' register operations.
    std::uint8_t readControl() const;                         // PPRCONTROL: the soft copy, bits 0-3
    void writeControl(std::uint8_t value);                    // PPWCONTROL
    void frobControl(std::uint8_t mask, std::uint8_t value);  // PPFCONTROL
    void dataDirection(bool reverse);                         // PPDATADIR
    unsigned modes() const;                                   // PPGETMODES

  private:
    void frob(std::uint8_t mask, std::uint8_t value, const char* cause, bool byDriver = false);

    const Settings& settings_;
    Card& card_;
    std::uint8_t ctr_ = 0x07;
    std::uint8_t ctrWritable_;
};

}  // namespace lpt51::emuport
