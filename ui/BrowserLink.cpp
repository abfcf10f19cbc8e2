// The "Click here" button: the maker's affiliate page in the default browser.
#include "BranderDlg.h"

#include "FwMessageBox.h"
#include "Identity.h"

#include <shellapi.h>

void CBranderDlg::OnClickHere()
{
    CString strUrl(brand::kAffiliatePage);
    OpenUrl(strUrl, TRUE);
}

BOOL CBranderDlg::OpenUrl(CString url, int reportFailure)
{
    HINSTANCE hResult = ::ShellExecuteA(nullptr, "open", url, nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(hResult) > 32)
        return TRUE;
    if (reportFailure) {
        CString strMessage;
        strMessage.Format(
            "Unable to activate your Internet browser\n\nPlease activate your browser and enter the "
            "address:\n\n%s",
            url.GetString());
        AfxMessageBox(strMessage, MB_OK | MB_ICONSTOP, 0);
    }
    return FALSE;
}
