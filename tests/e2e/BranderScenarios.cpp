// End-to-end scenarios for velmorabrander.exe under Wine: what it restores from the
// settings key into its dialog, and that every way of cancelling stores nothing.
// Usage: e2e_tests BRANDER_EXE (or VELMORA_BRANDER_EXE). Screenshots go to
// VELMORA_SCREENSHOT_DIR when it is set.
#include "Driver.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

namespace {

using namespace e2e;

std::string g_brander;

constexpr const char* kDialogCaption = "Quillburn Brander";
constexpr const char* kMessageCaption = "Velmora Software Brander";

// The five texts: registry value name and the edit box that shows it.
struct Field {
    const char* valueName;
    int controlId;
};
constexpr Field kFields[] = {
    {"WebName", 1009}, {"WebLink", 1010}, {"CBID", 1008}, {"MRWLink", 1011}, {"QLBLink", 1007},
};

using Texts = std::map<std::string, std::string>;  // value name -> text

std::string Describe(const std::map<std::string, RegValue>& values) {
    std::ostringstream out;
    for (const auto& [name, value] : values) {
        out << name << " (type " << value.type << "): ";
        for (std::uint8_t b : value.data) out << static_cast<int>(b) << ' ';
        out << '\n';
    }
    return out.str();
}

std::string DescribeWindows(DWORD pid) {
    std::ostringstream out;
    for (HWND hwnd : TopWindowsOf(pid)) {
        out << "  class \"" << ClassNameOf(hwnd) << "\" caption \""
            << WindowText(hwnd).value_or("?") << "\"" << (IsWindowVisible(hwnd) ? "" : " hidden")
            << '\n';
    }
    return out.str();
}

// Ways of leaving the dialog that must all act as Cancel.
struct CloseAction {
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

class BranderScenario : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(g_brander.empty()) << "no brander exe given (argv[1] or VELMORA_BRANDER_EXE)";
        ASSERT_TRUE(ResetSettings());
        ASSERT_FALSE(KeyExists(kSettingsKey));
    }

    void TearDown() override { m_app.Terminate(); }

    static void Preset(const Texts& texts) {
        for (const auto& [name, text] : texts) ASSERT_TRUE(SetStringValue(name, text)) << name;
    }

    // Starts the brander and waits until its dialog is on screen. This is the one place
    // that knows what comes before the dialog.
    HWND StartToDialog(const std::vector<std::string>& args = {}) {
        std::string error;
        if (!m_app.Start(g_brander, args, &error)) {
            ADD_FAILURE() << error;
            return nullptr;
        }
        HWND dlg = WaitForTopWindow(m_app.Pid(), "#32770", kDialogCaption);
        if (dlg == nullptr) {
            const std::optional<DWORD> code = m_app.ExitCode();
            ADD_FAILURE() << "dialog \"" << kDialogCaption << "\" did not show; "
                          << (code ? "process ended with " + std::to_string(*code)
                                   : "process runs with windows:\n" + DescribeWindows(m_app.Pid()));
        }
        return dlg;
    }

    static Texts TextsShown(HWND dlg) {
        Texts shown;
        for (const Field& f : kFields)
            shown[f.valueName] = GetControlText(dlg, f.controlId).value_or("<no control>");
        return shown;
    }

    static Texts AllEmpty() {
        Texts texts;
        for (const Field& f : kFields) texts[f.valueName] = "";
        return texts;
    }

    // Only windows the user can see: Wine keeps hidden helper windows of its own.
    std::vector<HWND> VisibleWindows() const {
        std::vector<HWND> visible;
        for (HWND hwnd : TopWindowsOf(m_app.Pid()))
            if (IsWindowVisible(hwnd)) visible.push_back(hwnd);
        return visible;
    }

    void Screenshot(const std::string& name) {
        // Pictures are for people to look at; nothing is asserted about their pixels.
        char dir[8];
        if (GetEnvironmentVariableA("VELMORA_SCREENSHOT_DIR", dir, sizeof dir) == 0) return;
        EXPECT_TRUE(SaveScreenshot(name + ".bmp").has_value()) << "screenshot " << name;
    }

