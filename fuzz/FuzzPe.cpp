// Fuzzes inspect's PE reading: any bytes, no read outside them, and what it
// reports lies within the file.
#include "PeInfo.h"

#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const cli::PeInfo info = cli::ReadPeInfo(cli::MemorySource(data, size));
    if (info.hasOverlay && (info.overlayOffset >= size || info.overlaySize > size - info.overlayOffset))
        std::abort();
    if (info.hasCertificate &&
        (info.certificateSize < 8 || static_cast<uint64_t>(info.certificateOffset) + info.certificateSize > size))
        std::abort();
    if (!info.isPe && (info.hasCertificate || info.hasOverlay))
        std::abort();
    return 0;
}
