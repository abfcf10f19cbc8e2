// A hook before each step of a file operation. The program's own definition
// (FwFileHook.cpp) lets every step through unchanged; a test program links a
// definition of its own in its place to make steps fail, fall short, wait, or
// to record what is written where.
#pragma once

#include "FwTypes.h"

namespace fw {

enum class FileStep {
    Open,
    Read,
    Write,
    Flush,
    Close,
    Lock,
    Rename
};

// Where a step happens in its file: the offset of a positioned read or write.
inline constexpr uint64_t kNoOffset = ~0ull;

// Returns how many of nCount bytes a Read or Write step may move (0 for a
// read: the end of the file), or throws CFileException to fail the step.
// pData is what a Write step is about to write.
UINT FileStepHook(FileStep step, LPCSTR pszPath, UINT nCount, uint64_t nOffset = kNoOffset,
                  const void* pData = nullptr);

}  // namespace fw
