// Fuzzes the marker search: the single-buffer search and the chunked scanner
// must agree with a plain comparison at every position. The input's first
// bytes plant markers, so that pairs at every distance come up.
#include "Locate.h"
#include "OwnBlock.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

brand::LocateResult Reference(const std::vector<uint8_t>& image, const uint8_t* marker)
{
    brand::LocateResult r;
    int matches = 0;
    for (size_t p = 0; image.size() > 60 && p + 61 <= image.size(); ++p) {
        if (std::memcmp(image.data() + p, marker, 60) == 0) {
            (matches == 0 ? r.first : r.second) = p;
            if (++matches == 2)
                break;
        }
    }
    r.status = image.size() <= 60           ? brand::LocateResult::kTooSmall
               : matches == 0               ? brand::LocateResult::kNoMarker
               : matches == 1               ? brand::LocateResult::kOneMarker
               : r.second - r.first == 1060 ? brand::LocateResult::kLocated
                                            : brand::LocateResult::kWrongDistance;
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    const uint8_t* marker = brand::OwnBlock();
    std::vector<uint8_t> image(data + 4, data + size);
    // Plant up to two markers: the first at an offset from bytes 0-1, the
    // second at a distance from bytes 2-3 (near 1060 more often than not).
    if (image.size() >= 60) {
        const size_t a = (data[0] | data[1] << 8) % (image.size() - 59);
        std::memcpy(image.data() + a, marker, 60);
        const size_t distance = (data[2] & 1) ? 1060 + (data[3] % 5) - 2 : (data[2] | data[3] << 8);
        if (a + distance + 60 <= image.size())
            std::memcpy(image.data() + a + distance, marker, 60);
    }
    const brand::LocateResult want = Reference(image, marker);
    const brand::LocateResult got = brand::LocateBlock(image.data(), static_cast<uint32_t>(image.size()), marker);
    brand::MarkerScanner scanner(marker, image.size());
    const size_t chunk = 1 + data[0] % 97;
    for (size_t at = 0; at < image.size(); at += chunk)
        scanner.Feed(image.data() + at, std::min(chunk, image.size() - at));
    const brand::LocateResult chunked = scanner.Result();
    for (const brand::LocateResult& r : {got, chunked}) {
        if (r.status != want.status || (want.status != brand::LocateResult::kNoMarker &&
                                        want.status != brand::LocateResult::kTooSmall && r.first != want.first))
            std::abort();
        if ((want.status == brand::LocateResult::kLocated || want.status == brand::LocateResult::kWrongDistance) &&
            r.second != want.second)
            std::abort();
    }
    return 0;
}
