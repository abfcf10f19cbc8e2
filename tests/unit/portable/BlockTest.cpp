// The block's data area (clearing, filling, reading slots), the program's own
// block, and the reading rule that derives the reseller identity.
#include "BlockLayout.h"
#include "DataArea.h"
#include "Identity.h"
#include "OwnBlock.h"

#include "BlockFixture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using brand::BrandTexts;

std::string AreaOf(const uint8_t* pBlock)
{
    return std::string(reinterpret_cast<const char*>(pBlock) + 60, 1000);
}

TEST(BlockTest, OwnBlockIsTheUnbrandedTemplate)
{
    const uint8_t* p = brand::OwnBlock();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p), 60), fixture::kMarker);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p) + 1060, 60), fixture::kMarker);
    EXPECT_EQ(AreaOf(p), fixture::TemplateDataArea());
    EXPECT_EQ(std::memcmp(p + 60, "1234", 4), 0);
    EXPECT_EQ(p, brand::OwnBlock());  // one block, always the same address
}

TEST(BlockTest, FillWritesEachTextAtItsSlotAndNothingElse)
{
    std::vector<uint8_t> area(1000, 0xAA);
    brand::ClearDataArea(area.data());
    EXPECT_EQ(area, std::vector<uint8_t>(1000, 0));

    const std::string cbid(59, 'C');
    const std::string link99(99, 'L');
    const BrandTexts texts{"Caf\xe9 \x80\xff", "http://x", cbid, "", link99};
    ASSERT_TRUE(brand::FillDataArea(area.data(), texts));

    std::vector<uint8_t> want(1000, 0);
    std::memcpy(want.data() + 40, cbid.data(), 59);
    std::memcpy(want.data() + 200, link99.data(), 99);
    std::memcpy(want.data() + 300, "Caf\xe9 \x80\xff", 7);
    std::memcpy(want.data() + 400, "http://x", 8);
    EXPECT_EQ(area, want);  // flag zero, slots padded with zeros, the rest zero
    EXPECT_EQ(brand::TemplateFlag(area.data()), 0u);
    EXPECT_EQ(brand::SlotText(area.data(), brand::kCBIDSlot), cbid);
    EXPECT_EQ(brand::SlotText(area.data(), brand::kQuillburnSlot), link99);
    EXPECT_EQ(brand::SlotText(area.data(), brand::kMirrowenSlot), "");
}

TEST(BlockTest, FillRefusesATextTooLongForItsSlotWithoutWriting)
{
    const std::string ok(99, 'x');
    const std::string cbid60(60, 'c');
    const std::string long100(100, 'x');
    const BrandTexts cases[] = {
        {ok, ok, cbid60, "", ""},  {ok, ok, "", long100, ""}, {ok, ok, "", "", long100},
        {long100, ok, "", "", ""}, {ok, long100, "", "", ""},
    };
    for (const BrandTexts& t : cases) {
        std::vector<uint8_t> area(1000, 0x55);
        EXPECT_FALSE(brand::FillDataArea(area.data(), t));
        EXPECT_EQ(area, std::vector<uint8_t>(1000, 0x55));
    }
}

TEST(BlockTest, RebrandingWithShorterTextsLeavesNothingOfTheOld)
{
    auto image = fixture::ImageWithBlock(3000, 500);
    uint8_t* area = image.data() + 560;
    brand::ClearDataArea(area);
    const std::string longName(99, 'N');
    ASSERT_TRUE(brand::FillDataArea(area, {longName, "http://long.example/path", "ID", "m", "q"}));
    brand::ClearDataArea(area);  // what loading does
    ASSERT_TRUE(brand::FillDataArea(area, {"Al", "w", "", "", ""}));
    const std::string now(reinterpret_cast<char*>(area), 1000);
    EXPECT_EQ(now.find('N', 302), std::string::npos);
    EXPECT_EQ(now.find("long"), std::string::npos);
    EXPECT_EQ(now.find("ID"), std::string::npos);
    EXPECT_EQ(now.substr(300, 3), std::string("Al\0", 3));
}

