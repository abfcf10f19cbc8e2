// Checks of the UI driver itself, run against DriverFixtureApp: paths and quoting, the
// child process's life, windows and controls, message boxes, the Open dialog, pixels
// and screenshots, and the registry helpers.
// Usage: e2e_driver_tests FIXTURE_EXE (or VELMORA_E2E_FIXTURE_EXE).
#include "Driver.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace {

using namespace e2e;

std::string g_fixture;

// A scratch key of its own, so these checks never touch the brander's settings.
constexpr const char* kScratchKey = "Software\\Velmora Software\\E2E Driver Check";
constexpr const char* kScratchChild = "Software\\Velmora Software\\E2E Driver Check\\Child\\Leaf";

class FixtureTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_FALSE(g_fixture.empty()) << "no fixture exe given"; }

    void StartFixture(const std::vector<std::string>& args)
    {
        std::string error;
        ASSERT_TRUE(m_app.Start(g_fixture, args, &error)) << error;
    }

    DWORD ExitCodeAfterExit()
    {
        DWORD code = 0xFFFFFFFF;
        EXPECT_TRUE(m_app.WaitForExit(kDefaultTimeoutMs, &code)) << "fixture did not end";
        return code;
    }

    HWND StartDialog(const std::string& outFile, const std::string& initialText)
    {
        StartFixture({"dialog", outFile, initialText});
        return WaitForTopWindow(m_app.Pid(), "#32770", "Driver Fixture");
    }

    Process m_app;
};

// ---------------------------------------------------------------------------------------

TEST(DriverPaths, UnixPathsBecomeDriveZPaths)
{
    struct Case
    {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"/work/x/y.exe", "Z:\\work\\x\\y.exe"},
        {"/tmp/with space/a.exe", "Z:\\tmp\\with space\\a.exe"},
        {"/", "Z:\\"},
        {"C:\\already\\dos.exe", "C:\\already\\dos.exe"},
        {"C:/mixed/slashes", "C:\\mixed\\slashes"},
        {"relative/name", "relative\\name"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(ToDosPath(c.in), c.out);
    }
}

TEST(DriverPaths, QuotingFollowsTheRuntimeRules)
{
    struct Case
    {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"", "\"\""},
        {"two words", "\"two words\""},
        {"say \"hi\"", "\"say \\\"hi\\\"\""},
        {"C:\\dir with space\\", "\"C:\\dir with space\\\\\""},
        {"C:\\nothing.exe", "C:\\nothing.exe"},
        {"a\\\\\"b", "\"a\\\\\\\\\\\"b\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(QuoteArg(c.in), c.out);
    }
}

TEST_F(FixtureTest, ArgumentsArriveUnchanged)
{
    const std::string out = ScratchFile("args.bin");
    const std::vector<std::string> args = {"/x",        "--foo",         "C:\\nothing.exe", "",
                                           "two words", "quote\"inside", "trailing\\",      "Caf\xe9"};
    std::vector<std::string> all = {"args", out};
    all.insert(all.end(), args.begin(), args.end());
    StartFixture(all);
    EXPECT_EQ(ExitCodeAfterExit(), 0u);
    const auto bytes = ReadWholeFile(out);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(ZeroSeparated(*bytes), args);
}

// ---------------------------------------------------------------------------------------

TEST_F(FixtureTest, ExitCodeIsPassedThrough)
{
    for (const char* code : {"0", "1", "77"}) {
        SCOPED_TRACE(code);
        StartFixture({"exit", code});
        EXPECT_EQ(ExitCodeAfterExit(), static_cast<DWORD>(std::atoi(code)));
        EXPECT_FALSE(m_app.IsRunning());
        ASSERT_TRUE(m_app.ExitCode().has_value());
        EXPECT_EQ(*m_app.ExitCode(), static_cast<DWORD>(std::atoi(code)));
    }
}

