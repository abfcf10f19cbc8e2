// Replaces the framework's file-step hook in test programs at link time.
#include "FileHookDouble.h"

#include "FwException.h"

#include <map>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

struct Plan
{
    bool armed = false;
    fw::FileStep step = fw::FileStep::Open;
    testfaults::Action action = testfaults::Action::Throw;
    int nth = 1;
    std::map<fw::FileStep, int> counts;
    int pauseFd = -1;
};

Plan& plan()
{
    static Plan p;
    return p;
}

}  // namespace

namespace testfaults {

void Arm(fw::FileStep step, Action action, int nth)
{
    Plan& p = plan();
    p.counts.clear();
    p.armed = true;
    p.step = step;
    p.action = action;
    p.nth = nth;
}

void Disarm()
{
    plan().armed = false;
    plan().counts.clear();
}

void SetPauseDescriptor(int fd)
{
    plan().pauseFd = fd;
}

int Count(fw::FileStep step)
{
    auto it = plan().counts.find(step);
    return it == plan().counts.end() ? 0 : it->second;
}

}  // namespace testfaults

namespace fw {

UINT FileStepHook(FileStep step, LPCSTR pszPath, UINT nCount)
{
    Plan& p = plan();
    const int n = ++p.counts[step];
    if (!p.armed || step != p.step || n != p.nth)
        return nCount;
    if (p.action == testfaults::Action::EndOfFile)
        return 0;
    if (p.action == testfaults::Action::Pause) {
#ifndef _WIN32
        const char ready = 1;
        if (::write(p.pauseFd, &ready, 1) == 1)
            for (;;)
                ::pause();
#endif
        return nCount;
    }
    AfxThrowFileException(step == FileStep::Write ? CFileException::diskFull : CFileException::hardIO, -1, pszPath);
}

}  // namespace fw
