// The reading rule over a branding block.
#include "Identity.h"

#include "BlockLayout.h"
#include "DataArea.h"

namespace brand {

namespace {

std::string ProductLink(std::string_view own, std::string_view cbid, const char* defaultPage)
{
    if (!own.empty())
        return std::string(own);
    if (cbid.empty())
        return defaultPage;
    return std::string(kHopLinkAddress) + std::string(cbid) + kVendorSuffix;
}

}  // namespace

Identity DeriveIdentity(const uint8_t* pBlock)
{
    const uint8_t* pData = pBlock + kDataAreaOffset;
    Identity id;
    if (TemplateFlag(pData) != 0) {
        id.branded = 0;
        id.mirrowenLink = kDefaultMirrowenPage;
        id.quillburnLink = kDefaultQuillburnPage;
        id.webName = kDefaultLicensee;
        id.webLink = kMakerSite;
        return id;
    }
    id.branded = 1;
    const std::string_view cbid = SlotText(pData, kCBIDSlot);
    const std::string_view mirrowen = SlotText(pData, kMirrowenSlot);
    const std::string_view quillburn = SlotText(pData, kQuillburnSlot);
    id.webName = std::string(SlotText(pData, kWebNameSlot));
    id.webLink = std::string(SlotText(pData, kWebLinkSlot));
    id.mirrowenLink = ProductLink(mirrowen, cbid, kDefaultMirrowenPage);
    id.quillburnLink = ProductLink(quillburn, cbid, kDefaultQuillburnPage);
    return id;
}

}  // namespace brand
