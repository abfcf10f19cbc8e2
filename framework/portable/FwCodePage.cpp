// What the code-page functions share on every platform: UTF-8 itself.
#include "FwCodePage.h"

#include <cstdio>

namespace fw {

size_t FirstInvalidUtf8(const std::string& s)
{
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const size_t n = s.size();
    for (size_t i = 0; i < n;) {
        const unsigned c = p[i];
        size_t len;
        uint32_t min;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            len = 2, min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3, min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4, min = 0x10000;
        } else {
            return i;
        }
        if (i + len > n)
            return i;
        uint32_t cp = c & (0x7Fu >> len);
        for (size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return i;
            cp = cp << 6 | (p[i + k] & 0x3Fu);
        }
        // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
        if (cp < min || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
            return i;
        i += len;
    }
    return std::string::npos;
}

std::string DescribeCodePoint(uint32_t cp)
{
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(cp));
    std::string s = name;
    if (cp >= 0x20 && cp != 0x7F && !(cp >= 0x80 && cp < 0xA0) && cp <= 0x10FFFF) {
        std::string ch;
        if (cp < 0x80) {
            ch += static_cast<char>(cp);
        } else if (cp < 0x800) {
            ch += static_cast<char>(0xC0 | cp >> 6);
            ch += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            ch += static_cast<char>(0xE0 | cp >> 12);
            ch += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            ch += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            ch += static_cast<char>(0xF0 | cp >> 18);
            ch += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
            ch += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            ch += static_cast<char>(0x80 | (cp & 0x3F));
        }
        s += " '" + ch + "'";
    }
    return s;
}

}  // namespace fw
