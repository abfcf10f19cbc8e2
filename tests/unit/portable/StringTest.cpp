// CString: counting, formatting, lower-casing and slicing.
#include "FwString.h"

#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::string Bytes(const CString& s)
{
    return std::string(s.GetString(), static_cast<size_t>(s.GetLength()));
}

TEST(StringTest, CountsBytesIncludingNulAndHighBytes)
{
    CString s("a\0b\xe9", 4);
    EXPECT_EQ(s.GetLength(), 4);
    EXPECT_EQ(Bytes(s), std::string("a\0b\xe9", 4));
    EXPECT_NE(s, CString("a"));  // the NUL is part of the text, not its end
    CString copy(s);
    EXPECT_EQ(copy, s);
    CString moved(static_cast<CString&&>(copy));
    EXPECT_EQ(moved, s);
    EXPECT_TRUE(copy.IsEmpty());
    EXPECT_TRUE(CString(nullptr).IsEmpty());
    EXPECT_STREQ(CString().GetString(), "");
}

TEST(StringTest, FormatPutsTheArgumentInPlaceOfPercentS)
{
    CString s;
    s.Format("Unable to read file: %s", "C:\\dir%d\\a b.exe");
    EXPECT_EQ(Bytes(s), "Unable to read file: C:\\dir%d\\a b.exe");
    s.Format("%s", "");
    EXPECT_TRUE(s.IsEmpty());
    const std::string big(5000, 'x');
    s.Format("<%s>", big.c_str());
    EXPECT_EQ(Bytes(s), "<" + big + ">");
}

TEST(StringTest, MakeLowerLowersAsciiAndKeepsTheRest)
{
    CString s("C:\\Program Files\\ACME 2\\[X]");
    s.MakeLower();
    EXPECT_EQ(Bytes(s), "c:\\program files\\acme 2\\[x]");
#ifdef _WIN32
    if (GetACP() == 1252) {
        CString accented("\xc9T\xc9");  // capital E acute in code page 1252
        accented.MakeLower();
        EXPECT_EQ(Bytes(accented), "\xe9t\xe9");
    }
#else
    CString high("\xc9T");
    high.MakeLower();
    EXPECT_EQ(Bytes(high), "\xc9t");
#endif
}

TEST(StringTest, SlicesStayInBounds)
{
    const CString s("www.example");
    EXPECT_EQ(Bytes(s.Left(4)), "www.");
    EXPECT_EQ(Bytes(s.Left(99)), "www.example");
    EXPECT_EQ(Bytes(s.Left(-3)), "");
}

TEST(StringTest, ConcatenationAndBufferAccess)
{
    CString s("ab");
    s += s;
    s += 'c';
    s += "d";
    EXPECT_EQ(Bytes(s), "ababcd");
    EXPECT_EQ(Bytes("http://" + CString("www.x")), "http://www.x");

    CString buf;
    char* p = buf.GetBuffer(8);
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<char>('0' + i);
    buf.ReleaseBuffer(8);
    EXPECT_EQ(Bytes(buf), "01234567");
    p = buf.GetBuffer(8);
    p[3] = '\0';
    buf.ReleaseBuffer();
    EXPECT_EQ(Bytes(buf), "012");
}

}  // namespace
