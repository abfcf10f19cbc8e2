// CString: the framework's counted single-byte string. Lengths count bytes; the
// buffer always carries one NUL after the last byte. Allocation failure throws
// CMemoryException.
#pragma once

#include "FwTypes.h"

class CString
{
public:
    CString() noexcept;
    CString(const CString& src);
    CString(CString&& src) noexcept;
    CString(LPCSTR psz);                    // NUL-terminated; null gives the empty text
    CString(const char* pch, int nLength);  // counted; may hold NUL bytes
    ~CString();

    CString& operator=(const CString& src);
    CString& operator=(CString&& src) noexcept;
    CString& operator=(LPCSTR psz);

    int GetLength() const noexcept { return m_nLength; }
    BOOL IsEmpty() const noexcept { return m_nLength == 0; }
    void Empty() noexcept;
    LPCSTR GetString() const noexcept { return m_pch ? m_pch : ""; }
    operator LPCSTR() const noexcept { return GetString(); }

    CString& operator+=(const CString& str);
    CString& operator+=(LPCSTR psz);
    CString& operator+=(char ch);
    friend CString operator+(const CString& a, const CString& b);
    friend CString operator+(const CString& a, LPCSTR b);
    friend CString operator+(LPCSTR a, const CString& b);

    // Byte-for-byte comparison; 0 when equal.
    int Compare(const CString& other) const noexcept;
    friend bool operator==(const CString& a, const CString& b) noexcept { return a.Compare(b) == 0; }
    friend bool operator!=(const CString& a, const CString& b) noexcept { return a.Compare(b) != 0; }
    friend bool operator==(const CString& a, LPCSTR b) { return a == CString(b); }
    friend bool operator!=(const CString& a, LPCSTR b) { return !(a == b); }

    // printf-style formatting into this string.
    void Format(LPCSTR pszFormat, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

    // Lower-cases in the system's ANSI code page (ASCII letters elsewhere).
    CString& MakeLower();

    // The first nCount bytes, or all of them.
    CString Left(int nCount) const;

    // Direct access for APIs that fill a buffer: room for nMinLength bytes and
    // a NUL. ReleaseBuffer(-1) takes the length up to the first NUL.
    LPSTR GetBuffer(int nMinLength);
    void ReleaseBuffer(int nNewLength = -1);

private:
    void Assign(const char* pch, int nLength);
    void Reserve(int nCapacity);

    char* m_pch = nullptr;  // null or m_nCapacity + 1 bytes
    int m_nLength = 0;
    int m_nCapacity = 0;
};
