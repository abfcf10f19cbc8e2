// The last-backslash search, with a double-byte code page stood in.
#include "PathFolder.h"

#include <gtest/gtest.h>

namespace {

bool NoLeadBytes(unsigned char)
{
    return false;
}

// Lead bytes as in Shift JIS (code page 932), where 0x5C can be a trail byte.
bool ShiftJisLead(unsigned char ch)
{
    return (ch >= 0x81 && ch <= 0x9F) || (ch >= 0xE0 && ch <= 0xFC);
}

TEST(PathFolderTest, FindsTheLastRealBackslash)
{
    struct Case
    {
        const char* name;
        std::string path;
        brand::LeadBytePredicate lead;
        size_t expected;
    };
    const Case cases[] = {
        {"file in a folder", "C:\\Dir\\x.exe", NoLeadBytes, 6},
        {"drive root", "C:\\x.exe", NoLeadBytes, 2},
        {"no backslash", "x.exe", NoLeadBytes, std::string::npos},
        {"empty", "", NoLeadBytes, std::string::npos},
        // "\x95\x5C" is one character whose second byte is 0x5C.
        {"trail byte 0x5C is not a separator", "C:\\dir\\\x95\x5C.exe", ShiftJisLead, 6},
        {"folder ending in such a character", "C:\\\x95\x5C\\a.exe", ShiftJisLead, 5},
        {"single-byte code page sees the byte", "C:\\dir\\\x95\x5C.exe", NoLeadBytes, 8},
        {"lead byte at the very end", "C:\\a\\\x95", ShiftJisLead, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(brand::LastBackslash(c.path, c.lead), c.expected);
    }
}

}  // namespace
