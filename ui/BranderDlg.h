// CBranderDlg: the brander's one dialog. It holds the loaded target and the
// five texts the user brands it with.
#pragma once

#include "FwDialog.h"
#include "Texts.h"
#include "resource.h"

#include <cstdint>

class CBranderDlg : public CDialog
{
public:
    explicit CBranderDlg(CWnd* pParent = nullptr);
    ~CBranderDlg() override;

    enum {
        IDD = IDD_BRANDER_DIALOG
    };

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnClickHere();
    BOOL OpenUrl(CString url, int reportFailure);

    DECLARE_MESSAGE_MAP()

public:
    // The engine's operations: they use nothing of the dialog but the loaded
    // target and the five texts.
    BOOL SelectAndLoadTarget();
    CString FolderOfPath(CString strPath);
    BYTE* ReadWholeFile(CString strPath, uint32_t& nSize);
    void ShowError(CString strFormat, CString strArg);
    BOOL ApplyBranding();
    BOOL WriteWholeFile(CString strPath, BYTE* pImage, uint32_t nSize);
    // The five texts as they stand in the members, as bytes.
    brand::BrandTexts TypedTexts() const;

    // The loaded target.
    CString m_strTargetPath;
    BYTE* m_pImage;         // the whole file and 4 zero bytes; owned, kept until exit
    uint32_t m_nImageSize;  // bytes of the file in m_pImage
    BYTE* m_pDataArea;      // the located block's data area, inside m_pImage

    // The five texts, bound to their edit boxes.
    CString m_strCBID;
    CString m_strQLBLink;
    CString m_strMRWLink;
    CString m_strWebLink;
    CString m_strWebName;

    HICON m_hIcon;
};
