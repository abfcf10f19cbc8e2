// End-to-end scenarios for velmorabrander.exe under Wine: what it restores from the
// settings key into its dialog, that every way of cancelling stores nothing and leaves
// the target alone, and that command-line arguments change nothing.
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
constexpr const char* kInitDir = "InitDir";

// The five texts: registry value name and the edit box that shows it.
struct Field {
    const char* valueName;
    int controlId;
};
constexpr Field kFields[] = {
    {"WebName", 1009}, {"WebLink", 1010}, {"CBID", 1008}, {"MRWLink", 1011}, {"QLBLink", 1007},
};

using Texts = std::map<std::string, std::string>;  // value name -> text
using Values = std::map<std::string, RegValue>;

Values AsValues(const Texts& texts) {
    Values values;
    for (const auto& [name, text] : texts) values[name] = RegValue{REG_SZ, SzBytes(text)};
    return values;
}

std::string Describe(const Values& values) {
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

// The file the chooser is answered with: a copy of the brander itself, which carries a
// compatible block. Its folder has capitals and a space, as users' folders do.
const std::string& TargetFolder() {
    static const std::string folder = ScratchFolder() + "\\Target Folder";
    return folder;
}
const std::string& TargetPath() {
    static const std::string path = TargetFolder() + "\\Brand Me.exe";
    return path;
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
        ASSERT_TRUE(CreateFolders(TargetFolder()));
        ASSERT_TRUE(CopyFileA(ToDosPath(g_brander).c_str(), TargetPath().c_str(), FALSE))
            << "copy to " << TargetPath() << " failed, error " << GetLastError();
        const auto bytes = ReadWholeFile(TargetPath());
        ASSERT_TRUE(bytes.has_value());
        m_targetBefore = *bytes;
    }

    void TearDown() override {
        m_app.Terminate();
        // Nothing that only cancels may touch the target.
        if (!m_targetBefore.empty()) {
            const auto after = ReadWholeFile(TargetPath());
            EXPECT_TRUE(after.has_value() && *after == m_targetBefore) << "target changed";
        }
    }

    static void Preset(const Texts& texts) {
        for (const auto& [name, text] : texts) ASSERT_TRUE(SetStringValue(name, text)) << name;
    }

    // Waits until the brander shows something: the window wanted, a message box, or its
    // end. Returns the window wanted, or null.
    HWND WaitForStep(const char* caption, HWND* box) {
        HWND found = nullptr;
        WaitUntil([&] {
            found = FindTopWindow(m_app.Pid(), "#32770", caption);
            *box = FindTopWindow(m_app.Pid(), "#32770", kMessageCaption);
            return found != nullptr || *box != nullptr || !m_app.IsRunning();
        });
        return found;
    }

    std::string WhyNot(const char* caption, HWND box) {
        const std::optional<DWORD> code = m_app.ExitCode();
        return std::string("\"") + caption + "\" did not show; " +
               (box ? "message box: \"" + MessageBoxText(box).value_or("?") + "\"; " : "") +
               (code ? "process ended with " + std::to_string(*code)
                     : "process runs with windows:\n" + DescribeWindows(m_app.Pid()));
    }

    bool StartBrander(const std::vector<std::string>& args) {
        std::string error;
        if (!m_app.Start(g_brander, args, &error)) ADD_FAILURE() << error;
        return m_app.IsStarted();
    }

    // What the brander shows first after its start.
    struct FirstWindow {
        HWND chooser = nullptr;
        HWND dialog = nullptr;
        HWND box = nullptr;
    };
    FirstWindow WaitForFirstWindow() {
        FirstWindow w;
        WaitUntil([&] {
            w.chooser = FindTopWindow(m_app.Pid(), "#32770", kOpenDialogCaption);
            w.dialog = FindTopWindow(m_app.Pid(), "#32770", kDialogCaption);
            w.box = FindTopWindow(m_app.Pid(), "#32770", kMessageCaption);
            return w.chooser != nullptr || w.dialog != nullptr || w.box != nullptr ||
                   !m_app.IsRunning();
        });
        return w;
    }

    // Starts the brander and takes it to its dialog: the one place that knows what comes
    // before the dialog. A file chooser, when the brander shows one, is answered with the
    // target file.
    HWND StartToDialog(const std::vector<std::string>& args = {}) {
        if (!StartBrander(args)) return nullptr;
        FirstWindow first = WaitForFirstWindow();
        HWND dlg = first.dialog;
        HWND box = first.box;
        if (first.chooser != nullptr) {
            m_choseTarget = true;
            if (!ChooseFileInOpenDialog(first.chooser, TargetPath())) {
                ADD_FAILURE() << "could not answer the chooser with " << TargetPath();
                return nullptr;
            }
            dlg = WaitForStep(kDialogCaption, &box);
        }
        if (dlg == nullptr) ADD_FAILURE() << WhyNot(kDialogCaption, box);
        return dlg;
    }

    // What the key must hold after a run that started from `before` and stored none of
    // the dialog's texts: only the chooser's folder, when there was a chooser.
    Values ExpectedAfterRun(const Values& before) const {
        Values expected = before;
        if (m_choseTarget) expected[kInitDir] = RegValue{REG_SZ, SzBytes(Lower(TargetFolder()))};
        return expected;
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

    static void Screenshot(const std::string& name) {
        // Pictures are for people to look at; nothing is asserted about their pixels.
        char dir[8];
        if (GetEnvironmentVariableA("VELMORA_SCREENSHOT_DIR", dir, sizeof dir) == 0) return;
        EXPECT_TRUE(SaveScreenshot(name + ".bmp").has_value()) << "screenshot " << name;
    }

    // Closes the dialog the given way and returns the exit code; fails the test if the
    // process does not end (a message box, for instance).
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
    bool m_choseTarget = false;
    std::vector<unsigned char> m_targetBefore;
};

// ---------------------------------------------------------------------------------------
// First run for a user

TEST_F(BranderScenario, FreshSettingsCreateTheKeyAndShowEmptyBoxes) {
    HWND dlg = StartToDialog();
    ASSERT_NE(dlg, nullptr);
    // Reading alone has created the whole key path; no text of the dialog is in it.
    EXPECT_TRUE(KeyExists(kSettingsKey));
    EXPECT_EQ(ReadAllValues(kSettingsKey), ExpectedAfterRun({}))
        << Describe(ReadAllValues(kSettingsKey));
    EXPECT_EQ(TextsShown(dlg), AllEmpty());

    EXPECT_EQ(VisibleWindows(), std::vector<HWND>{dlg});
    EXPECT_EQ(GetControlText(dlg, IDOK), std::optional<std::string>("Update "));
    EXPECT_EQ(GetControlText(dlg, IDCANCEL), std::optional<std::string>("Cancel"));
    Screenshot("brander-fresh-dialog");

    CloseAndWait(dlg, kCancelActions[0]);
    EXPECT_TRUE(KeyExists(kSettingsKey));
    EXPECT_EQ(ReadAllValues(kSettingsKey), ExpectedAfterRun({}))
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
        EXPECT_EQ(ReadAllValues(kSettingsKey), ExpectedAfterRun({}))
            << Describe(ReadAllValues(kSettingsKey));
    }
}

