// What inspect tells about a PE file, from bounded reads that trust no header
// field: whether it is signed, and whether data follows its last section.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace cli {

struct PeInfo
{
    bool isPe = false;
    // A sound certificate table: wholly within the file after the headers, at
    // least 8 bytes, and every certificate entry's length fits it.
    bool hasCertificate = false;
    uint32_t certificateOffset = 0;
    uint32_t certificateSize = 0;
    // Bytes after the end of the last section's raw data, less a certificate
    // table among them.
    bool hasOverlay = false;
    uint64_t overlayOffset = 0;
    uint64_t overlaySize = 0;
    // Why a file that looks like a PE could not be read as one, or what is
    // wrong with its certificate table; empty when nothing is.
    std::string problem;
};

// Where the bytes come from: a file read at offsets, or memory.
class ByteSource
{
public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Exactly n bytes at offset, or false.
    virtual bool Read(uint64_t offset, void* buf, size_t n) const = 0;
};

class MemorySource : public ByteSource
{
public:
    MemorySource(const uint8_t* p, uint64_t n) : m_p(p), m_n(n) {}
    uint64_t Size() const override { return m_n; }
    bool Read(uint64_t offset, void* buf, size_t n) const override;

private:
    const uint8_t* m_p;
    uint64_t m_n;
};

PeInfo ReadPeInfo(const ByteSource& source);

}  // namespace cli
