// The engine's byte reader over an open CFile.
#pragma once

#include "FwFile.h"
#include "Search.h"

namespace brand {

class FileReader : public ByteReader
{
public:
    explicit FileReader(CFile& file) : m_file(file) {}
    size_t ReadAt(uint64_t offset, void* pBuf, size_t n) override
    {
        return m_file.ReadAt(offset, pBuf, n < 0x40000000u ? static_cast<UINT>(n) : 0x40000000u);
    }

private:
    CFile& m_file;
};

}  // namespace brand
