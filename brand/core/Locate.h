// Finding the branding block in a file image by its two markers.
#pragma once

#include <cstdint>

namespace brand {

struct LocateResult
{
    enum Status {
        kLocated,        // the first two markers are 1060 bytes apart
        kTooSmall,       // 60 bytes or less: nothing is searched
        kNoMarker,
        kOneMarker,
        kWrongDistance,  // the first two markers stand at another distance
    };
    Status status = kTooSmall;
    uint32_t first = 0;   // offset of the first marker, when there is one
    uint32_t second = 0;  // offset of the second marker, when there is one

    bool Located() const { return status == kLocated; }
    uint32_t BlockOffset() const { return first; }
};

// Tests every start position from 0 to size - 61 (a marker that would end on
// the image's last byte is not counted) and judges the first two matches.
LocateResult LocateBlock(const uint8_t* pImage, uint32_t nSize, const uint8_t* pMarker);

}  // namespace brand
