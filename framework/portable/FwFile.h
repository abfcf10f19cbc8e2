// CFile: whole-file reading and writing over the platform's file handles.
// Errors throw CFileException carrying a cause and the platform's error code.
#pragma once

#include "FwException.h"
#include "FwString.h"
#include "FwTypes.h"

struct CFileStatus
{
    uint64_t m_size = 0;
    BOOL m_bReadOnly = FALSE;
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
        modeCreate = 0x1000,
        modeCreateNew = 0x4000,  // creates the file, failing if it exists
        typeBinary = 0x8000,
    };

    CFile() noexcept = default;
    CFile(LPCSTR pszFileName, UINT nOpenFlags);  // throws CFileException
    ~CFile();                                   // closes without throwing
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens for reading (the file must exist) or for writing (created, or
    // truncated). A file with the read-only attribute is never opened for
    // writing, whatever the rights of the process. Reading opens refuse
    // anything that is not a regular file.
    BOOL Open(LPCSTR pszFileName, UINT nOpenFlags, CFileException* pError = nullptr);

    // Reads until nCount bytes or the end of the file; returns the bytes read.
    UINT Read(void* pBuf, UINT nCount);
    // Writes all nCount bytes; a short write throws with cause diskFull.
    void Write(const void* pBuf, UINT nCount);
    // Commits written data to the device.
    void Flush();
    void Close();
    // Closes, ignoring errors.
    void Abort() noexcept;

    BOOL GetStatus(CFileStatus& rStatus) const;
    BOOL IsOpen() const noexcept { return m_hFile != hFileNull; }
    // The platform's handle, for calls this class does not wrap.
    intptr_t GetOsHandle() const noexcept { return m_hFile; }
    const CString& GetFilePath() const noexcept { return m_strFileName; }

private:
    static constexpr intptr_t hFileNull = -1;
    [[noreturn]] void ThrowLastError() const;

    intptr_t m_hFile = hFileNull;  // a POSIX descriptor or a Windows HANDLE
    CString m_strFileName;
};
