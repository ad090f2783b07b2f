// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdlib>

#include "backend/Backend.h"
#include "backend/PortName.h"
#include "port/Ieee1284Port.h"

namespace lpt51 {
namespace {

TEST(ApplyBackendOption, EachOptionSetsItsOwnFieldAndTheDefaults) {
    BackendOptions defaults;
    EXPECT_EQ(defaults.port, "0x378");
    EXPECT_FALSE(defaults.portNamed);  // so the machine's only port may stand in
    EXPECT_EQ(defaults.simChip, sim::ChipKind::Part12V);
    EXPECT_EQ(defaults.simPort, sim::PortKind::Bidirectional);
    EXPECT_FALSE(defaults.virtualTiming);
    EXPECT_EQ(defaults.trace, "");

    BackendOptions options;
    EXPECT_EQ(ApplyBackendOption("--port", "sim:chip.state", options), std::nullopt);
    EXPECT_EQ(ApplyBackendOption("--sim-chip", "5v", options), std::nullopt);
    EXPECT_EQ(ApplyBackendOption("--sim-port", "spp", options), std::nullopt);
    EXPECT_EQ(ApplyBackendOption("--sim-timing", "virtual", options), std::nullopt);
    EXPECT_EQ(ApplyBackendOption("--trace", "run.vcd", options), std::nullopt);
    EXPECT_EQ(options.port, "sim:chip.state");
    EXPECT_TRUE(options.portNamed);
    EXPECT_EQ(options.simChip, sim::ChipKind::Part5V);
    EXPECT_EQ(options.simPort, sim::PortKind::OutputOnly);
    EXPECT_TRUE(options.virtualTiming);
    EXPECT_EQ(options.trace, "run.vcd");
    EXPECT_EQ(ApplyBackendOption("--sim-timing", "real", options), std::nullopt);
    EXPECT_FALSE(options.virtualTiming);
    EXPECT_EQ(defaults.simOscMHz, 12.0);
    EXPECT_EQ(defaults.simWriteCycleUs, 1500u);
    EXPECT_EQ(ApplyBackendOption("--sim-osc", "11.0592", options), std::nullopt);
    EXPECT_EQ(ApplyBackendOption("--sim-write-cycle", "2000", options), std::nullopt);
    EXPECT_EQ(options.simOscMHz, 11.0592);
    EXPECT_EQ(options.simWriteCycleUs, 2000u);
}

TEST(ApplyBackendOption, EveryWordOfEveryChoice) {
    const std::pair<const char*, sim::ChipKind> chips[] = {{"12v", sim::ChipKind::Part12V},
                                                           {"5v", sim::ChipKind::Part5V},
                                                           {"empty", sim::ChipKind::Empty},
                                                           {"foreign", sim::ChipKind::Foreign}};
    for (const auto& [word, kind] : chips) {
        BackendOptions options;
        options.simChip =
            kind == sim::ChipKind::Part12V ? sim::ChipKind::Empty : sim::ChipKind::Part12V;
        EXPECT_EQ(ApplyBackendOption("--sim-chip", word, options), std::nullopt) << word;
        EXPECT_EQ(options.simChip, kind) << word;
    }
    const std::pair<const char*, sim::PortKind> ports[] = {{"bidi", sim::PortKind::Bidirectional},
                                                           {"spp", sim::PortKind::OutputOnly},
                                                           {"nopullups", sim::PortKind::NoPullUps}};
    for (const auto& [word, kind] : ports) {
        BackendOptions options;
        options.simPort = kind == sim::PortKind::OutputOnly ? sim::PortKind::Bidirectional
                                                            : sim::PortKind::OutputOnly;
        EXPECT_EQ(ApplyBackendOption("--sim-port", word, options), std::nullopt) << word;
        EXPECT_EQ(options.simPort, kind) << word;
    }
}

TEST(ApplyBackendOption, WiringFaultsNameTheirSocketPins) {
    using Kind = sim::WiringFault::Kind;
    const struct {
        const char* word;
        Kind kind;
        int first, second;
    } faults[] = {
        {"none", Kind::None, 0, 0},
        {"stuck-low:A5", Kind::StuckLow, 6, 0},
        {"stuck-high:A11", Kind::StuckHigh, 24, 0},
        {"open:PROG", Kind::Open, 30, 0},
        {"open:P2.7", Kind::Open, 28, 0},
        {"swap:A3,A4", Kind::Swapped, 4, 5},
        {"swap:D0,D7", Kind::Swapped, 39, 32},
        {"no-pull-up:D2", Kind::NoPullUp, 2, 0},
        {"grounded:D7", Kind::Grounded, 7, 0},
        {"vpp-5v", Kind::Vpp5V, 0, 0},
        {"vpp-12v", Kind::Vpp12V, 0, 0},
    };
    for (const auto& f : faults) {
        BackendOptions options;
        EXPECT_EQ(ApplyBackendOption("--sim-wiring", f.word, options), std::nullopt) << f.word;
        EXPECT_EQ(options.simWiring.kind, f.kind) << f.word;
        EXPECT_EQ(options.simWiring.first, f.first) << f.word;
        EXPECT_EQ(options.simWiring.second, f.second) << f.word;
    }
    for (const char* bad : {"swap:A3,D4", "swap:A3,A3", "swap:A3", "grounded:A2", "stuck-low:Q9",
                            "vpp-5v:A1", "open", "crossed"}) {
        BackendOptions options;
        const auto error = ApplyBackendOption("--sim-wiring", bad, options);
        ASSERT_TRUE(error.has_value()) << bad;
        EXPECT_EQ(error->rfind("--sim-wiring: ", 0), 0u) << *error;
        EXPECT_EQ(options.simWiring.kind, Kind::None) << bad;
    }
}

TEST(ApplyBackendOption, BadValuesAreRefusedAndLeaveTheOptionsAsTheyWere) {
    const auto refusal = [](const char* option, const char* value) {
        BackendOptions options;
        options.simChip = sim::ChipKind::Part5V;
        const auto error = ApplyBackendOption(option, value, options);
        EXPECT_EQ(options.simChip, sim::ChipKind::Part5V) << option << " " << value;
        EXPECT_EQ(options.port, "0x378") << option << " " << value;
        EXPECT_FALSE(options.portNamed) << option << " " << value;
        EXPECT_EQ(options.trace, "") << option << " " << value;
        return error.value_or("(accepted)");
    };
    // Where the choices are few, the refusal lists them.
    EXPECT_EQ(refusal("--sim-chip", "x"),
              "--sim-chip: unknown chip 'x' (use 12v, 5v, empty or foreign)");
    EXPECT_EQ(refusal("--sim-chip", "12V"),
              "--sim-chip: unknown chip '12V' (use 12v, 5v, empty or foreign)");
    EXPECT_EQ(refusal("--sim-port", "usb"),
              "--sim-port: unknown port kind 'usb' (use bidi, spp or nopullups)");
    EXPECT_EQ(refusal("--sim-timing", "fast"),
              "--sim-timing: unknown timing 'fast' (use virtual or real)");
    EXPECT_EQ(refusal("--sim-timing", ""), "--sim-timing: unknown timing '' (use virtual or real)");
    EXPECT_EQ(refusal("--trace", ""), "--trace: missing file name");
    for (const char* bad : {"2.9", "24.5", "12MHz", "", "-5", "nan"}) {
        EXPECT_EQ(refusal("--sim-osc", bad),
                  std::string("--sim-osc: '") + bad + "' is not a crystal of 3 to 24 MHz");
    }
    for (const char* bad : {"0", "2001", "1.5", "x"}) {
        EXPECT_EQ(refusal("--sim-write-cycle", bad),
                  std::string("--sim-write-cycle: '") + bad +
                      "' is not a write cycle of 1 to 2000 us (the datasheet's longest is 2 ms)");
    }
    // A bad port gives the port name's own reason.
    for (const char* bad : {"", "0x", "0xZZ", "0x10000", "0x0", "par port"}) {
        const std::string error = refusal("--port", bad);
        EXPECT_EQ(error.rfind("--port: ", 0), 0u) << error;
    }
}

TEST(TimedVirtually, VirtualTimeTimesOnlyTheVirtualAdapter) {
    BackendOptions options;
    options.virtualTiming = true;
    // Hardware timed at a made-up clock would get pulses of the wrong length.
    for (const char* hardware : {"0x378", "parport0"}) {
        options.port = hardware;
        EXPECT_FALSE(TimedVirtually(options)) << hardware;
    }
    options.port = "sim:chip.state";
    EXPECT_TRUE(TimedVirtually(options));
    options.virtualTiming = false;
    EXPECT_FALSE(TimedVirtually(options));
}

TEST(PortName, ReadsAddressesDevicesAndTheVirtualAdapter) {
    PortName name;
    ASSERT_EQ(parsePortName("0x378", name), std::nullopt);
    EXPECT_EQ(name.kind, PortName::Kind::Address);
    EXPECT_EQ(name.address, 0x378u);
    ASSERT_EQ(parsePortName("0X0278", name), std::nullopt);
    EXPECT_EQ(name.address, 0x278u);
    ASSERT_EQ(parsePortName("/dev/parport1", name), std::nullopt);
    EXPECT_EQ(name.kind, PortName::Kind::Device);
    EXPECT_EQ(name.device, "/dev/parport1");
    ASSERT_EQ(parsePortName("sim", name), std::nullopt);
    EXPECT_EQ(name.kind, PortName::Kind::Virtual);
    EXPECT_EQ(name.stateFile, "");
    ASSERT_EQ(parsePortName("sim:/tmp/a b.state", name), std::nullopt);
    EXPECT_EQ(name.stateFile, "/tmp/a b.state");
    EXPECT_FALSE(name.inStateDirectory);

    // "sim:" alone: the chip in the user's state directory, the same one
    // wherever the program is started from.
    const char* before = std::getenv("XDG_STATE_HOME");
    const std::string saved = before != nullptr ? before : "";
    ::setenv("XDG_STATE_HOME", "/home/someone/state", 1);
    ASSERT_EQ(parsePortName("sim:", name), std::nullopt);
    EXPECT_EQ(name.kind, PortName::Kind::Virtual);
    EXPECT_EQ(name.stateFile, "/home/someone/state/lpt51/virtual-chip.state");
    EXPECT_TRUE(name.inStateDirectory);
    if (before != nullptr) {
        ::setenv("XDG_STATE_HOME", saved.c_str(), 1);
    } else {
        ::unsetenv("XDG_STATE_HOME");
    }
}

TEST(Ieee1284Port, NoSuchPortIsAClearRefusalAndTouchesNothing) {
    std::string problem;
    auto port = Ieee1284Port::openByName("parport-that-does-not-exist", problem);
    EXPECT_EQ(port, nullptr);
    // Either the library found ports (and lists them) or could not look at all.
    const bool listed = problem.find("There is no parallel port parport-that-does-not-exist") == 0;
    const bool cannotLook = problem.find("Cannot look for parallel ports") == 0;
    EXPECT_TRUE(listed || cannotLook) << problem;
    if (listed) {
        EXPECT_NE(problem.find("--port sim"), std::string::npos) << problem;
    }
}

}  // namespace
}  // namespace lpt51
