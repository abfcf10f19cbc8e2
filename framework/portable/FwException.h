// The framework's exception family. Thrown by value and caught by reference,
// so an exception object is discarded by leaving the handler.
#pragma once

#include "FwString.h"

class CException
{
public:
    CException() = default;
    CException(const CException&) = default;
    CException& operator=(const CException&) = default;
    virtual ~CException();
};

class CMemoryException : public CException
{
public:
    ~CMemoryException() override;
};

class CFileException : public CException
{
public:
    enum Cause {
        none,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile
    };

    explicit CFileException(int cause = none, long lOsError = -1, LPCSTR pszFileName = nullptr);
    ~CFileException() override;

    // What went wrong, in words: the system's for its error code, or the cause's.
    CString GetErrorMessage() const;

    int m_cause;
    long m_lOsError;  // the platform's error code, -1 when there is none
    CString m_strFileName;
};

[[noreturn]] void AfxThrowMemoryException();
[[noreturn]] void AfxThrowFileException(int cause, long lOsError = -1, LPCSTR pszFileName = nullptr);
