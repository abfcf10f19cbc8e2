// CWinApp's life cycle: construction registers the one application object,
// AfxWinMain runs start-up and, when it fails, goes straight to the exit.
#include "FwApp.h"

namespace {
CWinApp* g_pApp = nullptr;
}

CWinApp::CWinApp(LPCSTR pszAppName) : m_pszAppName(pszAppName)
{
    g_pApp = this;
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::Run()
{
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return ExitInstance();
}

int CWinApp::ExitInstance()
{
    // Nothing of the framework's own is stored at exit.
    return 0;
}

void CWinApp::SetRegistryKey(LPCSTR pszRegistryKey)
{
    m_pszRegistryKey = pszRegistryKey;
}

HICON CWinApp::LoadIcon(UINT nIDResource) const
{
    return ::LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(nIDResource));
}

CWinApp* AfxGetApp() noexcept
{
    return g_pApp;
}

HINSTANCE AfxGetInstanceHandle() noexcept
{
    return g_pApp && g_pApp->m_hInstance ? g_pApp->m_hInstance : ::GetModuleHandleA(nullptr);
}

CWnd* AfxGetMainWnd() noexcept
{
    return g_pApp ? g_pApp->m_pMainWnd : nullptr;
}

int AfxWinMain(HINSTANCE hInstance)
{
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr)
        return -1;
    pApp->m_hInstance = hInstance;
    if (!pApp->InitInstance())
        return pApp->ExitInstance();
    return pApp->Run();
}
