// SPDX-License-Identifier: GPL-3.0-or-later
#include "chip/PulseCheck.h"

#include <algorithm>
#include <cstdio>

namespace lpt51::chip {

const char* OutcomeText(PulseOutcome outcome) {
    switch (outcome) {
        case PulseOutcome::ReadBackCorrect:
            return "read back correct";
        case PulseOutcome::ProgrammedAgain:
            return "programmed again";
        case PulseOutcome::CouldNotBeMended:
            break;
    }
    return "could not be mended";
}

std::string StretchedPulse::subject() const {
    if (lockBit != 0) return "lock bit " + std::to_string(lockBit);
    char text[24];
    std::snprintf(text, sizeof text, "code byte %04X", address);
    return text;
}

std::size_t PulseChecks::count() const {
    std::size_t n = 0;
    for (const StretchedPulse& p : pulses) n += p.stretched;
    return n;
}

Clock::Duration PulseChecks::longest() const {
    Clock::Duration longest{0};
    for (const StretchedPulse& p : pulses) longest = std::max(longest, p.longest);
    return longest;
}

bool PulseChecks::mended() const {
    return std::none_of(pulses.begin(), pulses.end(), [](const StretchedPulse& p) {
        return p.outcome == PulseOutcome::CouldNotBeMended;
    });
}

std::string PulseChecks::text() const {
    if (pulses.empty()) return {};
    const std::size_t n = count();
    char head[128];
    std::snprintf(
        head, sizeof head, "%zu programming %s longer than %lld us (the longest %.1f us): ", n,
        n == 1 ? "pulse was" : "pulses were",
        static_cast<long long>(
            std::chrono::duration_cast<std::chrono::microseconds>(kAt89c51.timing.maxPulse)
                .count()),
        static_cast<double>(longest().count()) / 1000.0);
    std::string text = head;
    for (std::size_t i = 0; i < pulses.size(); ++i) {
        if (i != 0) text += "; ";
        text += pulses[i].subject() + " " + OutcomeText(pulses[i].outcome);
    }
    return text + ".";
}

}  // namespace lpt51::chip
