// New outputs: a file created owner-only beside the destination, finished
// through its handle and renamed onto it; or the stream the destination is.
#include "Save.h"

#include <atomic>
#include <string>

namespace brand {

NewFile::OpenResult NewFile::Open(LPCSTR pszDestination, std::initializer_list<const CFile*> inputs, uint32_t nNewMode)
{
    Discard();
    m_strDestination = CFile::ResolveLinks(pszDestination);
    m_nNewMode = nNewMode;
    CFileStatus dest;
    m_bExisted = CFile::GetStatus(m_strDestination, dest) != FALSE;
    if (m_bExisted) {
        if (dest.m_kind == CFileStatus::kindFolder)
            return isFolder;
        for (const CFile* pInput : inputs) {
            CFileStatus in;
            if (pInput->GetStatus(in) && in.IsSameFile(dest))
                return isInput;
        }
        CFileException e;
        if (dest.m_kind == CFileStatus::kindStream) {
            if (!m_file.Open(m_strDestination, CFile::modeWrite | CFile::modeCreate | CFile::shareDenyNone, &e))
                throw e;
            m_bStream = true;
            return opened;
        }
        // A read-only file is not replaced, as it would not be written over.
        if (dest.m_bReadOnly)
            AfxThrowFileException(CFileException::accessDenied, -1, m_strDestination);
    }

    static std::atomic<unsigned> counter{0};
    const std::string folder = CFile::FolderOf(m_strDestination).GetString();
    const std::string stem = folder +
                             (folder.back() == CFile::PathSeparator() ? "" : std::string(1, CFile::PathSeparator())) +
                             kTempPrefix + std::to_string(CFile::ProcessId()) + "-";
    // A name left behind by a copy that was killed is skipped, not reused.
    for (int attempt = 0;; ++attempt) {
        const std::string temp = stem + std::to_string(++counter) + ".tmp";
        CFileException e;
        if (m_file.Open(temp.c_str(),
                        CFile::modeCreateNew | CFile::modeReadWrite | CFile::shareExclusive | CFile::typeBinary, &e)) {
            m_strTemp = temp.c_str();
            m_file.SetFilePath(m_strDestination);  // what its errors are about
            return opened;
        }
        CFileStatus taken;
        if (attempt == 100 || !CFile::GetStatus(temp.c_str(), taken)) {
            e.m_strFileName = m_strDestination;
            throw e;
        }
    }
}

void NewFile::Commit()
{
    if (m_bStream) {
        m_file.Close();
        return;
    }
    // The final permissions, through the handle, before the file gets its name.
    bool bKept = false;
    if (m_bExisted) {
        CFile model;
        if (model.Open(m_strDestination, CFile::modeRead | CFile::shareDenyNone)) {
            m_file.SetPermissionsLike(model);
            bKept = true;
        }
    }
    if (!bKept)
        m_file.SetNewFilePermissions(m_nNewMode);
    m_file.Flush();
    m_file.Close();
    CFile::Rename(m_strTemp, m_strDestination);
    m_strTemp.Empty();
    CFile::FlushFolder(CFile::FolderOf(m_strDestination));
}

void NewFile::Discard() noexcept
{
    m_file.Abort();
    if (!m_strTemp.IsEmpty()) {
        CFile::RemoveNoThrow(m_strTemp);
        m_strTemp.Empty();
    }
    m_bStream = false;
}

}  // namespace brand
