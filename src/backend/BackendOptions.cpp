// SPDX-License-Identifier: GPL-3.0-or-later
#include <array>
#include <charconv>
#include <cstdlib>
#include <string_view>

#include "backend/Backend.h"
#include "backend/PortName.h"

namespace lpt51 {

namespace {

template <typename T>
struct Choice {
    std::string_view word;
    T value;
};

constexpr std::array<Choice<sim::ChipKind>, 4> kChips{{{"12v", sim::ChipKind::Part12V},
                                                       {"5v", sim::ChipKind::Part5V},
                                                       {"empty", sim::ChipKind::Empty},
                                                       {"foreign", sim::ChipKind::Foreign}}};
constexpr std::array<Choice<sim::PortKind>, 3> kPorts{{{"bidi", sim::PortKind::Bidirectional},
                                                       {"spp", sim::PortKind::OutputOnly},
                                                       {"nopullups", sim::PortKind::NoPullUps}}};
constexpr std::array<Choice<bool>, 2> kTimings{{{"virtual", true}, {"real", false}}};

template <typename T, std::size_t N>
std::optional<std::string> choose(const std::array<Choice<T>, N>& choices, const std::string& value,
                                  T& out, const std::string& option, const std::string& what) {
    for (const auto& c : choices) {
        if (value == c.word) {
            out = c.value;
            return std::nullopt;
        }
    }
    std::string words;
    for (std::size_t i = 0; i < N; ++i) {
        if (i > 0) words += i + 1 == N ? " or " : ", ";
        words += choices[i].word;
    }
    return option + ": unknown " + what + " '" + value + "' (use " + words + ")";
}

// A number within [lowest, highest], the whole value and nothing else;
// `range` says which, for the message.
template <typename T>
std::optional<std::string> number(const std::string& value, T lowest, T highest, T& out,
                                  const std::string& option, const char* range) {
    T parsed{};
    const char* end = value.data() + value.size();
    const auto [ptr, ec] = std::from_chars(value.data(), end, parsed);
    if (value.empty() || ec != std::errc() || ptr != end || !(parsed >= lowest) ||
        !(parsed <= highest)) {
        return option + ": '" + value + "' is not " + range;
    }
    out = parsed;
    return std::nullopt;
}

}  // namespace

// Each backend option once: the parsers, --help, and the tests that hold the
// manual page and the shell completion to the options all read this table.
constexpr BackendOptionInfo kBackendOptions[] = {
    {"--port", "PORT",
     "0x378, parport0, /dev/parport0, sim, sim:STATEFILE or sim: (in the state directory)"},
    {"--sim-chip", "KIND", "virtual chip: 12v, 5v, empty or foreign"},
    {"--sim-port", "KIND", "virtual port: bidi, spp or nopullups"},
    {"--sim-timing", "KIND", "virtual or real"},
    {"--sim-osc", "MHZ", "the virtual adapter's crystal: 3 to 24 MHz (12)"},
    {"--sim-write-cycle", "US", "the virtual chip's write cycle: 1 to 2000 us (1500)"},
    {"--sim-wiring", "FAULT", sim::kWiringFaultHelp},
    {"--trace", "FILE", "record every port access to FILE (.vcd: Value Change Dump)"},
};

std::span<const BackendOptionInfo> BackendOptionList() {
    return kBackendOptions;
}

std::optional<std::string> ApplyBackendOption(const std::string& option, const std::string& value,
                                              BackendOptions& out) {
    if (option == "--port") {
        PortName name;
        if (auto problem = parsePortName(value, name)) return "--port: " + *problem;
        out.port = value;
        out.portNamed = true;
        return std::nullopt;
    }
    if (option == "--trace") {
        if (value.empty()) return "--trace: missing file name";
        out.trace = value;
        return std::nullopt;
    }
    if (option == "--sim-wiring") {
        if (auto problem = sim::ParseWiringFault(value, out.simWiring))
            return option + ": " + *problem;
        return std::nullopt;
    }
    if (option == "--sim-chip") {
        auto problem = choose(kChips, value, out.simChip, option, "chip");
        if (!problem) out.simChipNamed = true;
        return problem;
    }
    if (option == "--sim-port") return choose(kPorts, value, out.simPort, option, "port kind");
    if (option == "--sim-osc") {
        return number(value, 3.0, 24.0, out.simOscMHz, option, "a crystal of 3 to 24 MHz");
    }
    if (option == "--sim-write-cycle") {
        return number(value, 1u, 2000u, out.simWriteCycleUs, option,
                      "a write cycle of 1 to 2000 us (the datasheet's longest is 2 ms)");
    }
    return choose(kTimings, value, out.virtualTiming, option, "timing");
}

std::string_view SimChipWord(sim::ChipKind kind) {
    for (const auto& c : kChips)
        if (c.value == kind) return c.word;
    return "?";
}

bool TimedVirtually(const BackendOptions& options) {
    return options.virtualTiming && NamesVirtualAdapter(options.port);
}

}  // namespace lpt51
