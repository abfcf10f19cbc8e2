// The data area's writes and reads, all within its kDataAreaLength bytes.
#include "DataArea.h"

#include "BlockLayout.h"

#include <cstring>

namespace brand {

namespace {

void CopyText(uint8_t* pDataArea, const Slot& slot, const std::string& text)
{
    if (!text.empty())
        std::memcpy(pDataArea + slot.offset, text.data(), text.size());
}

}  // namespace

void ClearDataArea(uint8_t* pDataArea)
{
    std::memset(pDataArea, 0, kDataAreaLength);
}

bool TextsFit(const BrandTexts& t)
{
    return t.cbid.size() <= kCBIDSlot.MaxText() && t.mirrowenLink.size() <= kMirrowenSlot.MaxText() &&
           t.quillburnLink.size() <= kQuillburnSlot.MaxText() && t.webName.size() <= kWebNameSlot.MaxText() &&
           t.webLink.size() <= kWebLinkSlot.MaxText();
}

bool FillDataArea(uint8_t* pDataArea, const BrandTexts& t)
{
    if (!TextsFit(t))
        return false;
    std::memset(pDataArea + kFlagOffset, 0, kFlagLength);
    CopyText(pDataArea, kCBIDSlot, t.cbid);
    CopyText(pDataArea, kMirrowenSlot, t.mirrowenLink);
    CopyText(pDataArea, kQuillburnSlot, t.quillburnLink);
    CopyText(pDataArea, kWebNameSlot, t.webName);
    CopyText(pDataArea, kWebLinkSlot, t.webLink);
    return true;
}

std::string_view SlotText(const uint8_t* pDataArea, const Slot& slot)
{
    const char* p = reinterpret_cast<const char*>(pDataArea + slot.offset);
    const void* nul = std::memchr(p, 0, slot.width);
    const size_t n = nul ? static_cast<size_t>(static_cast<const char*>(nul) - p) : slot.width;
    return std::string_view(p, n);
}

uint32_t TemplateFlag(const uint8_t* pDataArea)
{
    const uint8_t* p = pDataArea + kFlagOffset;
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace brand
