// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/HexScan.h"

namespace lpt51::image {
namespace {

const std::string kEnd = ":00000001FF";

// The refusals that the Open walk does not make first, and that the window's
// Clear-Write-Verify (enabled after a refused Open) meets in the view.
TEST(HexScan, RefusesWhatCannotBeProgrammedAsTheFileSaysNamingTheLine) {
    const struct {
        Lines text;
        std::string problem;
    } cases[] = {
        {{":0100000011EE", "", ":0100010022DC", kEnd},
         "line 2: a blank line between records; records follow one another, one a line: delete "
         "the blank line"},
        {{"\xEF\xBB\xBF:0100000011EE", kEnd},
         "line 1, column 1: the file begins with a byte-order mark (U+FEFF), which Intel HEX does "
         "not allow: save the file as plain ASCII text without it"},
        {{":01000000\t1EE", kEnd},
         "line 1, column 10: a tab where a hexadecimal digit is expected"},
        {{":0100000611E8", kEnd},
         "line 1, column 8: record type 06 is not an Intel HEX record type (00 to 05): the file is "
         "damaged, or is not Intel HEX"},
        {{":0100000011EE", ":01000001AA54"},
         "line 2, column 2: the end record (type 01) has a byte count of 01; it must be 00"},
        // Another image's records below the end record would be lost.
        {{":0100000011EE", kEnd, "", "x0100010022DC"},
         "line 4: a record after the end record of line 2; nothing after the end record is "
         "programmed: delete it, or move the end record to the last line"},
        {{":020000001122CB", ":0100010023DB", kEnd},
         "line 2: it puts 23 at address 0001, where line 1 puts 22; records that overlap must "
         "hold the same data: delete one of them"},
        // The cut is named by the last line there is, trailing blank lines aside.
        {{":0100000011EE", "", ""}, "line 1: the text ends without an end record (:00000001FF)"},
    };
    for (const auto& c : cases) {
        const ScannedImage scan = ScanImage(c.text);
        ASSERT_TRUE(scan.problem) << c.problem;
        EXPECT_EQ(ProblemText(*scan.problem), c.problem);
    }
}

TEST(HexScan, OnlyTypeOneEndsAndRecordsWithoutBytesArePassedOver) {
    const ScannedImage scan = ScanImage({":0000000000", ":0100000011EE", ":00001000F0",
                                         ":02001000223399", ":0000FC01zz", "; a note", "\x1A"});
    ASSERT_FALSE(scan.problem) << scan.problem->what;
    EXPECT_EQ(scan.endLine, 4u);
    EXPECT_EQ(scan.dataBytes, 3u);
    ASSERT_EQ(scan.warnings.size(), 2u);
    EXPECT_EQ(scan.warnings[0].line, 1u);
    EXPECT_EQ(scan.warnings[1].line, 3u);
    // Agreeing overlaps are programmed as they stand.
    EXPECT_FALSE(ScanImage({":0100000011EE", ":0100000011EE", kEnd}).problem);
}

}  // namespace
}  // namespace lpt51::image
