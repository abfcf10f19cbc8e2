// End-to-end scenarios for velmorabrander.exe under Wine: what it restores from the settings
// key into its dialog, that every way of cancelling stores nothing and leaves the target
// alone, and that command-line arguments change nothing.
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
// First run for a user

TEST_F(BranderScenario, FreshSettingsCreateTheKeyAndShowEmptyBoxes)
{
    HWND dlg = OpenDialogOn(m_target);
    ASSERT_NE(dlg, nullptr);
    // The key path exists now, with the chosen file's folder and none of the dialog's texts.
    EXPECT_TRUE(KeyExists(kSettingsKey));
    ExpectSettings(OnlyInitDir());
    EXPECT_EQ(Shown(dlg), Texts{});

    EXPECT_EQ(VisibleWindows(), std::vector<HWND>{dlg});
    EXPECT_EQ(GetControlText(dlg, IDOK), std::optional<std::string>("Update "));
    EXPECT_EQ(GetControlText(dlg, IDCANCEL), std::optional<std::string>("Cancel"));
    Screenshot("brander-fresh-dialog");

    CloseWith(dlg, kCancelActions[0]);
    EXPECT_TRUE(KeyExists(kSettingsKey));
    ExpectSettings(OnlyInitDir());
}

TEST_F(BranderScenario, TextsTypedIntoAFreshDialogAreNotStoredOnAnyCancel)
{
    for (const CloseAction& action : kCancelActions) {
        SCOPED_TRACE(action.name);
        ASSERT_TRUE(ResetSettings());
        HWND dlg = OpenDialogOn(m_target);
        ASSERT_NE(dlg, nullptr);
        for (const Field& f : kFields)
            ASSERT_TRUE(SetControlText(dlg, f.controlId, std::string("typed ") + f.valueName));
        CloseWith(dlg, action);
        ExpectSettings(OnlyInitDir());
    }
}

// ---------------------------------------------------------------------------------------
// Stored texts

const Texts kPreset = {
    "   Leading Spaces Ltd", "www.example.com/shop", "Caf\xe9", "http://mirrowen.example/?id=7&ref=a%20b",
    "quillburn \xc0\xff end",
};

TEST_F(BranderScenario, StoredTextsAppearInTheirOwnBoxes)
{
    Preset(TextValues(kPreset));
    const Values before = ReadAllValues(kSettingsKey);
    ASSERT_EQ(before, TextValues(kPreset));

    HWND dlg = OpenDialogOn(m_target);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(Shown(dlg), kPreset);
    Screenshot("brander-preset-dialog");

    CloseWith(dlg, kCancelActions[0]);
    ExpectSettings(WithInitDir(before));
}

TEST_F(BranderScenario, MissingAndEmptyValuesShowEmptyAndStayAsTheyWere)
{
    Preset({{"WebName", Sz("Only Name")}, {"CBID", Sz("")}, {"QLBLink", Sz("ql")}});
    const Values before = ReadAllValues(kSettingsKey);

    HWND dlg = OpenDialogOn(m_target);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(Shown(dlg), (Texts{"Only Name", "", "", "", "ql"}));

    CloseWith(dlg, kCancelActions[0]);
    ExpectSettings(WithInitDir(before));
}

TEST_F(BranderScenario, EveryCancelKeepsStoredValuesByteForByteAfterEditing)
{
    Preset(TextValues(kPreset));
    const Values before = ReadAllValues(kSettingsKey);
    std::optional<DWORD> cancelCode;
    for (const CloseAction& action : kCancelActions) {
        SCOPED_TRACE(action.name);
        HWND dlg = OpenDialogOn(m_target);
        ASSERT_NE(dlg, nullptr);
        ASSERT_EQ(Shown(dlg), kPreset);
        for (const Field& f : kFields) {
            const std::string edited = std::string("  edited ") + f.valueName + " \xe9";
            ASSERT_TRUE(SetControlText(dlg, f.controlId, edited));
            ASSERT_EQ(GetControlText(dlg, f.controlId), std::optional<std::string>(edited));
        }
        const std::optional<DWORD> code = CloseWith(dlg, action);
        ExpectSettings(WithInitDir(before));
        // Each way ends the run as the Cancel button does, exit code included.
        ASSERT_TRUE(code.has_value());
        if (!cancelCode)
            cancelCode = code;
        EXPECT_EQ(*code, *cancelCode);
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

const std::vector<std::string> kOddArguments = {"/x", "--foo", "C:\\nothing.exe"};

TEST_F(BranderArguments, FreshRunWithArgumentsIsTheSame)
{
    const std::optional<RunRecord> plain = Run({}, {}, "");
    ASSERT_TRUE(plain.has_value());
    const std::optional<RunRecord> withArgs = Run(kOddArguments, {}, "");
    ASSERT_TRUE(withArgs.has_value());
    EXPECT_TRUE(withArgs->keyExistedWhileShown);
    EXPECT_EQ(withArgs->shown, Texts{});
    EXPECT_EQ(withArgs->valuesAfter, OnlyInitDir()) << Describe(withArgs->valuesAfter);
    EXPECT_EQ(withArgs->visibleWindows, 1u);
    EXPECT_EQ(withArgs->exitCode, plain->exitCode);
    EXPECT_EQ(withArgs->shown, plain->shown);
}

TEST_F(BranderArguments, PresetRunWithArgumentsIsTheSame)
{
    const std::optional<RunRecord> plain = Run({}, TextValues(kPreset), "");
    ASSERT_TRUE(plain.has_value());
    const std::optional<RunRecord> withArgs = Run(kOddArguments, TextValues(kPreset), "brander-arguments-dialog");
    ASSERT_TRUE(withArgs.has_value());
    EXPECT_EQ(withArgs->shown, kPreset);
    EXPECT_EQ(withArgs->shown, plain->shown);
    EXPECT_EQ(withArgs->valuesAfter, WithInitDir(TextValues(kPreset))) << Describe(withArgs->valuesAfter);
    EXPECT_EQ(withArgs->valuesAfter, plain->valuesAfter);
    EXPECT_EQ(withArgs->visibleWindows, plain->visibleWindows);
    EXPECT_EQ(withArgs->exitCode, plain->exitCode);
}

TEST_F(BranderArguments, EachArgumentAloneChangesNothing)
{
    for (const std::string& arg : kOddArguments) {
        SCOPED_TRACE(arg);
        const std::optional<RunRecord> record = Run({arg}, TextValues(kPreset), "");
        ASSERT_TRUE(record.has_value());
        EXPECT_EQ(record->shown, kPreset);
        EXPECT_EQ(record->valuesAfter, WithInitDir(TextValues(kPreset))) << Describe(record->valuesAfter);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    Programs().brander = ProgramArgument(argc, argv, 1, "VELMORA_BRANDER_EXE");
    return RUN_ALL_TESTS();
}
