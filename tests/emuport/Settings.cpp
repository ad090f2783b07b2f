// SPDX-License-Identifier: GPL-3.0-or-later
#include "Settings.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "backend/Backend.h"

namespace lpt51::emuport {

namespace {

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::optional<unsigned long> number(const std::string& text, unsigned long limit) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 0);
    if (*end != '\0' || value > limit) return std::nullopt;
    return value;
}

// The number, or none with problem saying what the variable should have held.
std::optional<unsigned long> numberIn(const char* name, const std::string& text,
                                      unsigned long limit, const char* expected,
                                      std::string& problem) {
    const auto n = number(text, limit);
    if (!n) problem = std::string(name) + ": '" + text + "' is not " + expected;
    return n;
}

std::string hex(unsigned long value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%lX", value);
    return text;
}

}  // namespace

std::optional<Settings> Settings::fromEnvironment(std::string& problem) {
    Settings s;
    // The chip and port words are the command line's --sim-chip and --sim-port.
    BackendOptions options;
    for (const auto& [option, name] :
         {std::pair{"--sim-chip", "LPT51_EMU_CHIP"}, std::pair{"--sim-port", "LPT51_EMU_PORT"},
          std::pair{"--sim-wiring", "LPT51_EMU_WIRING"}, std::pair{"--sim-osc", "LPT51_EMU_OSC"}}) {
        const std::string value = variable(name);
        if (value.empty()) continue;
        if (auto wrong = ApplyBackendOption(option, value, options)) {
            // Named after the variable, not the option.
            problem = name + wrong->substr(std::string_view(option).size());
            return std::nullopt;
        }
    }
    s.chip = options.simChip;
    s.portKind = options.simPort;
    s.wiring = options.simWiring;
    s.oscMHz = options.simOscMHz;
    s.stateFile = variable("LPT51_EMU_STATE");
    s.logFile = variable("LPT51_EMU_LOG");
    s.faultFile = variable("LPT51_EMU_FAULTS");

    if (const std::string base = variable("LPT51_EMU_BASE"); base == "none") {
        s.base.reset();
    } else if (!base.empty()) {
        s.base = numberIn("LPT51_EMU_BASE", base, 0xFFFF, "an I/O address (e.g. 0x378) or none",
                          problem);
        if (!s.base) return std::nullopt;
    }
    if (const std::string irq = variable("LPT51_EMU_IRQ"); !irq.empty() && irq != "none") {
        const auto n =
            numberIn("LPT51_EMU_IRQ", irq, 15, "an interrupt (0 to 15) or none", problem);
        if (!n) return std::nullopt;
        s.irq = static_cast<int>(*n);
    }
    if (const std::string ecr = variable("LPT51_EMU_ECR"); ecr == "none") {
        s.ecrAtBoot.reset();
    } else if (!ecr.empty() && ecr != "present") {
        const auto n =
            numberIn("LPT51_EMU_ECR", ecr, 0xFF, "present, none or a byte such as 0x34", problem);
        if (!n) return std::nullopt;
        s.ecrAtBoot = static_cast<unsigned>(*n);
    }
    if (const std::string access = variable("LPT51_EMU_ACCESS"); access == "devport") {
        s.access = Access::DevPort;
    } else if (!access.empty() && access != "ppdev") {
        problem = "LPT51_EMU_ACCESS: unknown access '" + access + "' (use ppdev or devport)";
        return std::nullopt;
    }
    s.denyPpdev = variable("LPT51_EMU_DENY") == "1";
    return s;
}

std::string Settings::describe() const {
    std::string text = base ? "port at " + hex(*base) : std::string("no port");
    text += access == Access::Ppdev ? ", ppdev" : ", /dev/port only";
    if (denyPpdev) text += " (permission denied)";
    text += portKind == sim::PortKind::Bidirectional ? ", bidirectional"
            : portKind == sim::PortKind::OutputOnly  ? ", output-only (failed the PS/2 test)"
                                                     : ", bidirectional without pull-ups";
    text += irq >= 0 ? ", irq " + std::to_string(irq) : ", no irq";
    text += ecrAtBoot ? ", ECR " + hex(*ecrAtBoot) : ", no ECR";
    const char* chips[] = {"12 V part", "5 V part", "empty socket", "foreign chip"};
    text += std::string(", ") + chips[static_cast<int>(chip)];
    if (!stateFile.empty()) text += " (state in " + stateFile + ")";
    if (wiring.kind != sim::WiringFault::Kind::None) text += ", adapter miswired: " + wiring.word;
    return text;
}

}  // namespace lpt51::emuport
