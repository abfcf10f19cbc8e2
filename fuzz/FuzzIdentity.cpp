// Fuzzes the reading rule on any 1120 bytes: it reads nothing outside the
// block, and every text it takes from a slot fits that slot.
#include "BlockLayout.h"
#include "Identity.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Exactly a block's bytes on the heap, so that the sanitizer sees any read past it.
    std::unique_ptr<uint8_t[]> block(new uint8_t[brand::kBlockLength]);
    std::memset(block.get(), 0, brand::kBlockLength);
    std::memcpy(block.get(), data, std::min<size_t>(size, brand::kBlockLength));
    const brand::Identity id = brand::DeriveIdentity(block.get());
    if (id.branded != 0 && id.branded != 1)
        std::abort();
    if (id.branded == 1 && (id.webName.size() > 100 || id.webLink.size() > 100))
        std::abort();
    const size_t hopMax = std::strlen(brand::kHopLinkAddress) + 60 + std::strlen(brand::kVendorSuffix);
    if (id.mirrowenLink.empty() || id.quillburnLink.empty() || id.mirrowenLink.size() > hopMax + 40 ||
        id.quillburnLink.size() > hopMax + 40)
        std::abort();
    return 0;
}
