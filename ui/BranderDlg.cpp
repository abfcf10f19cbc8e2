// CBranderDlg's construction, data exchange and initialisation.
#include "BranderDlg.h"

#include "BranderNames.h"
#include "FwApp.h"
#include "ResellerIdentity.h"

#include <cstdlib>

CBranderDlg::CBranderDlg(CWnd* pParent)
    : CDialog(IDD, pParent), m_pImage(nullptr), m_nImageSize(0), m_pDataArea(nullptr)
{
    m_hIcon = AfxGetApp()->LoadIcon(IDR_MAINFRAME);
}

// The image buffer is deliberately not released: it lives until the process ends.
CBranderDlg::~CBranderDlg() = default;

void CBranderDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_CBID,    m_strCBID);
    DDX_Text(pDX, IDC_QLBLINK, m_strQLBLink);
    DDX_Text(pDX, IDC_MRWLINK, m_strMRWLink);
    DDX_Text(pDX, IDC_WEBLINK, m_strWebLink);
    DDX_Text(pDX, IDC_WEBNAME, m_strWebName);
}

BEGIN_MESSAGE_MAP(CBranderDlg, CDialog)
END_MESSAGE_MAP()

BOOL CBranderDlg::OnInitDialog()
{
    if (!ReadBrandingBlock())
        std::exit(1);

    CDialog::OnInitDialog();

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    CWinApp* pApp = AfxGetApp();
    m_strWebName = pApp->GetProfileString(brander::kSection, brander::kWebName, "");
    m_strWebLink = pApp->GetProfileString(brander::kSection, brander::kWebLink, "");
    m_strCBID    = pApp->GetProfileString(brander::kSection, brander::kCBID, "");
    m_strMRWLink = pApp->GetProfileString(brander::kSection, brander::kMRWLink, "");
    m_strQLBLink = pApp->GetProfileString(brander::kSection, brander::kQLBLink, "");
    UpdateData(FALSE);

    // The chooser comes up before the dialog has ever been visible; without
    // a loaded target the program ends here.
    if (!SelectAndLoadTarget())
        std::exit(1);

    return TRUE;
}
