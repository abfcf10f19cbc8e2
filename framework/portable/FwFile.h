// CFile: the program's only file code, over the platform's file handles:
// sequential and positioned reads and writes, size, flush, a whole-file lock,
// exclusive owner-only creation, metadata through the open handle, rename and
// remove. Errors throw CFileException carrying a cause and the platform's
// error code, mapped in one place per platform.
#pragma once

#include "FwException.h"
#include "FwString.h"
#include "FwTypes.h"

// What the system says of a file, read through a handle or by path.
struct CFileStatus
{
    enum Kind {
        kindFile,
        kindFolder,
        kindStream
    };  // stream: a device, FIFO or socket

    uint64_t m_size = 0;
    BOOL m_bReadOnly = FALSE;  // POSIX: no write bit at all; Windows: the read-only attribute
    Kind m_kind = kindFile;
    // Together they tell one file from another, whatever its names.
    uint64_t m_nVolume = 0;
    uint64_t m_nFileId = 0;
    uint32_t m_nLinks = 1;
    int64_t m_nModifiedNs = 0;  // when its bytes last changed, in nanoseconds since 1970
    // POSIX only: permission bits, owner and group.
    uint32_t m_nMode = 0;
    uint32_t m_nOwner = 0;
    uint32_t m_nGroup = 0;

    bool IsSameFile(const CFileStatus& other) const
    {
        return m_nVolume == other.m_nVolume && m_nFileId == other.m_nFileId;
    }
};

class CFile
{
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeCreate = 0x1000,      // created if missing, truncated if it exists...
        modeNoTruncate = 0x2000,  // ...unless this is given too
        modeCreateNew = 0x4000,   // created, failing if it exists; only its owner may use it
        typeBinary = 0x8000,
    };

    // The result of TryLock.
    enum LockResult {
        lockTaken,
        lockHeldElsewhere,
        lockUnsupported
    };

    CFile() noexcept = default;
    CFile(LPCSTR pszFileName, UINT nOpenFlags);  // throws CFileException
    ~CFile();                                    // closes without throwing, unless attached
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens for reading (the file must exist) or for writing. A file with the
    // read-only attribute is never opened for writing, whatever the rights of
    // the process. Opening for reading refuses anything that is not a regular
    // file, and never waits on a FIFO. Opening for writing follows a symlink;
    // a device or FIFO opens as a stream (a FIFO without a reader fails).
    BOOL Open(LPCSTR pszFileName, UINT nOpenFlags, CFileException* pError = nullptr);
    // Standard output, attached: it is not closed with this object.
    void AttachStandardOutput();

    // Moves the file position to the end, for appending.
    void SeekToEnd();
    // Sequential: reads until nCount bytes or the end of the file; returns the
    // bytes read. Writes all nCount bytes; a short write throws diskFull.
    UINT Read(void* pBuf, UINT nCount);
    void Write(const void* pBuf, UINT nCount);
    // Positioned, leaving the file position alone.
    UINT ReadAt(uint64_t nOffset, void* pBuf, UINT nCount);
    void WriteAt(uint64_t nOffset, const void* pBuf, UINT nCount);
    // Copies nCount bytes of this file from nOffset to the current position of
    // pDest, in the kernel where the platform can (a reflink where the file
    // system can). Throws endOfFile when this file ends first.
    void CopyTo(CFile& dest, uint64_t nOffset, uint64_t nCount);

    uint64_t GetLength() const;
    void SetLength(uint64_t nLength);
    // Commits written data to the device.
    void Flush();
    void Close();
    // Closes, ignoring errors.
    void Abort() noexcept;

    // A whole-file write lock, which excludes every other handle's, also of
    // this process; needs write access. Given up when the file is closed.
    LockResult TryLock();

    BOOL GetStatus(CFileStatus& rStatus) const;
    // The status of the file at a path, a symlink followed; FALSE, with the
    // error, when there is none.
    static BOOL GetStatus(LPCSTR pszFileName, CFileStatus& rStatus, CFileException* pError = nullptr);

    // Gives this file the permissions of model: on POSIX its mode, and its
    // owner and group where the process may (FALSE when the owner could not be
    // kept); on Windows its security descriptor.
    BOOL SetPermissionsLike(const CFile& model);
    // Gives a file created owner-only the permissions a new file gets: on
    // POSIX nMode less the process's umask; on Windows those it inherits from
    // its folder.
    void SetNewFilePermissions(uint32_t nMode);

    // Renames durably, replacing a file at pszNewName.
    static void Rename(LPCSTR pszOldName, LPCSTR pszNewName);
    static void Remove(LPCSTR pszFileName);
    static void RemoveNoThrow(LPCSTR pszFileName) noexcept;
    // Makes the entries of a folder (a new name, a rename) durable.
    static void FlushFolder(LPCSTR pszFolder) noexcept;
    // The path a symlink finally names, or the path itself; throws when a
    // link leads nowhere.
    static CString ResolveLinks(LPCSTR pszFileName);
    // The folder part of a path ("." when it has none) and its separator.
    static CString FolderOf(LPCSTR pszFileName);
    static char PathSeparator();
    static unsigned long ProcessId();

    BOOL IsOpen() const noexcept { return m_hFile != hFileNull; }
    // The platform's handle, for calls this class does not wrap: sending a
    // file to a socket.
    intptr_t GetOsHandle() const noexcept { return m_hFile; }
    // The name that errors of this file carry from now on.
    void SetFilePath(LPCSTR pszName) { m_strFileName = pszName; }

private:
    static constexpr intptr_t hFileNull = -1;
    static constexpr uint64_t kAtPosition = ~0ull;
    // Every read and write, at nOffset or, for kAtPosition, at the file position.
    UINT ReadLoop(uint64_t nOffset, void* pBuf, UINT nCount);
    void WriteLoop(uint64_t nOffset, const void* pBuf, UINT nCount);
    [[noreturn]] void ThrowLastError() const;

    intptr_t m_hFile = hFileNull;  // a POSIX descriptor or a Windows HANDLE
    bool m_bCloseOnDelete = true;
    bool m_bStream = false;
    CString m_strFileName;
};

namespace fw {

// The cause of a platform error code (errno or GetLastError()).
int FileCauseOfOsError(long lOsError);
// The system's words for a platform error code.
CString DescribeOsError(long lOsError);
// The code page that file names are given in: the ANSI code page unless a
// program sets CP_UTF8 (65001). Names are bytes on POSIX, where this does nothing.
void SetFileNameCodePage(unsigned cp);

}  // namespace fw
