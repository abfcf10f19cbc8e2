// CDialog's modal run and dialog procedure, data exchange, and CPaintDC.
#include "FwDialog.h"

#include "FwApp.h"
#include "FwException.h"
#include "FwMessageBox.h"

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) noexcept : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd)
{
}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal()
{
    HWND hParent = m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : nullptr;
    return ::DialogBoxParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), hParent, &CDialog::DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    try {
        DoDataExchange(&dx);
        return TRUE;
    } catch (const CMemoryException&) {
        AfxMessageBox("Out of memory.", MB_ICONSTOP);
    } catch (const CException&) {
        AfxMessageBox("The dialog's data could not be exchanged.", MB_ICONSTOP);
    }
    return FALSE;
}

void CDialog::DoDataExchange(CDataExchange*)
{
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

const AFX_MSGMAP_ENTRY* CDialog::GetMessageMap() const
{
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, nullptr}};
    return entries;
}

INT_PTR CDialog::HandleInitDialog()
{
    RECT rcBefore;
    ::GetWindowRect(m_hWnd, &rcBefore);
    BOOL bResult = OnInitDialog();
    // A dialog that initialisation left where its template put it, and whose
    // template asks for no placement of its own, opens centred.
    RECT rcAfter;
    ::GetWindowRect(m_hWnd, &rcAfter);
    const LONG_PTR style = ::GetWindowLongPtrA(m_hWnd, GWL_STYLE);
    if (::EqualRect(&rcBefore, &rcAfter) && !(style & (DS_CENTER | DS_CENTERMOUSE | DS_ABSALIGN)) &&
        !(style & WS_CHILD))
        CenterWindow();
    return bResult;
}

bool CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case IDOK:
            OnOK();
            lResult = 0;
            return true;
        case IDCANCEL:
            OnCancel();
            lResult = 0;
            return true;
        default: break;
        }
    }
    for (const AFX_MSGMAP_ENTRY* p = GetMessageMap(); p->pfn != nullptr; ++p) {
        if (p->nMessage != message)
            continue;
        if (message == WM_COMMAND && (p->nCode != HIWORD(wParam) || p->nID != LOWORD(wParam)))
            continue;
        m_bDefault = false;
        lResult = p->pfn(this, wParam, lParam);
        return !m_bDefault;
    }
    return false;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        CDialog* pDlg = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
        pDlg->m_hWnd = hWnd;
        return pDlg->HandleInitDialog();
    }
    CDialog* pDlg = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
    if (pDlg == nullptr)
        return FALSE;
    if (message == WM_NCDESTROY) {
        // The framework forgets its main window once the window is gone.
        CWinApp* pApp = AfxGetApp();
        if (pApp && pApp->m_pMainWnd == pDlg)
            pApp->m_pMainWnd = nullptr;
        pDlg->m_hWnd = nullptr;
        return FALSE;
    }
    LRESULT lResult = 0;
    if (!pDlg->Dispatch(message, wParam, lParam, lResult))
        return FALSE;
    if (message == WM_QUERYDRAGICON)
        return static_cast<INT_PTR>(lResult);  // returned directly, not through DWLP_MSGRESULT
    ::SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, lResult);
    return TRUE;
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    HWND hCtl = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC);
    if (hCtl == nullptr)
        throw CException();  // no such control: the template and the code disagree
    if (pDX->m_bSaveAndValidate) {
        int n = ::GetWindowTextLengthA(hCtl);
        CString text;
        char* pBuf = text.GetBuffer(n);
        int got = ::GetWindowTextA(hCtl, pBuf, n + 1);
        text.ReleaseBuffer(got < 0 ? 0 : got);
        value = static_cast<CString&&>(text);
    } else {
        ::SetWindowTextA(hCtl, value);
    }
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd)
{
    m_hDC = ::BeginPaint(m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC()
{
    ::EndPaint(m_hWnd, &m_ps);
}
