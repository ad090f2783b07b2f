// SPDX-License-Identifier: GPL-3.0-or-later
// The hardware path end to end, as nothing else tests it: the built program
// and the real, installed libieee1284 on an emulated kernel parallel port
// (tests/emuport: ppdev or /dev/port, with parport_pc's register rules) whose
// registers drive the virtual adapter in real time. This is the one suite
// where real time is the point; everything else runs on a virtual clock.
// Every run must leave the adapter's fault log empty and put on the control
// register nothing but the kernel's claim value, before the program's first
// write, and the values the bus steps write (bit 4 is the kernel's, as found).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../SpawnProgram.h"
#include "../TestFiles.h"
#include "sim/ChipStateFile.h"

namespace lpt51::e2e {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;
using Code = chip::CodeBytes;

using test::ReadAll;

// Eight bytes at 0100 and four at the top of the chip, none of them 00 or FF.
const std::string kImage =
    ":080100001234567890ABCDEFEC\r\n"
    ":040FFC00A55A3CC3F3\r\n"
    ":00000001FF\r\n";

Code ImageCode() {
    Code code;
    code.fill(0xFF);
    const std::uint8_t low[] = {0x12, 0x34, 0x56, 0x78, 0x90, 0xAB, 0xCD, 0xEF};
    const std::uint8_t top[] = {0xA5, 0x5A, 0x3C, 0xC3};
    for (int i = 0; i < 8; ++i) code[0x100 + i] = low[i];
    for (int i = 0; i < 4; ++i) code[0xFFC + i] = top[i];
    return code;
}

// The chip as a read-out file shows it: 16-byte data records.
Code CodeFromReadOut(const std::string& text) {
    Code code;
    code.fill(0x00);
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 11 || line.substr(7, 2) != "00") continue;
        const unsigned count = std::stoul(line.substr(1, 2), nullptr, 16);
        const unsigned address = std::stoul(line.substr(3, 4), nullptr, 16);
        for (unsigned i = 0; i < count && address + i < code.size(); ++i) {
            code[address + i] =
                static_cast<std::uint8_t>(std::stoul(line.substr(9 + 2 * i, 2), nullptr, 16));
        }
    }
    return code;
}

// Control writes other than the claim value before the program's first
// write and the bus steps' values after it; empty when there is none.
std::string StrayControlWrites(const std::string& registerLog) {
    static const std::set<unsigned> kBusSteps{0x07, 0x06, 0x05, 0x0F, 0x0B, 0x27, 0x25, 0x23, 0x2B};
    std::istringstream in(registerLog);
    std::string line, stray;
    bool programWrote = false;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string time, reg, direction, value, cause;
        fields >> time >> reg >> direction >> value;
        std::getline(fields >> std::ws, cause);
        if (time == "#" || reg != "control" || direction != "w") continue;
        const unsigned v = std::stoul(value, nullptr, 16) & ~0x10u;
        if (cause == "claim") {
            if (v != 0x0C || programWrote) stray += line + "\n";
        } else {
            programWrote = true;
            if (kBusSteps.count(v) == 0) stray += line + "\n";
        }
    }
    return stray;
}

// Where the programming voltage was not 5 V from the program's first write
// after a claim until the high latch first closed: the claim opens both
// latches, so the lines must carry a byte with bit 7 set (EA/VPP at 5 V)
// before any control write, and keep it until the latch holds. Empty when
// every claim was so.
std::string VppAfterClaims(const std::string& registerLog) {
    std::istringstream in(registerLog);
    std::string line, wrong;
    bool watching = false, programWrote = false;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string time, reg, direction, value, cause;
        fields >> time >> reg >> direction >> value;
        std::getline(fields >> std::ws, cause);
        if (time == "#" || direction != "w") continue;
        if (cause == "claim") {
            watching = true;
            programWrote = false;
            continue;
        }
        if (!watching || cause == "release") continue;
        const unsigned v = std::stoul(value, nullptr, 16);
        if (reg == "data" && (v & 0x80) == 0) wrong += line + "\n";
        if (reg == "control" && !programWrote) wrong += line + "  (no 5 V byte on the lines)\n";
        if (reg == "control" && (v & 0x02) != 0) watching = false;
        programWrote = true;
    }
    return wrong;
}

