// CFile over Win32 file handles.
#include "FwFile.h"

#include "FwFileHook.h"

#include <windows.h>

namespace {

int CauseOfError(DWORD err)
{
    switch (err) {
    case NO_ERROR: return CFileException::none;
    case ERROR_FILE_NOT_FOUND: return CFileException::fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_DIRECTORY: return CFileException::badPath;
    case ERROR_TOO_MANY_OPEN_FILES: return CFileException::tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return CFileException::accessDenied;
    case ERROR_INVALID_HANDLE: return CFileException::invalidFile;
    case ERROR_SHARING_VIOLATION: return CFileException::sharingViolation;
    case ERROR_LOCK_VIOLATION: return CFileException::lockViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return CFileException::diskFull;
    case ERROR_HANDLE_EOF: return CFileException::endOfFile;
    default: return CFileException::genericException;
    }
}

HANDLE AsHandle(intptr_t h)
{
    return reinterpret_cast<HANDLE>(h);
}

constexpr DWORD kMaxChunk = 0x40000000;

}  // namespace

BOOL CFile::Open(LPCSTR pszFileName, UINT nOpenFlags, CFileException* pError)
{
    Abort();
    fw::FileStepHook(fw::FileStep::Open, pszFileName, 0);
    auto fail = [&](DWORD err) {
        if (pError)
            *pError = CFileException(CauseOfError(err), static_cast<long>(err), pszFileName);
        return FALSE;
    };

    const bool bWrite = (nOpenFlags & (modeWrite | modeReadWrite)) != 0;
    DWORD access = (nOpenFlags & modeReadWrite) ? GENERIC_READ | GENERIC_WRITE
                   : bWrite                     ? GENERIC_WRITE
                                                : GENERIC_READ;
    DWORD share;
    switch (nOpenFlags & 0x70) {
    case shareExclusive: share = 0; break;
    case shareDenyWrite: share = FILE_SHARE_READ; break;
    case shareDenyRead: share = FILE_SHARE_WRITE; break;
    default: share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE; break;
    }
    DWORD disposition = (nOpenFlags & modeCreateNew) ? CREATE_NEW
                        : (nOpenFlags & modeCreate) ? CREATE_ALWAYS
                                                    : OPEN_EXISTING;

    if (bWrite) {
        // Wine running as root would truncate a read-only file; Windows never does.
        DWORD attr = GetFileAttributesA(pszFileName);
        if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_READONLY))
            return fail(ERROR_ACCESS_DENIED);
    }

    HANDLE h = CreateFileA(pszFileName, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return fail(GetLastError());
    if (!bWrite && GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return fail(ERROR_INVALID_HANDLE);
    }
    m_hFile = reinterpret_cast<intptr_t>(h);
    m_strFileName = pszFileName;
    return TRUE;
}

UINT CFile::Read(void* pBuf, UINT nCount)
{
    char* p = static_cast<char*>(pBuf);
    UINT done = 0;
    while (done < nCount) {
        DWORD want = nCount - done;
        if (want > kMaxChunk)
            want = kMaxChunk;
        want = fw::FileStepHook(fw::FileStep::Read, m_strFileName, want);
        if (want == 0)
            break;
        DWORD got = 0;
        if (!ReadFile(AsHandle(m_hFile), p + done, want, &got, nullptr))
            ThrowLastError();
        if (got == 0)
            break;  // end of file
        done += got;
    }
    return done;
}

void CFile::Write(const void* pBuf, UINT nCount)
{
    const char* p = static_cast<const char*>(pBuf);
    UINT done = 0;
    while (done < nCount) {
        DWORD want = nCount - done;
        if (want > kMaxChunk)
            want = kMaxChunk;
        want = fw::FileStepHook(fw::FileStep::Write, m_strFileName, want);
        if (want == 0)
            AfxThrowFileException(CFileException::diskFull, ERROR_DISK_FULL, m_strFileName);
        DWORD put = 0;
        if (!WriteFile(AsHandle(m_hFile), p + done, want, &put, nullptr))
            ThrowLastError();
        if (put == 0)
            AfxThrowFileException(CFileException::diskFull, ERROR_DISK_FULL, m_strFileName);
        done += put;
    }
}

void CFile::Flush()
{
    fw::FileStepHook(fw::FileStep::Flush, m_strFileName, 0);
    if (m_hFile != hFileNull && !FlushFileBuffers(AsHandle(m_hFile)))
        ThrowLastError();
}

void CFile::Close()
{
    if (m_hFile == hFileNull)
        return;
    HANDLE h = AsHandle(m_hFile);
    m_hFile = hFileNull;
    if (!CloseHandle(h))
        ThrowLastError();
    fw::FileStepHook(fw::FileStep::Close, m_strFileName, 0);
}

void CFile::Abort() noexcept
{
    if (m_hFile != hFileNull) {
        CloseHandle(AsHandle(m_hFile));
        m_hFile = hFileNull;
    }
}

BOOL CFile::GetStatus(CFileStatus& rStatus) const
{
    BY_HANDLE_FILE_INFORMATION info;
    if (m_hFile == hFileNull || !GetFileInformationByHandle(AsHandle(m_hFile), &info))
        return FALSE;
    rStatus.m_size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    rStatus.m_bReadOnly = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    return TRUE;
}

void CFile::ThrowLastError() const
{
    DWORD err = GetLastError();
    AfxThrowFileException(CauseOfError(err), static_cast<long>(err), m_strFileName);
}
