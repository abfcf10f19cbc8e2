// The marker search. It finds exactly the matches a byte-by-byte comparison at
// every position finds, but lets memchr skip to candidates for the first byte.
#include "Locate.h"

#include "BlockLayout.h"

#include <cstring>

namespace brand {

LocateResult LocateBlock(const uint8_t* pImage, uint32_t nSize, const uint8_t* pMarker)
{
    LocateResult r;
    if (nSize <= kMarkerLength)
        return r;  // kTooSmall

    // Positions 0 .. nSize - 61: a candidate's first byte lies before lastStart + 1.
    const uint32_t nPositions = nSize - kMarkerLength;
    const uint8_t* p = pImage;
    const uint8_t* const pEnd = pImage + nPositions;
    int nMatches = 0;
    while (p < pEnd && nMatches < 2) {
        const void* hit = std::memchr(p, pMarker[0], static_cast<size_t>(pEnd - p));
        if (hit == nullptr)
            break;
        p = static_cast<const uint8_t*>(hit);
        if (std::memcmp(p + 1, pMarker + 1, kMarkerLength - 1) == 0) {
            const uint32_t at = static_cast<uint32_t>(p - pImage);
            if (nMatches++ == 0)
                r.first = at;
            else
                r.second = at;
        }
        ++p;
    }

    if (nMatches == 0)
        r.status = LocateResult::kNoMarker;
    else if (nMatches == 1)
        r.status = LocateResult::kOneMarker;
    else if (r.second - r.first == kEndMarkerOffset)
        r.status = LocateResult::kLocated;
    else
        r.status = LocateResult::kWrongDistance;
    return r;
}

}  // namespace brand
