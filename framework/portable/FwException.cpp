// The exception family's out-of-line members and throw helpers.
#include "FwException.h"

CException::~CException() = default;
CMemoryException::~CMemoryException() = default;

CFileException::CFileException(int cause, long lOsError, LPCSTR pszFileName)
    : m_cause(cause), m_lOsError(lOsError), m_strFileName(pszFileName)
{
}

CFileException::~CFileException() = default;

void AfxThrowMemoryException()
{
    throw CMemoryException();
}

void AfxThrowFileException(int cause, long lOsError, LPCSTR pszFileName)
{
    throw CFileException(cause, lOsError, pszFileName);
}
