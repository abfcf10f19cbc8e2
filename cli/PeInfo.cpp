// Bounded PE header reading: every offset is checked against the file size
// with 64-bit arithmetic before anything is read.
#include "PeInfo.h"

#include <cstring>

namespace cli {

namespace {

class Bounded
{
public:
    explicit Bounded(const ByteSource& source) : m_source(source) {}
    bool U16(uint64_t off, uint32_t& v) const
    {
        uint8_t b[2];
        if (!Fits(off, 2) || !m_source.Read(off, b, 2))
            return false;
        v = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8;
        return true;
    }
    bool U32(uint64_t off, uint32_t& v) const
    {
        uint8_t b[4];
        if (!Fits(off, 4) || !m_source.Read(off, b, 4))
            return false;
        v = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
            static_cast<uint32_t>(b[3]) << 24;
        return true;
    }

private:
    bool Fits(uint64_t off, uint64_t n) const { return off <= m_source.Size() && m_source.Size() - off >= n; }
    const ByteSource& m_source;
};

constexpr uint32_t kCertificateDirectory = 4;

// Empty when the certificate table at off, size bytes long, is sound;
// otherwise what is wrong, naming the entry.
std::string CertificateProblem(const Bounded& f, uint64_t nSize, uint32_t headersSize, uint32_t off, uint32_t size)
{
    const std::string table =
        "the certificate table (" + std::to_string(size) + " bytes at offset " + std::to_string(off) + ")";
    if (static_cast<uint64_t>(off) + size > nSize)
        return table + " runs past the end of the file";
    if (off < headersSize)
        return table + " lies within the headers";
    if (size < 8)
        return table + " is too short to hold a certificate";
    const uint64_t end = static_cast<uint64_t>(off) + size;
    for (uint64_t at = off; at < end;) {
        uint32_t length = 0;
        if (end - at < 8 || !f.U32(at, length))
            return table + ": the entry at offset " + std::to_string(at) + " is cut short";
        if (length < 8 || length > end - at)
            return table + ": the entry at offset " + std::to_string(at) + " has a length of " +
                   std::to_string(length) + ", which does not fit";
        at += (static_cast<uint64_t>(length) + 7) & ~7ull;  // entries start on 8-byte boundaries
    }
    return std::string();
}

}  // namespace

bool MemorySource::Read(uint64_t offset, void* buf, size_t n) const
{
    if (offset > m_n || m_n - offset < n)
        return false;
    std::memcpy(buf, m_p + offset, n);
    return true;
}

PeInfo ReadPeInfo(const ByteSource& source)
{
    PeInfo info;
    const uint64_t nSize = source.Size();
    const Bounded f(source);
    uint32_t mz = 0, peOffset = 0, signature = 0;
    if (!f.U16(0, mz) || mz != 0x5A4D)
        return info;  // not a PE file at all
    if (!f.U32(0x3C, peOffset) || !f.U32(peOffset, signature) || signature != 0x00004550) {
        info.problem = "MZ header without a PE header";
        return info;
    }
    uint32_t sections = 0, optionalSize = 0, magic = 0;
    const uint64_t fileHeader = static_cast<uint64_t>(peOffset) + 4;
    const uint64_t optional = fileHeader + 20;
    if (!f.U16(fileHeader + 2, sections) || !f.U16(fileHeader + 16, optionalSize) || !f.U16(optional, magic)) {
        info.problem = "truncated PE header";
        return info;
    }
    uint64_t countOffset, directories;
    if (magic == 0x10B) {
        countOffset = optional + 92;
        directories = optional + 96;
    } else if (magic == 0x20B) {
        countOffset = optional + 108;
        directories = optional + 112;
    } else {
        info.problem = "unknown optional header";
        return info;
    }
    info.isPe = true;

    uint32_t count = 0, headersSize = 0;
    f.U32(optional + 60, headersSize);
    const uint64_t certEntry = directories + 8 * kCertificateDirectory;
    if (f.U32(countOffset, count) && count > kCertificateDirectory && certEntry + 8 <= optional + optionalSize) {
        uint32_t off = 0, size = 0;
        if (f.U32(certEntry, off) && f.U32(certEntry + 4, size) && (off != 0 || size != 0)) {
            info.problem = CertificateProblem(f, nSize, headersSize, off, size);
            if (info.problem.empty()) {
                info.hasCertificate = true;
                info.certificateOffset = off;  // a file offset, not an address
                info.certificateSize = size;
            }
        }
    }

    // The end of the last section's raw data; what follows is overlay.
    const uint64_t table = optional + optionalSize;
    uint64_t end = 0;
    for (uint32_t i = 0; i < sections; ++i) {
        uint32_t rawSize = 0, rawOffset = 0;
        const uint64_t s = table + 40ull * i;
        if (!f.U32(s + 16, rawSize) || !f.U32(s + 20, rawOffset)) {
            info.problem = "section table runs past the end of the file";
            return info;
        }
        if (rawSize != 0 && static_cast<uint64_t>(rawOffset) + rawSize > end)
            end = static_cast<uint64_t>(rawOffset) + rawSize;
    }
    if (end != 0 && end < nSize) {
        // The certificate table usually follows the sections; it is reported
        // as the signature, not again as overlay.
        uint64_t from = end, n = nSize - end;
        if (info.hasCertificate && info.certificateOffset >= end) {
            n -= info.certificateSize;
            if (info.certificateOffset == end)
                from = end + info.certificateSize;
        }
        if (n > 0) {
            info.hasOverlay = true;
            info.overlayOffset = from;
            info.overlaySize = n;
        }
    }
    return info;
}

}  // namespace cli
