// velmora-brand's in-place content: copied in the kernel, checked before use.
#include "InPlace.h"

#include "CliFile.h"
#include "FwException.h"
#include "FwFile.h"
#include "OwnBlock.h"

#include <algorithm>

namespace cli {

BrandedInPlace::BrandedInPlace(const std::string& path, uint64_t size, uint64_t blockOffset,
                               const std::array<uint8_t, brand::kDataAreaLength>& area)
    : m_path(path), m_size(size), m_blockOffset(blockOffset), m_area(area)
{
}

void BrandedInPlace::WriteNew(CFile& file) const
{
    InputFile in;
    std::string error;
    if (!in.Open(m_path, error))
        Fail(error);
    CheckUnchanged(in.Handle(), in.Size());
    if (!CopyToHandle(in, 0, m_size, file.GetOsHandle(), m_path, error) ||
        !WriteToHandle(file.GetOsHandle(), DataOffset(), m_area.data(), m_area.size(), m_path, error))
        Fail(error);
}

void BrandedInPlace::WriteOver(LPCSTR pszPath) const
{
    CFile file(pszPath, CFile::modeReadWrite | CFile::shareExclusive | CFile::typeBinary);
    CFileStatus status;
    if (!file.GetStatus(status))
        Fail(m_path + ": could not be read");
    CheckUnchanged(file.GetOsHandle(), status.m_size);
    std::string error;
    if (!WriteToHandle(file.GetOsHandle(), DataOffset(), m_area.data(), m_area.size(), m_path, error))
        Fail(error);
    file.Flush();
    file.Close();
}

void BrandedInPlace::CheckUnchanged(intptr_t handle, uint64_t size) const
{
    std::array<uint8_t, brand::kBlockLength> block;
    const uint8_t* marker = brand::OwnBlock();
    if (size != m_size || !ReadFromHandle(handle, m_blockOffset, block.data(), block.size()) ||
        !std::equal(marker, marker + brand::kMarkerLength, block.begin()) ||
        !std::equal(marker, marker + brand::kMarkerLength, block.begin() + brand::kEndMarkerOffset))
        Fail(m_path + ": changed while it was being branded; nothing was written");
}

void BrandedInPlace::Fail(const std::string& why) const
{
    m_problem = why;
    AfxThrowFileException(CFileException::genericException, -1, m_path.c_str());
}

}  // namespace cli
