// The reseller identity a program derives from its branding block: who it is
// licensed to, their site, and where each of the maker's products is sold.
#pragma once

#include <cstdint>
#include <string>

namespace brand {

// The maker's web site root, scheme and host only.
inline constexpr const char* kMakerSite = "http://www.velmorasoftware.com";
inline constexpr const char* kDefaultMirrowenPage = "http://www.velmorasoftware.com/mirrowen";
inline constexpr const char* kDefaultQuillburnPage = "http://www.velmorasoftware.com/quillburn";
// The maker's page for affiliates, opened from the brander's dialog.
inline constexpr const char* kAffiliatePage = "http://www.velmorasoftware.com/affiliates.html";
inline constexpr const char* kDefaultLicensee = "Velmora Software";
// The marketplace's hop-link address, then the Clickbank ID, then the vendor.
inline constexpr const char* kHopLinkAddress = "http://hop.clickbank.net?";
inline constexpr const char* kVendorSuffix = "/plimsett";

struct Identity
{
    int32_t branded = 0;
    std::string mirrowenLink;
    std::string quillburnLink;
    std::string webName;
    std::string webLink;
};

// Derives the identity from a whole block (kBlockLength bytes). An unbranded
// block gives the defaults; in a branded one, each product takes the user's
// own link, else the hop link for the Clickbank ID, else the maker's page.
Identity DeriveIdentity(const uint8_t* pBlock);

}  // namespace brand
