// Saving a whole image over a file, as the brander does: refuse first what an
// in-place write would refuse, then write a temporary file beside the target
// and replace the target with it in one step.
#pragma once

#include "FwTypes.h"

#include <cstdint>

namespace brand {

// Temporary files of a save start with this, in the target's folder.
inline constexpr const char* kTempPrefix = "~velmora-save-";

// Writes nSize bytes over pszPath. Throws CFileException on failure, and then
// the target is exactly as it was and no file of the save's is left behind.
// Where the folder gives no temporary file, or the volume cannot replace one
// file by another, the image is written in place instead.
void SaveWholeFile(LPCSTR pszPath, const uint8_t* pImage, uint32_t nSize);

// The in-place write: create or truncate, write, close.
void WriteInPlace(LPCSTR pszPath, const uint8_t* pImage, uint32_t nSize);

}  // namespace brand
