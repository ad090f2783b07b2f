#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "CliTestSupport.h"
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

}  // namespace
}  // namespace lpt51::cli
