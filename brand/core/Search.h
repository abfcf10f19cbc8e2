// The block search over a file read through a reader, and the check that a
// block found earlier is still where it was.
#pragma once

#include "Locate.h"

#include <cstddef>
#include <cstdint>

namespace brand {

// Reads a file at offsets; may be called from two threads at once. Errors
// leave it by an exception of the reader's own.
class ByteReader
{
public:
    virtual ~ByteReader() = default;
    // Up to n bytes at offset; fewer only at the end of the file.
    virtual size_t ReadAt(uint64_t offset, void* pBuf, size_t n) = 0;
};

// Searches the first size bytes that reader gives for the block, in pieces,
// with the scanner. A large file is searched in two halves at once. A file
// that ends early is judged on what was read.
LocateResult LocateInFile(ByteReader& reader, uint64_t size, const uint8_t* pMarker);

// True when the file has the size and both markers that a search found.
bool BlockStillAt(ByteReader& reader, uint64_t fileSize, uint64_t currentSize, uint64_t blockOffset,
                  const uint8_t* pMarker);

}  // namespace brand
