// velmora-brand's in-place save of a data area. The reading rule looks at the
// template flag first: non-zero reads as the maker's defaults whatever the
// slots hold. So the flag is made non-zero and flushed before the slots
// change, and cleared, and flushed, only once they are on the disk. Writes
// between two flushes may reach the disk in any order and in part; each step
// writes bytes of one kind only, so every subset reads as a whole state.
#include "Save.h"

#include "BlockLayout.h"
#include "DataArea.h"
#include "FileReader.h"
#include "OwnBlock.h"

namespace brand {

AreaWrite WriteDataAreaInPlace(LPCSTR pszPath, const BlockOnDisk& where, const uint8_t* pArea)
{
    CFile file(pszPath, CFile::modeReadWrite | CFile::shareDenyWrite | CFile::typeBinary);
    // Where the file system cannot lock, the brand goes on without the lock.
    if (file.TryLock() == CFile::lockHeldElsewhere)
        return AreaWrite::kBusy;
    FileReader reader(file);
    if (!BlockStillAt(reader, where.fileSize, file.GetLength(), where.blockOffset, OwnBlock()))
        return AreaWrite::kChanged;

    const uint64_t at = where.blockOffset + kDataAreaOffset;
    static_assert(kFlagOffset == 0, "the flag leads the data area");
    uint8_t flag[kFlagLength];
    if (file.ReadAt(at, flag, kFlagLength) != kFlagLength)
        return AreaWrite::kChanged;
    if (TemplateFlag(flag) == 0) {
        // Reads as the defaults from here on: the unbranded template's flag.
        file.WriteAt(at + kFlagOffset, OwnBlock() + kDataAreaOffset + kFlagOffset, kFlagLength);
        file.Flush();
    }
    file.WriteAt(at + kFlagLength, pArea + kFlagLength, kDataAreaLength - kFlagLength);
    file.Flush();
    file.WriteAt(at + kFlagOffset, pArea + kFlagOffset, kFlagLength);
    file.Flush();
    file.Close();
    return AreaWrite::kWritten;
}

}  // namespace brand
