// The branding block's layout: the one place its offsets and widths are
// written down. Offsets in the data area count from the byte after the start
// marker; block offsets count from the start marker's first byte.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brand {

inline constexpr uint32_t kMarkerLength = 60;
inline constexpr uint32_t kDataAreaLength = 1000;
inline constexpr uint32_t kBlockLength = kMarkerLength + kDataAreaLength + kMarkerLength;
inline constexpr uint32_t kDataAreaOffset = kMarkerLength;                       // in the block
inline constexpr uint32_t kEndMarkerOffset = kDataAreaOffset + kDataAreaLength;  // in the block

// The template flag: a 32-bit integer, zero once branded.
inline constexpr uint32_t kFlagOffset = 0;  // in the data area
inline constexpr uint32_t kFlagLength = 4;

struct Slot
{
    uint32_t offset;  // in the data area
    uint32_t width;   // the longest text is one byte less: the last byte stays NUL
    constexpr uint32_t MaxText() const { return width - 1; }
};

inline constexpr Slot kCBIDSlot{40, 60};
inline constexpr Slot kMirrowenSlot{100, 100};
inline constexpr Slot kQuillburnSlot{200, 100};
inline constexpr Slot kWebNameSlot{300, 100};
inline constexpr Slot kWebLinkSlot{400, 100};

// The unbranded template: ten cells of 99 digits and a NUL.
inline constexpr uint32_t kTemplateCellLength = 100;
inline constexpr uint32_t kTemplateCells = kDataAreaLength / kTemplateCellLength;

static_assert(kBlockLength == 1120);
static_assert(kEndMarkerOffset == 1060, "the end marker starts 1060 bytes after the start marker");
static_assert(kFlagOffset + kFlagLength <= kCBIDSlot.offset, "the flag precedes the first slot");
static_assert(kCBIDSlot.offset + kCBIDSlot.width == kMirrowenSlot.offset);
static_assert(kMirrowenSlot.offset + kMirrowenSlot.width == kQuillburnSlot.offset);
static_assert(kQuillburnSlot.offset + kQuillburnSlot.width == kWebNameSlot.offset);
static_assert(kWebNameSlot.offset + kWebNameSlot.width == kWebLinkSlot.offset);
static_assert(kWebLinkSlot.offset + kWebLinkSlot.width <= kDataAreaLength, "slots lie in the data area");
static_assert(kCBIDSlot.MaxText() == 59 && kWebLinkSlot.MaxText() == 99);
static_assert(kTemplateCells * kTemplateCellLength == kDataAreaLength);

}  // namespace brand
