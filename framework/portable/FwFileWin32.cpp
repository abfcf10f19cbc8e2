// CFile over Win32 file handles.
#include "FwFile.h"

#include "FwFileHook.h"

#include <windows.h>
#include <aclapi.h>

#include <memory>
#include <string>
#include <vector>

namespace fw {

int FileCauseOfOsError(long lOsError)
{
    switch (static_cast<DWORD>(lOsError)) {
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

CString DescribeOsError(long lOsError)
{
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(lOsError), 0,
                   text, sizeof text, nullptr);
    int n = lstrlenA(text);
    while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == '.' || text[n - 1] == ' '))
        --n;
    if (n == 0) {
        CString s;
        s.Format("error %ld", lOsError);
        return s;
    }
    return CString(text, n);
}

}  // namespace fw

namespace {

unsigned g_nNameCodePage = CP_ACP;

// A file name in UTF-16, from the code page that names are given in.
std::wstring WideName(LPCSTR pszName)
{
    const int n = MultiByteToWideChar(g_nNameCodePage, 0, pszName, -1, nullptr, 0);
    std::wstring w(n > 0 ? static_cast<size_t>(n) : 1, L'\0');
    if (n > 0)
        MultiByteToWideChar(g_nNameCodePage, 0, pszName, -1, &w[0], n);
    w.resize(w.size() - 1);
    return w;
}

HANDLE AsHandle(intptr_t h)
{
    return reinterpret_cast<HANDLE>(h);
}

constexpr DWORD kMaxChunk = 0x40000000;

[[noreturn]] void ThrowError(DWORD err, LPCSTR pszPath)
{
    AfxThrowFileException(fw::FileCauseOfOsError(static_cast<long>(err)), static_cast<long>(err), pszPath);
}

void FillStatus(HANDLE h, CFileStatus& r, BOOL& ok)
{
    const DWORD type = GetFileType(h);
    BY_HANDLE_FILE_INFORMATION info;
    if (type != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info)) {
        ok = type != FILE_TYPE_UNKNOWN || GetLastError() == NO_ERROR;
        r = CFileStatus();
        r.m_kind = CFileStatus::kindStream;
        return;
    }
    r.m_size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    r.m_bReadOnly = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    r.m_kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? CFileStatus::kindFolder : CFileStatus::kindFile;
    r.m_nVolume = info.dwVolumeSerialNumber;
    r.m_nFileId = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    r.m_nLinks = info.nNumberOfLinks;
    // FILETIME counts 100 ns from 1601.
    const uint64_t ticks =
        (static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime;
    r.m_nModifiedNs = (static_cast<int64_t>(ticks) - 116444736000000000LL) * 100;
    ok = TRUE;
}

// A security descriptor that gives the current user alone full access,
// not inherited from the folder.
class COwnerOnlySecurity
{
public:
    COwnerOnlySecurity()
    {
        HANDLE hToken = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken))
            return;
        DWORD n = 0;
        GetTokenInformation(hToken, TokenUser, nullptr, 0, &n);
        m_user.resize(n);
        const BOOL got = n != 0 && GetTokenInformation(hToken, TokenUser, m_user.data(), n, &n);
        CloseHandle(hToken);
        if (!got)
            return;
        PSID sid = reinterpret_cast<TOKEN_USER*>(m_user.data())->User.Sid;
        m_acl.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid));
        PACL acl = reinterpret_cast<PACL>(m_acl.data());
        m_ok = InitializeAcl(acl, static_cast<DWORD>(m_acl.size()), ACL_REVISION) &&
               AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sid) &&
               InitializeSecurityDescriptor(&m_sd, SECURITY_DESCRIPTOR_REVISION) &&
               SetSecurityDescriptorDacl(&m_sd, TRUE, acl, FALSE) &&
               SetSecurityDescriptorControl(&m_sd, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
        m_sa.nLength = sizeof m_sa;
        m_sa.lpSecurityDescriptor = &m_sd;
        m_sa.bInheritHandle = FALSE;
    }
    COwnerOnlySecurity(const COwnerOnlySecurity&) = delete;
    COwnerOnlySecurity& operator=(const COwnerOnlySecurity&) = delete;
    SECURITY_ATTRIBUTES* Get() { return m_ok ? &m_sa : nullptr; }
    bool IsOk() const { return m_ok; }

