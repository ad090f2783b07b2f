// SPDX-License-Identifier: GPL-3.0-or-later
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include "../StallingClock.h"
#include "../VirtualAdapterBackend.h"
#include "CliTestSupport.h"
#include "chip/Devices.h"
#include "chip/Erase.h"
#include "chip/Write.h"
#include "cli/CliPrompts.h"
#include "cli/CommandLine.h"
#include "cli/CommandRun.h"
#include "cli/ProgressBar.h"
#include "image/AppFiles.h"

namespace lpt51::cli {
namespace {

using lpt51::testing::StallingClock;
using lpt51::testing::VirtualAdapterBackend;
using test::kEnd;
using test::Record;
using ::testing::HasSubstr;
using ::testing::Not;

struct Outcome {
    int code = -1;
    std::string out;
    std::string err;
};

class CommandLineTest : public ::testing::Test {
  protected:
    // Every run uses the virtual adapter on virtual time with this test's chip file.
    Outcome run(std::vector<std::string> args, const std::string& chip = "12v",
                const std::string& portKind = "bidi") {
        std::vector<std::string> all{
            "--port", "sim:" + state(chip), "--sim-chip", chip, "--sim-port",
            portKind, "--sim-timing",       "virtual"};
        all.insert(all.end(), args.begin(), args.end());
        std::ostringstream out, err;
        Outcome r;
        r.code = RunCommandLine(all, out, err);
        r.out = out.str();
        r.err = err.str();
        return r;
    }

    // The state file keeps the chip kind, so each kind gets its own.
    std::string state(const std::string& chip = "12v") {
        return dir.path("chip-" + chip + ".state");
    }

    std::string image() {
        return dir.write("prog.hex",
                         {Record(0, {0x02, 0x00, 0x30}), Record(0x30, {0x80, 0xFE}), kEnd});
    }

    test::TempDir dir;
};

TEST_F(CommandLineTest, UsageErrorsExitTwoWithoutTouchingThePort) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {"frobnicate"},
             {"--bogus", "info"},
             {"write"},
             {"erase", "extra"},
             {"--device", "3v", "erase"},
             {"--device"},
             {"lock", "4"},
             {"lock", "1,,2"},
             {"--sim-chip", "x", "info"},
             {"--port", "--yes", "info"},  // an option is never taken for a value
         }) {
        const Outcome r = run(args);
        EXPECT_EQ(r.code, kExitUsage) << ::testing::PrintToString(args);
        EXPECT_THAT(r.err, HasSubstr("--help"));
    }
    EXPECT_FALSE(std::filesystem::exists(state()));

    const Outcome help = run({"--help"});
    EXPECT_EQ(help.code, kExitDone);
    EXPECT_THAT(help.out, HasSubstr("3    port cannot be used"));
    const Outcome writeHelp = run({"write", "--help"});
    EXPECT_EQ(writeHelp.code, kExitDone);
    EXPECT_THAT(writeHelp.out, HasSubstr("Usage: lpt51 write"));
    const Outcome version = run({"--version"});
    EXPECT_EQ(version.code, kExitDone);
    EXPECT_EQ(version.out.rfind("lpt51 ", 0), 0u) << version.out;
}

