// CRegKey: an owned registry key handle, closed when it goes out of scope.
#pragma once

#include <windows.h>

class CRegKey
{
public:
    CRegKey() noexcept = default;
    explicit CRegKey(HKEY hKey) noexcept : m_hKey(hKey) {}
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;
    ~CRegKey() { Close(); }

    void Close() noexcept
    {
        if (m_hKey != nullptr) {
            ::RegCloseKey(m_hKey);
            m_hKey = nullptr;
        }
    }
    HKEY* operator&() noexcept { return &m_hKey; }
    operator HKEY() const noexcept { return m_hKey; }

private:
    HKEY m_hKey = nullptr;
};
