// A branded copy of a file: its bytes with one data area replaced.
#include "Save.h"

#include "BlockLayout.h"

namespace brand {

void CopyBranded(CFile& in, const BlockOnDisk& where, const uint8_t* pArea, CFile& out)
{
    const uint64_t area = where.blockOffset + kDataAreaOffset;
    in.CopyTo(out, 0, area);
    out.Write(pArea, kDataAreaLength);
    in.CopyTo(out, area + kDataAreaLength, where.fileSize - area - kDataAreaLength);
}

}  // namespace brand
