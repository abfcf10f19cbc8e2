// CBranderApp: the application object. Start-up runs the brander dialog
// modally and then lets the program end.
#pragma once

#include "FwApp.h"

class CBranderApp : public CWinApp
{
public:
    CBranderApp();

    BOOL InitInstance() override;
};
