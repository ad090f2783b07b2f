#include "port/Bus.h"

namespace lpt51 {

Bus::Bus(Port& port, Clock& clock, std::uint32_t delayUnit)
    : port_(port), clock_(clock), delayUnit_(delayUnit) {}

void Bus::SetControl(std::uint8_t v) {
    const std::uint8_t kept = port_.readControl() & control::kKeepBits;
    port_.writeControl(static_cast<std::uint8_t>(kept | v));
}

void Bus::SetControlOut(std::uint8_t v) {
    const std::uint8_t kept = port_.readControl() & control::kKeepBitsDrive;
    port_.writeControl(static_cast<std::uint8_t>(kept | v));
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
}

Clock::Duration Bus::TimedPulse(std::uint8_t start, std::uint32_t k) {
    const std::uint8_t kept = port_.readControl() & control::kKeepBits;
    clock_.betweenSteps();
    const auto from = clock_.now();
    port_.writeControl(static_cast<std::uint8_t>(kept | start));
    // Nothing may change the thread's scheduling while PROG is low.
    Spin(k);
    SetControl(control::kRest);
    return clock_.now() - from;
}

void Bus::Sleep(unsigned ms) {
    clock_.betweenSteps();
    clock_.sleepMs(ms);
}

void Bus::Wait(const BusWait& w) {
    clock_.betweenSteps();
    if (w.units != 0) Spin(w.units);
    if (w.exact.count() != 0) clock_.busyWaitFor(w.exact);
    if (w.sleepMs != 0) clock_.sleepMs(w.sleepMs);
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
