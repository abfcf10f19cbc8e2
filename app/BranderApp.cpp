// The one application object and the brander's start-up.
#include "BranderApp.h"

#include "BranderDlg.h"
#include "BranderNames.h"
#include "ResellerIdentity.h"

// Constructed in this order, before any other static object of the brander,
// and destroyed in the reverse order at exit.
CBranderApp theApp;
CResellerIdentity theResellerIdentity;

CBranderApp::CBranderApp() : CWinApp(brand::kAppName)
{
}

BOOL CBranderApp::InitInstance()
{
    Enable3dControls();
    SetRegistryKey(brand::kRegistryKey);

    CBranderDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();

    // The dialog has done all the work: no message loop follows.
    return FALSE;
}