    // Closes the dialog the given way and returns the exit code; fails the test if the
    // process does not end or a message box appears.
    DWORD CloseAndWait(HWND dlg, const CloseAction& action) {
        EXPECT_TRUE(action.act(dlg)) << action.name;
        DWORD code = 0xFFFFFFFF;
        if (!m_app.WaitForExit(kDefaultTimeoutMs, &code)) {
            HWND box = FindTopWindow(m_app.Pid(), "#32770", kMessageCaption);
            ADD_FAILURE() << action.name << " did not end the brander"
                          << (box ? "; message box: " + MessageBoxText(box).value_or("?") : "")
                          << "\nwindows:\n" << DescribeWindows(m_app.Pid());
        }
        return code;
    }

    Process m_app;
};

// ---------------------------------------------------------------------------------------
// First run for a user

TEST_F(BranderScenario, FreshSettingsCreateTheEmptyKeyAndShowEmptyBoxes) {
    HWND dlg = StartToDialog();
    ASSERT_NE(dlg, nullptr);
    // The read alone has created the whole key path, with no values in it.
    EXPECT_TRUE(KeyExists(kSettingsKey));
    EXPECT_EQ(ValueCount(kSettingsKey), std::optional<DWORD>(0))
        << Describe(ReadAllValues(kSettingsKey));
    EXPECT_EQ(TextsShown(dlg), AllEmpty());

    EXPECT_EQ(VisibleWindows(), std::vector<HWND>{dlg});
    EXPECT_EQ(GetControlText(dlg, IDOK), std::optional<std::string>("Update "));
    EXPECT_EQ(GetControlText(dlg, IDCANCEL), std::optional<std::string>("Cancel"));
    Screenshot("brander-fresh-dialog");

    CloseAndWait(dlg, kCancelActions[0]);
    EXPECT_TRUE(KeyExists(kSettingsKey));
    EXPECT_EQ(ValueCount(kSettingsKey), std::optional<DWORD>(0))
        << Describe(ReadAllValues(kSettingsKey));
}

TEST_F(BranderScenario, TextsTypedIntoAFreshDialogAreNotStoredOnAnyCancel) {
    for (const CloseAction& action : kCancelActions) {
        SCOPED_TRACE(action.name);
        ASSERT_TRUE(ResetSettings());
        HWND dlg = StartToDialog();
        ASSERT_NE(dlg, nullptr);
        for (const Field& f : kFields)
            ASSERT_TRUE(SetControlText(dlg, f.controlId, std::string("typed ") + f.valueName));
        CloseAndWait(dlg, action);
        EXPECT_EQ(ValueCount(kSettingsKey), std::optional<DWORD>(0))
            << Describe(ReadAllValues(kSettingsKey));
    }
}

// ---------------------------------------------------------------------------------------
// Stored texts

const Texts kPreset = {
    {"WebName", "   Leading Spaces Ltd"},
    {"WebLink", "www.example.com/shop"},
    {"CBID", "Caf\xe9"},
    {"MRWLink", "http://mirrowen.example/?id=7&ref=a%20b"},
    {"QLBLink", "quillburn \xc0\xff end"},
};

TEST_F(BranderScenario, StoredTextsAppearInTheirOwnBoxes) {
    Preset(kPreset);
    const auto before = ReadAllValues(kSettingsKey);
    ASSERT_EQ(before.size(), 5u);

    HWND dlg = StartToDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(TextsShown(dlg), kPreset);
    Screenshot("brander-preset-dialog");

    CloseAndWait(dlg, kCancelActions[0]);
    EXPECT_EQ(ReadAllValues(kSettingsKey), before) << Describe(ReadAllValues(kSettingsKey));
}

TEST_F(BranderScenario, MissingAndEmptyValuesShowEmptyAndStayAsTheyWere) {
    const Texts partial = {{"WebName", "Only Name"}, {"CBID", ""}, {"QLBLink", "ql"}};
    Preset(partial);
    const auto before = ReadAllValues(kSettingsKey);

    HWND dlg = StartToDialog();
    ASSERT_NE(dlg, nullptr);
    Texts expected = AllEmpty();
    for (const auto& [name, text] : partial) expected[name] = text;
    EXPECT_EQ(TextsShown(dlg), expected);

    CloseAndWait(dlg, kCancelActions[0]);
    EXPECT_EQ(ReadAllValues(kSettingsKey), before) << Describe(ReadAllValues(kSettingsKey));
}

