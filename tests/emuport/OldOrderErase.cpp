// SPDX-License-Identifier: GPL-3.0-or-later
// Clear Chip as the program did it before direction changes were ordered:
// the real libieee1284, with the direction call first when the lines turn
// to input. Run under the emulated port, it shows what that order did to
// the adapter: the erase's SetControl(0x27) ends the high-latch strobe after
// the drivers are off, so the latch takes the pull-ups (0xFF) instead of the
// erase mode, and the pulse erases nothing.
#include <ieee1284.h>

#include <cstdio>
#include <string>

#include "chip/Devices.h"
#include "chip/Erase.h"
#include "port/Bus.h"
#include "port/Calibration.h"
#include "port/Clock.h"
#include "port/ControlBits.h"
#include "port/Port.h"

namespace {

class OldOrderPort final : public lpt51::Port {
  public:
    explicit OldOrderPort(parport* port) : port_(port) {}

    std::uint8_t readData() override {
        return static_cast<std::uint8_t>(ieee1284_read_data(port_));
    }
    void writeData(std::uint8_t value) override { ieee1284_write_data(port_, value); }
    std::uint8_t readControl() override { return shadow_; }
    void writeControl(std::uint8_t value) override {
        using namespace lpt51::control_bits;
        const bool toInput = (value & kDataInput) != 0;
        const bool turns = !known_ || toInput != ((shadow_ & kDataInput) != 0);
        if (turns && toInput) ieee1284_data_dir(port_, 1);
        ieee1284_write_control(port_,
                               static_cast<unsigned char>((value & kLines) ^ kInvertedLines));
        if (turns && !toInput) ieee1284_data_dir(port_, 0);
        known_ = true;
        shadow_ = value;
    }

  private:
    parport* port_;
    std::uint8_t shadow_ = 0x0C;  // the claim's value
    bool known_ = false;
};

class YesPrompts final : public lpt51::Prompts {
  public:
    void showMessage(const std::string& text) override { std::printf("%s\n", text.c_str()); }
    lpt51::Answer ask(lpt51::QuestionKind, const std::string&) override {
        return lpt51::Answer::Yes;
    }
};

}  // namespace

int main() {
    parport_list list{};
    if (ieee1284_find_ports(&list, 0) != E1284_OK || list.portc < 1) {
        std::fprintf(stderr, "no parallel port\n");
        return 3;
    }
    parport* port = list.portv[0];
    int capabilities = 0;
    if (ieee1284_open(port, 0, &capabilities) != E1284_OK || ieee1284_claim(port) != E1284_OK) {
        std::fprintf(stderr, "cannot open %s\n", port->name);
        return 3;
    }
    {
        OldOrderPort old(port);
        lpt51::RealClock clock;
        lpt51::Bus bus(old, clock, lpt51::DelayUnitFromMHz(lpt51::MeasureCpuMHz()));
        YesPrompts prompts;
        lpt51::chip::ProgrammerState state;
        lpt51::chip::ChipContext ctx{bus, prompts, state};
        lpt51::chip::ClearChip(ctx, lpt51::chip::kDevice12V);
    }
    ieee1284_release(port);
    ieee1284_close(port);
    ieee1284_free_ports(&list);
    return 0;
}