private:
    std::vector<BYTE> m_user, m_acl;
    SECURITY_DESCRIPTOR m_sd = {};
    SECURITY_ATTRIBUTES m_sa = {};
    bool m_ok = false;
};

// Keeps a synchronous handle's file position across a positioned request,
// which moves it.
class CKeepPosition
{
public:
    // Keeps nothing for INVALID_HANDLE_VALUE.
    explicit CKeepPosition(HANDLE h) : m_h(h)
    {
        LARGE_INTEGER zero = {};
        m_ok = h != INVALID_HANDLE_VALUE && SetFilePointerEx(h, zero, &m_at, FILE_CURRENT) != FALSE;
    }
    ~CKeepPosition()
    {
        if (m_ok)
            SetFilePointerEx(m_h, m_at, nullptr, FILE_BEGIN);
    }
    CKeepPosition(const CKeepPosition&) = delete;
    CKeepPosition& operator=(const CKeepPosition&) = delete;

private:
    HANDLE m_h;
    LARGE_INTEGER m_at = {};
    bool m_ok = false;
};

OVERLAPPED At(uint64_t nOffset)
{
    OVERLAPPED ov = {};
    ov.Offset = static_cast<DWORD>(nOffset);
    ov.OffsetHigh = static_cast<DWORD>(nOffset >> 32);
    return ov;
}

}  // namespace

BOOL CFile::Open(LPCSTR pszFileName, UINT nOpenFlags, CFileException* pError)
{
    Abort();
    auto fail = [&](DWORD err) {
        if (pError)
            *pError =
                CFileException(fw::FileCauseOfOsError(static_cast<long>(err)), static_cast<long>(err), pszFileName);
        return FALSE;
    };
    try {
        fw::FileStepHook(fw::FileStep::Open, pszFileName, 0);
    } catch (const CFileException& e) {
        if (pError)
            *pError = e;
        return FALSE;
    }

    const bool bWrite = (nOpenFlags & (modeWrite | modeReadWrite)) != 0;
    const bool bCreateNew = (nOpenFlags & modeCreateNew) != 0;
    DWORD access = (nOpenFlags & modeReadWrite) ? GENERIC_READ | GENERIC_WRITE : bWrite ? GENERIC_WRITE : GENERIC_READ;
    if (bCreateNew)
        access |= READ_CONTROL | WRITE_DAC;  // its permissions are set through this handle
    DWORD share;
    switch (nOpenFlags & 0x70) {
    case shareExclusive: share = 0; break;
    case shareDenyWrite: share = FILE_SHARE_READ; break;
    case shareDenyRead: share = FILE_SHARE_WRITE; break;
    default: share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE; break;
    }
    const DWORD disposition = bCreateNew                      ? CREATE_NEW
                              : !(nOpenFlags & modeCreate)    ? OPEN_EXISTING
                              : (nOpenFlags & modeNoTruncate) ? OPEN_ALWAYS
                                                              : CREATE_ALWAYS;

    if (bWrite && !bCreateNew) {
        // Wine running as root would truncate a read-only file; Windows never does.
        const DWORD attr = GetFileAttributesW(WideName(pszFileName).c_str());
        if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_READONLY))
            return fail(ERROR_ACCESS_DENIED);
    }

    COwnerOnlySecurity ownerOnly;
    if (bCreateNew && !ownerOnly.IsOk())
        return fail(GetLastError() != NO_ERROR ? GetLastError() : ERROR_ACCESS_DENIED);
    HANDLE h = CreateFileW(WideName(pszFileName).c_str(), access, share, bCreateNew ? ownerOnly.Get() : nullptr,
                           disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return fail(GetLastError());
    const bool bDisk = GetFileType(h) == FILE_TYPE_DISK;
    if (!bWrite && !bDisk) {
        CloseHandle(h);
        return fail(ERROR_INVALID_HANDLE);
    }
    m_hFile = reinterpret_cast<intptr_t>(h);
    m_bCloseOnDelete = true;
    m_bStream = !bDisk;
    m_strFileName = pszFileName;
    return TRUE;
}

void CFile::AttachStandardOutput()
{
    Abort();
    HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
    m_hFile = reinterpret_cast<intptr_t>(h);
    m_bCloseOnDelete = false;
    m_bStream = GetFileType(h) != FILE_TYPE_DISK;
    m_strFileName = "standard output";
}

