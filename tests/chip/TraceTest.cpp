// SPDX-License-Identifier: GPL-3.0-or-later
// The port trace of chip operations on the virtual adapter, read back from
// the file as a user would read it.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ChipTestSupport.h"
#include "backend/Backend.h"
#include "chip/Devices.h"
#include "chip/Erase.h"
#include "chip/HexText.h"
#include "chip/Signature.h"
#include "chip/Write.h"

namespace lpt51::chiptest {
namespace {

using namespace lpt51::chip;

constexpr std::uint32_t kDelayUnit = 3;

std::filesystem::path ScratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    auto dir =
        std::filesystem::temp_directory_path() / ("lpt51_trace_" + std::string(info->name()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::unique_ptr<Backend> OpenTraced(const std::string& trace) {
    BackendOptions options;
    options.port = "sim";
    options.virtualTiming = true;
    options.trace = trace;
    return Backend::open(options);
}

// Turns the text trace into the transcript form of Expect ("RC 07, D1, S10"),
// checking on the way that every line's time is the sum of the waits before
// it: 10 us per delay unit, exact waits as they stand and the sleeps'
// milliseconds on the virtual clock.
std::string TranscriptOf(const std::string& text) {
    std::istringstream in(text);
    std::string line, transcript;
    long long expectedNs = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string time, what, reg, value;
        words >> time >> what;
        const std::size_t dot = time.find('.');
        const long long ns =
            std::stoll(time.substr(0, dot)) * 1000 + std::stoll(time.substr(dot + 1));
        EXPECT_EQ(ns, expectedNs) << line;
        std::string item;
        if (what == "busy-wait" && line.ends_with(" us")) {
            double us = 0;
            words >> us;
            expectedNs += std::llround(us * 1000);
            item = "W" + std::to_string(std::llround(us));
        } else if (what == "busy-wait") {
            unsigned units = 0;
            std::string unitWord, iterations;
            words >> units >> unitWord >> iterations;
            EXPECT_EQ(iterations, "(" + std::to_string(units * kDelayUnit)) << line;
            expectedNs += 10'000LL * units;
            item = "D" + std::to_string(units);
        } else if (what == "sleep") {
            unsigned ms = 0;
            words >> ms;
            expectedNs += 1'000'000LL * ms;
            item = "S" + std::to_string(ms);
        } else {
            words >> reg >> value;
            item =
                std::string(what == "read" ? "R" : "W") + (reg == "data" ? "D" : "C") + " " + value;
        }
        transcript += (transcript.empty() ? "" : ", ") + item;
    }
    return transcript;
}

void ExpectSignature(Expect& e) {
    const std::uint8_t bytes[] = {0x1E, 0x51, 0xFF};
    for (int i = 0; i < 3; ++i) {
        e.latchIdle(1).latchLow(static_cast<std::uint8_t>(0x30 + i), 1).latchHigh(0x80, 1);
        e.readStrobe(4, 20, bytes[i]);
    }
    e.sc(7).sco(7, 24);
}

TEST(PortTrace, TextOfSignatureEraseAndWriteIsTheirRegisterStepsAndWaitsInTime) {
    const auto dir = ScratchDir();
    const auto path = dir / "run.trace";
    auto backend = OpenTraced(path.string());
    ASSERT_TRUE(backend->usable()) << backend->problem();
    Bus bus(*backend->port(), backend->clock(), kDelayUnit);
    ScriptedPrompts prompts;
    ProgrammerState state;
    ChipContext ctx{bus, prompts, state};

    ReadSignature(ctx);
    ASSERT_TRUE(ClearChip(ctx, kDevice12V));
    ASSERT_TRUE(WriteImage(ctx, kDevice12V, ScanImage({":02081000A55Bxx", ":00000001FF"}), nullptr)
                    .completed);
    EXPECT_TRUE(backend->virtualAdapter()->faults().empty());
    EXPECT_EQ(backend->virtualAdapter()->chip().code[0x811], 0x5B);
    EXPECT_EQ(backend->persist(), std::nullopt);

    Expect e;
    ExpectSignature(e);
    ExpectSignature(e);  // the erase's device check
    e.latchIdle(1).d(20).pd(0x40).d(1).sc(5).d(1);
    e.sc(0x27).d(4).sc(0x23).d(20).sc(0x0B).s(10).sco(7).releaseBus();
    e.latchIdle(1).d(20).sc(7).d(1);
    for (const auto& [low, byte] : {std::pair{0x10, 0xA5}, std::pair{0x11, 0x5B}}) {
        e.latchLow(low, 1).latchHigh(0x38, 1).pd(byte).d(1).s(1).sc(0x0F).d(1).sc(7).s(3);
    }
    e.releaseBus();
    // Flushed by persist: everything is in the file while the port is still open.
    EXPECT_EQ(TranscriptOf(ReadAll(path)), e.text());
    backend.reset();

    // Wrapped, a real clock is still taken for one: traced operations keep
    // their real-time priority.
    BackendOptions real;
    real.port = "sim";
    real.trace = (dir / "real.trace").string();
    EXPECT_TRUE(Backend::open(real)->clock().realTime());
    std::filesystem::remove_all(dir);
}

// A pulse in a mode that programs nothing, ending 30 us into the trace: the model's
// fault shows in the text at that time, and in the dump as a pulse of the
// fault signal there, with its text at the end.
TEST(PortTrace, FaultsStandAtTheirTimeInBothFormats) {
    const auto dir = ScratchDir();
    const std::string fault = "PROG pulse in undefined mode (address 000): ignored";
    for (const char* name : {"f.trace", "f.vcd"}) {
        auto backend = OpenTraced((dir / name).string());
        ASSERT_TRUE(backend->usable());
        Bus bus(*backend->port(), backend->clock(), kDelayUnit);
        bus.BusDelay(2);
        bus.SetControl(0x0F);
        bus.BusDelay(1);
        bus.SetControl(0x07);
        bus.BusDelay(1);
        ASSERT_EQ(backend->virtualAdapter()->faults().size(), 1u);
        EXPECT_EQ(backend->virtualAdapter()->faults()[0].what, fault);
        backend.reset();
    }
    EXPECT_NE(ReadAll(dir / "f.trace").find("          30.000 fault: " + fault + "\n"),
              std::string::npos);
    const std::string vcd = ReadAll(dir / "f.vcd");
    const std::string declared = " fault $end";
    const std::size_t at = vcd.find(declared);
    ASSERT_NE(at, std::string::npos);
    const char id = vcd[at - 1];
    const std::string changes = vcd.substr(vcd.find("$enddefinitions"));
    const std::size_t rise = changes.find(std::string("\n1") + id + "\n");
    const std::size_t fall = changes.find(std::string("\n0") + id + "\n", rise);
    ASSERT_NE(rise, std::string::npos);
    ASSERT_NE(fall, std::string::npos);
    EXPECT_EQ(changes.rfind('#', rise), changes.find("#30\n"));
    EXPECT_EQ(changes.rfind('#', fall), changes.find("#31\n"));
    EXPECT_NE(vcd.find("$comment faults: 30.000 us: " + fault + " $end\n"), std::string::npos);
    std::filesystem::remove_all(dir);
}

// Each way the file can fail: before any access the backend refuses to start;
// during the run the operation still finishes and persist says so once.
TEST(PortTrace, FileThatCannotBeWrittenNeverStopsAnOperation) {
    const auto dir = ScratchDir();
    const struct {
        std::string path;
        std::string problem;
    } refused[] = {
        {"/dev/full",
         "Cannot write the port trace to /dev/full: No space left on device. "
         "Nothing was done."},
        {(dir / "no" / "t.vcd").string(), "Cannot write the port trace to " +
                                              (dir / "no" / "t.vcd").string() +
                                              ": No such file or directory. Nothing was done."},
        {(dir / "keep.hex").string(),
         "Cannot write the port trace to " + (dir / "keep.hex").string() +
             ": the file exists and is not a port trace; give another name or remove it. "
             "Nothing was done."},
    };
    std::ofstream(dir / "keep.hex") << ":00000001FF\n";
    for (const auto& r : refused) {
        auto backend = OpenTraced(r.path);
        EXPECT_FALSE(backend->usable()) << r.path;
        EXPECT_EQ(backend->problem(), r.problem);
        EXPECT_EQ(backend->port(), nullptr);
    }
    EXPECT_EQ(ReadAll(dir / "keep.hex"), ":00000001FF\n");

    // An earlier trace is replaced, in either format.
    for (const char* name : {"old.trace", "old.vcd"}) {
        OpenTraced((dir / name).string()).reset();
        std::ofstream(dir / name, std::ios::app) << "more";
        EXPECT_TRUE(OpenTraced((dir / name).string())->usable()) << name;
    }

    // The disk fills up during a write: the file may grow no further than its header.
    const auto path = dir / "full.trace";
    auto backend = OpenTraced(path.string());
    ASSERT_TRUE(backend->usable());
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limit = old;
    limit.rlim_cur = std::filesystem::file_size(path);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    Bus bus(*backend->port(), backend->clock(), kDelayUnit);
    ScriptedPrompts prompts;
    ProgrammerState state;
    ChipContext ctx{bus, prompts, state};
    image::Lines text;
    for (unsigned a = 0; a < 0x1000; a += 16)  // enough text to fill the buffer many times
        text.push_back(":10" + Hex2(a >> 8) + Hex2(a & 0xFF) + "00" + std::string(32, '0') + "xx");
    text.push_back(":00000001FF");
    const WriteResult r = WriteImage(ctx, kDevice12V, ScanImage(text), nullptr);
    const auto told = backend->persist();
    const auto toldAgain = backend->persist();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(r.bytesProgrammed, 0x1000u);
    EXPECT_EQ(backend->virtualAdapter()->chip().code[0xFFF], 0x00);
    EXPECT_TRUE(backend->virtualAdapter()->faults().empty());
    EXPECT_EQ(backend->port()->readControl() & 0x2F, 0x07);  // at rest
    EXPECT_EQ(told, "The port trace " + path.string() +
                        " could not be written to its end (File too large); the operation itself "
                        "was not affected.");
    EXPECT_EQ(toldAgain, std::nullopt);
    backend.reset();
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace lpt51::chiptest
