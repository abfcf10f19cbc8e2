// The dialog's save: the whole image into the existing file.
#include "Save.h"

namespace brand {

void WriteWholeImage(LPCSTR pszPath, const uint8_t* pImage, uint32_t nSize)
{
    CFile file(pszPath, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite | CFile::shareExclusive |
                            CFile::typeBinary);
    // Windows' share modes keep every other program out; elsewhere a brand
    // under way holds the file's lock.
    if (file.TryLock() == CFile::lockHeldElsewhere)
        AfxThrowFileException(CFileException::sharingViolation, -1, pszPath);
    file.Write(pImage, nSize);
    file.SetLength(nSize);
    file.Flush();
    file.Close();
}

}  // namespace brand
