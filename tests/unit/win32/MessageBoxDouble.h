// The tests' AfxMessageBox: it records each call and answers OK at once.
#pragma once

#include <string>
#include <vector>

namespace testmsgbox {

struct Call
{
    std::string text;
    unsigned type;
    unsigned helpId;
};

std::vector<Call>& Calls();

}  // namespace testmsgbox
