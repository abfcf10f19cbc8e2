// CWinApp: the application object, its registry-backed profile strings, and
// the framework's entry point and exit path.
#pragma once

#include "FwString.h"
#include "FwWnd.h"

#include <windows.h>

class CWinApp
{
public:
    explicit CWinApp(LPCSTR pszAppName);
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    // Per-instance start-up; TRUE runs the message loop, FALSE ends the program.
    virtual BOOL InitInstance();
    virtual int Run();
    virtual int ExitInstance();

    // The settings store: HKEY_CURRENT_USER\software\<key>\<app name>\<section>.
    // The section key is located afresh, and created if missing, on every call.
    CString GetProfileString(LPCSTR pszSection, LPCSTR pszEntry, LPCSTR pszDefault = nullptr);
    BOOL WriteProfileString(LPCSTR pszSection, LPCSTR pszEntry, LPCSTR pszValue);

    // Loads an icon resource of the program at the system's large icon size.
    HICON LoadIcon(UINT nIDResource) const;

    LPCSTR m_pszAppName;
    LPCSTR m_pszRegistryKey = nullptr;
    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;

protected:
    // Switches the settings store to the registry under this company key.
    void SetRegistryKey(LPCSTR pszRegistryKey);
    // The system has drawn dialog controls in 3-D since Windows 4.0, so
    // there is nothing to turn on; FALSE says no library was loaded.
    BOOL Enable3dControls() { return FALSE; }

private:
    HKEY GetSectionKey(LPCSTR pszSection) const;
};

CWinApp* AfxGetApp() noexcept;
HINSTANCE AfxGetInstanceHandle() noexcept;
CWnd* AfxGetMainWnd() noexcept;

// The framework's entry point, called by WinMain.
int AfxWinMain(HINSTANCE hInstance);
