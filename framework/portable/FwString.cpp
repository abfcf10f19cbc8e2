// CString's storage, concatenation, formatting, trimming and slicing.
#include "FwString.h"

#include "FwCodePage.h"
#include "FwException.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int LengthOf(LPCSTR psz)
{
    if (psz == nullptr)
        return 0;
    size_t n = std::strlen(psz);
    if (n > static_cast<size_t>(INT_MAX - 1))
        AfxThrowMemoryException();
    return static_cast<int>(n);
}

int SumOfLengths(int a, int b)
{
    if (b > INT_MAX - 1 - a)
        AfxThrowMemoryException();
    return a + b;
}

}  // namespace

CString::CString() noexcept = default;

CString::CString(const CString& src)
{
    Assign(src.m_pch, src.m_nLength);
}

CString::CString(CString&& src) noexcept : m_pch(src.m_pch), m_nLength(src.m_nLength), m_nCapacity(src.m_nCapacity)
{
    src.m_pch = nullptr;
    src.m_nLength = src.m_nCapacity = 0;
}

CString::CString(LPCSTR psz)
{
    Assign(psz, LengthOf(psz));
}

CString::CString(const char* pch, int nLength)
{
    Assign(pch, nLength < 0 ? 0 : nLength);
}

CString::~CString()
{
    std::free(m_pch);
}

CString& CString::operator=(const CString& src)
{
    if (this != &src)
        Assign(src.m_pch, src.m_nLength);
    return *this;
}

CString& CString::operator=(CString&& src) noexcept
{
    if (this != &src) {
        std::free(m_pch);
        m_pch = src.m_pch;
        m_nLength = src.m_nLength;
        m_nCapacity = src.m_nCapacity;
        src.m_pch = nullptr;
        src.m_nLength = src.m_nCapacity = 0;
    }
    return *this;
}

CString& CString::operator=(LPCSTR psz)
{
    // psz may point into this string's own buffer.
    CString copy(psz);
    *this = static_cast<CString&&>(copy);
    return *this;
}

void CString::Empty() noexcept
{
    std::free(m_pch);
    m_pch = nullptr;
    m_nLength = m_nCapacity = 0;
}

void CString::Reserve(int nCapacity)
{
    if (nCapacity <= m_nCapacity && m_pch != nullptr)
        return;
    void* p = std::realloc(m_pch, static_cast<size_t>(nCapacity) + 1);
    if (p == nullptr)
        AfxThrowMemoryException();
    m_pch = static_cast<char*>(p);
    m_nCapacity = nCapacity;
}

void CString::Assign(const char* pch, int nLength)
{
    if (nLength == 0) {
        m_nLength = 0;
        if (m_pch)
            m_pch[0] = '\0';
        return;
    }
    char* pNew = static_cast<char*>(std::malloc(static_cast<size_t>(nLength) + 1));
    if (pNew == nullptr)
        AfxThrowMemoryException();
    std::memcpy(pNew, pch, static_cast<size_t>(nLength));
    pNew[nLength] = '\0';
    std::free(m_pch);
    m_pch = pNew;
    m_nLength = m_nCapacity = nLength;
}

CString& CString::operator+=(const CString& str)
{
    if (str.m_nLength == 0)
        return *this;
    if (&str == this) {
        CString copy(str);
        return *this += copy;
    }
    int nNew = SumOfLengths(m_nLength, str.m_nLength);
    Reserve(nNew);
    std::memcpy(m_pch + m_nLength, str.m_pch, static_cast<size_t>(str.m_nLength));
    m_nLength = nNew;
    m_pch[m_nLength] = '\0';
    return *this;
}

CString& CString::operator+=(LPCSTR psz)
{
    return *this += CString(psz);
}

CString& CString::operator+=(char ch)
{
    return *this += CString(&ch, 1);
}

CString operator+(const CString& a, const CString& b)
{
    CString s(a);
    s += b;
    return s;
}

CString operator+(const CString& a, LPCSTR b)
{
    return a + CString(b);
}

CString operator+(LPCSTR a, const CString& b)
{
    return CString(a) + b;
}

int CString::Compare(const CString& other) const noexcept
{
    int n = m_nLength < other.m_nLength ? m_nLength : other.m_nLength;
    int c = n ? std::memcmp(m_pch, other.m_pch, static_cast<size_t>(n)) : 0;
    if (c != 0)
        return c;
    return m_nLength == other.m_nLength ? 0 : (m_nLength < other.m_nLength ? -1 : 1);
}

void CString::Format(LPCSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    va_list probe;
    va_copy(probe, args);
    int n = std::vsnprintf(nullptr, 0, pszFormat, probe);
    va_end(probe);
    if (n < 0) {
        va_end(args);
        AfxThrowMemoryException();
    }
    CString result;
    result.Reserve(n);
    std::vsnprintf(result.m_pch, static_cast<size_t>(n) + 1, pszFormat, args);
    va_end(args);
    result.m_nLength = n;
    *this = static_cast<CString&&>(result);
}

CString& CString::MakeLower()
{
    if (m_nLength > 0)
        fw::LowerAnsi(m_pch, m_nLength);
    return *this;
}

CString CString::Left(int nCount) const
{
    if (nCount < 0)
        nCount = 0;
    if (nCount > m_nLength)
        nCount = m_nLength;
    return CString(m_pch ? m_pch : "", nCount);
}

LPSTR CString::GetBuffer(int nMinLength)
{
    if (nMinLength < m_nLength)
        nMinLength = m_nLength;
    Reserve(nMinLength);
    m_pch[m_nLength] = '\0';
    return m_pch;
}

void CString::ReleaseBuffer(int nNewLength)
{
    if (m_pch == nullptr)
        return;
    if (nNewLength < 0)
        nNewLength = static_cast<int>(strnlen(m_pch, static_cast<size_t>(m_nCapacity)));
    if (nNewLength > m_nCapacity)
        nNewLength = m_nCapacity;
    m_nLength = nNewLength;
    m_pch[m_nLength] = '\0';
}
