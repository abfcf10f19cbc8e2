// CDialog: a modal dialog run from a template resource, with data exchange
// (CDataExchange, DDX_Text) and a message map of static thunks; CPaintDC.
#pragma once

#include "FwString.h"
#include "FwWnd.h"

#include <windows.h>

class CDialog;

class CDataExchange
{
public:
    CDataExchange(CDialog* pDlgWnd, BOOL bSaveAndValidate) noexcept
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd)
    {
    }
    BOOL m_bSaveAndValidate;  // TRUE: from the controls into the members
    CDialog* m_pDlgWnd;
};

// Exchanges a control's whole text with a string member.
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);

struct AFX_MSGMAP_ENTRY
{
    UINT nMessage;
    UINT nCode;  // notification code, for WM_COMMAND
    UINT nID;    // control id, for WM_COMMAND
    LRESULT (*pfn)(CDialog* pDlg, WPARAM wParam, LPARAM lParam);
};

#define DECLARE_MESSAGE_MAP()                                                                                          \
protected:                                                                                                             \
    const AFX_MSGMAP_ENTRY* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                                         \
    const AFX_MSGMAP_ENTRY* theClass::GetMessageMap() const                                                            \
    {                                                                                                                  \
        using ThisClass [[maybe_unused]] = theClass;                                                                   \
        static const AFX_MSGMAP_ENTRY entries[] = {

#define ON_WM_PAINT()                                                                                                  \
    {WM_PAINT, 0, 0, [](CDialog* p, WPARAM, LPARAM) -> LRESULT {                                                       \
         static_cast<ThisClass*>(p)->OnPaint();                                                                        \
         return 0;                                                                                                     \
     }},

#define ON_WM_QUERYDRAGICON()                                                                                          \
    {WM_QUERYDRAGICON, 0, 0, [](CDialog* p, WPARAM, LPARAM) -> LRESULT {                                               \
         return reinterpret_cast<LRESULT>(static_cast<ThisClass*>(p)->OnQueryDragIcon());                              \
     }},

#define ON_BN_CLICKED(id, memberFxn)                                                                                   \
    {WM_COMMAND, BN_CLICKED, id, [](CDialog* p, WPARAM, LPARAM) -> LRESULT {                                           \
         static_cast<ThisClass*>(p)->memberFxn();                                                                      \
         return 0;                                                                                                     \
     }},

#define END_MESSAGE_MAP()                                                                                              \
    {                                                                                                                  \
        0, 0, 0, nullptr                                                                                               \
    }                                                                                                                  \
    }                                                                                                                  \
    ;                                                                                                                  \
    return entries;                                                                                                    \
    }

class CDialog : public CWnd
{
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr) noexcept;
    ~CDialog() override;

    // Runs the dialog modally; IDOK, IDCANCEL, or -1 if it could not be created.
    virtual INT_PTR DoModal();
    // Exchanges every bound member with its control; FALSE after the failure
    // has been shown to the user.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    void EndDialog(int nResult) { ::EndDialog(m_hWnd, nResult); }

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual BOOL OnInitDialog();  // copies the members into the controls
    virtual void OnOK();          // takes the members from the controls, ends with IDOK
    virtual void OnCancel();      // ends with IDCANCEL
    virtual const AFX_MSGMAP_ENTRY* GetMessageMap() const;

    // Handlers call these to leave a message to the system's processing.
    void OnPaint() { Default(); }
    void Default() noexcept { m_bDefault = true; }

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleInitDialog();
    bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& lResult);

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    bool m_bDefault = false;
};

// A paint context for the duration of one WM_PAINT.
class CPaintDC
{
public:
    explicit CPaintDC(CWnd* pWnd);
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    ~CPaintDC();
    HDC GetSafeHdc() const noexcept { return m_hDC; }

    HDC m_hDC;
    PAINTSTRUCT m_ps;

private:
    HWND m_hWnd;
};
