// SPDX-License-Identifier: GPL-3.0-or-later
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <random>
#include <sstream>

#include "CliTestSupport.h"
#include "cli/CommandLine.h"
#include "cli/OpenCheck.h"
#include "image/TextFile.h"

namespace lpt51::cli {
namespace {

TEST(OpenCheck, CountsCodeBytesUpToTheEndRecordAndIgnoresWhatFollows) {
    auto r = CheckLikeOpen({Record(0, {1, 2, 3}), Record(0x10, {4, 5}, 2), kEnd, "garbage"});
    EXPECT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.codeSize, 3);  // the extended segment address record holds no code

    r = CheckLikeOpen({kEnd});
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.codeSize, 0);

    // Lower case digits are hexadecimal too.
    std::string lower = Record(0, {0xAB});
    for (char& c : lower) c = static_cast<char>(std::tolower(c));
    EXPECT_TRUE(CheckLikeOpen({lower, kEnd}).ok);
}

TEST(OpenCheck, RefusesIllegalCharactersAndBadChecksumsWithTheWindowsTexts) {
    std::string bad = Record(0, {1, 2});
    bad[9] = 'Z';
    auto r = CheckLikeOpen({bad, kEnd});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "File contains illegal char =  Z1 ! ");

    std::string sum = Record(0, {1, 2});
    sum.back() = sum.back() == '0' ? '1' : '0';
    r = CheckLikeOpen({Record(0x10, {7}), sum, kEnd});
    EXPECT_EQ(r.message, "File is corrupt   !!! \rControl sum is incorrect .");
    EXPECT_THAT(r.where, ::testing::StartsWith("line 2: checksum " + sum.substr(sum.size() - 2) +
                                               ", expected " +
                                               Record(0, {1, 2}).substr(sum.size() - 2) + ": "));

    // A blank line between records is an illegal (empty) field.
    r = CheckLikeOpen({Record(0, {1}), "", kEnd});
    EXPECT_FALSE(r.ok);
    EXPECT_THAT(r.message, ::testing::StartsWith("File contains illegal char =  "));

    // One valid line that is not an end record runs into the empty rest.
    r = CheckLikeOpen({Record(0, {1})});
    EXPECT_EQ(r.message, "File contains illegal char =   ! ");
    EXPECT_THAT(r.where, ::testing::StartsWith("line 2 (after the last line): "));

    // An empty file is refused, not taken as an empty image.
    EXPECT_FALSE(CheckLikeOpen({}).ok);
}

TEST(OpenCheck, LastLineWithoutAnEndRecordIsStillChecked) {
    // It would be programmed, so it must not slip through unchecked.
    auto r = CheckLikeOpen({Record(0, {1, 2}), Record(0x10, {3})});
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.codeSize, 3);
    EXPECT_FALSE(CheckLikeOpen({Record(0, {1, 2}), "not a record at all"}).ok);
}

TEST(OpenCheck, SizeLimitIs4096Bytes) {
    std::vector<std::string> lines;
    for (unsigned a = 0; a < 4096; a += 16)
        lines.push_back(Record(a, std::vector<unsigned>(16, 0)));
    lines.push_back(kEnd);
    EXPECT_TRUE(CheckLikeOpen(lines).ok);
    lines.insert(lines.begin(), Record(0, {0}));
    auto r = CheckLikeOpen(lines);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "File has more than 4096 Byte !!");
    EXPECT_EQ(r.where, "its data records hold 4097 bytes, and the chip holds 4096");
}

TEST(OpenCheck, SavedFileIsReplacedWholeAndLoadsBack) {
    test::TempDir dir;
    const std::string p = dir.path("out.hex");
    ASSERT_FALSE(image::SaveLines(p, {"a", "b"}));
    ASSERT_FALSE(image::SaveLines(p, {"c"}));
    EXPECT_EQ(test::ReadAll(p), "c\n");
    image::Lines lines;
    ASSERT_FALSE(image::LoadLines(p, lines));
    EXPECT_EQ(lines, image::Lines{"c"});
    EXPECT_TRUE(image::LoadLines(dir.path("missing.hex"), lines).has_value());
    EXPECT_TRUE(image::SaveLines(dir.path("no/such/dir/x.hex"), {"a"}).has_value());
}

// Files that other tools read one way and lpt51 used to read another, run
// through the command line on the virtual adapter. Where an independent
// reader of Intel HEX is installed it is the referee of what the file holds.
class HexAgainstReferees : public ::testing::Test {
  protected:
    struct Outcome {
        int code = -1;
        std::string out;
        std::string err;
    };

