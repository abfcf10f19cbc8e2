// Code pages where the system has none: ASCII letters for lower-casing, and
// the C library's iconv for conversions to and from Windows code pages.
#include "FwCodePage.h"

#include <cerrno>
#include <iconv.h>

namespace fw {

namespace {

// An iconv descriptor, closed on leaving.
class CIconv
{
public:
    CIconv(const std::string& to, const std::string& from) : m_cd(iconv_open(to.c_str(), from.c_str())) {}
    ~CIconv()
    {
        if (IsOpen())
            iconv_close(m_cd);
    }
    CIconv(const CIconv&) = delete;
    CIconv& operator=(const CIconv&) = delete;
    bool IsOpen() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    // Converts as much of in as it can into out; returns the error that
    // stopped it (0 when all of in was converted) and advances in.
    int Convert(const char*& in, size_t& inLeft, std::string& out)
    {
        char buf[256];
        while (inLeft > 0) {
            char* dst = buf;
            size_t dstLeft = sizeof buf;
            char* src = const_cast<char*>(in);
            const size_t r = iconv(m_cd, &src, &inLeft, &dst, &dstLeft);
            const int err = r == static_cast<size_t>(-1) ? errno : 0;
            out.append(buf, static_cast<size_t>(dst - buf));
            in = src;
            if (err != 0 && err != E2BIG)
                return err;
        }
        return 0;
    }

private:
    iconv_t m_cd;
};

std::string IconvName(unsigned cp)
{
    return cp == 65001 ? "UTF-8" : "CP" + std::to_string(cp);
}

// The code point of the UTF-8 character at p (valid UTF-8).
uint32_t CodePointAt(const unsigned char* p)
{
    if (p[0] < 0x80)
        return p[0];
    const size_t len = (p[0] & 0xE0) == 0xC0 ? 2 : (p[0] & 0xF0) == 0xE0 ? 3 : 4;
    uint32_t cp = p[0] & (0x7Fu >> len);
    for (size_t k = 1; k < len; ++k)
        cp = cp << 6 | (p[k] & 0x3Fu);
    return cp;
}

}  // namespace

void LowerAnsi(char* pch, int nLength)
{
    for (int i = 0; i < nLength; ++i) {
        if (pch[i] >= 'A' && pch[i] <= 'Z')
            pch[i] = static_cast<char>(pch[i] - 'A' + 'a');
    }
}

bool IsAnsiLeadByte(unsigned char)
{
    return false;
}

std::vector<std::string> CommandLineArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void PrintUtf8ToConsole()
{
}

unsigned DefaultCodePage()
{
    return 1252;
}

bool IsKnownCodePage(unsigned cp)
{
    return CIconv(IconvName(cp), "UTF-8").IsOpen();
}

bool Utf8ToCodePage(const std::string& utf8, unsigned cp, std::string& out, uint32_t& unheld)
{
    out.clear();
    CIconv cd(IconvName(cp), "UTF-8");
    if (!cd.IsOpen() || FirstInvalidUtf8(utf8) != std::string::npos) {
        unheld = 0xFFFD;
        return false;
    }
    const char* in = utf8.data();
    size_t left = utf8.size();
    if (cd.Convert(in, left, out) == 0)
        return true;
    unheld = CodePointAt(reinterpret_cast<const unsigned char*>(in));
    return false;
}

std::vector<DecodedRun> DecodeCodePage(const std::string& bytes, unsigned cp)
{
    std::vector<DecodedRun> runs;
    CIconv cd("UTF-8", IconvName(cp));
    const char* in = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        DecodedRun text;
        const int err = cd.IsOpen() ? cd.Convert(in, left, text.utf8) : EILSEQ;
        if (!text.utf8.empty())
            runs.push_back(std::move(text));
        if (err != 0 && left > 0) {
            // An undefined byte, or a lead byte without its second byte.
            DecodedRun bad;
            bad.undefinedByte = static_cast<unsigned char>(*in);
            runs.push_back(bad);
            ++in;
            --left;
        }
    }
    return runs;
}

}  // namespace fw
