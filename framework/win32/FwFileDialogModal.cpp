// CFileDialog::DoModal, alone in its file so that a test links a chooser of
// its own in its place, as it does for the message box.
#include "FwFileDialog.h"

INT_PTR CFileDialog::DoModal()
{
    m_ofn.hwndOwner = m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : nullptr;
    m_ofn.hInstance = nullptr;
    return ::GetOpenFileNameA(&m_ofn) ? IDOK : IDCANCEL;
}
