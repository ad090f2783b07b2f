#include <gtest/gtest.h>

#include <string>

#include "Image.h"
#include "Listing.h"

namespace lpt51::d51 {
namespace {

TEST(D51Hex, LoadsDataAndTracksTheLoadedSpan) {
    auto r = ParseHex(":03001000020030BB\r\n:0100200022BD\n:00000001FF\n:01000000FF00\n");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.image.first, 0x10u);
    EXPECT_EQ(r.image.last, 0x20u);
    EXPECT_EQ(r.image.bytes[0x10], 0x02);
    EXPECT_TRUE(r.image.defined[0x20]);
    EXPECT_FALSE(r.image.defined[0x13]);
    EXPECT_EQ(r.image.bytes[0x13], 0xFF);
    EXPECT_FALSE(r.image.defined[0x00]);  // after the end record: ignored
}

TEST(D51Hex, AcceptsAFileWithoutEndRecord) {
    EXPECT_TRUE(ParseHex(":0100000000FF\n").ok);
}

TEST(D51Hex, RefusesBadRecordsNamingTheLine) {
    struct {
        const char* text;
        const char* error;
    } cases[] = {
        {":0100000000FE\n", "line 1: checksum mismatch"},
        {":0100000000FF\nxyz\n", "line 2: record does not start with ':'"},
        {":01000000G0FF\n", "line 1: field at column 10 is not hexadecimal"},
        {":020000000000\n", "line 1: record length does not match its byte count"},
        {":01100000FFF0\n", "line 1: data at 1000H reaches beyond the 4 KiB code memory"},
        {":020FFF00FFFFF2\n", "line 1: data at 0FFFH reaches beyond the 4 KiB code memory"},
        {":020000040001F9\n", "line 1: extended address beyond the 4 KiB code memory"},
        {":00000001FF\n", "no data records"},
        {"", "no data records"},
    };
    for (const auto& c : cases) {
        auto r = ParseHex(c.text);
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
