// The tests' own file-step hook: arm one fault, run the code, disarm.
#pragma once

#include "FwFileHook.h"

#include <string>

namespace testfaults {

enum class Action {
    Throw,      // the step fails with a CFileException (diskFull for writes)
    EndOfFile,  // a read finds the end of the file early
    Pause,      // the step writes one byte to the pause descriptor and waits to be killed
};

// Where Action::Pause reports that the step has been reached.
void SetPauseDescriptor(int fd);

// Arms a fault for the nth time (from 1) that step runs.
void Arm(fw::FileStep step, Action action, int nth = 1);
void Disarm();
// How often the step ran since the last Arm or Disarm.
int Count(fw::FileStep step);

// Disarms on leaving a scope.
struct Armed
{
    Armed(fw::FileStep step, Action action, int nth = 1) { Arm(step, action, nth); }
    ~Armed() { Disarm(); }
    Armed(const Armed&) = delete;
    Armed& operator=(const Armed&) = delete;
};

}  // namespace testfaults