TEST_F(BranderScenario, EveryCancelKeepsStoredValuesByteForByteAfterEditing) {
    Preset(kPreset);
    const auto before = ReadAllValues(kSettingsKey);
    std::optional<DWORD> cancelCode;
    for (const CloseAction& action : kCancelActions) {
        SCOPED_TRACE(action.name);
        HWND dlg = StartToDialog();
        ASSERT_NE(dlg, nullptr);
        ASSERT_EQ(TextsShown(dlg), kPreset);
        for (const Field& f : kFields) {
            const std::string edited = std::string("  edited ") + f.valueName + " \xe9";
            ASSERT_TRUE(SetControlText(dlg, f.controlId, edited));
            ASSERT_EQ(GetControlText(dlg, f.controlId), std::optional<std::string>(edited));
        }
        const DWORD code = CloseAndWait(dlg, action);
        EXPECT_EQ(ReadAllValues(kSettingsKey), before) << Describe(ReadAllValues(kSettingsKey));
        // Each way ends the run as the Cancel button does, exit code included.
        if (!cancelCode) cancelCode = code;
        EXPECT_EQ(code, *cancelCode);
    }
}

// ---------------------------------------------------------------------------------------
// Command-line arguments change nothing

struct RunRecord {
    Texts shown;
    std::size_t visibleWindows = 0;
    std::map<std::string, RegValue> valuesAfter;
    DWORD exitCode = 0;
    bool keyExistedWhileShown = false;
};

class BranderArguments : public BranderScenario {
protected:
    RunRecord Run(const std::vector<std::string>& args, const Texts& preset,
                  const std::string& screenshot) {
        RunRecord record;
        EXPECT_TRUE(ResetSettings());
        Preset(preset);
        HWND dlg = StartToDialog(args);
        if (dlg == nullptr) return record;
        record.shown = TextsShown(dlg);
        record.visibleWindows = VisibleWindows().size();
        record.keyExistedWhileShown = KeyExists(kSettingsKey);
        if (!screenshot.empty()) Screenshot(screenshot);
        record.exitCode = CloseAndWait(dlg, kCancelActions[0]);
        record.valuesAfter = ReadAllValues(kSettingsKey);
        return record;
    }
};

const std::vector<std::string> kOddArguments = {"/x", "--foo", "C:\\nothing.exe"};

TEST_F(BranderArguments, FreshRunWithArgumentsIsTheSame) {
    const RunRecord plain = Run({}, {}, "");
    const RunRecord withArgs = Run(kOddArguments, {}, "");
    EXPECT_TRUE(withArgs.keyExistedWhileShown);
    EXPECT_EQ(withArgs.shown, AllEmpty());
    EXPECT_TRUE(withArgs.valuesAfter.empty()) << Describe(withArgs.valuesAfter);
    EXPECT_EQ(withArgs.visibleWindows, 1u);
    EXPECT_EQ(withArgs.exitCode, plain.exitCode);
    EXPECT_EQ(withArgs.shown, plain.shown);
}

TEST_F(BranderArguments, PresetRunWithArgumentsIsTheSame) {
    const RunRecord plain = Run({}, kPreset, "");
    const RunRecord withArgs = Run(kOddArguments, kPreset, "brander-arguments-dialog");
    EXPECT_EQ(withArgs.shown, kPreset);
    EXPECT_EQ(withArgs.shown, plain.shown);
    EXPECT_EQ(withArgs.valuesAfter, plain.valuesAfter) << Describe(withArgs.valuesAfter);
    EXPECT_EQ(withArgs.valuesAfter.size(), 5u);
    EXPECT_EQ(withArgs.visibleWindows, plain.visibleWindows);
    EXPECT_EQ(withArgs.exitCode, plain.exitCode);
}

TEST_F(BranderArguments, EachArgumentAloneChangesNothing) {
    for (const std::string& arg : kOddArguments) {
        SCOPED_TRACE(arg);
        const RunRecord record = Run({arg}, kPreset, "");
        EXPECT_EQ(record.shown, kPreset);
        EXPECT_EQ(record.valuesAfter.size(), 5u) << Describe(record.valuesAfter);
        for (const auto& [name, text] : kPreset) {
            const auto it = record.valuesAfter.find(name);
            ASSERT_NE(it, record.valuesAfter.end()) << name;
            EXPECT_EQ(it->second.type, static_cast<DWORD>(REG_SZ)) << name;
            EXPECT_EQ(it->second.data, SzBytes(text)) << name;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    g_brander = ProgramFromArgs(argc, argv, "VELMORA_BRANDER_EXE");
    return RUN_ALL_TESTS();
}
