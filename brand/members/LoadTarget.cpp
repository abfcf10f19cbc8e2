// CBranderDlg's loading of the target: the chooser, the remembered folder, the
// whole-file read, the block search and the clearing of its data area.
#include "BranderDlg.h"

#include "BlockLayout.h"
#include "BranderNames.h"
#include "Compatibility.h"
#include "DataArea.h"
#include "FwApp.h"
#include "FwCodePage.h"
#include "FwFile.h"
#include "FwFileDialog.h"
#include "FwMessageBox.h"
#include "Locate.h"
#include "OwnBlock.h"
#include "PathFolder.h"

#include <cstdlib>
#include <string_view>

BOOL CBranderDlg::SelectAndLoadTarget()
{
    CFileDialog dlg(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, "Executable Files (*.exe)|*.exe||");
    // Stays alive until the chooser has closed.
    const CString strInitDir = AfxGetApp()->GetProfileString(brand::kSection, brand::kInitDir, "");
    dlg.m_ofn.lpstrInitialDir = strInitDir.IsEmpty() ? nullptr : strInitDir.GetString();
    dlg.m_ofn.lpstrTitle = "Select software to be branded";
    if (dlg.DoModal() != IDOK)
        return FALSE;

    m_strTargetPath = dlg.GetPathName();
    AfxGetApp()->WriteProfileString(brand::kSection, brand::kInitDir, FolderOfPath(m_strTargetPath));

    uint32_t nSize = 0;
    BYTE* pImage = ReadWholeFile(m_strTargetPath, nSize);
    if (pImage == nullptr)
        return FALSE;

    const brand::LocateResult found = brand::LocateBlock(pImage, nSize, brand::OwnBlock());
    if (!found.Located()) {
        AfxMessageBox("The .exe file is not compatible with this brander", MB_ICONSTOP);
        std::free(pImage);
        return FALSE;
    }
    m_nImageSize = nSize;
    m_pImage = pImage;
    m_pDataArea = pImage + found.BlockOffset() + brand::kDataAreaOffset;
    brand::ClearDataArea(m_pDataArea);
    return TRUE;
}

CString CBranderDlg::FolderOfPath(CString strPath)
{
    const size_t at = brand::LastBackslash(
        std::string_view(strPath.GetString(), static_cast<size_t>(strPath.GetLength())), fw::IsAnsiLeadByte);
    if (at == std::string_view::npos)
        return CString();
    CString strFolder = strPath.Left(static_cast<int>(at));
    strFolder.MakeLower();
    return strFolder;
}

BYTE* CBranderDlg::ReadWholeFile(CString strPath, uint32_t& nSize)
{
    BYTE* pBuf = nullptr;
    try {
        CFile file(strPath, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary);
        CFileStatus status;
        if (!file.GetStatus(status))
            AfxThrowFileException(CFileException::genericException);
        // Sizes are 32-bit, and the buffer holds 4 more bytes.
        if (status.m_size > brand::kMaxImageSize)
            AfxThrowFileException(CFileException::badSeek, -1, strPath);
        nSize = static_cast<uint32_t>(status.m_size);
        pBuf = static_cast<BYTE*>(std::calloc(static_cast<size_t>(nSize) + 4, 1));
        if (pBuf == nullptr)
            AfxThrowMemoryException();
        // A file that ends before the size just queried has changed under us;
        // saving the zeros in its place would damage it.
        if (file.Read(pBuf, nSize) != nSize)
            AfxThrowFileException(CFileException::endOfFile, -1, strPath);
        file.Close();
        return pBuf;
    } catch (const CException&) {
        ShowError("Unable to read file: %s", strPath);
        std::free(pBuf);
        return nullptr;
    }
}

void CBranderDlg::ShowError(CString strFormat, CString strArg)
{
    CString strMessage;
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#endif
    strMessage.Format(strFormat, strArg.GetString());
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    AfxMessageBox(strMessage, MB_ICONSTOP);
}
