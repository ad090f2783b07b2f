// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "../TestFiles.h"
#include "Image.h"

namespace lpt51::d51 {
namespace {

namespace fs = std::filesystem;

using test::ReadAll;
using test::WriteAll;

bool Have(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

class D51Program : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* bin = std::getenv("LPT51_BIN_DIR");
        d51_ = bin ? fs::path(bin) / "d51" : fs::path(D51_BUILT_PATH);
        ASSERT_TRUE(fs::exists(d51_)) << d51_;
        char tmpl[] = "/tmp/d51testXXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        if (!dir_.empty()) fs::remove_all(dir_);
    }

    // Runs a command in the test directory; its stderr lands in err.txt.
    int Run(const std::string& command) {
        const std::string full = "cd '" + dir_.string() + "' && " + command + " >out.txt 2>err.txt";
        int rc = std::system(full.c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }
    int RunD51(const std::string& name) { return Run("'" + d51_.string() + "' " + name); }
    std::string Err() { return ReadAll(dir_ / "err.txt"); }

    // Disassembles name.hex, assembles the listing and compares both images.
    void RoundTrip(const std::string& name) {
        ASSERT_EQ(RunD51(name), 0) << Err();
        const std::string listing = ReadAll(dir_ / (name + ".d51"));
        // The view drops two lines; the assembler must not depend on them either.
        const auto body = listing.substr(listing.find('\n', listing.find('\n') + 1) + 1);
        WriteAll(dir_ / "back.asm", body);
        ASSERT_EQ(Run("as31 back.asm"), 0) << ReadAll(dir_ / "out.txt") << Err();
        auto original = ParseHex(ReadAll(dir_ / (name + ".hex")));
        auto back = ParseHex(ReadAll(dir_ / "back.hex"));
        ASSERT_TRUE(original.ok) << ::testing::PrintToString(original.error);
        ASSERT_TRUE(back.ok) << ::testing::PrintToString(back.error);
        EXPECT_EQ(back.image.first, original.image.first);
        EXPECT_EQ(back.image.last, original.image.last);
        for (std::size_t a = original.image.first; a <= original.image.last; ++a)
            ASSERT_EQ(back.image.bytes[a], original.image.bytes[a]) << "address " << a;
    }

    void WriteImageHex(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        std::string text;
        for (std::size_t a = 0; a < bytes.size(); a += 16) {
            const std::size_t n = std::min<std::size_t>(16, bytes.size() - a);
            unsigned sum = n + (a >> 8) + (a & 0xFF);
            char buf[32];
            std::snprintf(buf, sizeof buf, ":%02zX%04zX00", n, a);
            text += buf;
            for (std::size_t i = 0; i < n; ++i) {
                std::snprintf(buf, sizeof buf, "%02X", bytes[a + i]);
                text += buf;
                sum += bytes[a + i];
            }
            std::snprintf(buf, sizeof buf, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
            text += buf;
        }
        WriteAll(dir_ / (name + ".hex"), text + ":00000001FF\n");
    }

    fs::path d51_;
    fs::path dir_;
};

TEST_F(D51Program, CompiledCProgramAssemblesBackToTheSameBytes) {
    if (!Have("sdcc") || !Have("as31")) GTEST_SKIP() << "sdcc or as31 not installed";
    WriteAll(dir_ / "prog.c", R"(#include <8051.h>
volatile unsigned char ticks;
__code const unsigned char table[] = {1, 2, 3, 0xA5, 5};
void timer0(void) __interrupt(1) { ticks++; TF0 = 0; }
void serial(void) __interrupt(4) { if (RI) { RI = 0; P1 = SBUF; } }
unsigned int mul(unsigned int a, unsigned int b) { return a * b; }
void main(void) {
    unsigned char i;
    TMOD = 0x01; TR0 = 1; ET0 = 1; ES = 1; EA = 1;
    for (i = 0; i < 10; i++) { P1 = table[i % 5]; P2 = mul(i, ticks) >> 8; }
    while (1) { if (P3_2) P0 ^= 0xFF; else SCON = SBUF; }
}
)");
    ASSERT_EQ(Run("sdcc -mmcs51 prog.c"), 0) << Err();
    fs::rename(dir_ / "prog.ihx", dir_ / "prog.hex");
    RoundTrip("prog");
    const std::string listing = ReadAll(dir_ / "prog.d51");
    EXPECT_NE(listing.find("SETB  TR0"), std::string::npos) << listing;
    EXPECT_NE(listing.find("SETB  EA"), std::string::npos) << listing;
    EXPECT_NE(listing.find("MOV   TMOD,#01H"), std::string::npos) << listing;
}

// The example is committed built, for users without sdcc: an edit of its
// source, or another compiler, that leaves the image behind shows up here.
TEST_F(D51Program, ExampleImageIsWhatItsSourceBuildsTo) {
    const fs::path examples = fs::path(std::getenv("LPT51_SOURCE_DIR")) / "examples";
    fs::copy_file(examples / "blink.hex", dir_ / "blink.hex");
    if (Have("as31")) RoundTrip("blink");
    if (!Have("sdcc") || !Have("packihx") || !Have("make"))
        GTEST_SKIP() << "sdcc, packihx or make not installed";
    fs::create_directory(dir_ / "built");
    ASSERT_EQ(Run("cd built && make -f '" + (examples / "Makefile").string() + "' SRCDIR='" +
                  examples.string() + "/'"),
              0)
        << Err();
    const auto committed = ParseHex(ReadAll(dir_ / "blink.hex"));
    const auto built = ParseHex(ReadAll(dir_ / "built" / "blink.hex"));
    ASSERT_TRUE(committed.ok) << ::testing::PrintToString(committed.error);
    ASSERT_TRUE(built.ok) << ::testing::PrintToString(built.error);
    EXPECT_TRUE(built.image.defined == committed.image.defined &&
                built.image.bytes == committed.image.bytes)
        << "examples/blink.hex is not what this sdcc builds: run make in examples/";
}

TEST_F(D51Program, EveryOpcodeAssemblesBackToTheSameBytes) {
    if (!Have("as31")) GTEST_SKIP() << "as31 not installed";
    std::vector<std::uint8_t> bytes;
    for (int op = 0; op < 256; ++op) {
        bytes.push_back(static_cast<std::uint8_t>(op));
        bytes.push_back(0x85);  // SFR-range operands
        bytes.push_back(0xF3);  // backward relative offsets
    }
    bytes.push_back(0x02);  // cut off by the end of the image
    WriteImageHex("ops", bytes);
    RoundTrip("ops");
}

TEST_F(D51Program, RandomFullImageAssemblesBackToTheSameBytes) {
    if (!Have("as31")) GTEST_SKIP() << "as31 not installed";
    // Random code hits wrapping jumps, jumps into the middle of instructions,
    // out-of-image targets and AJMP into the page above the image.
    std::mt19937 rng(51);
    std::vector<std::uint8_t> bytes(kCodeSize);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
    WriteImageHex("full", bytes);
    RoundTrip("full");
}

// The window shows d51's listing of the file that Write programs: both read
// it through the same code, so a segment base of 0010 puts the code at 0100
// for both.
TEST_F(D51Program, ListsTheCodeWhereLpt51ProgramsIt) {
    const fs::path lpt51 = d51_.parent_path() / "lpt51";
    if (!fs::exists(lpt51)) GTEST_SKIP() << "no lpt51 beside " << d51_;
    // 0100: LJMP 0103  0103: SJMP 0103
    WriteAll(dir_ / "seg.hex", ":020000020010EC\n:0500000002010380FE77\n:00000001FF\n");
    ASSERT_EQ(RunD51("seg"), 0) << Err();
    const std::string listing = ReadAll(dir_ / "seg.d51");
    EXPECT_NE(listing.find("; 0100: 02 01 03"), std::string::npos) << listing;
    EXPECT_NE(listing.find("L0103:  SJMP  L0103"), std::string::npos) << listing;

    const std::string lpt51Run =
        "'" + lpt51.string() + "' --port sim:chip.state --sim-timing virtual --device 12v ";
    ASSERT_EQ(Run(lpt51Run + "cwv seg.hex"), 0) << Err();
    ASSERT_EQ(Run(lpt51Run + "--quiet read back.bin"), 0) << Err();
    std::string expected(kCodeSize, '\xFF');
    expected.replace(0x100, 5, "\x02\x01\x03\x80\xFE");
    EXPECT_TRUE(ReadAll(dir_ / "back.bin") == expected);
}

TEST_F(D51Program, BadOrMissingHexFailsWithoutAListing) {
    EXPECT_NE(RunD51("absent"), 0);
    EXPECT_NE(Err().find("absent.hex"), std::string::npos) << Err();
    EXPECT_FALSE(fs::exists(dir_ / "absent.d51"));

    WriteAll(dir_ / "bad.hex", ":0100000000FF\n:0100000000FE\n");
    EXPECT_NE(RunD51("bad"), 0);
    EXPECT_NE(Err().find("bad.hex: line 2: checksum FE, expected FF"), std::string::npos) << Err();
    EXPECT_FALSE(fs::exists(dir_ / "bad.d51"));

    EXPECT_NE(Run("'" + d51_.string() + "'"), 0);
    EXPECT_NE(Err().find("usage"), std::string::npos);

    // Nothing but the listing is left behind.
    WriteAll(dir_ / "ok.hex", ":0100000000FF\n:00000001FF\n");
    EXPECT_EQ(RunD51("ok"), 0) << Err();
    std::size_t files = 0;
    for (const auto& e : fs::directory_iterator(dir_)) files += e.path().extension() != ".txt";
    EXPECT_EQ(files, 3u);  // bad.hex, ok.hex, ok.d51: no temporary file stays

    // A failed run leaves an earlier listing as it was.
    WriteAll(dir_ / "ok.hex", ":01000000");
    EXPECT_NE(RunD51("ok"), 0);
    EXPECT_NE(ReadAll(dir_ / "ok.d51").find("NOP"), std::string::npos);
}

}  // namespace
}  // namespace lpt51::d51
