// Finding the branding block in a file image by its two markers, in one
// buffer or over a file fed chunk by chunk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brand {

struct LocateResult
{
    enum Status {
        kLocated,   // the first two markers are 1060 bytes apart
        kTooSmall,  // 60 bytes or less: nothing is searched
        kNoMarker,
        kOneMarker,
        kWrongDistance,  // the first two markers stand at another distance
    };
    Status status = kTooSmall;
    uint64_t first = 0;   // offset of the first marker, when there is one
    uint64_t second = 0;  // offset of the second marker, when there is one

    bool Located() const { return status == kLocated; }
    uint64_t BlockOffset() const { return first; }
};

// The dialog's search: compares the marker byte by byte at every start
// position from 0 to size - 61 (a marker that would end on the image's last
// byte is not counted), and judges the first two matches.
LocateResult LocateBlock(const uint8_t* pImage, uint32_t nSize, const uint8_t* pMarker);

// The same search, as fast as memmem, over a file of known size read in
// consecutive chunks of any length, so that the file need not be held in
// memory. It finds exactly the matches LocateBlock finds. A scanner may
// start at an offset into the file; two scanners can then share one file:
// the first fed up to the second's start plus kMarkerLength - 1 bytes (so
// that it tests every position before it), the second from its start on.
class MarkerScanner
{
public:
    MarkerScanner(const uint8_t* pMarker, uint64_t nTotalSize, uint64_t nStartOffset = 0);
    void Feed(const uint8_t* pChunk, size_t nLength);
    bool Done() const { return m_nMatches == 2; }  // further bytes change nothing
    // Takes the matches of a scanner of the positions after this one's.
    void Append(const MarkerScanner& later);
    LocateResult Result() const;

private:
    void Record(uint64_t at);

    const uint8_t* m_pMarker;
    uint64_t m_nTotal;
    uint64_t m_nFed = 0;           // bytes fed so far
    std::vector<uint8_t> m_carry;  // the last bytes fed, up to a marker's length - 1
    int m_nMatches = 0;
    uint64_t m_first = 0, m_second = 0;
};

}  // namespace brand