    Outcome run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--port", "sim:" + dir.path("chip.state"), "--sim-timing",
                                   "virtual", "--device", "12v"});
        std::ostringstream out, err;
        Outcome r;
        r.code = RunCommandLine(args, out, err);
        r.out = out.str();
        r.err = err.str();
        return r;
    }

    std::string file(const std::string& name, const std::string& text) {
        lpt51::test::WriteAll(dir.path(name), text);
        return dir.path(name);
    }

    // The chip's 4096 bytes, read back.
    std::string chip() {
        const Outcome r = run({"--quiet", "--force", "read", dir.path("back.bin")});
        EXPECT_EQ(r.code, kExitDone) << r.err;
        return test::ReadAll(dir.path("back.bin"));
    }

    // The 4096 bytes a referee reads from `hex`, cells no record loads FF;
    // nothing when it refuses the file.
    std::optional<std::string> referee(const char* command, const std::string& hex) {
        std::string cmd = command;
        cmd.replace(cmd.find("HEX"), 3, "'" + hex + "'");
        cmd.replace(cmd.find("BIN"), 3, "'" + dir.path("referee.bin") + "'");
        if (std::system((cmd + " 2>/dev/null").c_str()) != 0) return std::nullopt;
        return test::ReadAll(dir.path("referee.bin"));
    }

    static bool Have(const char* probe) {
        return std::system((std::string(probe) + " >/dev/null 2>&1").c_str()) == 0;
    }

    test::TempDir dir;
};

// The distribution's interpreter: python3 on the search path may lack the package.
constexpr const char* kHaveIntelHex = "/usr/bin/python3 -c 'import intelhex'";
constexpr const char* kIntelHex =
    "/usr/bin/python3 -c 'import sys, intelhex; h = intelhex.IntelHex(sys.argv[1]); "
    "open(sys.argv[2], \"wb\").write(h.tobinstr(start=0, size=4096))' HEX BIN";
constexpr const char* kHaveSrecCat = "srec_cat -VERsion";
constexpr const char* kSrecCat = "srec_cat HEX -intel -fill 0xFF 0 0x1000 -o BIN -binary";

// `bytes` from address `from` in records of 16.
std::vector<std::string> Records(const std::string& bytes, unsigned from = 0) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < bytes.size(); at += 16) {
        std::vector<unsigned> chunk;
        for (std::size_t k = at; k < std::min(bytes.size(), at + 16); ++k)
            chunk.push_back(static_cast<unsigned char>(bytes[k]));
        lines.push_back(Record(from + static_cast<unsigned>(at), chunk));
    }
    return lines;
}

std::string Text(const std::vector<std::string>& lines, const char* lineEnd = "\r\n") {
    std::string text;
    for (const std::string& line : lines) text += line + lineEnd;
    return text;
}

std::string RandomBytes(std::size_t n) {
    std::mt19937 rng(33);
    std::string bytes(n, '\0');
    for (char& b : bytes) b = static_cast<char>(rng());
    return bytes;
}

std::string Erased(const std::string& head) {
    return head + std::string(4096 - head.size(), '\xFF');
}

TEST_F(HexAgainstReferees, ADataRecordWithoutBytesIsPassedOverWithItsLineNamed) {
    const std::string bytes = RandomBytes(321);
    for (const std::size_t at : {5u, 0u}) {  // between records, and at the top
        SCOPED_TRACE(at);
        std::vector<std::string> lines = Records(bytes);
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), ":00001000F0");
        lines.push_back(kEnd);
        const std::string hex = file("zero.hex", Text(lines));

        Outcome r = run({"check", hex});
        EXPECT_EQ(r.code, kExitDone) << r.err;
        EXPECT_EQ(r.out, "Code size: 321 bytes\n");
        EXPECT_THAT(r.err, ::testing::HasSubstr(
                               "zero.hex: warning: line " + std::to_string(at + 1) +
                               ": a data record without bytes (byte count 00) is passed over"));
        r = run({"cwv", hex});
        ASSERT_EQ(r.code, kExitDone) << r.err;
        const std::string onChip = chip();
        EXPECT_TRUE(onChip == Erased(bytes));
        if (!Have(kHaveIntelHex)) GTEST_SKIP() << "python3-intelhex is not installed";
        EXPECT_TRUE(referee(kIntelHex, hex) == onChip);
    }
}