TEST_F(BranderScenario, CancellingTheChooserEndsWithExitCode1AndStoresNothing) {
    Preset({{"WebName", "Kept"}, {kInitDir, "c:\\earlier folder"}});
    const Values before = ReadAllValues(kSettingsKey);
    ASSERT_TRUE(StartBrander({}));
    const FirstWindow first = WaitForFirstWindow();
    if (first.chooser == nullptr && first.dialog != nullptr)
        GTEST_SKIP() << "this brander shows its dialog without a file chooser";
    HWND chooser = first.chooser;
    ASSERT_NE(chooser, nullptr) << WhyNot(kOpenDialogCaption, first.box);
    Screenshot("brander-chooser");
    ASSERT_TRUE(CancelOpenDialog(chooser));
    DWORD code = 0;
    ASSERT_TRUE(m_app.WaitForExit(kDefaultTimeoutMs, &code))
        << "brander still runs after the chooser was cancelled:\n" << DescribeWindows(m_app.Pid());
    EXPECT_EQ(code, 1u);
    EXPECT_EQ(ReadAllValues(kSettingsKey), before) << Describe(ReadAllValues(kSettingsKey));
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
    const Values before = ReadAllValues(kSettingsKey);
    ASSERT_EQ(before, AsValues(kPreset));

    HWND dlg = StartToDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(TextsShown(dlg), kPreset);
    Screenshot("brander-preset-dialog");

    CloseAndWait(dlg, kCancelActions[0]);
    EXPECT_EQ(ReadAllValues(kSettingsKey), ExpectedAfterRun(before))
        << Describe(ReadAllValues(kSettingsKey));
}