TEST_F(CommandLineTest, MistypedWordsGetTheNearestKnownOne) {
    Outcome r = run({"--devcie=12v", "erase"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_THAT(r.err, HasSubstr("lpt51: unknown option '--devcie=12v'; did you mean '--device'?"));
    r = run({"wrtie", image()});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_THAT(r.err, HasSubstr("unknown command 'wrtie'; did you mean 'write'?"));
    r = run({"--frobnicate", "info"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_THAT(r.err, Not(HasSubstr("did you mean")));
    // After "--" a word that looks like an option is a file name.
    r = run({"--device", "12v", "write", "--", "-missing.hex"});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_THAT(r.err, HasSubstr("-missing.hex"));
}

TEST_F(CommandLineTest, BlankCheckAndRawBinaryImages) {
    Outcome r = run({"blank"});
    EXPECT_EQ(r.code, kExitDone) << r.err;
    EXPECT_THAT(r.out, HasSubstr("The chip is blank: all 4096 bytes are FF."));

    // Neither erased nor zero, and different at every neighbouring address.
    std::string bytes(4096, '\0');
    for (std::size_t a = 0; a < bytes.size(); ++a) bytes[a] = static_cast<char>((a * 7 + 3) % 255);
    const std::string in = dir.path("in.bin");
    std::ofstream(in, std::ios::binary) << bytes;
    r = run({"--device=12v", "write", in});
    ASSERT_EQ(r.code, kExitDone) << r.err;
    r = run({"blank"});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_THAT(r.out, HasSubstr("4096 bytes are not FF, at 0000 0001 0002 0003 0004 0005 0006 "
                                 "0007 ...\n"));
    r = run({"verify", in});
    EXPECT_EQ(r.code, kExitDone) << r.err;
    r = run({"--quiet", "read", dir.path("out.BIN")});
    ASSERT_EQ(r.code, kExitDone) << r.err;
    EXPECT_EQ(test::ReadAll(dir.path("out.BIN")), bytes);

    // One byte too many: refused before the port is opened; the chip keeps its code.
    const std::string state = test::ReadAll(this->state());
    const std::string big = dir.path("big.bin");
    std::ofstream(big, std::ios::binary) << std::string(4097, '\0');
    for (const char* cmd : {"write", "verify", "cwv"}) {
        r = run({"--device", "12v", cmd, big});
        EXPECT_EQ(r.code, kExitFailed) << cmd;
        EXPECT_THAT(r.err, HasSubstr("big.bin: 4097 bytes, more than the chip's 4096."));
    }
    EXPECT_EQ(test::ReadAll(this->state()), state);
    r = run({"--quiet", "--force", "read", dir.path("out.BIN")});
    EXPECT_EQ(test::ReadAll(dir.path("out.BIN")), bytes);
}

// An empty socket reads FF everywhere, as an erased chip does; only the
// signature tells them apart, and it must, whatever the questions were answered.
TEST_F(CommandLineTest, AnEmptySocketOrAnotherChipIsNeverBlank) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"blank"}, {"--yes", "blank"}}) {
        const Outcome r = run(args, "empty");
        EXPECT_EQ(r.code, kExitFailed) << args.front();
        EXPECT_EQ(r.out, "") << args.front();
        EXPECT_THAT(r.err, HasSubstr("no chip answers (bytes FF")) << args.front();
    }
    // Refused as the device check refuses a chip it marks "none".
    Outcome r = run({"blank"}, "foreign");
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_EQ(r.out, "");
    EXPECT_THAT(r.err, HasSubstr("Probably you have not the 89C51 mikroprocessor !!! Continue ?\n"
                                 "  -> No (give --yes to answer Yes)\n"
                                 "You have not  processor in socket !!!\n"));
    EXPECT_THAT(r.err, HasSubstr("another kind (signature 1E 52)"));

    // An erase or lock on nothing no longer ends in its own success text.
    r = run({"--yes", "--device", "12v", "erase"}, "empty");
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_THAT(r.err, Not(HasSubstr(chip::kChipIsClear)));
    EXPECT_THAT(r.err, HasSubstr("no chip answers (bytes FF FF FF)"));
    r = run({"--yes", "--device", "12v", "lock", "1"}, "empty");
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_THAT(r.err, Not(HasSubstr("burn successful")));
}

TEST_F(CommandLineTest, ASimChipOtherThanTheStateFileKeepsIsRefused) {
    ASSERT_EQ(run({"--device", "12v", "erase"}).code, kExitDone);
    const std::string kept = test::ReadAll(state());
    std::ostringstream out, err;
    const int code = RunCommandLine(
        {"--port", "sim:" + state(), "--sim-chip", "foreign", "--sim-timing", "virtual", "blank"},
        out, err);
    EXPECT_EQ(code, kExitPort);
    EXPECT_THAT(err.str(), HasSubstr("--sim-chip foreign asks for a foreign chip, but the virtual "
                                     "chip state file " +
                                     state() + " keeps an AT89C51 12 V part (--sim-chip 12v)."));
    EXPECT_EQ(test::ReadAll(state()), kept);
    // Without --sim-chip the file's chip is taken as it is.
    EXPECT_EQ(
        RunCommandLine({"--port", "sim:" + state(), "--sim-timing", "virtual", "blank"}, out, err),
        kExitDone);
}

TEST_F(CommandLineTest, PortThatCannotBeOpenedExitsThree) {
    std::ostringstream out, err;
    const int code = RunCommandLine({"--port", "/dev/lpt51-no-such-port", "info"}, out, err);
    EXPECT_EQ(code, kExitPort);
    EXPECT_FALSE(err.str().empty());
}

