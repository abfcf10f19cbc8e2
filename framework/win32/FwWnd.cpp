// CWnd's members that are not one-line wrappers.
#include "FwWnd.h"

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
