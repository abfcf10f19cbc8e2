// The shipped file-step hook: every step goes through as asked. Alone in its
// file so that a test's own definition takes its place at link time.
#include "FwFileHook.h"

namespace fw {

UINT FileStepHook(FileStep, LPCSTR, UINT nCount, uint64_t, const void*)
{
    return nCount;
}

}  // namespace fw
