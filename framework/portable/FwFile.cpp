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
