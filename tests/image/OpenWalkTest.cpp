#include <gtest/gtest.h>

#include <string>

#include "image/OpenWalk.h"

namespace lpt51::image {
namespace {

using Outcome = OpenResult::Outcome;

const std::string kEnd = ":00000001FF";
const std::string kRecord120 = ":10012000000102030405060708090A0B0C0D0E0F57";
const std::string kRecord100 = ":10010000000102030405060708090A0B0C0D0E0F77";

// A valid record of `count` bytes at `address`, every byte `fill`.
std::string Record(unsigned count, unsigned address, unsigned fill = 0xAA) {
    static const char* digits = "0123456789ABCDEF";
    auto hex = [&](unsigned v) { return std::string{digits[(v >> 4) & 15], digits[v & 15]}; };
    unsigned sum = count + (address >> 8) + (address & 0xFF);
    std::string line = ":" + hex(count) + hex(address >> 8) + hex(address & 0xFF) + "00";
    for (unsigned k = 0; k < count; ++k) {
        line += hex(fill);
        sum += fill;
    }
    return line + hex((0x100 - (sum & 0xFF)) & 0xFF);
}

std::string Illegal(const std::string& field) {
    return "File contains illegal char =  " + field + " ! ";
}

TEST(OpenWalk, AcceptsWellFormedFilesAndCountsTheirBytes) {
    EXPECT_EQ(ValidateImage({kEnd}).outcome, Outcome::Accepted);
    EXPECT_EQ(ValidateImage({kEnd}).codeSize, 0);

    const OpenResult r = ValidateImage({kRecord100, kRecord120, kEnd});
    EXPECT_EQ(r.outcome, Outcome::Accepted);
    EXPECT_EQ(r.codeSize, 32);
    EXPECT_TRUE(r.message.empty());
    EXPECT_FALSE(r.checksumMismatch);
}

TEST(OpenWalk, ReadsLowerCaseDigitsAndAnyStartCodeAndType) {
    std::string lower = kRecord120;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(ValidateImage({lower, kEnd}).outcome, Outcome::Accepted);

    std::string noColon = kRecord120;
    noColon[0] = 'x';
    EXPECT_EQ(ValidateImage({noColon, kEnd}).outcome, Outcome::Accepted);

    // Address records are validated field by field but hold no code: a full
    // image behind an extended linear address record still fits.
    Lines full{":020000040000FA", ":020000021000EC"};
    for (unsigned a = 0; a < 4096; a += 16) full.push_back(Record(16, a));
    full.insert(full.end(), {":0400000300001234B3", ":0400000500001234B1", kEnd});
    const OpenResult ext = ValidateImage(full);
    EXPECT_EQ(ext.outcome, Outcome::Accepted);
    EXPECT_EQ(ext.codeSize, 4096);
    EXPECT_EQ(ValidateImage({":020000040000FB", kEnd}).outcome, Outcome::Rejected);
}

TEST(OpenWalk, EndRecordFormsStopTheWalk) {
    // Count and address high "00" end the walk whatever follows on the line
    // or below it.
    EXPECT_EQ(ValidateImage({":00001200EE", "garbage"}).outcome, Outcome::Accepted);
    EXPECT_EQ(ValidateImage({":0000zzzzzz", "garbage", kEnd}).outcome, Outcome::Accepted);
    // Count zero with a non-zero address high byte is an ordinary record.
    const OpenResult r = ValidateImage({":00010000FF", kEnd});
    EXPECT_EQ(r.outcome, Outcome::Accepted);
    EXPECT_EQ(r.codeSize, 0);
    EXPECT_EQ(ValidateImage({":00010000FE", kEnd}).outcome, Outcome::Rejected);
}

TEST(OpenWalk, IllegalCharacterMessagesQuoteTheField) {
    OpenResult r = ValidateImage({":1G012000000102030405060708090A0B0C0D0E0F57", kEnd});
    EXPECT_EQ(r.outcome, Outcome::Rejected);
    EXPECT_EQ(r.message, Illegal("1G"));
    EXPECT_FALSE(r.checksumMismatch);

    r = ValidateImage({":10012000000102030405 60708090A0B0C0D0E0F57", kEnd});
    EXPECT_EQ(r.message, Illegal(" 6"));

    // An illegal checksum field gets the same message.
    r = ValidateImage({":10012000000102030405060708090A0B0C0D0E0F5-", kEnd});
    EXPECT_EQ(r.message, Illegal("5-"));

    // A short line runs on into the line break and the next line.
    r = ValidateImage({kRecord100, ":1001200000", kEnd});
    EXPECT_EQ(r.message, Illegal("\n:"));
    EXPECT_EQ(r.errorLine, 1u);
}

TEST(OpenWalk, ChecksumMismatchIsReportedOnce) {
    const OpenResult r =
        ValidateImage({kRecord100, ":10012000000102030405060708090A0B0C0D0E0F58", kEnd});
    EXPECT_EQ(r.outcome, Outcome::Rejected);
    EXPECT_EQ(r.message, "File is corrupt   !!! \rControl sum is incorrect .");
    EXPECT_TRUE(r.checksumMismatch);
    EXPECT_EQ(r.errorLine, 1u);
}

TEST(OpenWalk, ChecksumUsesOnlyTheLowByteOfALargeSum) {
    EXPECT_EQ(ValidateImage({Record(255, 0xFFFF, 0xFF), kEnd}).outcome, Outcome::Accepted);
}

TEST(OpenWalk, BlankLinesAndEmptyViews) {
    // A blank line's count field takes the start of the next line.
    OpenResult r = ValidateImage({kRecord100, "", kRecord120, kEnd});
    EXPECT_EQ(r.outcome, Outcome::Rejected);
    EXPECT_EQ(r.message, Illegal(":1"));
    EXPECT_EQ(r.errorLine, 1u);

    // A single record walks on into nothing: the field is empty.
    r = ValidateImage({kRecord100});
    EXPECT_EQ(r.outcome, Outcome::Rejected);
    EXPECT_EQ(r.message, Illegal(""));

    r = ValidateImage({});
    EXPECT_EQ(r.message, Illegal(""));

    // A blank line after the records is no record and stays unexamined.
    EXPECT_EQ(ValidateImage({kRecord100, kEnd, ""}).outcome, Outcome::Accepted);
    EXPECT_EQ(ValidateImage({kRecord100, ""}).outcome, Outcome::Accepted);
}

TEST(OpenWalk, LastRecordWithoutEndRecordIsCheckedAndCounted) {
    const OpenResult ok = ValidateImage({kRecord100, kRecord120});
    EXPECT_EQ(ok.outcome, Outcome::Accepted);
    EXPECT_EQ(ok.codeSize, 32);

    const OpenResult bad =
        ValidateImage({kRecord100, ":10012000000102030405060708090A0B0C0D0E0F00"});
    EXPECT_EQ(bad.outcome, Outcome::Rejected);
    EXPECT_TRUE(bad.checksumMismatch);
    EXPECT_EQ(bad.errorLine, 1u);

    const OpenResult illegal = ValidateImage({kRecord100, ":10XY"});
    EXPECT_EQ(illegal.message, Illegal("XY"));
}

TEST(OpenWalk, SizeLimitIsTheSumOfByteCounts) {
    Lines full;
    for (unsigned a = 0; a < 4096; a += 16) full.push_back(Record(16, a));
    full.push_back(kEnd);
    OpenResult r = ValidateImage(full);
    EXPECT_EQ(r.outcome, Outcome::Accepted);
    EXPECT_EQ(r.codeSize, 4096);

    full.insert(full.end() - 1, Record(1, 0x1000));
    r = ValidateImage(full);
    EXPECT_EQ(r.outcome, Outcome::TooLarge);
    EXPECT_EQ(r.codeSize, 4097);
    EXPECT_TRUE(r.message.empty());

    // Addresses are not examined: repeated records count again.
    Lines repeated(300, Record(16, 0));
    repeated.push_back(kEnd);
    EXPECT_EQ(ValidateImage(repeated).outcome, Outcome::TooLarge);
}

TEST(OpenWalk, AnErrorAnywhereOutranksTheSize) {
    Lines lines(300, Record(16, 0));
    lines.push_back(":10000000zz");
    lines.push_back(kEnd);
    const OpenResult r = ValidateImage(lines);
    EXPECT_EQ(r.outcome, Outcome::Rejected);
    EXPECT_EQ(r.message, Illegal("zz"));
}

}  // namespace
}  // namespace lpt51::image
