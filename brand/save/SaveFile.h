// Saving a whole image over a file, as the brander does: refuse first what an
// in-place write would refuse, then write a temporary file beside the target
// and replace the target with it in one step.
#pragma once

#include "FwTypes.h"

#include <cstdint>

class CFile;

namespace brand {

// Temporary files of a save start with this, in the target's folder.
inline constexpr const char* kTempPrefix = "~velmora-save-";

// What a save writes. Either member throws CFileException on failure.
class SaveContent
{
public:
    virtual ~SaveContent() = default;
    // Writes the whole content into file, new and empty and open for writing.
    // The save flushes and closes it.
    virtual void WriteNew(CFile& file) const = 0;
    // Writes the content over the target itself, in place, durably.
    virtual void WriteOver(LPCSTR pszPath) const = 0;
};

// Saves content over pszPath. Throws CFileException on failure, and then the
// target is exactly as it was and no file of the save's is left behind. Where
// the folder gives no temporary file, or the volume cannot replace one file by
// another, the content is written over the target in place instead.
void SaveFile(LPCSTR pszPath, const SaveContent& content);

// Saves an image held in memory: nSize bytes over pszPath.
void SaveWholeFile(LPCSTR pszPath, const uint8_t* pImage, uint32_t nSize);

// The in-place write: create or truncate, write, close.
void WriteInPlace(LPCSTR pszPath, const uint8_t* pImage, uint32_t nSize);

}  // namespace brand
