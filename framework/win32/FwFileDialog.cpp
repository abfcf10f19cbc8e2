// CFileDialog over the common dialog library.
#include "FwFileDialog.h"

#include <cstring>

namespace {
// Room for any path the chooser can return, long paths included.
constexpr size_t kFileBuffer = 32768;
}  // namespace

CFileDialog::CFileDialog(BOOL, LPCSTR lpszDefExt, LPCSTR lpszFileName, DWORD dwFlags, LPCSTR lpszFilter,
                         CWnd* pParentWnd)
    : m_ofn(), m_strDefExt(lpszDefExt), m_file(kFileBuffer, '\0'), m_pParentWnd(pParentWnd)
{
    if (lpszFileName != nullptr)
        std::strncpy(m_file.data(), lpszFileName, kFileBuffer - 1);
    if (lpszFilter != nullptr) {
        m_strFilter = lpszFilter;
        char* p = m_strFilter.GetBuffer(m_strFilter.GetLength());
        for (int i = 0; i < m_strFilter.GetLength(); ++i) {
            if (p[i] == '|')
                p[i] = '\0';
        }
    }
    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.Flags = dwFlags | OFN_EXPLORER;
    m_ofn.lpstrFile = m_file.data();
    m_ofn.nMaxFile = static_cast<DWORD>(kFileBuffer);
    m_ofn.lpstrFilter = lpszFilter ? m_strFilter.GetString() : nullptr;
    m_ofn.lpstrDefExt = lpszDefExt ? m_strDefExt.GetString() : nullptr;
}

CString CFileDialog::GetPathName() const
{
    return CString(m_file.data(), static_cast<int>(strnlen(m_file.data(), kFileBuffer)));
}
