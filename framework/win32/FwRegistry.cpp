// CWinApp's profile strings over the registry.
#include "FwApp.h"
#include "FwRegistry.h"

#include <cstring>

namespace {

constexpr REGSAM kAccess = KEY_READ | KEY_WRITE;

// Creates or opens hParent\pszName; null on failure.
HKEY CreateChildKey(HKEY hParent, LPCSTR pszName)
{
    HKEY hKey = nullptr;
    DWORD dwDisposition = 0;
    if (::RegCreateKeyExA(hParent, pszName, 0, nullptr, REG_OPTION_NON_VOLATILE, kAccess, nullptr, &hKey,
                          &dwDisposition) != ERROR_SUCCESS)
        return nullptr;
    return hKey;
}

}  // namespace

HKEY CWinApp::GetSectionKey(LPCSTR pszSection) const
{
    if (m_pszRegistryKey == nullptr)
        return nullptr;  // there is no initialisation-file fallback
    CRegKey software;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, "software", 0, kAccess, &software) != ERROR_SUCCESS)
        return nullptr;
    CRegKey company(CreateChildKey(software, m_pszRegistryKey));
    if (company == nullptr)
        return nullptr;
    CRegKey app(CreateChildKey(company, m_pszAppName));
    if (app == nullptr)
        return nullptr;
    return CreateChildKey(app, pszSection);
}

CString CWinApp::GetProfileString(LPCSTR pszSection, LPCSTR pszEntry, LPCSTR pszDefault)
{
    CRegKey section(GetSectionKey(pszSection));
    if (section == nullptr)
        return CString(pszDefault);

    DWORD dwType = 0;
    DWORD dwCount = 0;
    if (::RegQueryValueExA(section, pszEntry, nullptr, &dwType, nullptr, &dwCount) != ERROR_SUCCESS)
        return CString(pszDefault);
    if (dwCount > 0x7ffffff0u)
        return CString(pszDefault);  // larger than any text can hold

    // The type is not examined: any value reads as its bytes up to the first
    // zero, and never past the data the registry delivered.
    CString str;
    char* pBuf = str.GetBuffer(static_cast<int>(dwCount));
    DWORD dwGot = dwCount;
    if (::RegQueryValueExA(section, pszEntry, nullptr, &dwType, reinterpret_cast<BYTE*>(pBuf), &dwGot) !=
        ERROR_SUCCESS) {
        str.ReleaseBuffer(0);
        return CString(pszDefault);
    }
    if (dwGot > dwCount)
        dwGot = dwCount;
    str.ReleaseBuffer(static_cast<int>(strnlen(pBuf, dwGot)));
    return str;
}

BOOL CWinApp::WriteProfileString(LPCSTR pszSection, LPCSTR pszEntry, LPCSTR pszValue)
{
    CRegKey section(GetSectionKey(pszSection));
    if (section == nullptr)
        return FALSE;
    const CString value(pszValue);
    const DWORD cb = static_cast<DWORD>(value.GetLength()) + 1;
    return ::RegSetValueExA(section, pszEntry, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.GetString()), cb) ==
           ERROR_SUCCESS;
}
