// Replaces the framework's file-step hook in test programs at link time.
#include "FileHookDouble.h"

#include "FwException.h"

#include <condition_variable>
#include <map>
#include <mutex>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

struct Plan
{
    std::mutex mutex;
    std::condition_variable changed;
    bool armed = false;
    fw::FileStep step = fw::FileStep::Open;
    testfaults::Action action = testfaults::Action::Throw;
    int nth = 1;
    std::map<fw::FileStep, int> counts;
    int pauseFd = -1;
    bool held = false, released = false;
    bool recording = false;
    std::vector<testfaults::Recorded> recorded;
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
    std::lock_guard<std::mutex> lock(p.mutex);
    p.counts.clear();
    p.armed = true;
    p.step = step;
    p.action = action;
    p.nth = nth;
    p.held = p.released = false;
}

void Disarm()
{
    Plan& p = plan();
    std::lock_guard<std::mutex> lock(p.mutex);
    p.armed = false;
    p.counts.clear();
}

void SetPauseDescriptor(int fd)
{
    plan().pauseFd = fd;
}

int Count(fw::FileStep step)
{
    Plan& p = plan();
    std::lock_guard<std::mutex> lock(p.mutex);
    auto it = p.counts.find(step);
    return it == p.counts.end() ? 0 : it->second;
}

void WaitUntilHeld()
{
    Plan& p = plan();
    std::unique_lock<std::mutex> lock(p.mutex);
    p.changed.wait(lock, [&] { return p.held; });
}

void Release()
{
    Plan& p = plan();
    std::lock_guard<std::mutex> lock(p.mutex);
    p.released = true;
    p.changed.notify_all();
}

void StartRecording()
{
    Plan& p = plan();
    std::lock_guard<std::mutex> lock(p.mutex);
    p.recorded.clear();
    p.recording = true;
}

std::vector<Recorded> StopRecording()
{
    Plan& p = plan();
    std::lock_guard<std::mutex> lock(p.mutex);
    p.recording = false;
    return std::move(p.recorded);
}

}  // namespace testfaults

namespace fw {

UINT FileStepHook(FileStep step, LPCSTR pszPath, UINT nCount, uint64_t nOffset, const void* pData)
{
    Plan& p = plan();
    std::unique_lock<std::mutex> lock(p.mutex);
    if (p.recording && (step == FileStep::Flush || (step == FileStep::Write && pData != nullptr))) {
        const uint8_t* b = static_cast<const uint8_t*>(pData);
        p.recorded.push_back(
            {step, nOffset, step == FileStep::Write ? std::vector<uint8_t>(b, b + nCount) : std::vector<uint8_t>()});
    }
    const int n = ++p.counts[step];
    if (!p.armed || step != p.step || n != p.nth)
        return nCount;
    switch (p.action) {
    case testfaults::Action::EndOfFile: return 0;
    case testfaults::Action::Hold:
        p.held = true;
        p.changed.notify_all();
        p.changed.wait(lock, [&] { return p.released; });
        return nCount;
    case testfaults::Action::Pause:
#ifndef _WIN32
    {
        const char ready = 1;
        if (::write(p.pauseFd, &ready, 1) == 1)
            for (;;)
                ::pause();
    }
#endif
        return nCount;
    case testfaults::Action::Throw: break;
    }
    lock.unlock();
    AfxThrowFileException(step == FileStep::Write ? CFileException::diskFull : CFileException::hardIO, -1, pszPath);
}

}  // namespace fw
