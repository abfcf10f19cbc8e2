// The reasons a file is not compatible, each with the offsets it is about.
#include "Compatibility.h"

#include "BlockLayout.h"

#include <cstring>

namespace brand {

namespace {

std::string At(uint64_t offset)
{
    return std::to_string(offset);
}

// True when the file's last kMarkerLength bytes are the marker: a position
// the search never tests, since a block needs a byte after its end marker.
bool MarkerEndsTheFile(ByteReader& reader, uint64_t size, const uint8_t* pMarker)
{
    uint8_t tail[kMarkerLength];
    return size >= kMarkerLength && reader.ReadAt(size - kMarkerLength, tail, kMarkerLength) == kMarkerLength &&
           std::memcmp(tail, pMarker, kMarkerLength) == 0;
}

}  // namespace

std::string CountOf(uint64_t n, const char* singular, const char* plural)
{
    return std::to_string(n) + " " + (n == 1 ? singular : plural);
}

std::string Incompatibility(const LocateResult& r, uint64_t size, ByteReader& reader, const uint8_t* pMarker)
{
    switch (r.status) {
    case LocateResult::kTooSmall:
        return "too small (" + CountOf(size, "byte", "bytes") + "); a brandable file holds its " +
               std::to_string(kBlockLength) + "-byte branding block and at least one byte after it";
    case LocateResult::kNoMarker:
        if (MarkerEndsTheFile(reader, size, pMarker))
            return "no marker that can start a block: the only one ends on the file's last byte (at " +
                   At(size - kMarkerLength) + ")";
        return "no marker: the file carries no branding block";
    case LocateResult::kOneMarker:
        if (r.first + kBlockLength == size && MarkerEndsTheFile(reader, size, pMarker))
            return "its block (at " + At(r.first) +
                   ") ends on the file's last byte; a brandable file carries at least one byte after its block";
        return "only one marker (at " + At(r.first) + "); a branding block has the marker at its start and again " +
               std::to_string(kEndMarkerOffset) + " bytes later";
    case LocateResult::kWrongDistance:
        return "first two markers " + CountOf(r.second - r.first, "byte", "bytes") + " apart (at " + At(r.first) +
               " and " + At(r.second) + "); a branding block has them " + std::to_string(kEndMarkerOffset) +
               " bytes apart, and only the first two count";
    case LocateResult::kLocated:
        if (size > kMaxImageSize)
            return "larger than the brander can load (" + CountOf(size, "byte", "bytes") + "; at most " +
                   std::to_string(kMaxImageSize) + ")";
        return "";
    }
    return "";
}

}  // namespace brand
