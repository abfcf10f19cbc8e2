// The exception family's out-of-line members and throw helpers.
#include "FwException.h"

#include "FwFile.h"

CException::~CException() = default;
CMemoryException::~CMemoryException() = default;

CFileException::CFileException(int cause, long lOsError, LPCSTR pszFileName)
    : m_cause(cause), m_lOsError(lOsError), m_strFileName(pszFileName)
{
}

CFileException::~CFileException() = default;

CString CFileException::GetErrorMessage() const
{
    if (m_lOsError != -1)
        return fw::DescribeOsError(m_lOsError);
    switch (m_cause) {
    case fileNotFound: return "no such file";
    case badPath: return "not a valid path";
    case accessDenied: return "access denied";
    case invalidFile: return "not a regular file";
    case sharingViolation: return "in use by another program";
    case lockViolation: return "locked by another program";
    case diskFull: return "the disk is full";
    case endOfFile: return "ended before its size";
    case hardIO: return "a device error";
    default: return "the file system reported a failure";
    }
}

void AfxThrowMemoryException()
{
    throw CMemoryException();
}

void AfxThrowFileException(int cause, long lOsError, LPCSTR pszFileName)
{
    throw CFileException(cause, lOsError, pszFileName);
}
