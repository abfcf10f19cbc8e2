// The tests' file chooser: it records how it was prepared and answers as the
// test says, without a window.
#pragma once

#include <string>
#include <vector>

namespace testchooser {

struct Seen
{
    std::string title;
    std::string filter;      // its NULs turned back into bars
    std::string initialDir;  // empty when none was given
    unsigned long flags = 0;
    bool hasDefExt = false;
    bool hasOwner = false;
};

// What the next DoModal answers: the path the user confirmed, or a cancel.
void WillChoose(const std::string& path);
void WillCancel();
std::vector<Seen>& Calls();

}  // namespace testchooser
