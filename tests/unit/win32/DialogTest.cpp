// The brander dialog's window in process: its message map answers the drag
// query with the icon it set.
#include "BranderDlg.h"

#include <gtest/gtest.h>

namespace {

// Initialises like the brander's dialog up to its icons, then asks itself
// what the system would ask, and closes.
class CProbeDlg : public CBranderDlg
{
public:
    HICON m_hDragIcon = nullptr;
    HICON m_hBigIcon = nullptr;

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        SetIcon(m_hIcon, TRUE);
        SetIcon(m_hIcon, FALSE);
        m_hDragIcon = reinterpret_cast<HICON>(SendMessage(WM_QUERYDRAGICON));
        m_hBigIcon = reinterpret_cast<HICON>(SendMessage(WM_GETICON, ICON_BIG));
        ::PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return TRUE;
    }
};

TEST(DialogTest, AnswersTheDragIconQueryWithItsOwnIcon)
{
    CProbeDlg dlg;
    ASSERT_NE(dlg.m_hIcon, nullptr) << "icon resource 128 did not load";
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.m_hDragIcon, dlg.m_hIcon);
    EXPECT_EQ(dlg.m_hBigIcon, dlg.m_hIcon);
    EXPECT_EQ(dlg.m_hWnd, nullptr);  // the framework let go of the destroyed window
}

}  // namespace