TEST_F(CommandLineTest, InfoNamesPortModeAndBackend) {
    Outcome r = run({"info"});
    ASSERT_EQ(r.code, kExitDone) << r.err;
    EXPECT_THAT(r.out, HasSubstr("CPU clock: 1000 MHz"));
    EXPECT_THAT(r.out, HasSubstr("DelayUnit: 10000"));
    EXPECT_THAT(r.out, HasSubstr("Port mode: Bidirectional"));
    EXPECT_THAT(r.out, HasSubstr("virtual adapter"));
    EXPECT_THAT(r.out, HasSubstr("Files: " + image::AppDirOfExecutable() + "\n"));
    EXPECT_THAT(r.out, HasSubstr("Chip timing: standard (the program's own waits"));
    r = run({"--timing", "datasheet", "info"});
    EXPECT_THAT(r.out,
                HasSubstr("Chip timing: datasheet (every wait from the chip's datasheet limits"));
    r = run({"--timing", "fast", "info"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_THAT(r.err, HasSubstr("--timing: unknown timing 'fast' (use standard or datasheet)"));
    r = run({"info"}, "12v", "spp");
    EXPECT_THAT(r.out, HasSubstr("Port mode: SPP (Normal)"));
    // No pull-ups: warned about, then treated as bidirectional.
    r = run({"info"}, "12v", "nopullups");
    EXPECT_EQ(r.code, kExitDone);
    EXPECT_THAT(r.out, HasSubstr("Port mode: Bidirectional (probe read 00"));
    EXPECT_THAT(r.err, HasSubstr("You probably have not any pull up resistors on your LPT1 !! \n"));
}

TEST_F(CommandLineTest, SignatureNamesTheDeviceOrSaysWhyNone) {
    Outcome r = run({"signature"});
    EXPECT_EQ(r.code, kExitDone) << r.err;
    EXPECT_THAT(r.out, HasSubstr("Signature: 1E 51 FF"));
    EXPECT_THAT(r.out, HasSubstr("Device: AT89C51-12V"));

    r = run({"signature"}, "5v");
    EXPECT_THAT(r.out, HasSubstr("Device: AT89C51-5V"));

    r = run({"signature"}, "empty");
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_THAT(r.err, HasSubstr("no chip answers"));
    EXPECT_THAT(r.err, HasSubstr("Probably you have not the Atmel mikroprocessor"));

    r = run({"--yes", "signature"}, "foreign");
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_THAT(r.out, HasSubstr("Signature: 1E 52 FF"));
    EXPECT_THAT(r.err, HasSubstr("another kind"));
}

TEST_F(CommandLineTest, WrittenChipIsTheNextRunsChip) {
    const std::string hex = image();
    Outcome r = run({"--device", "12v", "write", hex});
    ASSERT_EQ(r.code, kExitDone) << r.err;
    EXPECT_THAT(r.err, HasSubstr("File was burn !"));
    EXPECT_THAT(r.err, HasSubstr("Writing: 5 bytes"));  // stderr is no terminal here

    r = run({"verify", hex});
    EXPECT_EQ(r.code, kExitDone) << r.err;
    EXPECT_THAT(r.err, HasSubstr("File Check successful!"));

    const std::string out = dir.path("back.hex");
    r = run({"--quiet", "read", out});
    ASSERT_EQ(r.code, kExitDone) << r.err;
    EXPECT_THAT(r.err, Not(HasSubstr("Reading")));
    std::vector<std::string> lines;
    std::istringstream text(test::ReadAll(out));
    for (std::string l; std::getline(text, l);) lines.push_back(l);
    ASSERT_EQ(lines.size(), 257u);
    EXPECT_EQ(lines[0].substr(0, 15),
              ":1000000002003"
              "0");
    EXPECT_EQ(lines[256], kEnd);

    // An existing file is kept unless --force.
    r = run({"read", out});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_THAT(r.err, HasSubstr("--force"));
    r = run({"--force", "--quiet", "read", out});
    EXPECT_EQ(r.code, kExitDone);
}

TEST_F(CommandLineTest, VerifyListsDifferencesAndSuspectsAMissingErase) {
    ASSERT_EQ(run({"--device", "12v", "write", image()}).code, kExitDone);
    // 0x02 on the chip, 0x03 wanted: a 0 bit the file wants as 1.
    const std::string other =
        dir.write("other.hex", {Record(0, {0x03, 0x00, 0x30}), Record(0x30, {0x80, 0xFE}), kEnd});
    const Outcome r = run({"verify", other});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_THAT(r.out, HasSubstr("0000: chip 02, file 03"));
    EXPECT_THAT(r.out, HasSubstr("1 byte differs"));
    EXPECT_THAT(r.out, HasSubstr("probably not erased"));
    EXPECT_THAT(r.err, HasSubstr("Verifing not correct !!!"));

    // cwv erases first, so the same file then goes through.
    const Outcome c = run({"--device", "12v", "cwv", other});
    EXPECT_EQ(c.code, kExitDone) << c.err;
    EXPECT_THAT(c.err, HasSubstr("Task complete !"));
    EXPECT_EQ(run({"verify", other}).code, kExitDone);
}

TEST_F(CommandLineTest, BadFilesAreRefusedBeforeThePortIsOpened) {
    std::string bad = Record(0, {1, 2});
    bad[9] = 'Q';
    const std::string badHex = dir.write("bad.hex", {bad, kEnd});
    const std::string high = dir.write("high.hex", {Record(0x1000, {1}), kEnd});
    // Bytes that an extended linear or segment base puts at 0x10000.
    const std::string linear =
        dir.write("linear.hex", {Record(0, {0, 1}, 4), Record(0, {1, 2, 3, 4}), kEnd});
    const std::string segment =
        dir.write("segment.hex", {Record(0, {0x10, 0}, 2), Record(0, {1, 2, 3, 4}), kEnd});
    for (const char* cmd : {"write", "verify", "cwv"}) {
        Outcome r = run({"--device", "12v", cmd, badHex});
        EXPECT_EQ(r.code, kExitFailed);
        EXPECT_THAT(r.err, HasSubstr("File contains illegal char =  Q1 ! \nlpt51: " + badHex +
                                     ": line 1\n"));
        r = run({"--device", "12v", cmd, high});
        EXPECT_EQ(r.code, kExitFailed) << cmd;
        for (const std::string& based : {linear, segment}) {
            r = run({"--device", "12v", cmd, based});
            EXPECT_EQ(r.code, kExitFailed) << cmd << " " << based;
            EXPECT_THAT(r.err, HasSubstr("line 2: the record at address 10000 (extended "));
        }
        r = run({"--device", "12v", cmd, dir.path("missing.hex")});
        EXPECT_EQ(r.code, kExitFailed);
    }
    // Nothing was opened, so no chip file came into being.
    EXPECT_FALSE(std::filesystem::exists(state()));

    std::ostringstream out, err;
    EXPECT_EQ(RunCommandLine({"check", high}, out, err), kExitFailed);
    EXPECT_THAT(out.str(), HasSubstr("Code size: 1 bytes"));
    std::ostringstream out2, err2;
    EXPECT_EQ(RunCommandLine({"check", image()}, out2, err2), kExitDone);
    EXPECT_THAT(out2.str(), HasSubstr("Code size: 5 bytes"));
    std::ostringstream out3, err3;
    EXPECT_EQ(RunCommandLine({"check", badHex}, out3, err3), kExitFailed);
    std::ostringstream out4, err4;
    EXPECT_EQ(RunCommandLine({"check", linear}, out4, err4), kExitFailed);
    EXPECT_THAT(out4.str(), HasSubstr("Code size: 4 bytes"));
    EXPECT_THAT(err4.str(), HasSubstr("lies beyond 0FFF"));
}

// Intel HEX as other tools write it from one random image: each file is
// exactly 4096 bytes of code, and cwv puts those bytes on the chip.
struct HexWriter {
    const char* name;
    const char* probe;
    const char* command;      // BIN and HEX stand for the files
    const char* mustContain;  // what makes this writer's output worth a test
};

const HexWriter kHexWriters[] = {
    {"srec_cat_16", "srec_cat -VERsion",
     "srec_cat BIN -binary -o HEX -intel -obs=16 -line-termination=crlf", ":020000040000FA\r\n"},
    {"srec_cat_32", "srec_cat -VERsion",
     "srec_cat BIN -binary -o HEX -intel -obs=32 -line-termination=crlf", "\r\n:20002000"},
    {"objcopy", "objcopy --version", "objcopy -I binary -O ihex BIN HEX", ":100FF000"},
    // python3 on the search path may be an interpreter without the package.
    {"intelhex", "python3 -c 'import intelhex' || /usr/bin/python3 -c 'import intelhex'",
     "{ python3 -c 'import intelhex' 2>/dev/null && py=python3 || py=/usr/bin/python3; } && "
     "$py -c 'import intelhex,sys; h=intelhex.IntelHex(); h.loadbin(sys.argv[1]); "
     "h.write_hex_file(sys.argv[2])' BIN HEX",
     ":00000001FF"},
    // packihx joins the short records of a linker's output into 16-byte ones.
    {"packihx", "command -v packihx && srec_cat -VERsion",
     "srec_cat BIN -binary -o - -intel -obs=7 | packihx > HEX 2>/dev/null", ":10001000"},
};

void PrintTo(const HexWriter& w, std::ostream* os) {
    *os << w.name;
}

class ToolWrittenHex : public CommandLineTest, public ::testing::WithParamInterface<HexWriter> {};

TEST_P(ToolWrittenHex, IsCheckedWrittenAndReadBackEqual) {
    const HexWriter& w = GetParam();
    if (std::system((std::string("(") + w.probe + ") >/dev/null 2>&1").c_str()) != 0)
        GTEST_SKIP() << w.name << " is not installed";
    std::string bytes(4096, '\0');
    std::mt19937 rng(24);
    for (char& b : bytes) b = static_cast<char>(rng());
    const std::string bin = dir.path("image.bin");
    const std::string hex = dir.path("image.hex");
    std::ofstream(bin, std::ios::binary) << bytes;
    std::string cmd = w.command;
    cmd.replace(cmd.find("BIN"), 3, "'" + bin + "'");
    cmd.replace(cmd.find("HEX"), 3, "'" + hex + "'");
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    ASSERT_THAT(test::ReadAll(hex), HasSubstr(w.mustContain));

    Outcome r = run({"check", hex});
    EXPECT_EQ(r.code, kExitDone) << r.err;
    EXPECT_THAT(r.out, HasSubstr("Code size: 4096 bytes"));
    r = run({"--device", "12v", "cwv", hex});
    ASSERT_EQ(r.code, kExitDone) << r.err;
    r = run({"--quiet", "read", dir.path("back.bin")});
    ASSERT_EQ(r.code, kExitDone) << r.err;
    EXPECT_TRUE(test::ReadAll(dir.path("back.bin")) == bytes);
}

INSTANTIATE_TEST_SUITE_P(Writers, ToolWrittenHex, ::testing::ValuesIn(kHexWriters),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CommandLineTest, DeviceCheckNeedsADeviceAndAYesForTheOtherVariant) {
    const std::string hex = image();
    // The window's "Select processor in device menu" in the command line's words.
    for (const char* command : {"write", "cwv"}) {
        const Outcome r = run({command, hex});
        EXPECT_EQ(r.code, kExitUsage) << command;
        EXPECT_THAT(r.err, HasSubstr("--device 12v or --device 5v")) << command;
    }
    Outcome r = run({"-d", "12v", "write", hex}, "5v");
    EXPECT_THAT(r.err, HasSubstr("Have you realy AT89C51-12V processor ?"));

    // A 5 V chip with the 12 V device selected: asked, answered No, nothing written.
    r = run({"--device", "12v", "write", hex}, "5v");
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_THAT(r.err, HasSubstr("Have you realy AT89C51-12V processor ?"));
    r = run({"--device", "12v", "erase"}, "5v");
    EXPECT_EQ(r.code, kExitFailed);
    r = run({"--device", "12v", "lock", "1"}, "5v");
    EXPECT_EQ(r.code, kExitFailed);
    r = run({"--quiet", "read", dir.path("blank.hex")}, "5v");
    ASSERT_EQ(r.code, kExitDone);
    const std::string blank = test::ReadAll(dir.path("blank.hex"));
    EXPECT_THAT(blank, HasSubstr(":10000000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00"));
    EXPECT_THAT(blank, Not(HasSubstr("020030")));

    // With the right device it goes through.
    r = run({"--device", "5v", "write", hex}, "5v");
    EXPECT_EQ(r.code, kExitDone) << r.err;
}

TEST_F(CommandLineTest, OutputOnlyPortRefusesEverythingThatReads) {
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {"signature"}, {"blank"}, {"verify", image()}, {"read", dir.path("r.hex")}}) {
        const Outcome r = run(args, "12v", "spp");
        EXPECT_EQ(r.code, kExitPort) << args[0];
        EXPECT_THAT(r.err, HasSubstr("cannot read the chip"));
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path("r.hex")));
    // Writing needs no read-back, and says there was none.
    const Outcome w = run({"--device", "12v", "write", image()}, "12v", "spp");
    EXPECT_EQ(w.code, kExitDone) << w.err;
    EXPECT_THAT(w.err, HasSubstr("File was burn !\nlpt51: not verified: output-only port\n"));
}

