// ANSI code page rules where there is no code page: ASCII letters only.
#include "FwCodePage.h"

namespace fw {

void LowerAnsi(char* pch, int nLength)
{
    for (int i = 0; i < nLength; ++i) {
        if (pch[i] >= 'A' && pch[i] <= 'Z')
            pch[i] = static_cast<char>(pch[i] - 'A' + 'a');
    }
}

bool IsAnsiLeadByte(unsigned char)
{
    return false;
}

}  // namespace fw
