// AfxMessageBox lives alone in this file so that a test can put its own in its place.
#include "FwMessageBox.h"

#include "FwApp.h"

int AfxMessageBox(LPCSTR pszText, UINT nType, UINT /*nIDHelp: the program has no help file*/)
{
    CWinApp* pApp = AfxGetApp();
    CWnd* pMainWnd = AfxGetMainWnd();
    HWND hOwner = pMainWnd ? pMainWnd->GetSafeHwnd() : nullptr;
    if (hOwner != nullptr && !::IsWindow(hOwner))
        hOwner = nullptr;
    return ::MessageBoxA(hOwner, pszText, pApp ? pApp->m_pszAppName : nullptr, nType);
}
