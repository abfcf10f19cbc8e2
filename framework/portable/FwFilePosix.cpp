// CFile over POSIX descriptors.
#include "FwFile.h"

#include "FwFileHook.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {

int FileCauseOfOsError(long lOsError)
{
    switch (lOsError) {
    case 0: return CFileException::none;
    case ENOENT: return CFileException::fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return CFileException::badPath;
    case EMFILE:
    case ENFILE: return CFileException::tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY: return CFileException::accessDenied;
    case ENXIO:
    case EINVAL: return CFileException::invalidFile;
    case EAGAIN: return CFileException::lockViolation;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG: return CFileException::diskFull;
    case EIO: return CFileException::hardIO;
    default: return CFileException::genericException;
    }
}

CString DescribeOsError(long lOsError)
{
    return CString(std::strerror(static_cast<int>(lOsError)));
}

void SetFileNameCodePage(unsigned)
{
}

}  // namespace fw

namespace {

// One read() moves at most about 2 GiB on Linux, so requests are split.
constexpr size_t kMaxChunk = 0x40000000;

int Fd(intptr_t h)
{
    return static_cast<int>(h);
}

[[noreturn]] void ThrowErrno(int err, LPCSTR pszPath)
{
    AfxThrowFileException(fw::FileCauseOfOsError(err), err, pszPath);
}

void FillStatus(const struct stat& st, CFileStatus& r)
{
    r.m_size = static_cast<uint64_t>(st.st_size);
    r.m_bReadOnly = (st.st_mode & 0222) == 0;
    r.m_kind = S_ISREG(st.st_mode)   ? CFileStatus::kindFile
               : S_ISDIR(st.st_mode) ? CFileStatus::kindFolder
                                     : CFileStatus::kindStream;
    r.m_nVolume = static_cast<uint64_t>(st.st_dev);
    r.m_nFileId = static_cast<uint64_t>(st.st_ino);
    r.m_nLinks = static_cast<uint32_t>(st.st_nlink);
    r.m_nModifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    r.m_nMode = static_cast<uint32_t>(st.st_mode & 07777);
    r.m_nOwner = static_cast<uint32_t>(st.st_uid);
    r.m_nGroup = static_cast<uint32_t>(st.st_gid);
}

// The process's umask, read once: reading it means setting it, which must
// not race with threads that create files.
mode_t ProcessUmask()
{
    static const mode_t mask = [] {
        const mode_t m = ::umask(077);
        ::umask(m);
        return m;
    }();
    return mask;
}

}  // namespace

BOOL CFile::Open(LPCSTR pszFileName, UINT nOpenFlags, CFileException* pError)
{
    Abort();
    ProcessUmask();  // before any thread of ours can create a file
    auto fail = [&](int err) {
        if (pError)
            *pError = CFileException(fw::FileCauseOfOsError(err), err, pszFileName);
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
    // Non-blocking, so that opening a FIFO never waits for the other end.
    int flags = O_CLOEXEC | O_NONBLOCK | (nOpenFlags & modeReadWrite ? O_RDWR : bWrite ? O_WRONLY : O_RDONLY);
    if (bCreateNew)
        flags |= O_CREAT | O_EXCL;
    else if (nOpenFlags & modeCreate)
        flags |= O_CREAT | ((nOpenFlags & modeNoTruncate) ? 0 : O_TRUNC);

    if (bWrite && !bCreateNew) {
        // Root may write files without write permission; Windows refuses a
        // read-only file to every user, and so does this class.
        struct stat st;
        if (::stat(pszFileName, &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0)
            return fail(EACCES);
    }

    int fd;
    do
        fd = ::open(pszFileName, flags, bCreateNew ? 0600 : 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return fail(errno);

    struct stat st;
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return fail(err);
    }
    if (!S_ISREG(st.st_mode) && (!bWrite || S_ISDIR(st.st_mode))) {
        // Folders, FIFOs, sockets and devices are not files to read whole.
        ::close(fd);
        return fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    }
    if (bWrite && S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0 && !bCreateNew) {
        ::close(fd);
        return fail(EACCES);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);

    m_hFile = fd;
    m_bCloseOnDelete = true;
    m_bStream = !S_ISREG(st.st_mode);
    m_strFileName = pszFileName;
    return TRUE;
}

void CFile::AttachStandardOutput()
{
    Abort();
    m_hFile = STDOUT_FILENO;
    m_bCloseOnDelete = false;
    struct stat st;
    m_bStream = ::fstat(STDOUT_FILENO, &st) != 0 || !S_ISREG(st.st_mode);
    m_strFileName = "standard output";
}

UINT CFile::ReadLoop(uint64_t nOffset, void* pBuf, UINT nCount)
{
    const bool bAt = nOffset != kAtPosition;
    char* p = static_cast<char*>(pBuf);
    size_t done = 0;
    while (done < nCount) {
        size_t want = nCount - done;
        if (want > kMaxChunk)
            want = kMaxChunk;
        want = fw::FileStepHook(fw::FileStep::Read, m_strFileName, static_cast<UINT>(want),
                                bAt ? nOffset + done : fw::kNoOffset);
        if (want == 0)
            break;
        const ssize_t n = bAt ? ::pread(Fd(m_hFile), p + done, want, static_cast<off_t>(nOffset + done))
                              : ::read(Fd(m_hFile), p + done, want);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowLastError();
        }
        if (n == 0)
            break;  // end of file
        done += static_cast<size_t>(n);
    }
    return static_cast<UINT>(done);
}

void CFile::WriteLoop(uint64_t nOffset, const void* pBuf, UINT nCount)
{
    const bool bAt = nOffset != kAtPosition;
    const char* p = static_cast<const char*>(pBuf);
    size_t done = 0;
    while (done < nCount) {
        size_t want = nCount - done;
        if (want > kMaxChunk)
            want = kMaxChunk;
        want = fw::FileStepHook(fw::FileStep::Write, m_strFileName, static_cast<UINT>(want),
                                bAt ? nOffset + done : fw::kNoOffset, p + done);
        if (want == 0)
            AfxThrowFileException(CFileException::diskFull, ENOSPC, m_strFileName);
        const ssize_t n = bAt ? ::pwrite(Fd(m_hFile), p + done, want, static_cast<off_t>(nOffset + done))
                              : ::write(Fd(m_hFile), p + done, want);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowLastError();
        }
        if (n == 0)
            AfxThrowFileException(CFileException::diskFull, ENOSPC, m_strFileName);
        done += static_cast<size_t>(n);
    }
}

