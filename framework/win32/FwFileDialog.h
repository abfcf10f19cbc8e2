// CFileDialog: the system's Open chooser over GetOpenFileNameA. The program
// chooses files to open only, so the chooser is always in Open mode.
#pragma once

#include "FwString.h"
#include "FwWnd.h"

#include <windows.h>
#include <commdlg.h>

#include <vector>

class CFileDialog
{
public:
    // lpszFilter is "label|pattern|...|", ended by two bars.
    explicit CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt = nullptr, LPCSTR lpszFileName = nullptr,
                         DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCSTR lpszFilter = nullptr,
                         CWnd* pParentWnd = nullptr);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    // IDOK when the user confirmed a file, IDCANCEL otherwise.
    INT_PTR DoModal();
    // The full path of the chosen file.
    CString GetPathName() const;

    // Callers may set lpstrInitialDir and lpstrTitle before DoModal.
    OPENFILENAMEA m_ofn;

private:
    CString m_strDefExt;
    CString m_strFilter;       // the filter with its bars turned into NULs
    std::vector<char> m_file;  // receives the chosen path
    CWnd* m_pParentWnd;
};
