// Conversions between UTF-8 and the code pages branded texts are stored in:
// the same results from the C library's iconv and from Windows' own tables.
#include "FwCodePage.h"

#include <gtest/gtest.h>

namespace {

TEST(CodePageTest, TypedTextsGoIntoTheCodePageOrAreRefusedNamingTheCharacter)
{
    struct Case
    {
        const char* name;
        unsigned cp;
        std::string utf8;
        bool ok;
        std::string bytes;
        uint32_t unheld;
    };
    const Case cases[] = {
        {"ASCII", 1252, "plain", true, "plain", 0},
        {"Latin letters in 1252", 1252, "Caf\xC3\xA9 \xE2\x82\xAC", true, "Caf\xE9 \x80", 0},
        {"Cyrillic in 1251", 1251, "\xD0\x96\xD1\x83\xD0\xBA", true, "\xC6\xF3\xEA", 0},
        {"Cyrillic has no place in 1252", 1252, "a\xD0\x96", false, "", 0x416},
        {"no look-alike for a full-width hyphen", 1252,
         "a\xEF\xBC\x8D"
         "b",
         false, "", 0xFF0D},
        {"no best fit for a letter with a ring below", 1252, "\xE1\xB8\x81", false, "", 0x1E01},
        {"a character beyond the first plane", 1252, "\xF0\x9F\x98\x80", false, "", 0x1F600},
        {"Latin accents have no place in 1251", 1251, "\xC3\xA9", false, "", 0xE9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out;
        uint32_t unheld = 0;
        ASSERT_EQ(fw::Utf8ToCodePage(c.utf8, c.cp, out, unheld), c.ok);
        if (c.ok) {
            EXPECT_EQ(out, c.bytes);
        } else {
            EXPECT_EQ(unheld, c.unheld);
        }
    }
}

TEST(CodePageTest, DecodingShowsUndefinedBytesApart)
{
    // 0x81 and 0x8D are undefined in 1252, 0x98 in 1251.
    const auto runs = fw::DecodeCodePage("Caf\xE9\x81\x8Dx", 1252);
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0].utf8, "Caf\xC3\xA9");
    EXPECT_EQ(runs[1].undefinedByte, 0x81);
    EXPECT_EQ(runs[2].undefinedByte, 0x8D);
    EXPECT_EQ(runs[3].utf8, "x");
    const auto cyr = fw::DecodeCodePage("\xC6\x98", 1251);
    ASSERT_EQ(cyr.size(), 2u);
    EXPECT_EQ(cyr[0].utf8, "\xD0\x96");
    EXPECT_EQ(cyr[1].undefinedByte, 0x98);
    EXPECT_TRUE(fw::DecodeCodePage("", 1252).empty());
}

TEST(CodePageTest, ValidUtf8AndCodePagesThisSystemKnows)
{
    struct Case
    {
        std::string s;
        size_t bad;
    };
    const Case cases[] = {
        {"", std::string::npos},   {"Caf\xC3\xA9", std::string::npos}, {"Caf\xE9", 3},  // Latin-1, not UTF-8
        {"a\xC0\xAF", 1},                                                               // an overlong slash
        {"\xED\xA0\x80", 0},                                                            // a surrogate
        {"ok\xF4\x90\x80\x80", 2},                                                      // past U+10FFFF
        {"cut \xE2\x82", 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.s);
        EXPECT_EQ(fw::FirstInvalidUtf8(c.s), c.bad);
    }
    EXPECT_TRUE(fw::IsKnownCodePage(1252));
    EXPECT_TRUE(fw::IsKnownCodePage(1251));
    EXPECT_FALSE(fw::IsKnownCodePage(9999));
    EXPECT_EQ(fw::DescribeCodePoint(0x416), "U+0416 '\xD0\x96'");
    EXPECT_EQ(fw::DescribeCodePoint(0x1), "U+0001");
}

}  // namespace
