// CFile over POSIX descriptors.
#include "FwFile.h"

#include "FwFileHook.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int CauseOfErrno(int err)
{
    switch (err) {
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
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG: return CFileException::diskFull;
    case EIO: return CFileException::hardIO;
    default: return CFileException::genericException;
    }
}

// One read() moves at most about 2 GiB on Linux, so requests are split.
constexpr size_t kMaxChunk = 0x40000000;

}  // namespace

BOOL CFile::Open(LPCSTR pszFileName, UINT nOpenFlags, CFileException* pError)
{
    Abort();
    fw::FileStepHook(fw::FileStep::Open, pszFileName, 0);
    auto fail = [&](int err) {
        if (pError)
            *pError = CFileException(CauseOfErrno(err), err, pszFileName);
        return FALSE;
    };

    const bool bWrite = (nOpenFlags & (modeWrite | modeReadWrite)) != 0;
    int flags = O_CLOEXEC | (nOpenFlags & modeReadWrite ? O_RDWR : bWrite ? O_WRONLY : O_RDONLY);
    if (nOpenFlags & modeCreateNew)
        flags |= O_CREAT | O_EXCL;
    else if (nOpenFlags & modeCreate)
        flags |= O_CREAT | O_TRUNC;

    if (bWrite) {
        // Root may write files without write permission; Windows refuses a
        // read-only file to every user, and so does this class.
        struct stat st;
        if (stat(pszFileName, &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0)
            return fail(EACCES);
    } else {
        // Non-blocking, so that opening a FIFO never waits for a writer.
        flags |= O_NONBLOCK;
    }

    int fd;
    do
        fd = ::open(pszFileName, flags, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return fail(errno);

    struct stat st;
    if (fstat(fd, &st) != 0) {
        int err = errno;
        ::close(fd);
        return fail(err);
    }
    if (!bWrite && !S_ISREG(st.st_mode)) {
        // Directories, FIFOs, sockets and devices are not files to read whole.
        ::close(fd);
        const bool bDir = S_ISDIR(st.st_mode);
        if (pError)
            *pError = CFileException(bDir ? CFileException::accessDenied : CFileException::invalidFile,
                                     bDir ? EISDIR : EINVAL, pszFileName);
        return FALSE;
    }
    if (!bWrite)
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);

    m_hFile = fd;
    m_strFileName = pszFileName;
    return TRUE;
}

UINT CFile::Read(void* pBuf, UINT nCount)
{
    char* p = static_cast<char*>(pBuf);
    size_t done = 0;
    while (done < nCount) {
        size_t want = nCount - done;
        if (want > kMaxChunk)
            want = kMaxChunk;
        want = fw::FileStepHook(fw::FileStep::Read, m_strFileName, static_cast<UINT>(want));
        if (want == 0)
            break;
        ssize_t n = ::read(static_cast<int>(m_hFile), p + done, want);
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

void CFile::Write(const void* pBuf, UINT nCount)
{
    const char* p = static_cast<const char*>(pBuf);
    size_t done = 0;
    while (done < nCount) {
        size_t want = nCount - done;
        if (want > kMaxChunk)
            want = kMaxChunk;
        want = fw::FileStepHook(fw::FileStep::Write, m_strFileName, static_cast<UINT>(want));
        if (want == 0)
            AfxThrowFileException(CFileException::diskFull, ENOSPC, m_strFileName);
        ssize_t n = ::write(static_cast<int>(m_hFile), p + done, want);
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

void CFile::Flush()
{
    fw::FileStepHook(fw::FileStep::Flush, m_strFileName, 0);
    if (m_hFile != hFileNull && ::fsync(static_cast<int>(m_hFile)) != 0)
        ThrowLastError();
}

void CFile::Close()
{
    if (m_hFile == hFileNull)
        return;
    int fd = static_cast<int>(m_hFile);
    m_hFile = hFileNull;
    if (::close(fd) != 0 && errno != EINTR)
        ThrowLastError();
    fw::FileStepHook(fw::FileStep::Close, m_strFileName, 0);
}

void CFile::Abort() noexcept
{
    if (m_hFile != hFileNull) {
        ::close(static_cast<int>(m_hFile));
        m_hFile = hFileNull;
    }
}

BOOL CFile::GetStatus(CFileStatus& rStatus) const
{
    struct stat st;
    if (m_hFile == hFileNull || fstat(static_cast<int>(m_hFile), &st) != 0)
        return FALSE;
    rStatus.m_size = static_cast<uint64_t>(st.st_size);
    rStatus.m_bReadOnly = (st.st_mode & 0222) == 0;
    return TRUE;
}

void CFile::ThrowLastError() const
{
    int err = errno;
    AfxThrowFileException(CauseOfErrno(err), err, m_strFileName);
}
