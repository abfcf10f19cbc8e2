// CBranderDlg's branding of the loaded image and its save over the target.
#include "BranderDlg.h"

#include "DataArea.h"
#include "FwException.h"
#include "Save.h"

#include <string>

namespace {

std::string Bytes(const CString& s)
{
    return std::string(s.GetString(), static_cast<size_t>(s.GetLength()));
}

}  // namespace

brand::BrandTexts CBranderDlg::TypedTexts() const
{
    brand::BrandTexts texts;
    texts.webName = Bytes(m_strWebName);
    texts.webLink = Bytes(m_strWebLink);
    texts.cbid = Bytes(m_strCBID);
    texts.mirrowenLink = Bytes(m_strMRWLink);
    texts.quillburnLink = Bytes(m_strQLBLink);
    return texts;
}

BOOL CBranderDlg::ApplyBranding()
{
    const brand::BrandTexts texts = TypedTexts();
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
