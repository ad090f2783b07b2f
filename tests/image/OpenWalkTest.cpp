// SPDX-License-Identifier: GPL-3.0-or-later
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

TEST(OpenWalk, OnlyATypeOneRecordEndsTheWalk) {
    // Count "00" and type "01" end the walk whatever the address, the checksum
    // or the lines below.
    EXPECT_EQ(ValidateImage({":00000001FF", "garbage"}).outcome, Outcome::Accepted);
    EXPECT_EQ(ValidateImage({":00FFFF01zz", "garbage"}).outcome, Outcome::Accepted);
    // A data record without bytes is no end record, at address 0000 or
    // elsewhere, at the top or between records: it is validated, and the walk
    // counts every record below it.
    for (const Lines& lines : {Lines{kRecord100, ":00001000F0", kRecord120, kEnd},
                               Lines{":0000000000", kRecord100, kRecord120, kEnd},
                               Lines{kRecord100, ":00010000FF", kRecord120, kEnd}}) {
        const OpenResult r = ValidateImage(lines);
        EXPECT_EQ(r.outcome, Outcome::Accepted) << lines[1];
        EXPECT_EQ(r.codeSize, 32) << lines[1];
    }
    const OpenResult sum = ValidateImage({kRecord100, ":00001000F1", kEnd});
    EXPECT_TRUE(sum.checksumMismatch);
    EXPECT_EQ(sum.errorLine, 1u);
    // Nor is a count "00" line of a type that does not read as hexadecimal.
    EXPECT_EQ(ValidateImage({":0000zzzzzz", "garbage", kEnd}).message, Illegal("zz"));
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
    EXPECT_EQ(r.detail,
              "line 2: checksum 58, expected 57: the record was changed after it was written; "
              "build the file again, or correct the checksum if the change was meant");
}

TEST(OpenWalk, ChecksumUsesOnlyTheLowByteOfALargeSum) {
    EXPECT_EQ(ValidateImage({Record(255, 0xFFFF, 0xFF), kEnd}).outcome, Outcome::Accepted);
}

TEST(OpenWalk, BlankLinesAndEmptyViews) {
    // A blank line's count field takes the start of the next line; the
    // command line's words say what the quote does not.
    OpenResult r = ValidateImage({kRecord100, "", kRecord120, kEnd});
    EXPECT_EQ(r.outcome, Outcome::Rejected);
    EXPECT_EQ(r.message, Illegal(":1"));
    EXPECT_EQ(r.errorLine, 1u);
    EXPECT_EQ(r.detail,
              "line 2 is blank: records follow one another, one a line: delete the blank line");

    // A single record walks on into nothing: the field is empty.
    r = ValidateImage({kRecord100});
    EXPECT_EQ(r.outcome, Outcome::Rejected);
    EXPECT_EQ(r.message, Illegal(""));
    EXPECT_EQ(r.detail,
              "line 2 (after the last line): the file ends after its one record without an end "
              "record: add :00000001FF as its last line");

    r = ValidateImage({});
    EXPECT_EQ(r.message, Illegal(""));
    EXPECT_EQ(r.detail, "the file is empty: it holds no records and no end record");

    // A blank line after the records is no record and stays unexamined.
    EXPECT_EQ(ValidateImage({kRecord100, kEnd, ""}).outcome, Outcome::Accepted);
    EXPECT_EQ(ValidateImage({kRecord100, ""}).outcome, Outcome::Accepted);
}

// The window quotes the field as the view selects it; on a terminal that
// quote must never hold raw bytes beyond ASCII, and the command line's words
// name what is wrong where the quote does not show it.
TEST(OpenWalk, RefusalsNameWhatTheQuoteDoesNotShow) {
    OpenResult r = ValidateImage({"\xEF\xBB\xBF" + kRecord100, kEnd});
    EXPECT_EQ(r.message, Illegal("U+FEFF"));
    EXPECT_EQ(r.detail,
              "line 1 begins with a byte-order mark (U+FEFF), which Intel HEX does not allow: "
              "save the file as plain ASCII text without it");

    // A character beyond ASCII is one code point however many bytes the
    // field takes of it; a byte that is not UTF-8 is shown by its value.
    r = ValidateImage({":10\xC3\xA9", kEnd});
    EXPECT_EQ(r.message, Illegal("U+00E9"));
    EXPECT_EQ(r.detail,
              "line 1, column 4: the character U+00E9 in the address, where a hexadecimal digit "
              "is expected");
    r = ValidateImage({":1\xE9", kEnd});
    EXPECT_EQ(r.message, Illegal("1\\xE9"));
    EXPECT_EQ(r.detail,
              "line 1, column 3: the byte 0xE9, which is not UTF-8 in the byte count, where a "
              "hexadecimal digit is expected");
    r = ValidateImage({kRecord100.substr(0, 12) + "\t" + kRecord100.substr(13), kEnd});
    EXPECT_EQ(r.detail,
              "line 1, column 13: a tab in data byte 2, where a hexadecimal digit is expected");

    // A line cut short: the quote is the next line's start.
    r = ValidateImage({kRecord100.substr(0, 19), kEnd});
    EXPECT_EQ(r.message, Illegal("\n:"));
    EXPECT_EQ(r.detail,
              "line 1 ends after 19 characters, in data byte 6, but its byte count 10 needs 43: "
              "the record is cut short; build the file again");

    // A field the message shows as it is needs only its line.
    EXPECT_EQ(ValidateImage({":1G", kEnd}).detail, "line 1");
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
    EXPECT_EQ(r.detail, "its data records hold 4097 bytes, and the chip holds 4096");

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