void CFile::CopyTo(CFile& dest, uint64_t nOffset, uint64_t nCount)
{
    const int src = Fd(m_hFile), dst = Fd(dest.m_hFile);
    // The kernel's copy first (copy_file_range between regular files, which
    // reflinks where the file system can; sendfile into a stream), then
    // through a buffer where neither serves.
    bool bKernel = true;
    std::unique_ptr<char[]> buf;
    constexpr size_t kBuffer = 1u << 20;
    while (nCount > 0) {
        size_t want = nCount < kMaxChunk ? static_cast<size_t>(nCount) : kMaxChunk;
        ssize_t n;
        if (bKernel) {
            want = fw::FileStepHook(fw::FileStep::Write, dest.m_strFileName, static_cast<UINT>(want));
            if (want == 0)
                AfxThrowFileException(CFileException::diskFull, ENOSPC, dest.m_strFileName);
            off_t at = static_cast<off_t>(nOffset);
            n = dest.m_bStream ? ::sendfile(dst, src, &at, want) : ::copy_file_range(src, &at, dst, nullptr, want, 0);
            if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
                bKernel = false;
                buf.reset(new char[kBuffer]);
                continue;
            }
        } else {
            n = ::pread(src, buf.get(), want < kBuffer ? want : kBuffer, static_cast<off_t>(nOffset));
            if (n > 0)
                dest.Write(buf.get(), static_cast<UINT>(n));
        }
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            // A write error names the destination, a read error this file.
            const bool bDestSide = err == ENOSPC || err == EFBIG || err == EPIPE || err == EDQUOT;
            AfxThrowFileException(fw::FileCauseOfOsError(err), err, bDestSide ? dest.m_strFileName : m_strFileName);
        }
        if (n == 0)
            AfxThrowFileException(CFileException::endOfFile, -1, m_strFileName);
        nOffset += static_cast<uint64_t>(n);
        nCount -= static_cast<uint64_t>(n);
    }
}

void CFile::SeekToEnd()
{
    if (::lseek(Fd(m_hFile), 0, SEEK_END) < 0)
        ThrowLastError();
}

uint64_t CFile::GetLength() const
{
    struct stat st;
    if (::fstat(Fd(m_hFile), &st) != 0)
        ThrowLastError();
    return static_cast<uint64_t>(st.st_size);
}

void CFile::SetLength(uint64_t nLength)
{
    if (::ftruncate(Fd(m_hFile), static_cast<off_t>(nLength)) != 0)
        ThrowLastError();
}

void CFile::Flush()
{
    fw::FileStepHook(fw::FileStep::Flush, m_strFileName, 0);
    if (m_hFile != hFileNull && !m_bStream && ::fsync(Fd(m_hFile)) != 0)
        ThrowLastError();
}