TEST_F(FixtureTest, WaitTimesOutWhileRunningAndTerminateEndsIt)
{
    StartFixture({"idle"});
    DWORD code = 0;
    EXPECT_FALSE(m_app.WaitForExit(50, &code));
    EXPECT_TRUE(m_app.IsRunning());
    EXPECT_FALSE(m_app.ExitCode().has_value());
    m_app.Terminate();
    EXPECT_FALSE(m_app.IsRunning());
    EXPECT_TRUE(m_app.ExitCode().has_value());
}

TEST(DriverProcess, DestructionEndsARunningChild)
{
    ASSERT_FALSE(g_fixture.empty());
    HANDLE watch = nullptr;
    {
        Process app;
        std::string error;
        ASSERT_TRUE(app.Start(g_fixture, {"idle"}, &error)) << error;
        watch = OpenProcess(SYNCHRONIZE, FALSE, app.Pid());
        ASSERT_NE(watch, nullptr);
        EXPECT_EQ(WaitForSingleObject(watch, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    }
    EXPECT_EQ(WaitForSingleObject(watch, kDefaultTimeoutMs), static_cast<DWORD>(WAIT_OBJECT_0));
    CloseHandle(watch);
}

TEST(DriverProcess, StartingAMissingProgramFailsWithAReason)
{
    Process app;
    std::string error;
    EXPECT_FALSE(app.Start("/nonexistent/velmora/none.exe", {}, &error));
    EXPECT_NE(error.find("Z:\\nonexistent\\velmora\\none.exe"), std::string::npos) << error;
    EXPECT_FALSE(app.IsStarted());
    EXPECT_FALSE(app.WaitForExit(0));
}

// ---------------------------------------------------------------------------------------

TEST_F(FixtureTest, DialogIsFoundOnlyForItsOwnProcessAndExactCaption)
{
    HWND dlg = StartDialog(ScratchFile("unused.bin"), "");
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(ClassNameOf(dlg), "#32770");
    EXPECT_EQ(FindTopWindow(GetCurrentProcessId(), "#32770", "Driver Fixture"), nullptr);
    EXPECT_EQ(FindTopWindow(m_app.Pid(), "#32770", "Driver Fixtur"), nullptr);
    EXPECT_EQ(FindTopWindow(m_app.Pid(), "Edit", "Driver Fixture"), nullptr);
    EXPECT_EQ(FindTopWindow(m_app.Pid(), nullptr, nullptr), dlg);
    const std::vector<HWND> all = TopWindowsOf(m_app.Pid());
    EXPECT_NE(std::find(all.begin(), all.end(), dlg), all.end());
    EXPECT_EQ(WaitForTopWindow(m_app.Pid(), "#32770", "No Such Caption", 100), nullptr);
}

TEST_F(FixtureTest, TextsAreSetAndReadBackAndReachTheProgram)
{
    const std::string out = ScratchFile("dialog.bin");
    HWND dlg = StartDialog(out, "  initial");
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(GetControlText(dlg, 100), std::optional<std::string>("  initial"));
    EXPECT_EQ(GetControlText(dlg, 101), std::optional<std::string>(""));
    EXPECT_FALSE(GetControlText(dlg, 555).has_value());
    EXPECT_FALSE(SetControlText(dlg, 555, "x"));

    ASSERT_TRUE(SetControlText(dlg, 100, "Caf\xe9 \xc0 la carte"));
    ASSERT_TRUE(SetControlText(dlg, 101, std::string(300, 'w')));
    EXPECT_EQ(GetControlText(dlg, 100), std::optional<std::string>("Caf\xe9 \xc0 la carte"));
    EXPECT_EQ(GetControlText(dlg, 101), std::optional<std::string>(std::string(300, 'w')));

    ASSERT_TRUE(ClickButton(dlg, IDOK));
    EXPECT_TRUE(WaitForWindowGone(dlg));
    EXPECT_EQ(ExitCodeAfterExit(), 10u);
    const auto bytes = ReadWholeFile(out);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(ZeroSeparated(*bytes), (std::vector<std::string>{"Caf\xe9 \xc0 la carte", std::string(300, 'w')}));
}

TEST_F(FixtureTest, KeysAndCloseBoxReachTheDialog)
{
    struct Case
    {
        const char* name;
        std::function<bool(HWND)> act;
        DWORD exitCode;
    };
    const Case cases[] = {
        {"Cancel button", [](HWND d) { return ClickButton(d, IDCANCEL); }, 20},
        {"Esc in an edit", [](HWND d) { return PressKey(d, 100, VK_ESCAPE); }, 20},
        {"Enter in an edit", [](HWND d) { return PressKey(d, 101, VK_RETURN); }, 10},
        {"close box", [](HWND d) { return PressCloseBox(d); }, 20},
        {"WM_CLOSE", [](HWND d) { return PostClose(d); }, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND dlg = StartDialog(ScratchFile("keys.bin"), "");
        ASSERT_NE(dlg, nullptr);
        ASSERT_TRUE(c.act(dlg));
        EXPECT_TRUE(WaitForWindowGone(dlg));
        EXPECT_EQ(ExitCodeAfterExit(), c.exitCode);
    }
}

// ---------------------------------------------------------------------------------------

TEST_F(FixtureTest, MessageBoxTextIconAndOk)
{
    struct Case
    {
        const char* kind;
        IconColour colour;
    };
    for (const Case& c : {Case{"stop", IconColour::Red}, Case{"info", IconColour::Blue}}) {
        SCOPED_TRACE(c.kind);
        const std::string text = std::string("Unable to read file: Z:\\tmp\\") + c.kind;
        StartFixture({"msgbox", c.kind, "Velmora Software Brander", text});
        HWND box = WaitForMessageBox(m_app.Pid(), "Velmora Software Brander");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(WaitForMessageBox(m_app.Pid(), "Other Caption", 100), nullptr);
        EXPECT_EQ(MessageBoxText(box), std::optional<std::string>(text));
        const IconColour colour = MessageBoxIconColour(box);
        EXPECT_EQ(colour, c.colour) << ToString(colour);
        EXPECT_TRUE(m_app.IsRunning());
        ASSERT_TRUE(PressMessageBoxOk(box));
        EXPECT_FALSE(IsWindow(box));
        EXPECT_EQ(ExitCodeAfterExit(), 30u);
    }
}

// ---------------------------------------------------------------------------------------

TEST_F(FixtureTest, OpenDialogReturnsTheTypedPath)
{
    const std::string out = ScratchFile("open.bin");
    // A file that exists, in a folder whose name has a space.
    const std::string folder = ScratchFolder() + "\\with space";
    ASSERT_TRUE(CreateFolders(folder));
    const std::string target = folder + "\\target.exe";
    FILE* f = std::fopen(target.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("MZ", f);
    std::fclose(f);

    StartFixture({"open", out});
    HWND dlg = WaitForOpenDialog(m_app.Pid());
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(ChooseFileInOpenDialog(dlg, target));
    EXPECT_EQ(ExitCodeAfterExit(), 40u);
    const auto bytes = ReadWholeFile(out);
    ASSERT_TRUE(bytes.has_value());
    const std::vector<std::string> parts = ZeroSeparated(*bytes);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(lstrcmpiA(parts[0].c_str(), target.c_str()), 0) << parts[0];
}

TEST_F(FixtureTest, OpenDialogCancelled)
{
    const std::string out = ScratchFile("open-cancel.bin");
    StartFixture({"open", out});
    HWND dlg = WaitForOpenDialog(m_app.Pid());
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(CancelOpenDialog(dlg));
    EXPECT_EQ(ExitCodeAfterExit(), 41u);
    EXPECT_FALSE(ReadWholeFile(out).has_value());
}

// ---------------------------------------------------------------------------------------

Image Filled(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    Image image;
    image.width = w;
    image.height = h;
    for (int i = 0; i < w * h; ++i) {
        image.bgr.push_back(b);
        image.bgr.push_back(g);
        image.bgr.push_back(r);
    }
    return image;
}

TEST(DriverPixels, ColoursAreClassifiedByTheDominantSaturatedHue)
{
    struct Case
    {
        const char* name;
        Image image;
        IconColour expected;
    };
    Image redOnWhite = Filled(32, 32, 255, 255, 255);
    for (int i = 0; i < 200 * 3; i += 3) {
        redOnWhite.bgr[static_cast<std::size_t>(i)] = 20;
        redOnWhite.bgr[static_cast<std::size_t>(i) + 1] = 20;
        redOnWhite.bgr[static_cast<std::size_t>(i) + 2] = 220;
    }
    Image half = Filled(10, 10, 255, 0, 0);
    for (std::size_t i = 0; i < half.bgr.size() / 2; i += 3) {
        half.bgr[i] = 255;
        half.bgr[i + 2] = 0;
    }
    const Case cases[] = {
        {"pure red", Filled(8, 8, 255, 0, 0), IconColour::Red},
        {"dark red", Filled(8, 8, 160, 10, 10), IconColour::Red},
        {"blue", Filled(8, 8, 0, 0, 255), IconColour::Blue},
        {"light blue", Filled(8, 8, 60, 140, 240), IconColour::Blue},
        {"grey", Filled(8, 8, 128, 128, 128), IconColour::Other},
        {"white", Filled(8, 8, 255, 255, 255), IconColour::Other},
        {"yellow", Filled(8, 8, 250, 220, 0), IconColour::Other},
        {"green", Filled(8, 8, 0, 200, 0), IconColour::Other},
        {"red spot on white", redOnWhite, IconColour::Red},
        {"half red, half blue", half, IconColour::Other},
        {"empty", Image{}, IconColour::Other},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ClassifyColours(c.image), c.expected);
    }
}

TEST(DriverPixels, BmpIsBottomUpWithPaddedRows)
{
    Image image = Filled(3, 2, 0, 0, 0);  // 9 bytes a row, padded to 12
    auto set = [&](int x, int y, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        const std::size_t i = (static_cast<std::size_t>(y) * 3 + static_cast<std::size_t>(x)) * 3;
        image.bgr[i] = b;
        image.bgr[i + 1] = g;
        image.bgr[i + 2] = r;
    };
    set(0, 0, 1, 2, 3);  // top left
    set(2, 1, 4, 5, 6);  // bottom right
    const std::string path = ScratchFile("tiny.bmp");
    ASSERT_TRUE(WriteBmp(image, path));
    const auto bytes = ReadWholeFile(path);
    ASSERT_TRUE(bytes.has_value());
    ASSERT_EQ(bytes->size(), 14u + 40u + 24u);
    const unsigned char* p = bytes->data();
    EXPECT_EQ(p[0], 'B');
    EXPECT_EQ(p[1], 'M');
    auto u32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (std::size_t i = 4; i-- > 0;)
            v = (v << 8) | p[at + i];
        return v;
    };
    EXPECT_EQ(u32(2), 78u);   // file size
    EXPECT_EQ(u32(10), 54u);  // pixel offset
    EXPECT_EQ(u32(18), 3u);   // width
    EXPECT_EQ(u32(22), 2u);   // height, positive: bottom-up
    EXPECT_EQ(p[28], 24);     // bits per pixel
    // First stored row is the bottom one: its last pixel is (4,5,6) as B,G,R.
    EXPECT_EQ(p[54 + 6], 6);
    EXPECT_EQ(p[54 + 7], 5);
    EXPECT_EQ(p[54 + 8], 4);
    // Second stored row is the top one: its first pixel is (1,2,3).
    EXPECT_EQ(p[54 + 12], 3);
    EXPECT_EQ(p[54 + 13], 2);
    EXPECT_EQ(p[54 + 14], 1);
    EXPECT_FALSE(WriteBmp(Image{}, ScratchFile("empty.bmp")));
}

TEST_F(FixtureTest, ScreenshotHoldsTheWholeScreenAndTheDialogIsVisibleInIt)
{
    HWND dlg = StartDialog(ScratchFile("shot.bin"), "");
    ASSERT_NE(dlg, nullptr);
    RECT rect;
    ASSERT_TRUE(GetWindowRect(dlg, &rect));
    // A drawn dialog has caption, frame, face and text: more than one colour.
    bool varied = false;
    WaitUntil(
        [&] {
            const Image part = CaptureScreenRect(rect);
            if (part.bgr.empty())
                return false;
            varied = std::any_of(part.bgr.begin(), part.bgr.end(), [&](std::uint8_t v) { return v != part.bgr[0]; });
            return varied;
        },
        2000);
    EXPECT_TRUE(varied);

    const std::string folder = ScratchFolder() + "\\shots\\nested";
    ASSERT_TRUE(SetEnvironmentVariableA("VELMORA_SCREENSHOT_DIR", folder.c_str()));
    const std::optional<std::string> saved = SaveScreenshot("driver-check.bmp");
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(*saved, folder + "\\driver-check.bmp");
    const auto bytes = ReadWholeFile(*saved);
    ASSERT_TRUE(bytes.has_value());
    const auto w = static_cast<std::size_t>(GetSystemMetrics(SM_CXSCREEN));
    const auto h = static_cast<std::size_t>(GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(bytes->size(), 54 + ((w * 3 + 3) & ~static_cast<std::size_t>(3)) * h);

    ASSERT_TRUE(SetEnvironmentVariableA("VELMORA_SCREENSHOT_DIR", nullptr));
    EXPECT_FALSE(SaveScreenshot("not-saved.bmp").has_value());
}

// ---------------------------------------------------------------------------------------

class DriverRegistry : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(DeleteKeyTree(kScratchKey)); }
    void TearDown() override { DeleteKeyTree(kScratchKey); }
};

TEST_F(DriverRegistry, ValuesAreWrittenAndReadAsRawBytes)
{
    EXPECT_FALSE(KeyExists(kScratchKey));
    EXPECT_FALSE(ValueCount(kScratchKey).has_value());
    EXPECT_FALSE(ReadValue("A", kScratchKey).has_value());
    EXPECT_TRUE(ReadAllValues(kScratchKey).empty());

    ASSERT_TRUE(SetStringValue("A", "  Caf\xe9", kScratchKey));
    ASSERT_TRUE(SetStringValue("Empty", "", kScratchKey));
    ASSERT_TRUE(SetRawValue("Bin", REG_BINARY, {1, 0, 2}, kScratchKey));
    EXPECT_TRUE(KeyExists(kScratchKey));
    EXPECT_EQ(ValueCount(kScratchKey), std::optional<DWORD>(3));

    const auto a = ReadValue("a", kScratchKey);  // names are not case-sensitive
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(a->data, SzBytes("  Caf\xe9"));
    EXPECT_EQ(a->data.size(), 7u);
    const auto empty = ReadValue("Empty", kScratchKey);
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(empty->data, std::vector<std::uint8_t>{0});
    const auto bin = ReadValue("Bin", kScratchKey);
    ASSERT_TRUE(bin.has_value());
    EXPECT_EQ(bin->type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(bin->data, (std::vector<std::uint8_t>{1, 0, 2}));

    const auto all = ReadAllValues(kScratchKey);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all.at("A"), *a);
    EXPECT_EQ(all.at("Bin"), *bin);
}

TEST_F(DriverRegistry, TreeDeletionRemovesNestedKeysAndToleratesAbsence)
{
    ASSERT_TRUE(SetStringValue("X", "1", kScratchChild));
    ASSERT_TRUE(SetStringValue("Y", "2", kScratchKey));
    EXPECT_TRUE(KeyExists(kScratchChild));
    EXPECT_TRUE(DeleteKeyTree(kScratchKey));
    EXPECT_FALSE(KeyExists(kScratchChild));
    EXPECT_FALSE(KeyExists(kScratchKey));
    EXPECT_TRUE(KeyExists("Software"));
    EXPECT_TRUE(DeleteKeyTree(kScratchKey));
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    g_fixture = ProgramArgument(argc, argv, 1, "VELMORA_E2E_FIXTURE_EXE");
    return RUN_ALL_TESTS();
}