// A block in either state, built from slot texts.
std::vector<uint8_t> Block(bool branded, std::string cbid = "", std::string mirrowen = "", std::string quillburn = "",
                           std::string name = "", std::string link = "")
{
    auto image = fixture::ImageWithBlock(1120, 0);
    if (branded) {
        brand::ClearDataArea(image.data() + 60);
        EXPECT_TRUE(brand::FillDataArea(image.data() + 60, {name, link, cbid, mirrowen, quillburn}));
    }
    return image;
}

TEST(BlockTest, ReadingRuleDerivesTheIdentity)
{
    const std::string hop = std::string(brand::kHopLinkAddress);
    const std::string id59(59, '7');
    struct Case
    {
        const char* name;
        std::vector<uint8_t> block;
        int branded;
        std::string mirrowen, quillburn, webName, webLink;
    };
    std::vector<Case> cases = {
        {"unbranded template", Block(false), 0, brand::kDefaultMirrowenPage, brand::kDefaultQuillburnPage,
         "Velmora Software", brand::kMakerSite},
        {"branded, all empty", Block(true), 1, brand::kDefaultMirrowenPage, brand::kDefaultQuillburnPage, "", ""},
        {"Clickbank ID only: equal hop links", Block(true, "abc", "", "", "N", "L"), 1, hop + "abc/plimsett",
         hop + "abc/plimsett", "N", "L"},
        {"ID and Mirrowen link", Block(true, "abc", "http://m", "", "N", "L"), 1, "http://m", hop + "abc/plimsett", "N",
         "L"},
        {"both links, no ID", Block(true, "", "http://m", "http://q", "N", "L"), 1, "http://m", "http://q", "N", "L"},
        {"59-byte ID used whole", Block(true, id59), 1, hop + id59 + "/plimsett", hop + id59 + "/plimsett", "", ""},
        {"texts taken as they stand", Block(true, "", " m ", "q.example", "  Name ", "www.x"), 1, " m ", "q.example",
         "  Name ", "www.x"},
    };
    {
        auto b = Block(false);
        std::memset(b.data() + 60, 0, 3);  // only the flag's last byte non-zero
        cases.push_back({"flag with only its last byte set", b, 0, brand::kDefaultMirrowenPage,
                         brand::kDefaultQuillburnPage, "Velmora Software", brand::kMakerSite});
    }
    {
        auto b = Block(true);
        std::memset(b.data() + 60 + 300, 'Z', 100);  // no NUL in the licensee slot
        cases.push_back({"slot without NUL ends at the slot", b, 1, brand::kDefaultMirrowenPage,
                         brand::kDefaultQuillburnPage, std::string(100, 'Z'), ""});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const brand::Identity id = brand::DeriveIdentity(c.block.data());
        EXPECT_EQ(id.branded, c.branded);
        EXPECT_EQ(id.mirrowenLink, c.mirrowen);
        EXPECT_EQ(id.quillburnLink, c.quillburn);
        EXPECT_EQ(id.webName, c.webName);
        EXPECT_EQ(id.webLink, c.webLink);
    }
}

TEST(BlockTest, TheAddressesHaveTheirFixedForms)
{
    const std::string site = brand::kMakerSite;
    EXPECT_EQ(site.rfind("http://", 0), 0u);
    EXPECT_EQ(site.find('/', 7), std::string::npos);  // scheme and host only
    EXPECT_EQ(std::string(brand::kDefaultMirrowenPage), site + "/mirrowen");
    EXPECT_EQ(std::string(brand::kDefaultQuillburnPage), site + "/quillburn");
    const std::string hop = brand::kHopLinkAddress;
    EXPECT_EQ(hop.rfind("http://", 0), 0u);
    EXPECT_EQ(hop.back(), '?');
    EXPECT_EQ(hop.find('/', 7), std::string::npos);  // no "/" between host and "?"
}

}  // namespace