TEST_F(CommandLineTest, LockBitsAreBurntAndAWriteToTheLockedChipFails) {
    Outcome r = run({"--device", "12v", "lock", "1,3"});
    EXPECT_EQ(r.code, kExitDone) << r.err;
    EXPECT_THAT(r.err, HasSubstr("burn successful."));
    // A whole chip's write: the read-back finds every byte unchanged, and
    // the adapter's 4096 faults are counted, not listed.
    std::string bytes(4096, '\0');
    for (std::size_t a = 0; a < bytes.size(); ++a) bytes[a] = static_cast<char>(a % 251);
    const std::string in = dir.path("full.bin");
    std::ofstream(in, std::ios::binary) << bytes;
    r = run({"--device", "12v", "--quiet", "write", in});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_THAT(r.err, Not(HasSubstr("File was burn !")));
    EXPECT_THAT(r.err, HasSubstr("lpt51: written, but reading back 4096 bytes differ from the "
                                 "file, at 0000 (chip FF, file 00), 0001 (chip FF, file 01), "
                                 "0002 (chip FF, file 02), 0003 (chip FF, file 03) and 4092 "
                                 "more: the chip may be locked or not erased.\n"));
    EXPECT_THAT(r.err, HasSubstr("lpt51: virtual adapter at 2.374 ms: programming while locked "
                                 "(LB1 set): code byte 000 unchanged\n"));
    EXPECT_THAT(r.err, HasSubstr("lpt51: virtual adapter and 4086 more: 4086 programming while "
                                 "locked\nlpt51: The virtual adapter noticed 4096 faults"));
    const std::string all = r.out + r.err;
    EXPECT_LT(std::count(all.begin(), all.end(), '\n'), 15) << all;
    // Without the read-back only the adapter tells.
    r = run({"--device", "12v", "--quiet", "--no-verify", "write", image()});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_THAT(r.err, HasSubstr("File was burn !\nlpt51: virtual adapter at 2.374 ms: "
                                 "programming while locked (LB1 set): code byte 000 unchanged\n"));
}

