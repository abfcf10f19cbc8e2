// The part of the save that is the same on every platform: the in-place
// write and the temporary file.
#include "SaveFile.h"
#include "SaveFileDetail.h"

#include "FwFile.h"
#include "FwFileHook.h"

#include <atomic>

namespace brand {

void WriteInPlace(LPCSTR pszPath, const uint8_t* pImage, uint32_t nSize)
{
    CFile file(pszPath, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive | CFile::typeBinary);
    file.Write(pImage, nSize);
    file.Flush();
    file.Close();
}

namespace {

class ImageContent : public SaveContent
{
public:
    ImageContent(const uint8_t* pImage, uint32_t nSize) : m_pImage(pImage), m_nSize(nSize) {}
    void WriteNew(CFile& file) const override { file.Write(m_pImage, m_nSize); }
    void WriteOver(LPCSTR pszPath) const override { WriteInPlace(pszPath, m_pImage, m_nSize); }

private:
    const uint8_t* m_pImage;
    uint32_t m_nSize;
};

}  // namespace

void SaveWholeFile(LPCSTR pszPath, const uint8_t* pImage, uint32_t nSize)
{
    SaveFile(pszPath, ImageContent(pImage, nSize));
}

namespace detail {

bool WriteTemp(const std::string& folder, std::string& temp, const SaveContent& content)
{
    static std::atomic<unsigned> counter{0};
    try {
        fw::FileStepHook(fw::FileStep::CreateTemp, folder.c_str(), 0);
    } catch (const CFileException&) {
        return false;
    }
    CFile file;
    CFileException e;
    // A name left behind by a save that was killed is skipped, not reused.
    for (int attempt = 0;; ++attempt) {
        temp = folder + PathSeparator() + kTempPrefix + std::to_string(CurrentProcessId()) + "-" +
               std::to_string(++counter) + ".tmp";
        if (file.Open(temp.c_str(), CFile::modeCreateNew | CFile::modeWrite | CFile::shareExclusive |
                                        CFile::typeBinary, &e))
            break;
        if (!IsExistsError(e.m_lOsError) || attempt == 100)
            return false;
    }
    try {
        content.WriteNew(file);
        file.Flush();
        file.Close();
    } catch (...) {
        file.Abort();
        RemoveFile(temp);
        throw;
    }
    return true;
}

}  // namespace detail
}  // namespace brand