UINT CFile::ReadLoop(uint64_t nOffset, void* pBuf, UINT nCount)
{
    const bool bAt = nOffset != kAtPosition;
    // A positioned request on a synchronous handle moves its file position.
    CKeepPosition keep(bAt ? AsHandle(m_hFile) : INVALID_HANDLE_VALUE);
    char* p = static_cast<char*>(pBuf);
    UINT done = 0;
    while (done < nCount) {
        DWORD want = nCount - done;
        if (want > kMaxChunk)
            want = kMaxChunk;
        want = fw::FileStepHook(fw::FileStep::Read, m_strFileName, want, bAt ? nOffset + done : fw::kNoOffset);
        if (want == 0)
            break;
        DWORD got = 0;
        OVERLAPPED ov = At(nOffset + done);
        if (!ReadFile(AsHandle(m_hFile), p + done, want, &got, bAt ? &ov : nullptr)) {
            if (GetLastError() == ERROR_HANDLE_EOF)
                break;
            ThrowLastError();
        }
        if (got == 0)
            break;  // end of file
        done += got;
    }
    return done;
}

void CFile::WriteLoop(uint64_t nOffset, const void* pBuf, UINT nCount)
{
    const bool bAt = nOffset != kAtPosition;
    CKeepPosition keep(bAt ? AsHandle(m_hFile) : INVALID_HANDLE_VALUE);
    const char* p = static_cast<const char*>(pBuf);
    UINT done = 0;
    while (done < nCount) {
        DWORD want = nCount - done;
        if (want > kMaxChunk)
            want = kMaxChunk;
        want =
            fw::FileStepHook(fw::FileStep::Write, m_strFileName, want, bAt ? nOffset + done : fw::kNoOffset, p + done);
        if (want == 0)
            AfxThrowFileException(CFileException::diskFull, ERROR_DISK_FULL, m_strFileName);
        DWORD put = 0;
        OVERLAPPED ov = At(nOffset + done);
        if (!WriteFile(AsHandle(m_hFile), p + done, want, &put, bAt ? &ov : nullptr))
            ThrowLastError();
        if (put == 0)
            AfxThrowFileException(CFileException::diskFull, ERROR_DISK_FULL, m_strFileName);
        done += put;
    }
}

void CFile::CopyTo(CFile& dest, uint64_t nOffset, uint64_t nCount)
{
    constexpr UINT kBuffer = 1u << 20;
    const std::unique_ptr<char[]> buf(new char[kBuffer]);
    while (nCount > 0) {
        const UINT want = nCount < kBuffer ? static_cast<UINT>(nCount) : kBuffer;
        const UINT got = ReadAt(nOffset, buf.get(), want);
        if (got == 0)
            AfxThrowFileException(CFileException::endOfFile, -1, m_strFileName);
        dest.Write(buf.get(), got);
        nOffset += got;
        nCount -= got;
    }
}

void CFile::SeekToEnd()
{
    LARGE_INTEGER zero = {};
    if (!SetFilePointerEx(AsHandle(m_hFile), zero, nullptr, FILE_END))
        ThrowLastError();
}

uint64_t CFile::GetLength() const
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(AsHandle(m_hFile), &size))
        ThrowLastError();
    return static_cast<uint64_t>(size.QuadPart);
}

void CFile::SetLength(uint64_t nLength)
{
    CKeepPosition keep(AsHandle(m_hFile));
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(nLength);
    if (!SetFilePointerEx(AsHandle(m_hFile), at, nullptr, FILE_BEGIN) || !SetEndOfFile(AsHandle(m_hFile)))
        ThrowLastError();
}

void CFile::Flush()
{
    fw::FileStepHook(fw::FileStep::Flush, m_strFileName, 0);
    if (m_hFile != hFileNull && !m_bStream && !FlushFileBuffers(AsHandle(m_hFile)))
        ThrowLastError();
}

void CFile::Close()
{
    if (m_hFile == hFileNull)
        return;
    HANDLE h = AsHandle(m_hFile);
    m_hFile = hFileNull;
    if (m_bCloseOnDelete && !CloseHandle(h))
        ThrowLastError();
    fw::FileStepHook(fw::FileStep::Close, m_strFileName, 0);
}

void CFile::Abort() noexcept
{
    if (m_hFile != hFileNull) {
        if (m_bCloseOnDelete)
            CloseHandle(AsHandle(m_hFile));
        m_hFile = hFileNull;
    }
}

