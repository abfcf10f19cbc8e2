// End-to-end scenarios for velmorabrander.exe under Wine: what it restores from the settings
// key into its dialog, that no way of leaving the dialog without "Update " stores what was
// typed or touches the target, and that command-line arguments change nothing.
// Usage: e2e_tests BRANDER_EXE (or VELMORA_BRANDER_EXE). Screenshots go to
// VELMORA_SCREENSHOT_DIR when it is set.
#include "BranderSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace e2e;

// Ways of leaving the dialog that must all act as Cancel.
struct CloseAction
{
    const char* name;
    std::function<bool(HWND)> act;
};
const CloseAction kCancelActions[] = {
    {"Cancel button", [](HWND d) { return ClickButton(d, IDCANCEL); }},
    {"Esc in the licensee box", [](HWND d) { return PressKey(d, 1009, VK_ESCAPE); }},
    {"Esc in the Quillburn link box", [](HWND d) { return PressKey(d, 1007, VK_ESCAPE); }},
    {"close box", [](HWND d) { return PressCloseBox(d); }},
    {"WM_CLOSE", [](HWND d) { return PostClose(d); }},
};

// The file the chooser is answered with is a copy of the brander itself, which carries a
// compatible block; nothing here may change it.
class BranderScenario : public BranderTest
{
protected:
    void SetUp() override
    {
        BranderTest::SetUp();
        if (HasFatalFailure())
            return;
        m_target = Place(Programs().brander, "Brand Me.exe");
        ASSERT_FALSE(m_target.empty());
        m_targetBefore = Content(m_target);
    }

    void TearDown() override
    {
        BranderTest::TearDown();
        if (!m_targetBefore.empty()) {
            EXPECT_TRUE(Content(m_target) == m_targetBefore) << "target changed";
        }
    }

    // Closes the dialog the given way and returns the exit code; fails the test if the
    // brander does not end without a message box.
    std::optional<DWORD> CloseWith(HWND dlg, const CloseAction& action)
    {
        EXPECT_TRUE(action.act(dlg)) << action.name;
        return EndsWithoutBox();
    }

    std::string m_target;
    Bytes m_targetBefore;
};

// ---------------------------------------------------------------------------------------
// Stored texts

const Texts kPreset = {
    "   Leading Spaces Ltd",  "www.example.com/shop", "Caf\xe9", "http://mirrowen.example/?id=7&ref=a%20b",
    "quillburn \xc0\xff end",
};

// The settings a run starts from and the texts the dialog must show for them.
struct StoredCase
{
    const char* name;
    Values stored;  // empty: no settings key at all
    Texts shown;
    const char* screenshot;
};
const StoredCase kStored[] = {
    {"no settings key", {}, {}, "brander-fresh-dialog"},
    {"every text stored", TextValues(kPreset), kPreset, "brander-preset-dialog"},
    {"values missing and empty",
     {{"WebName", Sz("Only Name")}, {"CBID", Sz("")}, {"QLBLink", Sz("ql")}},
     {"Only Name", "", "", "", "ql"},
     ""},
};

TEST_F(BranderScenario, StoredTextsAppearInTheirOwnBoxesAndStayAsTheyWere)
{
    for (const StoredCase& c : kStored) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(ResetSettings());
        Preset(c.stored);
        ASSERT_EQ(ReadAllValues(kSettingsKey), c.stored);
        ASSERT_EQ(KeyExists(kSettingsKey), !c.stored.empty());

        HWND dlg = OpenDialogOn(m_target);
        ASSERT_NE(dlg, nullptr);
        // The key path exists now, with the chosen file's folder and none of the dialog's texts.
        EXPECT_TRUE(KeyExists(kSettingsKey));
        ExpectSettings(WithInitDir(c.stored));
        EXPECT_EQ(Shown(dlg), c.shown);
        EXPECT_EQ(VisibleWindows(), std::vector<HWND>{dlg});
        EXPECT_EQ(GetControlText(dlg, IDOK), std::optional<std::string>("Update "));
        EXPECT_EQ(GetControlText(dlg, IDCANCEL), std::optional<std::string>("Cancel"));
        if (c.screenshot[0] != '\0')
            Screenshot(c.screenshot);

        Cancel(dlg);
        EXPECT_TRUE(KeyExists(kSettingsKey));
        ExpectSettings(WithInitDir(c.stored));
    }
}