// What reached the port: every command ends with the bus's release, and a
// write reads the chip back unless told not to.
TEST_F(CommandLineTest, EachCommandEndsAtRestAndOnlyAVerifiedWriteReadsBack) {
    const auto traced = [&](std::vector<std::string> args) {
        const std::string trace = dir.path("run.trace");
        args.insert(args.begin(), {"--trace", trace});
        const Outcome r = run(args);
        EXPECT_EQ(r.code, kExitDone) << r.err;
        return test::ReadAll(trace);
    };
    const std::string noVerify = traced({"--device", "12v", "--no-verify", "write", image()});
    EXPECT_TRUE(test::EndsAtRest(noVerify));
    ASSERT_EQ(run({"--device", "12v", "erase"}).code, kExitDone);
    const std::string verified = traced({"--device", "12v", "write", image()});
    EXPECT_TRUE(test::EndsAtRest(verified));
    // The five bytes read back, each once, beyond what the write itself reads.
    EXPECT_EQ(test::TraceDataReads(verified), test::TraceDataReads(noVerify) + 5);
    EXPECT_TRUE(test::EndsAtRest(traced({"--quiet", "read", dir.path("r.hex")})));
    const std::string blank = dir.path("blank.trace");
    const Outcome notBlank = run({"--trace", blank, "blank"});
    EXPECT_EQ(notBlank.code, kExitFailed);
    EXPECT_TRUE(test::EndsAtRest(test::ReadAll(blank)));
}

