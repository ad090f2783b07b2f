// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Image.h"
#include "Listing.h"

namespace lpt51::d51 {
namespace {

TEST(D51Hex, LoadsDataAndTracksTheLoadedSpan) {
    auto r = ParseHex(":03001000020030BB\r\n:0100200022BD\n:00000001FF\n");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.image.first, 0x10u);
    EXPECT_EQ(r.image.last, 0x20u);
    EXPECT_EQ(r.image.bytes[0x10], 0x02);
    EXPECT_TRUE(r.image.defined[0x20]);
    EXPECT_FALSE(r.image.defined[0x13]);
    EXPECT_EQ(r.image.bytes[0x13], 0xFF);
}

// d51 reads through lpt51's own reader: what Write programs is what the
// listing shows, and a file Write refuses is refused in the same words.
TEST(D51Hex, ReadsWhatLpt51ProgramsAndRefusesWhatItRefuses) {
    // A segment base of 0010 moves the record to 0100.
    auto r = ParseHex(":020000020010EC\n:03000000020030CB\n:00000001FF\n");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.image.first, 0x100u);
    EXPECT_EQ(r.image.bytes[0x102], 0x30);

    // A data record without bytes is passed over, with its line named.
    r = ParseHex(":00001000F0\n:03000000020030CB\n:00000001FF\n");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.image.last, 2u);
    EXPECT_EQ(r.warnings,
              std::vector<std::string>{"line 1: a data record without bytes (byte count 00) is "
                                       "passed over; only an end record (type 01) ends the image"});

    const struct {
        const char* text;
        std::vector<std::string> error;
    } cases[] = {
        // The window's message, then the command line's words.
        {":0100000000FE\n:00000001FF\n",
         {"File is corrupt   !!! ", "Control sum is incorrect .",
          "line 1: checksum FE, expected FF: the record was changed after it was written; build "
          "the file again, or correct the checksum if the change was meant"}},
        {":0100000000FF\n:00000001FF\n:0100010000FE\n",
         {"line 3: a record after the end record of line 2; nothing after the end record is "
          "programmed: delete it, or move the end record to the last line"}},
        {":020000040001F9\n:0100000000FF\n:00000001FF\n",
         {"line 2: the record at address 10000 (extended linear address 0001, offset 0000) lies "
          "beyond 0FFF, the chip's last address"}},
        {":00000001FF\n", {"the image holds no data: nothing to program"}},
    };
    for (const auto& c : cases) {
        r = ParseHex(c.text);
        EXPECT_FALSE(r.ok) << c.text;
        EXPECT_EQ(r.error, c.error) << c.text;
    }
}

Image Bytes(std::size_t at, std::initializer_list<std::uint8_t> bytes) {
    Image img;
    for (auto b : bytes) img.Set(at++, b);
    return img;
}

// The listing line whose comment names `address`, blanks squeezed, so that the
// checks below are about content; the column layout is checked once on its own.
std::string LineAt(const std::string& listing, const std::string& address) {
    const auto at = listing.find("; " + address + ":");
    if (at == std::string::npos) return "<no line for " + address + ">";
    const auto begin = listing.rfind('\n', at) + 1;
    const auto end = listing.find('\n', at);
    std::string out;
    for (char c : listing.substr(begin, end - begin))
        if (c != ' ' || (!out.empty() && out.back() != ' ')) out += c;
    return out;
}

TEST(D51Listing, LabelsTargetsThatStartALine) {
    // 0000: LJMP 0005  0003: SJMP 0003  0005: RET  0006: LJMP 0007 (mid-instruction)
    Image img = Bytes(0, {0x02, 0x00, 0x05, 0x80, 0xFE, 0x22, 0x02, 0x00, 0x07});
    const std::string l = MakeListing(img, "x.hex");
    EXPECT_NE(l.find("\n        LJMP  L0005             ; 0000: 02 00 05\n"), std::string::npos)
        << l;
    EXPECT_EQ(LineAt(l, "0003"), "L0003: SJMP L0003 ; 0003: 80 FE");
    EXPECT_EQ(LineAt(l, "0005"), "L0005: RET ; 0005: 22");
    EXPECT_EQ(LineAt(l, "0006"), "LJMP 0007H ; 0006: 02 00 07");
    EXPECT_EQ(l.find("L0007"), std::string::npos) << l;
}

TEST(D51Listing, HeaderIsTwoLinesThenOrgAtTheFirstLoadedAddress) {
    const std::string l = MakeListing(Bytes(0x0123, {0x00}), "x.hex");
    const auto second = l.find('\n');
    const auto third = l.find('\n', second + 1);
    EXPECT_EQ(l.substr(0, 2), "; ");
    EXPECT_EQ(l.substr(second + 1, 2), "; ");
    EXPECT_EQ(l.substr(third + 1, 20), "        .ORG  0123H\n");
}

TEST(D51Listing, UndecodableBytesAndGapsBecomeData) {
    Image img = Bytes(0, {0xA5, 0x00});
    img.Set(0x0C, 0x02);  // LJMP cut off by the end of the image
    img.Set(0x0D, 0x00);
    const std::string l = MakeListing(img, "x.hex");
    EXPECT_EQ(LineAt(l, "0000"), ".DB 0A5H ; 0000: A5");
    EXPECT_EQ(LineAt(l, "0001"), "NOP ; 0001: 00");
    EXPECT_EQ(LineAt(l, "0002"),
              ".DB 0FFH,0FFH,0FFH,0FFH,0FFH,0FFH,0FFH,0FFH ; 0002: FF FF FF FF FF FF FF FF "
              "(not loaded)");
    EXPECT_EQ(LineAt(l, "000A"), ".DB 0FFH,0FFH ; 000A: FF FF (not loaded)");
    EXPECT_EQ(LineAt(l, "000C"), ".DB 02H ; 000C: 02");
    EXPECT_EQ(LineAt(l, "000D"), "NOP ; 000D: 00");
}

TEST(D51Listing, AGapIsSplitWhereAJumpLandsInIt) {
    Image img = Bytes(0, {0x80, 0x02});  // SJMP 0004H, into bytes never loaded
    img.Set(0x08, 0x00);
    const std::string l = MakeListing(img, "x.hex");
    EXPECT_EQ(LineAt(l, "0000"), "SJMP L0004 ; 0000: 80 02");
    EXPECT_EQ(LineAt(l, "0002"), ".DB 0FFH,0FFH ; 0002: FF FF (not loaded)");
    EXPECT_EQ(LineAt(l, "0004"), "L0004: .DB 0FFH,0FFH,0FFH,0FFH ; 0004: FF FF FF FF (not loaded)");
}

}  // namespace
}  // namespace lpt51::d51
