#pragma once

#include <cstdint>

#include "port/Clock.h"
#include "port/Port.h"

namespace lpt51 {

// Control register values the bus steps OR into bits 0-5.
namespace control {
inline constexpr std::uint8_t kRest = 0x07;           // bits 0-2 set: latches hold, P2.7 high
inline constexpr std::uint8_t kLowStrobe = 0x06;      // bit 0 cleared: low latch follows the lines
inline constexpr std::uint8_t kHighStrobe = 0x05;     // bit 1 cleared: high latch follows the lines
inline constexpr std::uint8_t kPulse = 0x0F;          // bit 3: PROG low, P2.7 high
inline constexpr std::uint8_t kPulseEnable = 0x0B;    // bit 3: PROG low, P2.7 low
inline constexpr std::uint8_t kInput = 0x27;          // bit 5: data lines to input
inline constexpr std::uint8_t kInputEnable = 0x23;    // input and P2.7 low: the chip drives
inline constexpr std::uint8_t kKeepBits = 0xF0;       // SetControl keeps bits 4-7
inline constexpr std::uint8_t kKeepBitsDrive = 0xD0;  // SetControlOut keeps 4, 6, 7
}  // namespace control

// The mode byte latched for idle: P2.6, P3.6, P3.7 low, programming voltage off.
inline constexpr std::uint8_t kIdleMode = 0x80;

// The register steps and composite bus steps from which every port sequence
// is built. Each composite step is exactly the register steps it names, in
// order. The bus owns the delay unit and the counter that every busy wait
// counts down; only one wait runs at a time, on the caller's thread.
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
    void BusDelay(std::uint32_t k = 1);  // k x DelayUnit iterations of the busy wait
    void Sleep(unsigned ms);

    // Composite steps.
    void LatchLow(std::uint8_t a, std::uint32_t d);
    void LatchHigh(std::uint8_t b, std::uint32_t d);
    void LatchIdle(std::uint32_t d);
    std::uint8_t ReadStrobe(std::uint32_t r1, std::uint32_t r2);
    void ReleaseBus();

private:
    Port& port_;
    Clock& clock_;
    std::uint32_t delayUnit_;
    volatile std::uint32_t DelayCounter_ = 0;
};

}  // namespace lpt51