// Busy waits of 6 us a unit: 10 x MHz turns of the loop on a processor that
// runs them faster than its time-stamp counter ticks, counted and nothing more.
class CountingOnlyClock final : public Clock {
  public:
    void busyWait(volatile std::uint32_t& counter, std::uint32_t iterations,
                  std::uint32_t) override {
        counter = 0;
        now_ += std::chrono::nanoseconds(iterations * 6000ull / kDelayUnit);
    }
    void sleepMs(unsigned ms) override { now_ += std::chrono::milliseconds(ms); }
    void busyWaitFor(Duration d) override { now_ += d; }
    Duration now() const override { return now_; }
    static constexpr std::uint32_t kDelayUnit = 20960;

  private:
    Duration now_{0};
};

TEST(SessionFaults, EraseWithUnitsShorterThanTenMicrosecondsFails) {
    VirtualAdapterBackend<CountingOnlyClock> backend(
        sim::ChipState::erased(sim::ChipKind::Part12V));
    session::SessionSetup setup;
    setup.measureCpuMHz = [] { return CountingOnlyClock::kDelayUnit / 10.0; };
    setup.openBackend = [&backend] { return &backend; };
    session::Session session(std::move(setup));
    session.open();
    ASSERT_TRUE(session.ready());
    std::ostringstream err;
    CliPrompts prompts(err, false);
    const session::OperationResult result =
        session.run(prompts, sim::ChipUse::Changes, [](chip::ChipContext& ctx) {
            return session::Judged(chip::ClearChip(ctx, chip::kDevice12V));
        });
    EXPECT_EQ(result.outcome, session::Outcome::Done);
    EXPECT_EQ(PresentResult(prompts, err, result), kExitFailed);
    EXPECT_EQ(err.str(),
              "Chip is clear\n"
              "lpt51: virtual adapter at 10.942 ms: programming voltage held only 6.0 us after "
              "PROG went high (10 us needed)\n"
              "lpt51: The virtual adapter noticed 1 fault: real hardware may not have done what "
              "the messages above say.\n");
    // Without faults (or on hardware) a success stays one.
    EXPECT_EQ(PresentResult(prompts, err, session::OperationResult{}), kExitDone);
}

