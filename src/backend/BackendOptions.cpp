#include <array>
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

}  // namespace

// Each backend option once: the parsers, --help, and the tests that hold the
// manual page and the shell completion to the options all read this table.
constexpr BackendOptionInfo kBackendOptions[] = {
    {"--port", "PORT", "0x378, parport0, /dev/parport0, sim or sim:STATEFILE"},
    {"--sim-chip", "KIND", "virtual chip: 12v, 5v, empty or foreign"},
    {"--sim-port", "KIND", "virtual port: bidi, spp or nopullups"},
    {"--sim-timing", "KIND", "virtual or real"},
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
    if (option == "--sim-chip") return choose(kChips, value, out.simChip, option, "chip");
    if (option == "--sim-port") return choose(kPorts, value, out.simPort, option, "port kind");
    return choose(kTimings, value, out.virtualTiming, option, "timing");
}

bool TimedVirtually(const BackendOptions& options) {
    PortName name;
    return options.virtualTiming && !parsePortName(options.port, name) &&
           name.kind == PortName::Kind::Virtual;
}

}  // namespace lpt51
