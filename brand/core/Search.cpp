// The search over a file, in pieces, on one core or two.
#include "Search.h"

#include "BlockLayout.h"

#include <cstring>
#include <exception>
#include <memory>
#include <thread>

namespace brand {

namespace {

// Feeds the scanner the bytes [from, to) of the file.
void ScanRange(ByteReader& reader, uint64_t from, uint64_t to, MarkerScanner& scanner)
{
    // Small enough to stay in the first levels of the processor's cache,
    // where the search runs twice as fast as over 256 KiB pieces; left
    // uninitialised, since every byte is read into before it is looked at.
    constexpr size_t kChunk = 64u << 10;
    const std::unique_ptr<uint8_t[]> buf(new uint8_t[kChunk]);
    for (uint64_t at = from; at < to && !scanner.Done();) {
        const size_t n = reader.ReadAt(at, buf.get(), to - at < kChunk ? static_cast<size_t>(to - at) : kChunk);
        if (n == 0)
            break;
        scanner.Feed(buf.get(), n);
        at += n;
    }
}

}  // namespace

LocateResult LocateInFile(ByteReader& reader, uint64_t size, const uint8_t* pMarker)
{
    MarkerScanner scanner(pMarker, size);
    // Reading a large file and searching it take two cores about two thirds
    // of the time they take one: the second half is searched alongside.
    constexpr uint64_t kTwoHalves = 32u << 20;
    if (size < kTwoHalves) {
        ScanRange(reader, 0, size, scanner);
        return scanner.Result();
    }
    const uint64_t half = (size / 2) & ~static_cast<uint64_t>(0xFFFF);
    MarkerScanner later(pMarker, size, half);
    std::exception_ptr laterError;
    std::thread t([&] {
        try {
            ScanRange(reader, half, size, later);
        } catch (...) {
            laterError = std::current_exception();
        }
    });
    try {
        ScanRange(reader, 0, half + kMarkerLength - 1, scanner);
    } catch (...) {
        t.join();
        throw;
    }
    t.join();
    if (laterError)
        std::rethrow_exception(laterError);
    scanner.Append(later);
    return scanner.Result();
}

bool BlockStillAt(ByteReader& reader, uint64_t fileSize, uint64_t currentSize, uint64_t blockOffset,
                  const uint8_t* pMarker)
{
    uint8_t block[kBlockLength];
    return currentSize == fileSize && reader.ReadAt(blockOffset, block, kBlockLength) == kBlockLength &&
           std::memcmp(block, pMarker, kMarkerLength) == 0 &&
           std::memcmp(block + kEndMarkerOffset, pMarker, kMarkerLength) == 0;
}

}  // namespace brand
