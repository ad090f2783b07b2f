// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/ChipStateFile.h"

#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "../ScratchDir.h"
#include "sim/ChipStateStore.h"

namespace lpt51::sim {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class StateFile : public ::testing::Test {
  protected:
    static std::string slurp(const std::string& file) { return test::ScratchDir::contents(file); }
    static void put(const std::string& file, const std::string& text) {
        test::ScratchDir::put(file, text);
    }
    std::size_t entries() const { return scratch.entries(); }

    static ChipState sample() {
        ChipState chip = ChipState::erased(ChipKind::Part5V);
        for (std::size_t a = 0; a < chip.code.size(); ++a) {
            chip.code[a] = static_cast<std::uint8_t>(0xA5 ^ (a * 3));
        }
        chip.lockBits = {true, false, true};
        chip.weakCells = {0x000, 0x7FF, 0xFFF};
        chip.stuckMask = 0x81;
        return chip;
    }

    test::ScratchDir scratch;
    const fs::path& dir = scratch.dir();
    std::string path = scratch.path("chip.state");
};

void expectSame(const ChipState& a, const ChipState& b) {
    EXPECT_EQ(a.kind, b.kind);
    EXPECT_EQ(a.code, b.code);
    EXPECT_EQ(a.lockBits, b.lockBits);
    EXPECT_EQ(a.weakCells, b.weakCells);
    EXPECT_EQ(a.stuckMask, b.stuckMask);
}

TEST_F(StateFile, RoundTripAndAtomicReplace) {
    ASSERT_EQ(saveChipState(path, ChipState::erased(ChipKind::Part12V)), std::nullopt);
    const ChipState chip = sample();
    ASSERT_EQ(saveChipState(path, chip), std::nullopt);  // replaces a valid state file
    EXPECT_EQ(entries(), 1u) << "no temporary file left behind";

    const ChipStateLoad loaded = loadChipState(path, ChipKind::Empty);
    ASSERT_TRUE(loaded.chip) << loaded.error;
    EXPECT_TRUE(loaded.fileExisted);
    expectSame(*loaded.chip, chip);
    EXPECT_EQ(slurp(path).rfind("lpt51 virtual chip state\nversion 1\nkind 5V\n", 0), 0u);
}

TEST_F(StateFile, MissingFileGivesAnErasedChipOfTheCallersKind) {
    const ChipStateLoad loaded = loadChipState(path, ChipKind::Foreign);
    ASSERT_TRUE(loaded.chip);
    EXPECT_FALSE(loaded.fileExisted);
    expectSame(*loaded.chip, ChipState::erased(ChipKind::Foreign));
    EXPECT_FALSE(fs::exists(path)) << "loading creates nothing";
}

TEST_F(StateFile, DamagedAndForeignFilesAreRefusedAndLeftUntouched) {
    const std::string good = formatChipState(sample());
    std::string flipped = good;
    flipped[good.find("\n100 ") + 7] ^= 0x01;  // one code digit, layout intact
    std::string badKind = good;
    badKind.replace(badKind.find("kind 5V"), 7, "kind 9V");
    using Kind = ChipStateRefusal::Kind;
    struct Case {
        const char* name;
        std::string text;
        const char* message;
        Kind kind;
    };
    const Case cases[] = {
        {"one digit changed", flipped, "is damaged (the crc32 check does not match", Kind::Damaged},
        {"cut short", good.substr(0, good.size() / 2), "is damaged (the file does not end",
         Kind::Damaged},
        {"lost its check line", good.substr(0, good.find("crc32")), "is damaged (the last line",
         Kind::Damaged},
        {"bad kind", badKind, "is damaged (the crc32", Kind::Damaged},
        {"older version", "lpt51 virtual chip state\nversion 0\n", "is damaged (line 2",
         Kind::Damaged},
        {"foreign", "hello, world\n", "is not a virtual chip state file (its first line",
         Kind::Foreign},
        {"empty", "", "is not a virtual chip state file", Kind::Foreign},
        {"far too large", std::string(100 * 1024, 'x'), "(it is far too large)", Kind::Foreign},
    };
    for (const Case& c : cases) {
        put(path, c.text);
        const ChipStateLoad loaded = loadChipState(path, ChipKind::Part12V);
        EXPECT_FALSE(loaded.chip) << c.name;
        EXPECT_EQ(loaded.problem, c.kind) << c.name;
        EXPECT_TRUE(loaded.fileExisted) << c.name;
        EXPECT_THAT(loaded.error, HasSubstr(path)) << c.name;
        EXPECT_THAT(loaded.error, HasSubstr(c.message)) << c.name;
        EXPECT_THAT(loaded.error, HasSubstr("it is left as it is")) << c.name;

        // Even a caller that ignores the refusal cannot save over it.
        const auto saved = saveChipState(path, sample());
        ASSERT_TRUE(saved) << c.name;
        EXPECT_THAT(*saved, HasSubstr("Will not save the virtual chip state over " + path));
        EXPECT_EQ(slurp(path), c.text) << c.name;
        EXPECT_EQ(entries(), 1u) << c.name;
    }
}

// The standard CRC-32 (IEEE 802.3), written out here so a file edited by
// hand can be given a valid check line.
std::string withCheck(const std::string& body) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : body) {
        crc ^= c;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1u) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    char line[32];
    std::snprintf(line, sizeof line, "crc32 %08X\n", ~crc);
    return body + line;
}

