// CFile's members that are the same on every platform.
#include "FwFile.h"

CFile::CFile(LPCSTR pszFileName, UINT nOpenFlags)
{
    CFileException e;
    if (!Open(pszFileName, nOpenFlags, &e))
        throw e;
}

CFile::~CFile()
{
    Abort();
}

UINT CFile::Read(void* pBuf, UINT nCount)
{
    return ReadLoop(kAtPosition, pBuf, nCount);
}

UINT CFile::ReadAt(uint64_t nOffset, void* pBuf, UINT nCount)
{
    return ReadLoop(nOffset, pBuf, nCount);
}

void CFile::Write(const void* pBuf, UINT nCount)
{
    WriteLoop(kAtPosition, pBuf, nCount);
}

void CFile::WriteAt(uint64_t nOffset, const void* pBuf, UINT nCount)
{
    WriteLoop(nOffset, pBuf, nCount);
}
