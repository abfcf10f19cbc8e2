// The tests' own file-step hook: arm one fault, run the code, disarm; or
// record what is written where.
#pragma once

#include "FwFileHook.h"

#include <cstdint>
#include <string>
#include <vector>

namespace testfaults {

enum class Action {
    Throw,      // the step fails with a CFileException (diskFull for writes)
    EndOfFile,  // a read finds the end of the file early
    Pause,      // the step writes one byte to the pause descriptor and waits to be killed
    Hold,       // the step waits until Release(), in whatever thread it runs
};

// Where Action::Pause reports that the step has been reached.
void SetPauseDescriptor(int fd);

// Arms a fault for the nth time (from 1) that step runs.
void Arm(fw::FileStep step, Action action, int nth = 1);
void Disarm();
// How often the step ran since the last Arm or Disarm.
int Count(fw::FileStep step);

// For Action::Hold: waits until a step is held, then lets it go on.
void WaitUntilHeld();
void Release();

// Disarms on leaving a scope.
struct Armed
{
    Armed(fw::FileStep step, Action action, int nth = 1) { Arm(step, action, nth); }
    ~Armed() { Disarm(); }
    Armed(const Armed&) = delete;
    Armed& operator=(const Armed&) = delete;
};

// A positioned write or a flush, as the code under test asked for it.
struct Recorded
{
    fw::FileStep step;  // Write or Flush
    uint64_t offset;
    std::vector<uint8_t> bytes;
};
void StartRecording();
std::vector<Recorded> StopRecording();

}  // namespace testfaults
