// The dialog's text rules: trimming, the required texts, "www." prefixing,
// the length limits and the order of their messages.
#include "TextRules.h"

#include <gtest/gtest.h>

namespace {

using brand::BrandTexts;

std::string N(size_t n, char c = 'a')
{
    return std::string(n, c);
}

TEST(TextRulesTest, TableOfCases)
{
    struct Case
    {
        const char* name;
        BrandTexts typed;
        const char* message;    // null: accepted
        BrandTexts normalised;  // when accepted
    };
    const std::string www92 = "www." + N(88);
    const Case cases[] = {
        {"name of spaces only", {"   ", "x", "", "", ""}, brand::kNameMissing, {}},
        {"link of spaces only", {"N", " \t ", "", "", ""}, brand::kLinkMissing, {}},
        {"empty checks before length checks", {N(150), "", "", "", ""}, brand::kLinkMissing, {}},
        {"name before link", {"", "", "", "", ""}, brand::kNameMissing, {}},
        {"leading white space of every kind goes",
         {"\t\n\v\f\r Name", "  www.x.com", " id", "\rm", "\nq"},
         nullptr,
         {"Name", "http://www.x.com", "id", "m", "q"}},
        {"no-break space and other bytes stay",
         {"\xa0Name", "\x01www.x", "\x1f", "", ""},
         nullptr,
         {"\xa0Name", "\x01www.x", "\x1f", "", ""}},
        {"trailing white space stays", {"Name  ", "l \t", "", "", ""}, nullptr, {"Name  ", "l \t", "", "", ""}},
        {"www. prefixed on the three links",
         {"N", "www.a", "", "www.m", "www.q"},
         nullptr,
         {"N", "http://www.a", "", "http://www.m", "http://www.q"}},
        {"not prefixed: capitals, http, bare host, short",
         {"N", "WWW.a", "", "http://www.m", "www"},
         nullptr,
         {"N", "WWW.a", "", "http://www.m", "www"}},
        {"never prefixed: name and Clickbank ID",
         {"www.name", "l", "www.id", "", ""},
         nullptr,
         {"www.name", "l", "www.id", "", ""}},
        {"empty optional texts accepted", {"N", "L", "", "", ""}, nullptr, {"N", "L", "", "", ""}},
        {"99-byte name accepted", {N(99), "L", "", "", ""}, nullptr, {N(99), "L", "", "", ""}},
        {"100-byte name refused", {N(100), "L", "", "", ""}, brand::kNameTooLong, {}},
        {"98 letters and 2 trailing spaces refused", {N(98) + "  ", "L", "", "", ""}, brand::kNameTooLong, {}},
        {"leading spaces do not count", {"  " + N(99), "L", "", "", ""}, nullptr, {N(99), "L", "", "", ""}},
        {"92-byte www. link accepted (99 after prefix)",
         {"N", www92, "", "", ""},
         nullptr,
         {"N", "http://" + www92, "", "", ""}},
        {"93-byte www. link refused", {"N", www92 + "x", "", "", ""}, brand::kLinkTooLong, {}},
        {"99-byte plain link accepted", {"N", N(99), "", "", ""}, nullptr, {"N", N(99), "", "", ""}},
        {"59-byte Clickbank ID accepted", {"N", "L", N(59), "", ""}, nullptr, {"N", "L", N(59), "", ""}},
        {"60-byte Clickbank ID refused", {"N", "L", N(60), "", ""}, brand::kCBIDTooLong, {}},
        {"100-byte Mirrowen link refused", {"N", "L", "", N(100), ""}, brand::kMirrowenTooLong, {}},
        {"93-byte www. Quillburn link refused", {"N", "L", "", "", www92 + "x"}, brand::kQuillburnTooLong, {}},
        {"only the first failing length is reported", {"N", N(100), "", "", N(100)}, brand::kLinkTooLong, {}},
        {"length order: name, link, id, Mirrowen, Quillburn",
         {N(100), N(100), N(60), N(100), N(100)},
         brand::kNameTooLong,
         {}},
        {"id before Mirrowen", {"N", "L", N(60), N(100), ""}, brand::kCBIDTooLong, {}},
        {"bytes above 127 count one each",
         {N(98) + "\xe9", "L", "", "", ""},
         nullptr,
         {N(98) + "\xe9", "L", "", "", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const brand::TextCheck r = brand::CheckAndNormalise(c.typed);
        if (c.message == nullptr) {
            ASSERT_TRUE(r.ok) << r.message;
            EXPECT_EQ(r.texts.webName, c.normalised.webName);
            EXPECT_EQ(r.texts.webLink, c.normalised.webLink);
            EXPECT_EQ(r.texts.cbid, c.normalised.cbid);
            EXPECT_EQ(r.texts.mirrowenLink, c.normalised.mirrowenLink);
            EXPECT_EQ(r.texts.quillburnLink, c.normalised.quillburnLink);
        } else {
            EXPECT_FALSE(r.ok);
            EXPECT_STREQ(r.message, c.message);
        }
    }
}

TEST(TextRulesTest, MessagesAreTheDialogsOwnTexts)
{
    EXPECT_STREQ(brand::kNameMissing,
                 "Please enter the name of the licensee\n\nThis can be your own name or the "
                 "name of\nyour company or the name of your web site");
    EXPECT_STREQ(brand::kLinkMissing, "Please enter your web site link");
}

}  // namespace