void CFile::Close()
{
    if (m_hFile == hFileNull)
        return;
    const int fd = Fd(m_hFile);
    m_hFile = hFileNull;
    if (m_bCloseOnDelete && ::close(fd) != 0 && errno != EINTR)
        ThrowLastError();
    fw::FileStepHook(fw::FileStep::Close, m_strFileName, 0);
}

void CFile::Abort() noexcept
{
    if (m_hFile != hFileNull) {
        if (m_bCloseOnDelete)
            ::close(Fd(m_hFile));
        m_hFile = hFileNull;
    }
}

CFile::LockResult CFile::TryLock()
{
    fw::FileStepHook(fw::FileStep::Lock, m_strFileName, 0);
    // An open file description's lock: it conflicts with every other
    // description's, this process's too, it is not dropped when some other
    // descriptor of the file is closed, and Wine's LockFileEx honours it.
    struct flock fl = {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    for (;;) {
        if (::fcntl(Fd(m_hFile), F_OFD_SETLK, &fl) == 0)
            return lockTaken;
        switch (errno) {
        case EINTR: continue;
        case EAGAIN:
        case EACCES: return lockHeldElsewhere;
        case EINVAL:
        case ENOLCK:
        case ENOSYS:
        case EOPNOTSUPP: return lockUnsupported;
        default: ThrowLastError();
        }
    }
}

BOOL CFile::GetStatus(CFileStatus& rStatus) const
{
    struct stat st;
    if (m_hFile == hFileNull || ::fstat(Fd(m_hFile), &st) != 0)
        return FALSE;
    FillStatus(st, rStatus);
    return TRUE;
}

BOOL CFile::GetStatus(LPCSTR pszFileName, CFileStatus& rStatus, CFileException* pError)
{
    struct stat st;
    if (::stat(pszFileName, &st) != 0) {
        if (pError)
            *pError = CFileException(fw::FileCauseOfOsError(errno), errno, pszFileName);
        return FALSE;
    }
    FillStatus(st, rStatus);
    return TRUE;
}

BOOL CFile::SetPermissionsLike(const CFile& model)
{
    struct stat want, have;
    if (::fstat(Fd(model.m_hFile), &want) != 0)
        model.ThrowLastError();
    if (::fstat(Fd(m_hFile), &have) != 0)
        ThrowLastError();
    BOOL bOwnerKept = TRUE;
    // The owner first: a change of owner clears the set-user-ID bits.
    if (want.st_uid != have.st_uid || want.st_gid != have.st_gid) {
        if (::fchown(Fd(m_hFile), want.st_uid, want.st_gid) != 0) {
            bOwnerKept = FALSE;
            if (::fchown(Fd(m_hFile), static_cast<uid_t>(-1), want.st_gid) != 0 && errno != EPERM)
                ThrowLastError();
        }
    }
    if (::fchmod(Fd(m_hFile), want.st_mode & 07777) != 0)
        ThrowLastError();
    return bOwnerKept;
}

void CFile::SetNewFilePermissions(uint32_t nMode)
{
    if (::fchmod(Fd(m_hFile), static_cast<mode_t>(nMode & 07777) & ~ProcessUmask()) != 0)
        ThrowLastError();
}

void CFile::Rename(LPCSTR pszOldName, LPCSTR pszNewName)
{
    fw::FileStepHook(fw::FileStep::Rename, pszNewName, 0);
    if (::rename(pszOldName, pszNewName) != 0)
        ThrowErrno(errno, pszNewName);
}

void CFile::Remove(LPCSTR pszFileName)
{
    if (::unlink(pszFileName) != 0)
        ThrowErrno(errno, pszFileName);
}

void CFile::RemoveNoThrow(LPCSTR pszFileName) noexcept
{
    ::unlink(pszFileName);
}

void CFile::FlushFolder(LPCSTR pszFolder) noexcept
{
    const int fd = ::open(pszFolder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

CString CFile::ResolveLinks(LPCSTR pszFileName)
{
    struct stat st;
    if (::lstat(pszFileName, &st) != 0 || !S_ISLNK(st.st_mode))
        return CString(pszFileName);
    char* real = ::realpath(pszFileName, nullptr);
    if (real == nullptr)
        ThrowErrno(errno, pszFileName);  // a link that leads nowhere
    CString strReal(real);
    std::free(real);
    return strReal;
}

CString CFile::FolderOf(LPCSTR pszFileName)
{
    const char* slash = std::strrchr(pszFileName, '/');
    if (slash == nullptr)
        return CString(".");
    if (slash == pszFileName)
        return CString("/");
    return CString(pszFileName, static_cast<int>(slash - pszFileName));
}

char CFile::PathSeparator()
{
    return '/';
}

unsigned long CFile::ProcessId()
{
    return static_cast<unsigned long>(::getpid());
}

void CFile::ThrowLastError() const
{
    ThrowErrno(errno, m_strFileName);
}
