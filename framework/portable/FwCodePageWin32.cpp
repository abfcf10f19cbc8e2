// ANSI code page rules on Windows: the system's own tables.
#include "FwCodePage.h"

#include <windows.h>

namespace fw {

void LowerAnsi(char* pch, int nLength)
{
    CharLowerBuffA(pch, static_cast<DWORD>(nLength));
}

bool IsAnsiLeadByte(unsigned char ch)
{
    return IsDBCSLeadByte(ch) != FALSE;
}

}  // namespace fw