TEST(StateText, LayoutIsCheckedBeyondTheChecksum) {
    const std::string good = formatChipState(ChipState::erased(ChipKind::Part12V));
    const std::string body = good.substr(0, good.find("crc32"));
    std::string error;
    ASSERT_TRUE(parseChipState(withCheck(body), error)) << "the check is the standard CRC-32";

    struct Case {
        std::string from, to, message;
    };
    const Case cases[] = {
        {"\n0F0 ", "\n0F1 ", "line 23: expected address 0F0"},
        {"kind 12V", "kind 9V", "line 3: unknown chip kind"},
        {"lock 0 0 0", "lock 0 2 0", "line 4: a lock bit is neither"},
        {"weak\n", "weak 1000\n", "line 6: a weak cell"},
        {"code 4096", "code 8192", "line 7: the code size"},
        {"\n000 FFFF", "\n000 FFFx", "line 8: a code byte"},
    };
    for (const Case& c : cases) {
        std::string edited = body;
        edited.replace(edited.find(c.from), c.from.size(), c.to);
        EXPECT_FALSE(parseChipState(withCheck(edited), error)) << c.message;
        EXPECT_THAT(error, HasSubstr(c.message));
    }
    EXPECT_FALSE(parseChipState(withCheck(body + "extra\n"), error));
    EXPECT_THAT(error, HasSubstr("unexpected text after the code"));
}

TEST_F(StateFile, ANewerFormatIsNamedAsSuchAndLeftAlone) {
    // A later format may change anything after its version line, the check
    // included: the version alone must decide.
    const std::string newer = "lpt51 virtual chip state\nversion 12\nsomething new\n";
    put(path, newer);
    const ChipStateLoad loaded = loadChipState(path, ChipKind::Part12V);
    EXPECT_FALSE(loaded.chip);
    EXPECT_EQ(loaded.error, "The virtual chip state file " + path +
                                " was written by a newer lpt51 (format 12); this one reads "
                                "format 1; it is left as it is.");
    EXPECT_EQ(loaded.problem, ChipStateRefusal::Kind::Newer);
    EXPECT_TRUE(saveChipState(path, sample()));
    EXPECT_EQ(slurp(path), newer);
}

TEST_F(StateFile, SystemErrorsNameTheFileAndTheReason) {
    const std::string nowhere = (dir / "gone" / "chip.state").string();
    const auto saved = saveChipState(nowhere, sample());
    ASSERT_TRUE(saved);
    EXPECT_THAT(*saved, HasSubstr("Cannot save the virtual chip state to " + nowhere +
                                  ": No such file or directory"));

    // A missing file in a directory that is not there is no new chip.
    ChipStateLoad loaded = loadChipState(nowhere, ChipKind::Part12V);
    EXPECT_FALSE(loaded.chip);
    EXPECT_EQ(loaded.problem, ChipStateRefusal::Kind::NoDirectory);
    EXPECT_THAT(loaded.error, HasSubstr((dir / "gone").string() + " does not exist"));

    // A directory where the file should be is neither read nor replaced.
    fs::create_directory(path);
    loaded = loadChipState(path, ChipKind::Part12V);
    EXPECT_FALSE(loaded.chip);
    EXPECT_EQ(loaded.problem, ChipStateRefusal::Kind::NotAFile);
    EXPECT_THAT(loaded.error, HasSubstr(path + " is not a regular file"));
    EXPECT_TRUE(saveChipState(path, sample()));
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(entries(), 1u);
}

// Asked before the port is opened: the same verdicts as an operation's start,
// with nothing made or changed by asking.
TEST_F(StateFile, AskingWhetherAnOperationCouldBeginChangesNothing) {
    using Kind = ChipStateRefusal::Kind;
    EXPECT_EQ(StateFileRefusal(path, ChipUse::Changes), std::nullopt) << "a new chip";
    EXPECT_EQ(entries(), 0u);
    ASSERT_EQ(saveChipState(path, sample()), std::nullopt);
    const std::string saved = slurp(path);

    ::chmod(path.c_str(), 0444);
    EXPECT_EQ(StateFileRefusal(path, ChipUse::Reads), std::nullopt);
    const auto readOnly = StateFileRefusal(path, ChipUse::Changes);
    ASSERT_TRUE(readOnly);
    EXPECT_EQ(readOnly->kind, Kind::ReadOnly);
    EXPECT_THAT(readOnly->message, HasSubstr(path + " is read-only"));
    ::chmod(path.c_str(), 0644);

    put(path, saved.substr(0, 100));
    const auto damaged = StateFileRefusal(path, ChipUse::Reads);
    ASSERT_TRUE(damaged);
    EXPECT_EQ(damaged->kind, Kind::Damaged);
    EXPECT_EQ(entries(), 1u) << "no lock or temporary file made";
}

}  // namespace
}  // namespace lpt51::sim
