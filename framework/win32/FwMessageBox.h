// AfxMessageBox: a modal message box owned by the main window and captioned
// with the application's name.
#pragma once

#include "FwTypes.h"

int AfxMessageBox(LPCSTR pszText, UINT nType = 0 /* MB_OK */, UINT nIDHelp = 0);
