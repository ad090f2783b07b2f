// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "image/OpenWalk.h"
#include "image/RecordWriter.h"
#include "image/TextFile.h"

namespace lpt51::image {
namespace {

std::array<std::uint8_t, 16> Bytes(std::uint8_t fill) {
    std::array<std::uint8_t, 16> b{};
    b.fill(fill);
    return b;
}

std::array<std::uint8_t, 16> Ascending() {
    std::array<std::uint8_t, 16> b{};
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i);
    return b;
}

TEST(RecordWriter, KnownLines) {
    EXPECT_EQ(RecordLine(0x000, Bytes(0xFF)), ":10000000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00");
    EXPECT_EQ(RecordLine(0xFF0, Bytes(0xFF)), ":100FF000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF01");
    EXPECT_EQ(RecordLine(0x120, Ascending()), ":10012000000102030405060708090A0B0C0D0E0F57");
    EXPECT_EQ(RecordLine(0x100, Ascending()), ":10010000000102030405060708090A0B0C0D0E0F77");
    EXPECT_EQ(RecordLine(0xAB0, Bytes(0xAB)).substr(0, 9), ":100AB000");
}

TEST(RecordWriter, RenderedImagePassesTheOpenWalk) {
    std::array<std::uint8_t, 4096> image{};
    std::mt19937 rng(7);
    for (auto& b : image) b = static_cast<std::uint8_t>(rng());
    const Lines lines = RenderImage(image);
    ASSERT_EQ(lines.size(), 257u);
    EXPECT_EQ(lines.back(), kEndRecordLine);
    for (std::size_t i = 0; i < 256; ++i) EXPECT_EQ(lines[i].size(), 43u) << i;
    const OpenResult r = ValidateImage(lines);
    EXPECT_EQ(r.outcome, OpenResult::Outcome::Accepted);
    EXPECT_EQ(r.codeSize, 4096);
}

bool HaveCommand(const std::string& probe) {
    return std::system((probe + " >/dev/null 2>&1").c_str()) == 0;
}

// An independent reader decodes what the writer produced and the saver wrote.
TEST(RecordWriter, RoundTripThroughAnIndependentReader) {
    std::string convert;
    if (HaveCommand("python3 -c 'import intelhex'"))
        convert =
            "python3 -c 'import intelhex,sys; "
            "sys.stdout.buffer.write(bytes(intelhex.IntelHex(sys.argv[1]).tobinarray(start=0,"
            "size=4096)))' IN > OUT";
    else if (HaveCommand("srec_cat -VERsion"))
        convert = "srec_cat IN -Intel -o OUT -Binary";
    else
        GTEST_SKIP() << "neither python3 intelhex nor srec_cat is installed";

    const auto dir =
        std::filesystem::temp_directory_path() /
        ("lpt51_roundtrip_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(dir);
    std::mt19937 rng(12345);
    for (int round = 0; round < 3; ++round) {
        std::array<std::uint8_t, 4096> image{};
        for (auto& b : image) b = static_cast<std::uint8_t>(rng());
        const std::string hex = (dir / "image.hex").string();
        const std::string bin = (dir / "image.bin").string();
        ASSERT_FALSE(SaveLines(hex, RenderImage(image)).has_value());

        std::string cmd = convert;
        cmd.replace(cmd.find("IN"), 2, "'" + hex + "'");
        cmd.replace(cmd.find("OUT"), 3, "'" + bin + "'");
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;

        std::ifstream in(bin, std::ios::binary);
        const std::string decoded((std::istreambuf_iterator<char>(in)), {});
        ASSERT_EQ(decoded.size(), image.size());
        EXPECT_TRUE(
            std::equal(image.begin(), image.end(), decoded.begin(),
                       [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }))
            << "round " << round;
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace lpt51::image