CFile::LockResult CFile::TryLock()
{
    fw::FileStepHook(fw::FileStep::Lock, m_strFileName, 0);
    OVERLAPPED ov = {};
    if (LockFileEx(AsHandle(m_hFile), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &ov))
        return lockTaken;
    switch (GetLastError()) {
    case ERROR_LOCK_VIOLATION:
    case ERROR_IO_PENDING: return lockHeldElsewhere;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
    case ERROR_INVALID_PARAMETER: return lockUnsupported;
    default: ThrowLastError();
    }
}

BOOL CFile::GetStatus(CFileStatus& rStatus) const
{
    if (m_hFile == hFileNull)
        return FALSE;
    BOOL ok = FALSE;
    FillStatus(AsHandle(m_hFile), rStatus, ok);
    return ok;
}

BOOL CFile::GetStatus(LPCSTR pszFileName, CFileStatus& rStatus, CFileException* pError)
{
    HANDLE h = CreateFileW(WideName(pszFileName).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD err = GetLastError();
        if (pError)
            *pError =
                CFileException(fw::FileCauseOfOsError(static_cast<long>(err)), static_cast<long>(err), pszFileName);
        return FALSE;
    }
    BOOL ok = FALSE;
    FillStatus(h, rStatus, ok);
    CloseHandle(h);
    return ok;
}

BOOL CFile::SetPermissionsLike(const CFile& model)
{
    // The model's access list, as its own or inherited, through the handles.
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    DWORD err = GetSecurityInfo(AsHandle(model.m_hFile), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                &dacl, nullptr, &sd);
    if (err != ERROR_SUCCESS)
        ThrowError(err, model.m_strFileName);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(sd, &control, &revision);
    const SECURITY_INFORMATION what =
        DACL_SECURITY_INFORMATION |
        ((control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION);
    err = SetSecurityInfo(AsHandle(m_hFile), SE_FILE_OBJECT, what, nullptr, nullptr, dacl, nullptr);
    LocalFree(sd);
    if (err != ERROR_SUCCESS)
        ThrowError(err, m_strFileName);
    // The owner stays the one who writes the copy; changing it takes a privilege.
    return TRUE;
}

void CFile::SetNewFilePermissions(uint32_t)
{
    // Give up the owner-only list, so that the file takes what its folder
    // passes on, as a file created there would.
    ACL empty;
    if (!InitializeAcl(&empty, sizeof empty, ACL_REVISION))
        ThrowLastError();
    const DWORD err = SetSecurityInfo(AsHandle(m_hFile), SE_FILE_OBJECT,
                                      DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                      nullptr, &empty, nullptr);
    if (err != ERROR_SUCCESS)
        ThrowError(err, m_strFileName);
}

void CFile::Rename(LPCSTR pszOldName, LPCSTR pszNewName)
{
    fw::FileStepHook(fw::FileStep::Rename, pszNewName, 0);
    if (!MoveFileExW(WideName(pszOldName).c_str(), WideName(pszNewName).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        ThrowError(GetLastError(), pszNewName);
}

void CFile::Remove(LPCSTR pszFileName)
{
    if (!DeleteFileW(WideName(pszFileName).c_str()))
        ThrowError(GetLastError(), pszFileName);
}

void CFile::RemoveNoThrow(LPCSTR pszFileName) noexcept
{
    DeleteFileW(WideName(pszFileName).c_str());
}

void CFile::FlushFolder(LPCSTR) noexcept
{
    // MOVEFILE_WRITE_THROUGH has made the rename durable already.
}

CString CFile::ResolveLinks(LPCSTR pszFileName)
{
    return CString(pszFileName);
}

CString CFile::FolderOf(LPCSTR pszFileName)
{
    // In UTF-8 no byte of a character is ever a separator; in a double-byte
    // code page the second byte of one may be.
    const char* sep = nullptr;
    for (const char* p = pszFileName; *p; p = g_nNameCodePage == CP_UTF8 ? p + 1 : CharNextA(p))
        if (*p == '\\' || *p == '/')
            sep = p;
    if (sep == nullptr)
        return CString(".");
    return CString(pszFileName, static_cast<int>(sep - pszFileName));
}

char CFile::PathSeparator()
{
    return '\\';
}

unsigned long CFile::ProcessId()
{
    return GetCurrentProcessId();
}

void CFile::ThrowLastError() const
{
    ThrowError(GetLastError(), m_strFileName);
}

void fw::SetFileNameCodePage(unsigned cp)
{
    g_nNameCodePage = cp;
}
