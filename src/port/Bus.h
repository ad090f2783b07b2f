// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "port/BusWait.h"
#include "port/Clock.h"
#include "port/ControlBits.h"
#include "port/Port.h"

namespace lpt51 {

// The mode byte latched for idle: P2.6, P3.6, P3.7 low, programming voltage off.
// The chip's descriptor (chip/At89c51.h) holds it; the port layer knows no
// chip, so it keeps this copy, which the descriptor asserts equal to its own.
inline constexpr std::uint8_t kIdleMode = 0x80;

// After P2.7 rises at the end of a read the chip may go on driving P0 for 48
// periods of its crystal: 16 us at 3 MHz, the slowest a program that cannot
// know the crystal must assume. Until this has passed the port neither
// drives the lines nor lets a latch close on them, in either timing; the
// descriptor asserts it keeps the chip's limit.
inline constexpr BusWait kDataFloat = BusWait::Exact(
    std::chrono::microseconds(24),
    "tEHQZ, data float after P2.7 rises, 48 periods: the lines are the chip's until then");

// The register steps and composite bus steps from which every port sequence
// is built. Each composite step is exactly the register steps it names, in
// order. A control write that would drive the lines or close a latch on them
// while the chip may still drive them first waits out kDataFloat: the bus
// sees P2.7 rise with the lines as inputs, so every sequence keeps the limit
// without counting waits of its own. The bus owns the delay unit, which a
// busy wait's iteration count stands for; only one wait runs at a time, on
// the caller's thread.
class Bus {
  public:
    Bus(Port& port, Clock& clock, std::uint32_t delayUnit);

    Port& port() { return port_; }
    Clock& clock() { return clock_; }
    std::uint32_t delayUnit() const { return delayUnit_; }
    void setDelayUnit(std::uint32_t delayUnit) { delayUnit_ = delayUnit; }

    // Register steps.
    void SetControl(std::uint8_t v);     // keep bits 4-7, OR in v
    void SetControlOut(std::uint8_t v);  // keep bits 4, 6, 7 (bit 5 cleared: lines drive), OR in v
    void PutData(std::uint8_t b);
    std::uint8_t GetData();
    void BusDelay(std::uint32_t k = 1);  // k x 10 us, standing for k x DelayUnit iterations
    void Sleep(unsigned ms);
    // Each part of `w` in turn: BusDelay(units), the exact wait, Sleep(ms).
    void Wait(const BusWait& w);

    // Composite steps; a count of delay units converts to a BusWait.
    void LatchLow(std::uint8_t a, const BusWait& d);
    void LatchHigh(std::uint8_t b, const BusWait& d);
    void LatchIdle(const BusWait& d);
    std::uint8_t ReadStrobe(const BusWait& r1, const BusWait& r2);
    void ReleaseBus();

    // A programming pulse: SetControl(start), BusDelay(k), SetControl(kRest),
    // the same register steps in the same order. Returns how long PROG can
    // have been low: the clock is read just before the write that starts the
    // pulse and just after the one that ends it, so on any port the width
    // the chip saw is at most this, however long the process was held up.
    Clock::Duration TimedPulse(std::uint8_t start, std::uint32_t k);

  private:
    // The busy wait of BusDelay, which a pulse runs without a step boundary.
    void Spin(std::uint32_t k);
    // The lines to `value`, the latch's strobe bit cleared and set again.
    void Latch(std::uint8_t value, std::uint8_t strobe, const BusWait& d);
    // Every control write: waits out the chip's data float where it must.
    void WriteControl(std::uint8_t old, std::uint8_t value);
    // Adds a finished wait to waitedSinceRise_.
    void Waited(Clock::Duration d);

    Port& port_;
    Clock& clock_;
    std::uint32_t delayUnit_;
    volatile std::uint32_t DelayCounter_ = 0;
    // The waits since P2.7 last rose with the lines as inputs, while the
    // chip may still drive them; none once the lines are the port's again.
    // Every wait lasts at least what it asks (a delay unit 10 us), so their
    // sum is a floor on the time passed, the same on every clock.
    std::optional<Clock::Duration> waitedSinceRise_;
};

}  // namespace lpt51
