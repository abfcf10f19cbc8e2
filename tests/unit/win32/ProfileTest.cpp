// The settings store: where CWinApp's profile strings live in the registry,
// how they are stored, and how values of other types read back.
#include "FwApp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr const char* kCompany = "Velmora Profile Test";
constexpr const char* kApp = "Profile Test App";
const std::string kSectionPath = std::string("Software\\") + kCompany + "\\" + kApp + "\\Brander";

class CTestApp : public CWinApp
{
public:
    explicit CTestApp(bool withKey = true) : CWinApp(kApp)
    {
        if (withKey)
            SetRegistryKey(kCompany);
    }
};

bool KeyExists(const std::string& path)
{
    HKEY h;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

struct RawValue
{
    DWORD type = 0;
    std::vector<unsigned char> data;
};

bool QueryRaw(const char* name, RawValue& out)
{
    HKEY h;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSectionPath.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    LONG r = RegQueryValueExA(h, name, nullptr, &out.type, nullptr, &size);
    if (r == ERROR_SUCCESS) {
        out.data.resize(size);
        r = RegQueryValueExA(h, name, nullptr, &out.type, size ? out.data.data() : nullptr, &size);
    }
    RegCloseKey(h);
    return r == ERROR_SUCCESS;
}

void SetRaw(const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY h;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSectionPath.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(h, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(h);
}

class ProfileTest : public ::testing::Test
{
protected:
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, (std::string("Software\\") + kCompany).c_str()); }
    void TearDown() override { SetUp(); }
};

TEST_F(ProfileTest, FirstReadCreatesTheWholeKeyPathAndReturnsTheDefault)
{
    ASSERT_FALSE(KeyExists(kSectionPath));
    CTestApp app;
    EXPECT_EQ(app.GetProfileString("Brander", "WebName", "fallback"), CString("fallback"));
    EXPECT_EQ(app.GetProfileString("Brander", "WebLink", ""), CString(""));
    ASSERT_TRUE(KeyExists(kSectionPath));
    HKEY h;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kSectionPath.c_str(), 0, KEY_READ, &h), ERROR_SUCCESS);
    DWORD values = 99;
    RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(h);
    EXPECT_EQ(values, 0u);
}

TEST_F(ProfileTest, WriteStoresRegSzWithOneTrailingZero)
{
    CTestApp app;
    const char text[] = "  Caf\xe9 www.x ";
    ASSERT_TRUE(app.WriteProfileString("Brander", "WebName", text));
    RawValue v;
    ASSERT_TRUE(QueryRaw("WebName", v));
    EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(v.data, std::vector<unsigned char>(text, text + sizeof text));  // length + 1 bytes
    EXPECT_EQ(app.GetProfileString("Brander", "WebName", "fallback"), CString(text));
}

TEST_F(ProfileTest, EmptyTextIsOneZeroByteAndReadsBackEmpty)
{
    CTestApp app;
    ASSERT_TRUE(app.WriteProfileString("Brander", "CBID", ""));
    RawValue v;
    ASSERT_TRUE(QueryRaw("CBID", v));
    EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(v.data, std::vector<unsigned char>(1, 0));
    EXPECT_EQ(app.GetProfileString("Brander", "CBID", "fallback"), CString(""));
}

TEST_F(ProfileTest, ValuesOfOtherTypesReadAsTextUpToTheFirstZero)
{
    struct Case
    {
        const char* name;
        DWORD type;
        std::string data;
        std::string expected;
    };
    const Case cases[] = {
        {"dword", REG_DWORD, std::string("ABC\0", 4), "ABC"},
        {"binary without zero", REG_BINARY, "AB", "AB"},
        {"binary with inner zero", REG_BINARY, std::string("A\0B", 3), "A"},
        {"binary empty", REG_BINARY, "", ""},
        {"sz without terminator", REG_SZ, "xyz", "xyz"},
        {"expand sz", REG_EXPAND_SZ, std::string("%TEMP%\0", 7), "%TEMP%"},
    };
    CTestApp app;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetRaw("MRWLink", c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
        EXPECT_EQ(app.GetProfileString("Brander", "MRWLink", "fallback"), CString(c.expected.c_str()));
    }
}

TEST_F(ProfileTest, AVeryLongValueReadsWhole)
{
    CTestApp app;
    const std::string big(300000, 'q');
    ASSERT_TRUE(app.WriteProfileString("Brander", "QLBLink", big.c_str()));
    const CString got = app.GetProfileString("Brander", "QLBLink", "");
    EXPECT_EQ(got.GetLength(), static_cast<int>(big.size()));
    EXPECT_EQ(got, CString(big.c_str()));
}

TEST_F(ProfileTest, WithoutARegistryKeyNothingIsReadOrWritten)
{
    CTestApp app(false);
    EXPECT_EQ(app.GetProfileString("Brander", "WebName", "fallback"), CString("fallback"));
    EXPECT_FALSE(app.WriteProfileString("Brander", "WebName", "x"));
    EXPECT_FALSE(KeyExists(std::string("Software\\") + kCompany));
}

TEST_F(ProfileTest, EachCallFindsTheKeyAfresh)
{
    CTestApp app;
    ASSERT_TRUE(app.WriteProfileString("Brander", "WebLink", "one"));
    // Another program removes the whole tree between two calls.
    RegDeleteTreeA(HKEY_CURRENT_USER, (std::string("Software\\") + kCompany).c_str());
    EXPECT_EQ(app.GetProfileString("Brander", "WebLink", "gone"), CString("gone"));
    ASSERT_TRUE(app.WriteProfileString("Brander", "WebLink", "two"));
    EXPECT_EQ(app.GetProfileString("Brander", "WebLink", ""), CString("two"));
}

}  // namespace
