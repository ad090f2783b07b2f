// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "chip/At89c51.h"
#include "port/Clock.h"

namespace lpt51::chip {

// A code-byte or lock-bit PROG pulse may last 110 us at most. The program
// times every one itself (Bus::TimedPulse), since nothing on a real port
// would tell it that the process was held up while PROG was low: the host
// stops a virtual machine for milliseconds, firmware stops a real PC for
// less, and no priority prevents either.
inline bool Stretched(Clock::Duration width) {
    return width > kAt89c51.timing.maxPulse;
}

// Pulses a code byte or a lock bit gets in all, the first included, before
// it counts as one that cannot be mended.
inline constexpr int kPulseTries = 3;

enum class PulseOutcome {
    ReadBackCorrect,   // the byte read back as written: the long pulse did program it
    ProgrammedAgain,   // another pulse, of normal length, programmed it
    CouldNotBeMended,  // three pulses in all, and still not as written
};

// "read back correct", "programmed again", "could not be mended".
const char* OutcomeText(PulseOutcome outcome);

// One code byte or lock bit whose pulse was stretched, and what became of it.
struct StretchedPulse {
    std::uint16_t address = 0;  // the code byte's address, when lockBit is 0
    int lockBit = 0;            // 1 to 3 for a lock bit
    unsigned stretched = 1;     // how many of its pulses were too long
    Clock::Duration longest{0};
    PulseOutcome outcome = PulseOutcome::CouldNotBeMended;
    std::optional<std::uint8_t> readBack;  // the last read, on a port that can read

    std::string subject() const;  // "code byte 0123", "lock bit 2"
};

// The pulse checks of one write or one lock.
struct PulseChecks {
    std::vector<StretchedPulse> pulses;

    std::size_t count() const;  // stretched pulses, repeats included
    Clock::Duration longest() const;
    bool mended() const;  // none could not be mended
    // Empty when no pulse was stretched; otherwise one paragraph:
    // "2 programming pulses were longer than 110 us (the longest 389.2 us):
    // code byte 0123 read back correct; lock bit 1 programmed again."
    std::string text() const;
};

}  // namespace lpt51::chip