// The adapter's fault for a stretched pulse that the program measured and
// mended does not fail the command: the chip holds what it should. One the
// program could not mend still does, and so does one the session was never
// told of, since on hardware nothing else would have caught it. A step run
// inside another operation (the window's Write Chip within
// Clear-Write-Verify) has its pulses judged and reported by the outer one.
TEST(SessionFaults, OnlyAStretchedPulseMeasuredAndMendedIsForgiven) {
    enum class Run { Logged, Unlogged, Nested };
    struct Case {
        const char* name;
        std::set<unsigned> stalled;  // wait 1 is the pulse of the byte at 0001
        Run run;
        session::Outcome outcome;
        std::size_t faults;  // left to fail the command
    };
    const Case cases[] = {
        {"measured and programmed again", {1}, Run::Logged, session::Outcome::Done, 0},
        {"never told to the session", {1}, Run::Unlogged, session::Outcome::Done, 1},
        {"three pulses, none mended", {1, 2, 3}, Run::Logged, session::Outcome::Failed, 3},
        {"mended within a step", {1}, Run::Nested, session::Outcome::Done, 0},
    };
    const chip::ScannedImage image = chip::ScanImage({":0400000011223344xx", ":00000001FF"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::ChipState chip = sim::ChipState::erased(sim::ChipKind::Part12V);
        chip.overlongPulses = sim::OverlongPulse::ProgramsNothing;
        VirtualAdapterBackend<StallingClock> backend(std::move(chip));
        backend.testClock().progLow = backend.progLow();
        session::SessionSetup setup;
        setup.measureCpuMHz = [] { return session::kNominalVirtualMHz; };
        setup.nominalClock = true;
        setup.openBackend = [&backend] { return &backend; };
        session::Session session(std::move(setup));
        session.open();
        ASSERT_TRUE(session.ready());
        backend.testClock().stall(c.stalled);
        std::ostringstream err;
        CliPrompts prompts(err, false);
        auto write = [&](chip::ChipContext& ctx) {
            return session::Judged(
                chip::WriteImage(ctx, chip::kDevice12V, image, nullptr).completed);
        };
        session::OperationResult step;
        const session::OperationResult result =
            session.run(prompts, sim::ChipUse::Changes, [&](chip::ChipContext& ctx) {
                if (c.run == Run::Nested) {
                    step = session.run(prompts, sim::ChipUse::Changes, write);
                    return step.outcome;
                }
                if (c.run == Run::Logged) return write(ctx);
                chip::ChipContext unlogged{ctx.bus, ctx.prompts, ctx.state, nullptr};
                return write(unlogged);
            });
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.faults.size(), c.faults);
        EXPECT_EQ(result.succeeded(), c.outcome == session::Outcome::Done && c.faults == 0);
        EXPECT_EQ(backend.adapter().faults().size(), c.stalled.size())
            << "every stall is a fault the adapter saw";
        EXPECT_EQ(result.mendedFaults + result.faults.size(), c.stalled.size());
        if (c.run == Run::Nested) {
            // Reported once, with the faults, by the outer operation.
            EXPECT_EQ(result.pulses.pulses.size(), 1u);
            EXPECT_TRUE(step.pulses.pulses.empty());
        }
    }
}

