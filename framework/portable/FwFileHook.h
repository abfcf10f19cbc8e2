// A hook before each step of a file operation. The program's own definition
// (FwFileHook.cpp) lets every step through unchanged; a test program links a
// definition of its own in its place to make steps fail or fall short.
#pragma once

#include "FwTypes.h"

namespace fw {

enum class FileStep { Open, Read, Write, Flush, Close, CreateTemp, Replace, Replaced };

// Returns how many of nCount bytes a Read or Write step may move (0 for a
// read: the end of the file), or throws CFileException to fail the step.
UINT FileStepHook(FileStep step, LPCSTR pszPath, UINT nCount);

}  // namespace fw
