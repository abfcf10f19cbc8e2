// Clearing and filling a block's data area, and reading a slot's text.
#pragma once

#include "Texts.h"

#include <cstdint>
#include <string_view>

namespace brand {

struct Slot;

// Sets all kDataAreaLength bytes to zero.
void ClearDataArea(uint8_t* pDataArea);

// True when every text is shorter than its slot.
bool TextsFit(const BrandTexts& texts);

// Marks the block branded and copies each text to its slot, without a
// terminator: the Clickbank ID, the Mirrowen and Quillburn links, the licensee
// name and the web site link, in that order. The slots must already be zero (ClearDataArea). Writes nothing
// and returns false when a text does not fit.
bool FillDataArea(uint8_t* pDataArea, const BrandTexts& texts);

// A slot's text: its bytes up to the first NUL, or the whole slot if it has none.
std::string_view SlotText(const uint8_t* pDataArea, const Slot& slot);

// The template flag read as a 32-bit integer: zero means branded.
uint32_t TemplateFlag(const uint8_t* pDataArea);

}  // namespace brand