// A mended pulse excuses the model's fault at its own code byte or lock bit
// and nowhere else: the fault of a pulse the program never measured stays.
TEST(SessionFaults, AMendedPulseExcusesOnlyItsOwnByteOrBit) {
    const auto codeByte = [](std::uint16_t address) {
        return sim::Fault{Clock::Duration{0}, "code byte", sim::kStretchedPulseKind, address, 0};
    };
    const auto lockBit = [](int bit) {
        return sim::Fault{Clock::Duration{0}, "lock bit", sim::kStretchedPulseKind, std::nullopt,
                          bit};
    };
    const auto mended = [](std::uint16_t address, int bit,
                           chip::PulseOutcome outcome = chip::PulseOutcome::ProgrammedAgain) {
        chip::StretchedPulse p;
        p.address = address;
        p.lockBit = bit;
        p.outcome = outcome;
        return p;
    };
    struct Case {
        const char* name;
        std::vector<sim::Fault> faults;
        std::vector<chip::StretchedPulse> pulses;
        std::vector<std::string> unexplained;  // the faults' texts
    };
    sim::Fault contention = codeByte(0x0123);
    contention.kind = "bus contention";
    contention.what = "contention";
    const Case cases[] = {
        {"its own byte", {codeByte(0x0123)}, {mended(0x0123, 0)}, {}},
        {"another byte, unmeasured, next to it",
         {codeByte(0x0123), codeByte(0x0124)},
         {mended(0x0123, 0)},
         {"code byte"}},
        {"a byte by a lock bit", {codeByte(0x0001)}, {mended(0, 1)}, {"code byte"}},
        {"a lock bit by a byte", {lockBit(1)}, {mended(0x0001, 0)}, {"lock bit"}},
        {"another lock bit", {lockBit(2)}, {mended(0, 1)}, {"lock bit"}},
        {"not mended",
         {codeByte(0x0123)},
         {mended(0x0123, 0, chip::PulseOutcome::CouldNotBeMended)},
         {"code byte"}},
        {"another kind of fault at the byte", {contention}, {mended(0x0123, 0)}, {"contention"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        chip::PulseChecks pulses;
        pulses.pulses = c.pulses;
        std::vector<std::string> left;
        for (const sim::Fault& f : session::UnexplainedFaults(c.faults, pulses))
            left.push_back(f.what);
        EXPECT_EQ(left, c.unexplained);
    }
}

TEST(CliPrompts, AnswersNoUnlessYesAndShowsLineBreaks) {
    std::ostringstream err;
    CliPrompts no(err, false);
    EXPECT_EQ(no.ask(QuestionKind::Warning, "a\rb"), Answer::No);
    EXPECT_THAT(err.str(), HasSubstr("Warning: a\nb"));
    CliPrompts yes(err, true);
    EXPECT_EQ(yes.ask(QuestionKind::Information, "q"), Answer::Yes);
    no.setVerifying(true);
    EXPECT_EQ(no.ask(QuestionKind::Error, "mismatch"), Answer::Yes);
}

TEST(ProgressBar, BarShowsShareAndTime) {
    EXPECT_EQ(BarText("Writing", 61, 100, 10.44),
              "Writing |##################            |  61% 10.4 s");
    EXPECT_EQ(BarText("Reading", 0, 0, 0), "Reading |" + std::string(30, '#') + "| 100% 0.0 s");
}

}  // namespace
}  // namespace lpt51::cli
