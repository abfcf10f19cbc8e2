// The marker searches: the dialog's plain comparison at every position, and
// the scanner, which finds exactly the same matches with glibc's memmem where
// there is one, and elsewhere with memchr skipping to candidates for the first
// byte.
#include "Locate.h"

#include "BlockLayout.h"

#include <cstring>

namespace brand {

namespace {

// Calls record(offset) for each match starting at p[from .. to); the 60 bytes
// of every such position must be readable. Stops when record returns false.
template <typename Record>
void ScanPositions(const uint8_t* p, size_t from, size_t to, const uint8_t* pMarker, Record record)
{
    const uint8_t* q = p + from;
    const uint8_t* const end = p + to;
    while (q < end) {
#if defined(__GLIBC__)
        // glibc's two-way search finds the leftmost match; the bytes of every
        // position before end are readable, so the haystack may run past it.
        const void* hit = memmem(q, static_cast<size_t>(end - q) + kMarkerLength - 1, pMarker, kMarkerLength);
        if (hit == nullptr)
            return;
        q = static_cast<const uint8_t*>(hit);
        if (!record(static_cast<size_t>(q - p)))
            return;
#else
        const void* hit = std::memchr(q, pMarker[0], static_cast<size_t>(end - q));
        if (hit == nullptr)
            return;
        q = static_cast<const uint8_t*>(hit);
        if (std::memcmp(q + 1, pMarker + 1, kMarkerLength - 1) == 0 && !record(static_cast<size_t>(q - p)))
            return;
#endif
        ++q;
    }
}

LocateResult Judge(uint64_t nSize, int nMatches, uint64_t first, uint64_t second)
{
    LocateResult r;
    r.first = first;
    r.second = second;
    if (nSize <= kMarkerLength)
        r.status = LocateResult::kTooSmall;
    else if (nMatches == 0)
        r.status = LocateResult::kNoMarker;
    else if (nMatches == 1)
        r.status = LocateResult::kOneMarker;
    else if (second - first == kEndMarkerOffset)
        r.status = LocateResult::kLocated;
    else
        r.status = LocateResult::kWrongDistance;
    return r;
}

}  // namespace

LocateResult LocateBlock(const uint8_t* pImage, uint32_t nSize, const uint8_t* pMarker)
{
    int nMatches = 0;
    uint64_t first = 0, second = 0;
    if (nSize > kMarkerLength) {
        // Positions 0 .. size - 61: a marker ending on the last byte is not tested.
        for (uint32_t p = 0; p < nSize - kMarkerLength; ++p) {
            uint32_t k = 0;
            while (k < kMarkerLength && pImage[p + k] == pMarker[k])
                ++k;
            if (k == kMarkerLength && nMatches++ < 2)
                (nMatches == 1 ? first : second) = p;
        }
    }
    return Judge(nSize, nMatches > 2 ? 2 : nMatches, first, second);
}

MarkerScanner::MarkerScanner(const uint8_t* pMarker, uint64_t nTotalSize, uint64_t nStartOffset)
    : m_pMarker(pMarker), m_nTotal(nTotalSize), m_nFed(nStartOffset)
{
}

void MarkerScanner::Append(const MarkerScanner& later)
{
    for (int i = 0; i < later.m_nMatches && !Done(); ++i)
        Record(i == 0 ? later.m_first : later.m_second);
}

void MarkerScanner::Record(uint64_t at)
{
    if (m_nMatches++ == 0)
        m_first = at;
    else
        m_second = at;
}

void MarkerScanner::Feed(const uint8_t* pChunk, size_t nLength)
{
    if (Done() || m_nTotal <= kMarkerLength || nLength == 0) {
        m_nFed += nLength;
        return;
    }
    // Start positions that count: 0 .. total - 61.
    const uint64_t limit = m_nTotal - kMarkerLength;
    auto record = [this](uint64_t at) {
        Record(at);
        return !Done();
    };

    // Positions that start in the carried bytes and run into this chunk.
    if (!m_carry.empty()) {
        const size_t nCarry = m_carry.size();
        std::vector<uint8_t> joint(m_carry);
        joint.insert(joint.end(), pChunk, pChunk + (nLength < kMarkerLength ? nLength : kMarkerLength - 1));
        const uint64_t base = m_nFed - nCarry;
        size_t to = joint.size() >= kMarkerLength ? joint.size() - kMarkerLength + 1 : 0;
        if (to > nCarry)
            to = nCarry;
        if (base + to > limit)
            to = base < limit ? static_cast<size_t>(limit - base) : 0;
        ScanPositions(joint.data(), 0, to, m_pMarker, [&](size_t at) { return record(base + at); });
    }
    // Positions wholly inside this chunk.
    if (!Done() && nLength >= kMarkerLength) {
        size_t to = nLength - kMarkerLength + 1;
        if (m_nFed + to > limit)
            to = m_nFed < limit ? static_cast<size_t>(limit - m_nFed) : 0;
        const uint64_t base = m_nFed;
        ScanPositions(pChunk, 0, to, m_pMarker, [&](size_t at) { return record(base + at); });
    }

    // Keep the last marker-length - 1 bytes for positions that straddle chunks.
    const size_t keep = kMarkerLength - 1;
    if (nLength >= keep) {
        m_carry.assign(pChunk + nLength - keep, pChunk + nLength);
    } else {
        m_carry.insert(m_carry.end(), pChunk, pChunk + nLength);
        if (m_carry.size() > keep)
            m_carry.erase(m_carry.begin(), m_carry.end() - static_cast<ptrdiff_t>(keep));
    }
    m_nFed += nLength;
}

LocateResult MarkerScanner::Result() const
{
    return Judge(m_nTotal, m_nMatches, m_first, m_second);
}

}  // namespace brand