TEST_F(BranderScenario, NoWayOfCancellingStoresTheEditedTexts)
{
    std::optional<DWORD> cancelCode;
    for (const StoredCase& c : kStored) {
        for (const CloseAction& action : kCancelActions) {
            SCOPED_TRACE(std::string(c.name) + ", " + action.name);
            ASSERT_TRUE(ResetSettings());
            Preset(c.stored);
            HWND dlg = OpenDialogOn(m_target);
            ASSERT_NE(dlg, nullptr);
            ASSERT_EQ(Shown(dlg), c.shown);
            for (const Field& f : kFields) {
                const std::string edited = std::string("  edited ") + f.valueName + " \xe9";
                ASSERT_TRUE(SetControlText(dlg, f.controlId, edited));
                ASSERT_EQ(GetControlText(dlg, f.controlId), std::optional<std::string>(edited));
            }
            const std::optional<DWORD> code = CloseWith(dlg, action);
            ExpectSettings(WithInitDir(c.stored));
            // Each way ends the run as the Cancel button does, exit code included.
            ASSERT_TRUE(code.has_value());
            if (!cancelCode)
                cancelCode = code;
            EXPECT_EQ(*code, *cancelCode);
        }
    }
}

// ---------------------------------------------------------------------------------------
// Command-line arguments change nothing

struct RunRecord
{
    Texts shown;
    std::size_t visibleWindows = 0;
    Values valuesAfter;
    DWORD exitCode = 0;
    bool keyExistedWhileShown = false;
};

const std::vector<std::string> kOddArguments = {"/x", "--foo", "C:\\nothing.exe"};

struct ArgumentsCase
{
    const char* name;
    std::vector<std::string> args;
    const StoredCase* start;
    const char* screenshot;
};
const ArgumentsCase kArguments[] = {
    {"all three, no settings key", kOddArguments, &kStored[0], ""},
    {"all three, every text stored", kOddArguments, &kStored[1], "brander-arguments-dialog"},
    {"/x alone", {"/x"}, &kStored[1], ""},
    {"--foo alone", {"--foo"}, &kStored[1], ""},
    {"C:\\nothing.exe alone", {"C:\\nothing.exe"}, &kStored[1], ""},
};

class BranderArguments : public BranderScenario
{
protected:
    // One run up to the dialog and out through Cancel; nullopt if it did not get there and back.
    std::optional<RunRecord> Run(const std::vector<std::string>& args, const Values& stored,
                                 const std::string& screenshot)
    {
        RunRecord record;
        EXPECT_TRUE(ResetSettings());
        Preset(stored);
        HWND dlg = OpenDialogOn(m_target, args);
        if (dlg == nullptr)
            return std::nullopt;
        record.shown = Shown(dlg);
        record.visibleWindows = VisibleWindows().size();
        record.keyExistedWhileShown = KeyExists(kSettingsKey);
        if (!screenshot.empty())
            Screenshot(screenshot);
        const std::optional<DWORD> code = Cancel(dlg);
        if (!code)
            return std::nullopt;
        record.exitCode = *code;
        record.valuesAfter = ReadAllValues(kSettingsKey);
        return record;
    }
};

TEST_F(BranderArguments, ArgumentsChangeNothing)
{
    // The same start without arguments, run once for the cases that share it.
    std::map<const StoredCase*, RunRecord> plain;
    for (const ArgumentsCase& c : kArguments) {
        SCOPED_TRACE(c.name);
        if (plain.count(c.start) == 0) {
            const std::optional<RunRecord> record = Run({}, c.start->stored, "");
            ASSERT_TRUE(record.has_value()) << "the run without arguments";
            plain[c.start] = *record;
        }
        const RunRecord& without = plain[c.start];
        const std::optional<RunRecord> with = Run(c.args, c.start->stored, c.screenshot);
        ASSERT_TRUE(with.has_value());
        EXPECT_TRUE(with->keyExistedWhileShown);
        EXPECT_EQ(with->shown, c.start->shown);
        EXPECT_EQ(with->valuesAfter, WithInitDir(c.start->stored)) << Describe(with->valuesAfter);
        EXPECT_EQ(with->visibleWindows, 1u);
        EXPECT_EQ(with->shown, without.shown);
        EXPECT_EQ(with->valuesAfter, without.valuesAfter);
        EXPECT_EQ(with->visibleWindows, without.visibleWindows);
        EXPECT_EQ(with->exitCode, without.exitCode);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    Programs().brander = ProgramArgument(argc, argv, 1, "VELMORA_BRANDER_EXE");
    return RUN_ALL_TESTS();
}