TEST_F(BranderScenario, MissingAndEmptyValuesShowEmptyAndStayAsTheyWere) {
    const Texts partial = {{"WebName", "Only Name"}, {"CBID", ""}, {"QLBLink", "ql"}};
    Preset(partial);
    const Values before = ReadAllValues(kSettingsKey);

    HWND dlg = StartToDialog();
    ASSERT_NE(dlg, nullptr);
    Texts expected = AllEmpty();
    for (const auto& [name, text] : partial) expected[name] = text;
    EXPECT_EQ(TextsShown(dlg), expected);

    CloseAndWait(dlg, kCancelActions[0]);
    EXPECT_EQ(ReadAllValues(kSettingsKey), ExpectedAfterRun(before))
        << Describe(ReadAllValues(kSettingsKey));
}

TEST_F(BranderScenario, EveryCancelKeepsStoredValuesByteForByteAfterEditing) {
    Preset(kPreset);
    const Values before = ReadAllValues(kSettingsKey);
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
        EXPECT_EQ(ReadAllValues(kSettingsKey), ExpectedAfterRun(before))
            << Describe(ReadAllValues(kSettingsKey));
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
    Values valuesAfter;
    DWORD exitCode = 0;
    bool keyExistedWhileShown = false;
};

class BranderArguments : public BranderScenario {
protected:
    // One run up to the dialog and out through Cancel; nullopt if the dialog never came.
    std::optional<RunRecord> Run(const std::vector<std::string>& args, const Texts& preset,
                                 const std::string& screenshot) {
        RunRecord record;
        EXPECT_TRUE(ResetSettings());
        Preset(preset);
        HWND dlg = StartToDialog(args);
        if (dlg == nullptr) return std::nullopt;
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
    const std::optional<RunRecord> plain = Run({}, {}, "");
    ASSERT_TRUE(plain.has_value());
    const std::optional<RunRecord> withArgs = Run(kOddArguments, {}, "");
    ASSERT_TRUE(withArgs.has_value());
    EXPECT_TRUE(withArgs->keyExistedWhileShown);
    EXPECT_EQ(withArgs->shown, AllEmpty());
    EXPECT_EQ(withArgs->valuesAfter, ExpectedAfterRun({})) << Describe(withArgs->valuesAfter);
    EXPECT_EQ(withArgs->visibleWindows, 1u);
    EXPECT_EQ(withArgs->exitCode, plain->exitCode);
    EXPECT_EQ(withArgs->shown, plain->shown);
}

TEST_F(BranderArguments, PresetRunWithArgumentsIsTheSame) {
    const std::optional<RunRecord> plain = Run({}, kPreset, "");
    ASSERT_TRUE(plain.has_value());
    const std::optional<RunRecord> withArgs =
        Run(kOddArguments, kPreset, "brander-arguments-dialog");
    ASSERT_TRUE(withArgs.has_value());
    EXPECT_EQ(withArgs->shown, kPreset);
    EXPECT_EQ(withArgs->shown, plain->shown);
    EXPECT_EQ(withArgs->valuesAfter, ExpectedAfterRun(AsValues(kPreset)))
        << Describe(withArgs->valuesAfter);
    EXPECT_EQ(withArgs->valuesAfter, plain->valuesAfter);
    EXPECT_EQ(withArgs->visibleWindows, plain->visibleWindows);
    EXPECT_EQ(withArgs->exitCode, plain->exitCode);
}

TEST_F(BranderArguments, EachArgumentAloneChangesNothing) {
    for (const std::string& arg : kOddArguments) {
        SCOPED_TRACE(arg);
        const std::optional<RunRecord> record = Run({arg}, kPreset, "");
        ASSERT_TRUE(record.has_value());
        EXPECT_EQ(record->shown, kPreset);
        EXPECT_EQ(record->valuesAfter, ExpectedAfterRun(AsValues(kPreset)))
            << Describe(record->valuesAfter);
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    g_brander = ProgramArgument(argc, argv, 1, "VELMORA_BRANDER_EXE");
    return RUN_ALL_TESTS();
}
