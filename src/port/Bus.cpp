// SPDX-License-Identifier: GPL-3.0-or-later
#include "port/Bus.h"

namespace lpt51 {

Bus::Bus(Port& port, Clock& clock, std::uint32_t delayUnit)
    : port_(port), clock_(clock), delayUnit_(delayUnit) {}

void Bus::WriteControl(std::uint8_t old, std::uint8_t value) {
    using namespace control_bits;
    const bool linesIn = (old & kDataInput) != 0;
    if (waitedSinceRise_ && linesIn) {
        const bool drives = (value & kDataInput) == 0;
        const std::uint8_t holds = kLowLatchHolds | kHighLatchHolds;
        const bool closes = (~old & value & holds) != 0;
        if (drives || closes) {
            if (*waitedSinceRise_ < kDataFloat.exact)
                clock_.busyWaitFor(kDataFloat.exact - *waitedSinceRise_);
            waitedSinceRise_.reset();
        }
    }
    port_.writeControl(value);
    if ((old & kP27High) == 0 && (value & kP27High) != 0 && (value & kDataInput) != 0) {
        waitedSinceRise_ = Clock::Duration{0};
    }
}

void Bus::Waited(Clock::Duration d) {
    if (waitedSinceRise_) *waitedSinceRise_ += d;
}

void Bus::SetControl(std::uint8_t v) {
    const std::uint8_t old = port_.readControl();
    WriteControl(old, static_cast<std::uint8_t>((old & control::kKeepBits) | v));
}

void Bus::SetControlOut(std::uint8_t v) {
    const std::uint8_t old = port_.readControl();
    WriteControl(old, static_cast<std::uint8_t>((old & control::kKeepBitsDrive) | v));
}

void Bus::PutData(std::uint8_t b) {
    port_.writeData(b);
}

std::uint8_t Bus::GetData() {
    return port_.readData();
}

void Bus::BusDelay(std::uint32_t k) {
    clock_.betweenSteps();
    Spin(k);
}

void Bus::Spin(std::uint32_t k) {
    // The wait lasts k units by the clock; the iteration count (a 32-bit
    // product, as the calibration assumes) is only kept for the trace.
    clock_.busyWait(DelayCounter_, k * delayUnit_, k);
    Waited(std::chrono::microseconds(10) * k);
}

Clock::Duration Bus::TimedPulse(std::uint8_t start, std::uint32_t k) {
    const std::uint8_t old = port_.readControl();
    clock_.betweenSteps();
    const auto from = clock_.now();
    WriteControl(old, static_cast<std::uint8_t>((old & control::kKeepBits) | start));
    // Nothing may change the thread's scheduling while PROG is low.
    Spin(k);
    SetControl(control::kRest);
    return clock_.now() - from;
}

void Bus::Sleep(unsigned ms) {
    clock_.betweenSteps();
    clock_.sleepMs(ms);
    Waited(std::chrono::milliseconds(ms));
}

void Bus::Wait(const BusWait& w) {
    clock_.betweenSteps();
    if (w.units != 0) Spin(w.units);
    if (w.exact.count() != 0) clock_.busyWaitFor(w.exact);
    if (w.sleepMs != 0) clock_.sleepMs(w.sleepMs);
    Waited(w.exact + std::chrono::milliseconds(w.sleepMs));
}

void Bus::Latch(std::uint8_t value, std::uint8_t strobe, const BusWait& d) {
    PutData(value);
    Wait(d);
    SetControl(strobe);
    Wait(d);
    SetControl(control::kRest);
    Wait(d);
}

void Bus::LatchLow(std::uint8_t a, const BusWait& d) {
    Latch(a, control::kLowStrobe, d);
}

void Bus::LatchHigh(std::uint8_t b, const BusWait& d) {
    Latch(b, control::kHighStrobe, d);
}

void Bus::LatchIdle(const BusWait& d) {
    SetControl(control::kRest);
    Wait(d);
    LatchHigh(kIdleMode, d);
    SetControlOut(control::kRest);
}

std::uint8_t Bus::ReadStrobe(const BusWait& r1, const BusWait& r2) {
    SetControl(control::kInput);
    Wait(r1);
    SetControl(control::kInputEnable);
    Wait(r2);
    return GetData();
}

void Bus::ReleaseBus() {
    PutData(kIdleMode);
    BusDelay(1);
    SetControl(control::kHighStrobe);
    BusDelay(1);
    SetControlOut(control::kRest);
    PutData(0);
}

}  // namespace lpt51
