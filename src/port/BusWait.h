// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>

namespace lpt51 {

// One wait between two register steps. The program's own timing counts in
// delay units of the busy wait and in milliseconds of sleep; a timing at the
// chip's own speed waits exact microseconds instead. A wait does each part it
// has, in that order: units, then exact time, then sleep.
struct BusWait {
    std::uint32_t units = 0;
    std::chrono::microseconds exact{0};
    unsigned sleepMs = 0;
    // The chip's limit this wait keeps, for the tables that hold it.
    const char* keeps = "";

    constexpr BusWait() = default;
    // Implicit: the composite steps take a count of delay units as they always did.
    constexpr BusWait(std::uint32_t delayUnits) : units(delayUnits) {}

    static constexpr BusWait Units(std::uint32_t units, unsigned sleepMs = 0) {
        BusWait w(units);
        w.sleepMs = sleepMs;
        return w;
    }
    static constexpr BusWait Sleep(unsigned ms) { return Units(0, ms); }
    static constexpr BusWait Exact(std::chrono::microseconds us, const char* keeps) {
        BusWait w;
        w.exact = us;
        w.keeps = keeps;
        return w;
    }
    // The same wait, with what it keeps said.
    constexpr BusWait keeping(const char* limit) const {
        BusWait w = *this;
        w.keeps = limit;
        return w;
    }

    // How long the wait lasts on the virtual clock, where a unit is 10 us.
    constexpr std::chrono::nanoseconds nominal() const {
        return std::chrono::microseconds(10) * units + exact + std::chrono::milliseconds(sleepMs);
    }
};

}  // namespace lpt51
