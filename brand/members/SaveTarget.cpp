// CBranderDlg's branding of the loaded image and its save over the target.
#include "BranderDlg.h"

#include "DataArea.h"
#include "FwException.h"
#include "Save.h"

#include <string_view>

namespace {

std::string_view Bytes(const CString& s)
{
    return std::string_view(s.GetString(), static_cast<size_t>(s.GetLength()));
}

}  // namespace

BOOL CBranderDlg::ApplyBranding()
{
    const brand::BrandTexts texts{Bytes(m_strCBID), Bytes(m_strMRWLink), Bytes(m_strQLBLink), Bytes(m_strWebName),
                                  Bytes(m_strWebLink)};
    // The dialog's checks keep every text inside its slot; should one not
    // fit, nothing is written.
    if (!brand::FillDataArea(m_pDataArea, texts)) {
        ShowError("Failed to write file %s", m_strTargetPath);
        return FALSE;
    }
    return WriteWholeFile(m_strTargetPath, m_pImage, m_nImageSize);
}

BOOL CBranderDlg::WriteWholeFile(CString strPath, BYTE* pImage, uint32_t nSize)
{
    try {
        brand::WriteWholeImage(strPath, pImage, nSize);
        return TRUE;
    } catch (const CException&) {
        ShowError("Failed to write file %s", strPath);
        return FALSE;
    }
}