class HardwarePath : public ::testing::Test {
  protected:
    void SetUp() override {
        program_ = test::BuiltProgram("lpt51");
        if (!fs::exists(program_)) GTEST_SKIP() << "no program at " << program_;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name();
        for (char& c : name) c = c == '/' ? '_' : c;
        // The process id keeps two runs of the suite (two build trees) apart.
        dir_ = fs::temp_directory_path() / ("lpt51_hw_" + name + "_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        std::ofstream(path("image.hex"), std::ios::binary) << kImage;
    }
    void TearDown() override {
        if (!dir_.empty() && !HasFailure()) fs::remove_all(dir_);
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // Runs `command` (lpt51 or a helper) on the emulated machine. Each run
    // starts a fresh register log and fault log; with `clean` it must leave
    // no fault and no stray control value.
    int runProgram(std::vector<std::string> command, bool clean = true) {
        std::map<std::string, std::string> env = machine;
        env["LD_PRELOAD"] = LPT51_EMUPORT_LIBRARY;
        env["LPT51_EMU_LOG"] = path("registers.log");
        env["LPT51_EMU_FAULTS"] = path("faults.log");
        env["LPT51_EMU_STATE"] = path("chip.state");
        // A sanitized program finds the emulator ahead of its runtime.
        const char* asan = std::getenv("ASAN_OPTIONS");
        env["ASAN_OPTIONS"] = std::string(asan ? asan : "") + ":verify_asan_link_order=0";
        int code = -1;
        for (int attempt = 1; attempt <= kAttempts; ++attempt) {
            fs::remove(path("registers.log"));
            fs::remove(path("faults.log"));
            // The adapter judges pulse widths on the real clock: no other
            // process may stretch a busy wait where that can be prevented.
            code = test::SpawnProgram(command, env, path("out"), path("err"), true);
            if (!clean) break;
            const std::string log = faults();
            const bool everyTryTooLong = err().find(kEveryTryTooLong) != std::string::npos;
            if (!onlyStretchedPulses(log) && !(log.empty() && everyTryTooLong)) break;
            // The process was held up in a pulse or in a port access that
            // starts or ends one (by the system or, on a virtual machine, its
            // host). The adapter sees the first kind only, the program's bound
            // takes in both. Every command here may run again, so it does; a
            // sequence whose pulses are too long fails every time.
            std::cerr << "held up, attempt " << attempt << ":\n" << log << err();
            // The program times every pulse itself, so it must have seen each
            // one the adapter saw. It mends every pulse it can read back; where
            // nothing can be read (an output-only port, a lock bit) it stops
            // only when no try was within the limit.
            EXPECT_THAT(err(), HasSubstr("longer than 110 us")) << log;
            if (!everyTryTooLong) {
                EXPECT_THAT(err(), Not(HasSubstr("could not be mended")));
            }
        }
        if (clean) {
            std::string shown;
            for (std::size_t i = 1; i < command.size(); ++i) shown += " " + command[i];
            EXPECT_EQ(faults(), "") << "fault log after" << shown;
            EXPECT_EQ(StrayControlWrites(registers()), "") << "control writes of" << shown;
            EXPECT_EQ(VppAfterClaims(registers()), "") << "12 V after a claim in" << shown;
        }
        return code;
    }
    int run(const std::vector<std::string>& args) {
        std::vector<std::string> command{program_, "--quiet"};
        command.insert(command.end(), args.begin(), args.end());
        return runProgram(command);
    }

    static constexpr int kAttempts = 5;
    static constexpr const char* kEveryTryTooLong = "none within the chip's limit";

    // Faults that are all over-long programming pulses, which only a process
    // held up between the two control writes makes.
    static bool onlyStretchedPulses(const std::string& faultLog) {
        std::istringstream in(faultLog);
        std::string line;
        bool any = false;
        while (std::getline(in, line)) {
            if (line.find("programmed, but beyond the datasheet") == std::string::npos)
                return false;
            any = true;
        }
        return any;
    }

    std::string out() const { return ReadAll(path("out")); }
    std::string err() const { return ReadAll(path("err")); }
    std::string registers() const { return ReadAll(path("registers.log")); }
    std::string faults() const {
        return fs::exists(path("faults.log")) ? ReadAll(path("faults.log"))
                                              : "(no fault log: the emulator did not run)";
    }
    sim::ChipState chip(sim::ChipKind kind = sim::ChipKind::Part12V) const {
        auto load = sim::loadChipState(path("chip.state"), kind);
        EXPECT_TRUE(load.chip.has_value()) << load.error;
        return load.chip.value_or(sim::ChipState{});
    }

    // LPT51_EMU_* settings of the emulated machine (tests/emuport/Settings.h).
    std::map<std::string, std::string> machine;
    std::string program_;
    fs::path dir_;
};

struct Access {
    const char* name;
    std::map<std::string, std::string> machine;
    const char* port;
    const char* device;
    sim::ChipKind chip;
    const char* signature;
    // The read-out takes seconds (4096 bytes of 90 delay units); the verify
    // already reads through the same steps, so one access method does it.
    bool readOut;
};

void PrintTo(const Access& access, std::ostream* out) {
    *out << access.name;
}

class HardwarePathOperations : public HardwarePath, public ::testing::WithParamInterface<Access> {};

// On the slowest crystal the chip allows every setup, hold, access and data
// float time the model judges is at its longest (48 periods are 16 us), so
// no faster one can find a fault that this one does not.
constexpr const char* kSlowestCrystal = "3";

TEST_P(HardwarePathOperations, EachOperationReachesTheChipAndLeavesNoFault) {
    const Access& a = GetParam();
    machine = a.machine;
    machine["LPT51_EMU_OSC"] = kSlowestCrystal;
    const std::string image = path("image.hex");

    ASSERT_EQ(run({"--port", a.port, "signature"}), 0) << err();
    EXPECT_THAT(out(), HasSubstr(std::string("Signature: ") + a.signature));
    // The start-up probe: the 3 is not driven back once the lines are inputs.
    EXPECT_THAT(registers(), HasSubstr(" data w 03 "));
    EXPECT_THAT(registers(), HasSubstr(" data r FF "));

    ASSERT_EQ(run({"--port", a.port, "--device", a.device, "write", image}), 0) << err();
    EXPECT_EQ(chip(a.chip).code, ImageCode());
    EXPECT_EQ(run({"--port", a.port, "verify", image}), 0) << out() << err();
    if (a.readOut) {
        ASSERT_EQ(run({"--port", a.port, "read", path("back.hex")}), 0) << err();
        EXPECT_EQ(CodeFromReadOut(ReadAll(path("back.hex"))), ImageCode());
    }

    ASSERT_EQ(run({"--port", a.port, "--device", a.device, "lock", "1,2"}), 0) << err();
    EXPECT_EQ(chip(a.chip).lockBits, (std::array<bool, 3>{true, true, false}));
    EXPECT_EQ(run({"--port", a.port, "verify", image}), 1) << "a locked chip cannot be verified";

    ASSERT_EQ(run({"--port", a.port, "--device", a.device, "erase"}), 0) << err();
    EXPECT_EQ(chip(a.chip).code, sim::ChipState::erased(a.chip).code);
    EXPECT_EQ(chip(a.chip).lockBits, (std::array<bool, 3>{false, false, false}));
    EXPECT_EQ(run({"--port", a.port, "verify", image}), 1);
    EXPECT_THAT(out(), HasSubstr("12 bytes differ"));

    ASSERT_EQ(run({"--port", a.port, "--device", a.device, "cwv", image}), 0) << err();
    EXPECT_THAT(out(), HasSubstr("Erased, written and verified."));
    EXPECT_EQ(chip(a.chip).code, ImageCode());
}

// The datasheet timing through the real library: every byte polled for the
// end of its write cycle, the reads at the chip's access time, and each read
// ending with the lines left to the chip as long as it may drive them.
TEST_P(HardwarePathOperations, DatasheetTimingWritesReadsAndVerifiesWithoutFault) {
    const Access& a = GetParam();
    machine = a.machine;
    machine["LPT51_EMU_OSC"] = kSlowestCrystal;
    const std::string image = path("image.hex");
    const std::vector<std::string> timing{"--port", a.port, "--timing", "datasheet"};
    const auto with = [&](std::vector<std::string> args) {
        args.insert(args.begin(), timing.begin(), timing.end());
        return run(args);
    };

    ASSERT_EQ(with({"--device", a.device, "write", image}), 0) << err();
    EXPECT_EQ(chip(a.chip).code, ImageCode());
    EXPECT_EQ(with({"verify", image}), 0) << out() << err();
    ASSERT_EQ(with({"read", path("back.hex")}), 0) << err();
    EXPECT_EQ(CodeFromReadOut(ReadAll(path("back.hex"))), ImageCode());
    ASSERT_EQ(with({"--device", a.device, "cwv", image}), 0) << err();
    EXPECT_THAT(out(), HasSubstr("Erased, written and verified."));
    EXPECT_EQ(chip(a.chip).code, ImageCode());
    ASSERT_EQ(with({"--device", a.device, "erase"}), 0) << err();
    EXPECT_EQ(with({"blank"}), 0) << out() << err();
}

INSTANTIATE_TEST_SUITE_P(
    , HardwarePathOperations,
    ::testing::Values(
        // ppdev, with what the kernel adds at a claim: the IRQ enable and the ECR.
        Access{"Ppdev12V",
               {{"LPT51_EMU_ACCESS", "ppdev"}, {"LPT51_EMU_IRQ", "7"}, {"LPT51_EMU_CHIP", "12v"}},
               "0x378",
               "12v",
               sim::ChipKind::Part12V,
               "1E 51 FF",
               true},
        // Direct I/O through /dev/port on a PCIe card without an ECR.
        Access{"DirectIo5V",
               {{"LPT51_EMU_ACCESS", "devport"},
                {"LPT51_EMU_BASE", "0xD010"},
                {"LPT51_EMU_ECR", "none"},
                {"LPT51_EMU_CHIP", "5v"}},
               "0xD010",
               "5v",
               sim::ChipKind::Part5V,
               "1E 51 05",
               false}),
    [](const ::testing::TestParamInfo<Access>& info) { return std::string(info.param.name); });

TEST_F(HardwarePath, AnOutputOnlyPortProgramsButCannotRead) {
    // A port that failed the kernel's PS/2 test: the kernel never sets bit 5.
    machine = {{"LPT51_EMU_PORT", "spp"}};
    ASSERT_EQ(run({"info"}), 0) << err();
    EXPECT_THAT(out(), HasSubstr("Port mode: SPP (Normal)"));
    EXPECT_THAT(registers(), HasSubstr(" data r 03 "));
    EXPECT_EQ(run({"read", path("back.hex")}), 3);
    EXPECT_THAT(err(), HasSubstr("needs a bidirectional port"));
    EXPECT_FALSE(fs::exists(path("back.hex")));
    ASSERT_EQ(run({"--device", "12v", "write", path("image.hex")}), 0) << err();
    EXPECT_EQ(chip().code, ImageCode());
}

TEST_F(HardwarePath, APortWithoutPullUpsIsWarnedAbout) {
    machine = {{"LPT51_EMU_PORT", "nopullups"}};
    ASSERT_EQ(run({"info"}), 0) << err();
    EXPECT_THAT(err(), HasSubstr("You probably have not any pull up resistors"));
    EXPECT_THAT(out(), HasSubstr("no pull-ups detected"));
}

TEST_F(HardwarePath, APortThatCannotBeUsedIsExplainedAndNeverTouched) {
    machine = {{"LPT51_EMU_BASE", "none"}};
    EXPECT_EQ(run({"info"}), 3);
    EXPECT_THAT(err(), HasSubstr("There is no parallel port at 0x378."));
    EXPECT_THAT(err(), HasSubstr("No parallel port was found on this machine."));

    // Files the run would write that cannot be written: found before the port.
    machine = {};
    EXPECT_EQ(runProgram({program_, "read", path("no/such/dir/out.hex")}, false), 1);
    EXPECT_THAT(err(), HasSubstr("Cannot create \"" + path("no/such/dir/out.hex") + "\""));
    EXPECT_THAT(registers(), ::testing::Not(::testing::ContainsRegex("\n[0-9.]+ (data|control)")));
    EXPECT_EQ(runProgram({program_, "--trace", path("no/such/dir/t.vcd"), "info"}, false), 1);
    EXPECT_THAT(err(), HasSubstr("Cannot write the port trace to"));
    EXPECT_THAT(registers(), ::testing::Not(::testing::ContainsRegex("\n[0-9.]+ (data|control)")));

    // A user who is not in the group lp.
    machine = {{"LPT51_EMU_DENY", "1"}};
    EXPECT_EQ(run({"info"}), 3);
    EXPECT_THAT(err(), HasSubstr("permission denied on /dev/parport0"));
    EXPECT_THAT(err(), HasSubstr("group 'lp'"));
    EXPECT_THAT(registers(), ::testing::Not(::testing::ContainsRegex("\n[0-9.]+ (data|control)")));
}

TEST_F(HardwarePath, PortsListsEachPortAndWhetherItOpens) {
    ASSERT_EQ(run({"ports"}), 0) << err();
    EXPECT_EQ(out(), "parport0  base 0x378  /dev/parport0  ppdev  can be opened\n");
    machine = {{"LPT51_EMU_DENY", "1"}};
    ASSERT_EQ(run({"ports"}), 0) << err();
    EXPECT_THAT(out(), HasSubstr("parport0  base 0x378  /dev/parport0  ppdev  cannot be opened: "
                                 "permission denied on /dev/parport0."));
    machine = {{"LPT51_EMU_BASE", "none"}};
    ASSERT_EQ(run({"ports"}), 0) << err();
    EXPECT_EQ(out(), "");
    EXPECT_THAT(err(), HasSubstr("No parallel port was found on this machine."));
    EXPECT_THAT(registers(), ::testing::Not(::testing::ContainsRegex("\n[0-9.]+ (data|control)")));
}

// A PCIe card is the machine's only port, elsewhere than 0x378: it stands in
// unless a port was named.
TEST_F(HardwarePath, TheOnlyPortStandsInForAMissing0x378UnlessOneIsNamed) {
    machine = {{"LPT51_EMU_BASE", "0xD010"}};
    ASSERT_EQ(run({"info"}), 0) << err();
    EXPECT_THAT(err(), HasSubstr("There is no parallel port at 0x378; using the only one there "
                                 "is, parallel port parport0 at 0xD010 (/dev/parport0, ppdev)."));
    EXPECT_THAT(out(), HasSubstr("Port: parallel port parport0 at 0xD010 (/dev/parport0, ppdev)"));

    EXPECT_EQ(run({"--port", "0x378", "info"}), 3);
    EXPECT_THAT(err(), HasSubstr("There is no parallel port at 0x378.\nPorts found:\n"
                                 "  parport0 at 0xD010 (/dev/parport0, ppdev)\n"));
}

// The defect the two register writes of a direction change once caused:
// the direction call first, so the erase's SetControl(0x27) left the high
// latch open while nothing drove the lines.
TEST_F(HardwarePath, TheOldDirectionOrderErasedNothingWhereTheProgramErases) {
    ASSERT_EQ(run({"--device", "12v", "write", path("image.hex")}), 0) << err();
    ASSERT_EQ(runProgram({std::string(LPT51_TESTS_DIR) + "/emuport_old_order_erase"}, false), 0)
        << err();
    EXPECT_THAT(registers(), HasSubstr(" control w 05 PPWCONTROL\n"));
    EXPECT_THAT(registers(), ::testing::ContainsRegex(
                                 "control w 05 PPWCONTROL\n[0-9.]+ control w 25 PPDATADIR\n"));
    // The latch took the pull-ups: address bits F and no mode that programs.
    EXPECT_THAT(faults(), HasSubstr("PROG pulse in undefined mode (address F"));
    EXPECT_EQ(chip().code, ImageCode());

    ASSERT_EQ(run({"--device", "12v", "erase"}), 0) << err();
    EXPECT_EQ(chip().code, sim::ChipState::erased(sim::ChipKind::Part12V).code);
}

// The adapter check's automatic stage through the real library and the
// kernel's rules: a correct adapter passes, a grounded data line is named.
TEST_F(HardwarePath, TheAutomaticAdapterCheckPassesAndNamesAGroundedDataLine) {
    const std::string check = std::string(LPT51_TESTS_DIR) + "/emuport_adapter_port_check";
    machine["LPT51_EMU_CHIP"] = "empty";
    EXPECT_EQ(runProgram({check}), 0) << out() << err();
    EXPECT_EQ(out(), "");
    machine["LPT51_EMU_WIRING"] = "grounded:D3";
    EXPECT_EQ(runProgram({check}), 1) << err();
    EXPECT_EQ(out(),
              "D3 (DB-25 pin 5, socket pin 36) is shorted to ground: it reads 0 even while "
              "the port drives it high.\n");
    machine["LPT51_EMU_WIRING"] = "none";
    machine["LPT51_EMU_PORT"] = "spp";
    EXPECT_EQ(runProgram({check}), 0) << err();
    EXPECT_THAT(out(), HasSubstr("output-only (SPP)"));
}

// The port trace on the emulated kernel port against the card's own log: the
// same data register traffic in the same order, and each control value the
// program set reached the card in order (a direction change arrives as
// several writes; bit 4 is the kernel's).
TEST_F(HardwarePath, ThePortTraceShowsTheValuesThatReachedTheCard) {
    ASSERT_EQ(run({"--trace", path("run.trace"), "--device", "12v", "write", path("image.hex")}), 0)
        << err();
    std::vector<std::string> traceData, cardData;
    std::vector<unsigned> traceControl, cardControl;
    std::istringstream trace(ReadAll(path("run.trace")));
    std::string line;
    while (std::getline(trace, line)) {
        std::istringstream fields(line);
        std::string time, direction, reg, value;
        fields >> time >> direction >> reg >> value;
        if (time == "#" || (direction != "read" && direction != "write")) continue;
        if (reg == "data") traceData.push_back(direction.substr(0, 1) + " " + value);
        if (reg == "control" && direction == "write")
            traceControl.push_back(std::stoul(value, nullptr, 16) & 0x2F);
    }
    std::istringstream card(registers());
    while (std::getline(card, line)) {
        std::istringstream fields(line);
        std::string time, reg, direction, value, cause;
        fields >> time >> reg >> direction >> value;
        std::getline(fields >> std::ws, cause);
        if (time == "#" || cause == "claim" || cause == "release") continue;
        if (reg == "data") cardData.push_back(direction + " " + value);
        if (reg == "control" && direction == "w")
            cardControl.push_back(std::stoul(value, nullptr, 16) & 0x2F);
    }
    ASSERT_GT(traceData.size(), 50u);
    // Opening the port puts it at rest the moment it is claimed, before the
    // trace, which starts once the port is open, can see it.
    ASSERT_GE(cardData.size(), 2u);
    EXPECT_EQ(cardData[0], "w 80");
    EXPECT_EQ(cardData[1], "w 00");
    cardData.erase(cardData.begin(), cardData.begin() + 2);
    EXPECT_EQ(traceData, cardData);
    std::size_t next = 0;
    for (std::size_t i = 0; i < traceControl.size(); ++i) {
        while (next < cardControl.size() && cardControl[next] != traceControl[i]) ++next;
        ASSERT_LT(next, cardControl.size())
            << "control write " << i << " of the trace, " << std::hex << traceControl[i];
    }
}

}  // namespace
}  // namespace lpt51::e2e
