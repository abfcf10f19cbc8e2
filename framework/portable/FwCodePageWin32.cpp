// Code pages on Windows: the system's own tables.
#include "FwCodePage.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdlib>

namespace fw {

namespace {

std::wstring Utf16(const std::string& utf8)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &w[0], n);
    return w;
}

std::string Utf8(const wchar_t* w, int n)
{
    const int m = WideCharToMultiByte(CP_UTF8, 0, w, n, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(m), '\0');
    if (m > 0)
        WideCharToMultiByte(CP_UTF8, 0, w, n, &s[0], m, nullptr, nullptr);
    return s;
}

// Converts UTF-16 into cp; false when a character took the default.
bool Narrow(const wchar_t* w, int n, unsigned cp, std::string& out)
{
    out.clear();
    if (n == 0)
        return true;
    BOOL usedDefault = FALSE;
    BOOL* pUsed = cp == CP_UTF8 ? nullptr : &usedDefault;
    const DWORD flags = cp == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int m = WideCharToMultiByte(cp, flags, w, n, nullptr, 0, nullptr, pUsed);
    if (m <= 0)
        return false;
    out.resize(static_cast<size_t>(m));
    WideCharToMultiByte(cp, flags, w, n, &out[0], m, nullptr, pUsed);
    return !usedDefault;
}

}  // namespace

void LowerAnsi(char* pch, int nLength)
{
    CharLowerBuffA(pch, static_cast<DWORD>(nLength));
}

bool IsAnsiLeadByte(unsigned char ch)
{
    return IsDBCSLeadByte(ch) != FALSE;
}

std::vector<std::string> CommandLineArguments(int, char**)
{
    std::vector<std::string> args;
    int n = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &n);
    for (int i = 1; argv != nullptr && i < n; ++i)
        args.push_back(Utf8(argv[i], lstrlenW(argv[i])));
    LocalFree(argv);
    return args;
}

void PrintUtf8ToConsole()
{
    static UINT previous = 0;
    if (previous != 0 || GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) != FILE_TYPE_CHAR)
        return;
    previous = GetConsoleOutputCP();
    if (SetConsoleOutputCP(CP_UTF8))
        std::atexit([] { SetConsoleOutputCP(previous); });
}

unsigned DefaultCodePage()
{
    return GetACP();
}

bool IsKnownCodePage(unsigned cp)
{
    return cp != 0 && IsValidCodePage(cp) != FALSE;
}

bool Utf8ToCodePage(const std::string& utf8, unsigned cp, std::string& out, uint32_t& unheld)
{
    if (!IsKnownCodePage(cp) || FirstInvalidUtf8(utf8) != std::string::npos) {
        unheld = 0xFFFD;
        return false;
    }
    const std::wstring w = Utf16(utf8);
    if (Narrow(w.data(), static_cast<int>(w.size()), cp, out))
        return true;
    // Find the first character that has no place in the code page.
    for (size_t i = 0; i < w.size();) {
        const bool pair = w[i] >= 0xD800 && w[i] <= 0xDBFF && i + 1 < w.size();
        const int n = pair ? 2 : 1;
        std::string one;
        if (!Narrow(w.data() + i, n, cp, one)) {
            unheld = pair ? 0x10000 + ((static_cast<uint32_t>(w[i]) - 0xD800) << 10) + (w[i + 1] - 0xDC00u)
                          : static_cast<uint32_t>(w[i]);
            return false;
        }
        i += static_cast<size_t>(n);
    }
    unheld = 0xFFFD;
    return false;
}

std::vector<DecodedRun> DecodeCodePage(const std::string& bytes, unsigned cp)
{
    std::vector<DecodedRun> runs;
    const bool known = IsKnownCodePage(cp);
    for (size_t i = 0; i < bytes.size();) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        size_t n = 1;
        if (cp == CP_UTF8)
            n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        else if (known && IsDBCSLeadByteEx(cp, b))
            n = 2;
        if (i + n > bytes.size())
            n = 1;
        wchar_t w[2];
        const int m =
            known ? MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, bytes.data() + i, static_cast<int>(n), w, 2) : 0;
        // The tables give C1 control characters for the bytes a code page
        // leaves undefined; those are not text.
        const bool defined = m > 0 && !(b >= 0x80 && w[0] >= 0x80 && w[0] <= 0x9F) && w[0] != 0xFFFD;
        if (!defined) {
            DecodedRun bad;
            bad.undefinedByte = b;
            runs.push_back(bad);
            ++i;
            continue;
        }
        if (runs.empty() || runs.back().undefinedByte >= 0)
            runs.emplace_back();
        runs.back().utf8 += Utf8(w, m);
        i += n;
    }
    return runs;
}

}  // namespace fw
