// CBranderDlg: construction, data exchange, initialisation, "Update ", and
// painting while minimised.
#include "BranderDlg.h"

#include "BranderNames.h"
#include "FwApp.h"
#include "FwMessageBox.h"
#include "ResellerIdentity.h"
#include "TextRules.h"

#include <cstdlib>
#include <string>

namespace {

CString ToCString(const std::string& s)
{
    return CString(s.data(), static_cast<int>(s.size()));
}

}  // namespace

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
    DDX_Text(pDX, IDC_CBID, m_strCBID);
    DDX_Text(pDX, IDC_QLBLINK, m_strQLBLink);
    DDX_Text(pDX, IDC_MRWLINK, m_strMRWLink);
    DDX_Text(pDX, IDC_WEBLINK, m_strWebLink);
    DDX_Text(pDX, IDC_WEBNAME, m_strWebName);
}

BEGIN_MESSAGE_MAP(CBranderDlg, CDialog)
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(IDC_CLICKHERE, OnClickHere)
END_MESSAGE_MAP()

BOOL CBranderDlg::OnInitDialog()
{
    if (!ReadBrandingBlock())
        std::exit(1);

    CDialog::OnInitDialog();

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    CWinApp* pApp = AfxGetApp();
    m_strWebName = pApp->GetProfileString(brand::kSection, brand::kWebName, "");
    m_strWebLink = pApp->GetProfileString(brand::kSection, brand::kWebLink, "");
    m_strCBID = pApp->GetProfileString(brand::kSection, brand::kCBID, "");
    m_strMRWLink = pApp->GetProfileString(brand::kSection, brand::kMRWLink, "");
    m_strQLBLink = pApp->GetProfileString(brand::kSection, brand::kQLBLink, "");
    UpdateData(FALSE);

    // The chooser comes up before the dialog has ever been visible; without
    // a loaded target the program ends here.
    if (!SelectAndLoadTarget())
        std::exit(1);

    return TRUE;
}

void CBranderDlg::OnOK()
{
    if (!UpdateData(TRUE))
        return;

    // Checked and normalised copies; the controls keep what the user typed.
    const brand::TextCheck check = brand::CheckAndNormalise(TypedTexts());
    if (!check.ok) {
        AfxMessageBox(check.message, MB_ICONSTOP);
        return;
    }
    m_strWebName = ToCString(check.texts.webName);
    m_strWebLink = ToCString(check.texts.webLink);
    m_strCBID = ToCString(check.texts.cbid);
    m_strMRWLink = ToCString(check.texts.mirrowenLink);
    m_strQLBLink = ToCString(check.texts.quillburnLink);

    if (ApplyBranding())
        AfxMessageBox("Software branding complete", MB_ICONINFORMATION);

    // Closing takes the texts from the controls again: what is stored is what
    // the user typed, whether or not the save succeeded.
    CDialog::OnOK();
    CWinApp* pApp = AfxGetApp();
    pApp->WriteProfileString(brand::kSection, brand::kWebName, m_strWebName);
    pApp->WriteProfileString(brand::kSection, brand::kWebLink, m_strWebLink);
    pApp->WriteProfileString(brand::kSection, brand::kCBID, m_strCBID);
    pApp->WriteProfileString(brand::kSection, brand::kMRWLink, m_strMRWLink);
    pApp->WriteProfileString(brand::kSection, brand::kQLBLink, m_strQLBLink);
}

void CBranderDlg::OnPaint()
{
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int cxIcon = GetSystemMetrics(SM_CXICON);
    const int cyIcon = GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    const int x = (rect.right - rect.left - cxIcon + 1) / 2;
    const int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    DrawIcon(dc.GetSafeHdc(), x, y, m_hIcon);
}

HCURSOR CBranderDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}
