// The block searches: the edge cases of the marker pair on the dialog's plain
// scan, and the scanner held to its results on many generated images, fed in
// pieces and in two halves.
#include "Locate.h"

#include "BlockFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using brand::LocateBlock;
using brand::LocateResult;
using fixture::kMarker;

namespace {

const uint8_t* Marker()
{
    return reinterpret_cast<const uint8_t*>(kMarker.data());
}

LocateResult Locate(const std::vector<uint8_t>& image)
{
    return LocateBlock(image.data(), static_cast<uint32_t>(image.size()), Marker());
}

TEST(LocateTest, EdgeCasesOfTheMarkerPair)
{
    using fixture::Filler;
    using fixture::ImageWithBlock;
    using fixture::PutMarker;
    struct Case
    {
        const char* name;
        std::vector<uint8_t> image;
        LocateResult::Status status;
        uint32_t block;  // where a located block starts
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}, LocateResult::kTooSmall, 0});
    cases.push_back({"60 bytes: the marker itself", std::vector<uint8_t>(kMarker.begin(), kMarker.end()),
                     LocateResult::kTooSmall, 0});
    {
        auto img = Filler(61);
        PutMarker(img, 0);
        cases.push_back({"61 bytes, one marker at 0", img, LocateResult::kOneMarker, 0});
    }
    {
        auto img = Filler(61);
        PutMarker(img, 1);
        cases.push_back({"61 bytes, marker ending on the last byte", img, LocateResult::kNoMarker, 0});
    }
    cases.push_back({"1120 bytes: block ends on the last byte", ImageWithBlock(1120, 0), LocateResult::kOneMarker, 0});
    cases.push_back({"1121 bytes: one byte after the block", ImageWithBlock(1121, 0), LocateResult::kLocated, 0});
    cases.push_back({"block at 0 in a larger file", ImageWithBlock(5000, 0), LocateResult::kLocated, 0});
    cases.push_back(
        {"block ends on the last byte, not at 0", ImageWithBlock(1120 + 333, 333), LocateResult::kOneMarker, 0});
    cases.push_back({"the same with one more byte", ImageWithBlock(1121 + 333, 333), LocateResult::kLocated, 333});
    {
        auto img = ImageWithBlock(8000, 3000);
        PutMarker(img, 100);
        cases.push_back({"stray marker before the block", img, LocateResult::kWrongDistance, 0});
    }
    {
        auto img = ImageWithBlock(8000, 3000);
        PutMarker(img, 3000 - 1060);
        cases.push_back({"stray marker exactly 1060 before the block", img, LocateResult::kLocated, 3000 - 1060});
    }
    {
        auto img = ImageWithBlock(8000, 3000);
        PutMarker(img, 6000);
        cases.push_back({"third marker after a good block", img, LocateResult::kLocated, 3000});
    }
    for (int distance : {1059, 1061}) {
        auto img = Filler(5000);
        PutMarker(img, 700);
        PutMarker(img, static_cast<size_t>(700 + distance));
        cases.push_back(
            {distance == 1059 ? "markers 1059 apart" : "markers 1061 apart", img, LocateResult::kWrongDistance, 0});
    }
    cases.push_back({"no marker", Filler(5000), LocateResult::kNoMarker, 0});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const LocateResult r = Locate(c.image);
        EXPECT_EQ(r.status, c.status);
        if (c.status == LocateResult::kLocated) {
            EXPECT_EQ(r.BlockOffset(), c.block);
        }
    }
}

TEST(LocateTest, TheScannerFindsWhatThePlainScanFindsOnGeneratedImages)
{
    std::mt19937 rng(20261210);
    for (int round = 0; round < 3000; ++round) {
        const size_t size = std::uniform_int_distribution<size_t>(0, 4000)(rng);
        std::vector<uint8_t> image(size);
        // Random bytes, or bytes from a small alphabet that makes near-misses common.
        const bool smallAlphabet = round % 2 == 0;
        for (auto& b : image)
            b = smallAlphabet ? static_cast<uint8_t>(kMarker[std::uniform_int_distribution<size_t>(0, 3)(rng)])
                              : static_cast<uint8_t>(rng());
        const int markers = std::uniform_int_distribution<int>(0, 4)(rng);
        for (int m = 0; m < markers && size >= 60; ++m) {
            const unsigned kind = rng() % 4;
            // Anywhere, at the very end (a position never tested), or as a proper pair.
            size_t at = kind == 0 ? size - 60 : std::uniform_int_distribution<size_t>(0, size - 60)(rng);
            fixture::PutMarker(image, at);
            if (kind == 1 && at + 1060 + 60 <= size)
                fixture::PutMarker(image, at + 1060);
            if (kind == 2)
                image[at + std::uniform_int_distribution<size_t>(0, 59)(rng)] ^= 1;  // a near miss
        }
        SCOPED_TRACE("round " + std::to_string(round) + ", size " + std::to_string(size));
        // The dialog's plain comparison at every position is the reference.
        const LocateResult ref = Locate(image);

        // Fed in chunks of random lengths, from single bytes up.
        brand::MarkerScanner scanner(Marker(), size);
        const size_t maxChunk = round % 3 == 0 ? 3 : 300;
        for (size_t at = 0; at < size;) {
            const size_t n = std::min(size - at, std::uniform_int_distribution<size_t>(1, maxChunk)(rng));
            scanner.Feed(image.data() + at, n);
            at += n;
        }
        const LocateResult chunked = scanner.Result();
        ASSERT_EQ(chunked.status, ref.status);
        ASSERT_EQ(chunked.first, ref.first);
        ASSERT_EQ(chunked.second, ref.second);

        // Split in two at any point: the first half fed 59 bytes past it.
        const size_t split = std::uniform_int_distribution<size_t>(0, size)(rng);
        brand::MarkerScanner before(Marker(), size), after(Marker(), size, split);
        before.Feed(image.data(), std::min(size, split + 59));
        after.Feed(image.data() + split, size - split);
        before.Append(after);
        const LocateResult halves = before.Result();
        ASSERT_EQ(halves.status, ref.status) << "split at " << split;
        ASSERT_EQ(halves.first, ref.first);
        ASSERT_EQ(halves.second, ref.second);
    }
}

}  // namespace
