// CWinApp's life cycle: construction registers the one application object,
// AfxWinMain runs start-up and, when it fails, goes straight to the exit.
#include "FwApp.h"

namespace {
CWinApp* g_pApp = nullptr;
}

CWnd::~CWnd() = default;

void CWnd::CenterWindow()
{
    RECT rcWnd;
    ::GetWindowRect(m_hWnd, &rcWnd);
    RECT rcArea;
    HWND hOwner = ::GetWindow(m_hWnd, GW_OWNER);
    if (hOwner != nullptr && ::IsWindowVisible(hOwner) && !::IsIconic(hOwner)) {
        ::GetWindowRect(hOwner, &rcArea);
    } else {
        MONITORINFO mi = {};
        mi.cbSize = sizeof mi;
        ::GetMonitorInfoA(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &mi);
        rcArea = mi.rcWork;
    }
    const LONG w = rcWnd.right - rcWnd.left;
    const LONG h = rcWnd.bottom - rcWnd.top;
    LONG x = rcArea.left + (rcArea.right - rcArea.left - w) / 2;
    LONG y = rcArea.top + (rcArea.bottom - rcArea.top - h) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
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