// What cannot be programmed as the file says is refused before the erase:
// the chip keeps what it held.
TEST_F(HexAgainstReferees, RecordsAfterTheEndOrOverlappingWithOtherDataAreRefusedBeforeTheErase) {
    const std::string before = RandomBytes(64);
    std::vector<std::string> lines = Records(before);
    lines.push_back(kEnd);
    ASSERT_EQ(run({"cwv", file("before.hex", Text(lines))}).code, kExitDone);

    const std::string afterEnd =
        file("after.hex", Text({Record(0, {1, 2, 3}), kEnd, Record(0x20, {4})}));
    const std::string overlap = file(
        "overlap.hex", Text({Record(0x100, {0xA5, 0x5A, 0x3C}), Record(0x102, {0x3D, 7}), kEnd}));
    const struct {
        std::string hex;
        std::string why;
    } cases[] = {
        {afterEnd,
         "line 3: a record after the end record of line 2; nothing after the end record is "
         "programmed: delete it, or move the end record to the last line."},
        {overlap,
         "line 2: it puts 3D at address 0102, where line 1 puts 3C; records that overlap must "
         "hold the same data: delete one of them."},
    };
    for (const auto& c : cases) {
        for (const char* command : {"check", "write", "cwv"}) {
            SCOPED_TRACE(c.hex + " " + command);
            const Outcome r = run({command, c.hex});
            EXPECT_EQ(r.code, kExitFailed);
            EXPECT_THAT(r.err, ::testing::HasSubstr(c.why));
        }
    }
    EXPECT_TRUE(chip() == Erased(before));
    // Both referees refuse the overlap too.
    if (!Have(kHaveIntelHex) || !Have(kHaveSrecCat))
        GTEST_SKIP() << "python3-intelhex or srec_cat is not installed";
    EXPECT_EQ(referee(kIntelHex, overlap), std::nullopt);
    EXPECT_EQ(referee(kSrecCat, overlap), std::nullopt);
}

TEST_F(HexAgainstReferees, OverlapsWithTheSameDataAreProgrammed) {
    const std::string bytes = RandomBytes(24);
    std::vector<std::string> lines = Records(bytes.substr(0, 16));
    const std::vector<std::string> again = Records(bytes.substr(8), 8);
    lines.insert(lines.end(), again.begin(), again.end());
    lines.push_back(kEnd);
    const std::string hex = file("same.hex", Text(lines));
    const Outcome r = run({"cwv", hex});
    ASSERT_EQ(r.code, kExitDone) << r.err;
    const std::string onChip = chip();
    EXPECT_TRUE(onChip == Erased(bytes));
    // python3-intelhex refuses every overlap; srec_cat takes one that agrees.
    if (!Have(kHaveSrecCat)) GTEST_SKIP() << "srec_cat is not installed";
    EXPECT_TRUE(referee(kSrecCat, hex) == onChip);
}

TEST_F(HexAgainstReferees, LineEndsBlankLinesAndAByteOrderMark) {
    const std::string bytes = RandomBytes(40);
    std::vector<std::string> lines = Records(bytes);
    lines.push_back(kEnd);

    // CR alone ends the lines: the file is read as the lines it has.
    const std::string cr = file("cr.hex", Text(lines, "\r"));
    Outcome r = run({"check", cr});
    EXPECT_EQ(r.code, kExitDone) << r.err;
    EXPECT_EQ(r.out, "Code size: 40 bytes\n");
    ASSERT_EQ(run({"cwv", cr}).code, kExitDone);
    const std::string onChip = chip();
    EXPECT_TRUE(onChip == Erased(bytes));

    std::vector<std::string> blank = lines;
    blank.insert(blank.begin() + 1, "");
    r = run({"check", file("blank.hex", Text(blank))});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_THAT(r.err, ::testing::HasSubstr("blank.hex: line 2 is blank: records follow one "
                                            "another, one a line: delete the blank line\n"));

    r = run({"check", file("bom.hex", "\xEF\xBB\xBF" + Text(lines))});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_THAT(r.err, ::testing::HasSubstr("bom.hex: File contains illegal char =  U+FEFF ! \n"));
    EXPECT_THAT(r.err, ::testing::HasSubstr("bom.hex: line 1 begins with a byte-order mark "
                                            "(U+FEFF), which Intel HEX does not allow"));
    EXPECT_TRUE(std::all_of(r.err.begin(), r.err.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x80;
    })) << r.err;

    if (!Have(kHaveIntelHex)) GTEST_SKIP() << "python3-intelhex is not installed";
    EXPECT_TRUE(referee(kIntelHex, cr) == onChip);
}

}  // namespace
}  // namespace lpt51::cli
