// End-to-end flows of velmorabrander.exe under Wine: what the file chooser's answers
// lead to, branding real targets and reading the result back (the file's bytes, the
// stored settings, what a branded program derives from its block), each check of
// "Update ", a save that fails, the keyboard, and the "Click here" link with a recording
// browser and with none.
// Usage: e2e_flow_tests BRANDER_EXE FIXTURE_EXE [CLI_EXE] (or VELMORA_BRANDER_EXE,
// VELMORA_FIXTURE_EXE and VELMORA_CLI_EXE). CLI_EXE, velmora-brand.exe, is checked to brand
// as the dialog does. VELMORA_URL_RECORDER names (as a Unix path) an executable script that
// appends its argument to "<script>.log". Screenshots go to VELMORA_SCREENSHOT_DIR.
#include "Driver.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <ostream>
#include <sstream>

namespace {

using namespace e2e;

using Values = std::map<std::string, RegValue>;

std::string g_brander;
std::string g_fixture;
std::string g_recorder;  // Unix path of the recording browser
std::string g_cli;       // velmora-brand.exe, when given: it must brand exactly as the dialog does

constexpr const char* kDialogCaption = "Quillburn Brander";
constexpr const char* kMessageCaption = "Velmora Software Brander";
constexpr const char* kInitDir = "InitDir";
constexpr int kClickHereId = 1023;
constexpr const char* kAffiliatePage = "http://www.velmorasoftware.com/affiliates.html";

constexpr const char* kSuccess = "Software branding complete";
constexpr const char* kIncompatible = "The .exe file is not compatible with this brander";
constexpr const char* kNameMissing =
    "Please enter the name of the licensee\n\nThis can be your own name or the name of\n"
    "your company or the name of your web site";
constexpr const char* kLinkMissing = "Please enter your web site link";
constexpr const char* kNameTooLong = "Licensee name is too long";
constexpr const char* kLinkTooLong = "Web Site Link is too long";
constexpr const char* kCBIDTooLong = "Clickbank ID is too long";
constexpr const char* kMirrowenTooLong = "Mirrowen link is too long";
constexpr const char* kQuillburnTooLong = "Quillburn link is too long";
const std::string kBrowserFailure =
    std::string("Unable to activate your Internet browser\n\nPlease activate your browser and "
                "enter the address:\n\n") + kAffiliatePage;

// ---------------------------------------------------------------------------------------
// The branding block as a target file carries it

constexpr const char kMarker[] = "xgrwd[ut095noosernf34985y9237yrjnlms84thzcne9hwjoelkm8u59843";
constexpr std::size_t kMarkerLength = sizeof kMarker - 1;
constexpr std::size_t kSecondMarkerAt = 1060;  // from the block's start
constexpr std::size_t kDataBegin = 60;         // the data area, in block offsets
constexpr std::size_t kDataEnd = 1060;
static_assert(kMarkerLength == 60, "the marker is 60 bytes");

// The five texts of the dialog.
struct Texts {
    std::string webName, webLink, cbid, mirrowen, quillburn;
    bool operator==(const Texts& o) const {
        return webName == o.webName && webLink == o.webLink && cbid == o.cbid &&
               mirrowen == o.mirrowen && quillburn == o.quillburn;
    }
};

void PrintTo(const Texts& t, std::ostream* os) {
    *os << "{name " << Visible(t.webName) << ", link " << Visible(t.webLink) << ", cbid "
        << Visible(t.cbid) << ", mirrowen " << Visible(t.mirrowen) << ", quillburn "
        << Visible(t.quillburn) << "}";
}

// Each text: its registry value, its edit box and its slot in the block.
struct Field {
    const char* valueName;
    int controlId;
    std::string Texts::*member;
    std::size_t slotAt;  // block offset
    std::size_t slotWidth;
};
const Field kFields[] = {
    {"WebName", 1009, &Texts::webName, 360, 100},
    {"WebLink", 1010, &Texts::webLink, 460, 100},
    {"CBID", 1008, &Texts::cbid, 100, 60},
    {"MRWLink", 1011, &Texts::mirrowen, 160, 100},
    {"QLBLink", 1007, &Texts::quillburn, 260, 100},
};

std::size_t Find(const Bytes& bytes, std::size_t from) {
    if (from >= bytes.size()) return std::string::npos;
    const auto at = std::search(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end(),
                                kMarker, kMarker + kMarkerLength);
    return at == bytes.end() ? std::string::npos : static_cast<std::size_t>(at - bytes.begin());
}

// Block offset of a compatible file: the first marker, with the second 1060 bytes on.
std::optional<std::size_t> FindBlock(const Bytes& bytes) {
    const std::size_t first = Find(bytes, 0);
    if (first == std::string::npos) return std::nullopt;
    if (Find(bytes, first + 1) != first + kSecondMarkerAt) return std::nullopt;
    return first;
}

// The file as it must be once branded with these (checked and completed) texts.
Bytes Branded(const Bytes& original, const Texts& stored) {
    Bytes out = original;
    const std::optional<std::size_t> block = FindBlock(original);
    if (!block) return out;
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(*block + kDataBegin),
              out.begin() + static_cast<std::ptrdiff_t>(*block + kDataEnd), 0);
    for (const Field& f : kFields) {
        const std::string& text = stored.*f.member;
        std::copy(text.begin(), text.end(),
                  out.begin() + static_cast<std::ptrdiff_t>(*block + f.slotAt));
    }
    return out;
}

// Where two images first differ, named by region of the block.
std::string FirstDifference(const Bytes& expected, const Bytes& actual) {
    if (expected.size() != actual.size())
        return "size " + std::to_string(actual.size()) + ", expected " +
               std::to_string(expected.size());
    std::size_t at = 0;
    while (at < expected.size() && expected[at] == actual[at]) ++at;
    if (at == expected.size()) return "no difference";
    std::ostringstream out;
    out << "first difference at file offset " << at << ": " << static_cast<int>(actual[at])
        << ", expected " << static_cast<int>(expected[at]);
    if (const std::optional<std::size_t> block = FindBlock(expected)) {
        if (at < *block || at >= *block + kDataEnd + kMarkerLength) {
            out << " (outside the block)";
        } else {
            const std::size_t rel = at - *block;
            out << " (block offset " << rel;
            for (const Field& f : kFields)
                if (rel >= f.slotAt && rel < f.slotAt + f.slotWidth)
                    out << ", slot " << f.valueName << " +" << rel - f.slotAt;
            out << ")";
        }
    }
    std::size_t count = 0;
    for (std::size_t i = at; i < expected.size(); ++i) count += expected[i] != actual[i];
    out << "; " << count << " bytes differ";
    return out.str();
}

Bytes MarkerBytes() { return Bytes(kMarker, kMarker + kMarkerLength); }

Bytes Filler(std::size_t n, unsigned char seed) {
    Bytes out(n);
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<unsigned char>(seed + i * 7u);
    return out;
}

// Builds a file from pieces.
Bytes Join(const std::vector<Bytes>& parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::string Describe(const Values& values) {
    std::ostringstream out;
    for (const auto& [name, value] : values) {
        out << "  " << name << " (type " << value.type << "): ";
        if (value.type == REG_SZ && !value.data.empty())
            out << Visible(std::string(value.data.begin(), value.data.end() - 1));
        else
            out << value.data.size() << " bytes";
        out << '\n';
    }
    return out.str();
}

// ---------------------------------------------------------------------------------------
// The shell's http association is hidden for the failing browser and put back afterwards.
// A copy also sits in HKCU while it is hidden, so that a run that dies half-way is
// repaired by the next one.

// Where the shell finds what opens http addresses.
struct AssociationKey {
    const char* name;  // also the name of its copy in the backup
    HKEY root;
    const char* path;
};
const AssociationKey kHttpAssociations[] = {
    {"HKLM", HKEY_LOCAL_MACHINE, "Software\\Classes\\http"},
    {"HKCU", HKEY_CURRENT_USER, "Software\\Classes\\http"},
};
constexpr const char* kAssociationBackup = "Software\\Velmora e2e saved http association";

// Puts back whatever a backup holds, then drops the backup.
bool RestoreAssociationsFromBackup() {
    bool ok = true;
    for (const AssociationKey& a : kHttpAssociations) {
        const std::string saved = std::string(kAssociationBackup) + "\\" + a.name;
        if (std::optional<KeyTree> tree = ReadTree(HKEY_CURRENT_USER, saved))
            ok = ok && DeleteTree(a.root, a.path) && WriteTree(a.root, a.path, *tree);
    }
    return ok && DeleteTree(HKEY_CURRENT_USER, kAssociationBackup);
}

// Removes the http association while it lives; restores it byte for byte afterwards.
class HiddenHttpAssociation {
public:
    HiddenHttpAssociation() {
        m_ok = true;
        for (const AssociationKey& a : kHttpAssociations) {
            std::optional<KeyTree> tree = ReadTree(a.root, a.path);
            if (!tree) continue;
            const std::string saved = std::string(kAssociationBackup) + "\\" + a.name;
            m_ok = m_ok && WriteTree(HKEY_CURRENT_USER, saved, *tree) && DeleteTree(a.root, a.path);
            m_saved.emplace_back(&a, std::move(*tree));
        }
        m_ok = m_ok && !m_saved.empty();
    }
    ~HiddenHttpAssociation() { Restore(); }
    HiddenHttpAssociation(const HiddenHttpAssociation&) = delete;
    HiddenHttpAssociation& operator=(const HiddenHttpAssociation&) = delete;

    bool Ok() const { return m_ok; }

    // True when every key is back as it was.
    bool Restore() {
        if (m_restored) return m_restoredOk;
        m_restored = true;
        m_restoredOk = RestoreAssociationsFromBackup();
        for (const auto& [a, tree] : m_saved) {
            const std::optional<KeyTree> now = ReadTree(a->root, a->path);
            m_restoredOk = m_restoredOk && now && SameTree(*now, tree);
        }
        return m_restoredOk;
    }

private:
    std::vector<std::pair<const AssociationKey*, KeyTree>> m_saved;
    bool m_ok = false;
    bool m_restored = false;
    bool m_restoredOk = false;
};

constexpr const char* kWineBrowserKey = "Software\\Wine\\WineBrowser";

// Points winebrowser at the recording script while it lives.
class RecordingBrowser {
public:
    RecordingBrowser()
        : m_keyExisted(KeyExists(kWineBrowserKey)), m_saved(ReadValue("Browsers", kWineBrowserKey)) {
        m_log = ToDosPath(g_recorder + ".log");
        DeleteFileA(m_log.c_str());
        m_ok = SetStringValue("Browsers", g_recorder, kWineBrowserKey);
    }
    ~RecordingBrowser() {
        if (m_saved)
            SetRawValue("Browsers", m_saved->type, m_saved->data, kWineBrowserKey);
        else if (m_keyExisted)
            DeleteValue(kWineBrowserKey, "Browsers");
        else
            DeleteKeyTree(kWineBrowserKey);
        DeleteFileA(m_log.c_str());
    }
    RecordingBrowser(const RecordingBrowser&) = delete;
    RecordingBrowser& operator=(const RecordingBrowser&) = delete;

    bool Ok() const { return m_ok; }

    // The addresses the browser was started with, one a line.
    std::vector<std::string> Addresses() const {
        std::vector<std::string> lines;
        const std::optional<Bytes> bytes = ReadWholeFile(m_log);
        if (!bytes) return lines;
        std::istringstream in(std::string(bytes->begin(), bytes->end()));
        std::string line;
        while (std::getline(in, line)) lines.push_back(line);
        return lines;
    }

private:
    bool m_keyExisted;
    std::optional<RegValue> m_saved;
    std::string m_log;
    bool m_ok = false;
};

// ---------------------------------------------------------------------------------------
// The scenarios' fixture

struct BoxSeen {
    std::string text;
    IconColour icon = IconColour::NoIcon;
};

class FlowScenario : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(g_brander.empty()) << "no brander exe given (argv[1] or VELMORA_BRANDER_EXE)";
        ASSERT_FALSE(g_fixture.empty())
            << "no brandable fixture exe given (argv[2] or VELMORA_FIXTURE_EXE)";
        ASSERT_TRUE(ResetSettings());
        ASSERT_FALSE(KeyExists(kSettingsKey));
        NewFolder();
    }

    void TearDown() override { m_app.Terminate(); }

    // A fresh folder for the targets; its name has capitals and a space.
    void NewFolder() {
        static int counter = 0;
        m_folder = ScratchFolder() + "\\Target Folder " + std::to_string(++counter);
        ASSERT_TRUE(CreateFolders(m_folder)) << m_folder;
    }

    std::string InFolder(const std::string& name) const { return m_folder + "\\" + name; }

    // Copies a program into the folder; returns its path, empty on failure.
    std::string Place(const std::string& source, const std::string& name) {
        const std::string path = InFolder(name);
        if (!CopyFileA(ToDosPath(source).c_str(), path.c_str(), FALSE)) {
            ADD_FAILURE() << "copy of " << source << " to " << path << " failed, error "
                          << GetLastError();
            return std::string();
        }
        return path;
    }

    std::string PlaceBytes(const Bytes& bytes, const std::string& name) {
        const std::string path = InFolder(name);
        if (!WriteFileBytes(path, bytes)) {
            ADD_FAILURE() << "could not write " << path;
            return std::string();
        }
        return path;
    }

    static Bytes Content(const std::string& path) {
        const std::optional<Bytes> bytes = ReadWholeFile(path);
        EXPECT_TRUE(bytes.has_value()) << "cannot read " << path;
        return bytes.value_or(Bytes());
    }

    std::string DescribeWindows() const {
        std::ostringstream out;
        for (HWND hwnd : TopWindowsOf(m_app.Pid())) {
            if (!IsWindowVisible(hwnd)) continue;
            out << "  class \"" << ClassNameOf(hwnd) << "\" caption \""
                << WindowText(hwnd).value_or("?") << "\"";
            if (HWND text = FindControl(hwnd, kMessageBoxTextId))
                out << " text " << Visible(WindowText(text).value_or("?"));
            out << '\n';
        }
        return out.str();
    }

    HWND Box() const { return FindTopWindow(m_app.Pid(), "#32770", kMessageCaption); }

    // Starts the brander and waits for its chooser.
    HWND StartToChooser() {
        std::string error;
        if (!m_app.Start(g_brander, {}, &error)) {
            ADD_FAILURE() << error;
            return nullptr;
        }
        HWND chooser = nullptr;
        WaitUntil([&] {
            chooser = FindTopWindow(m_app.Pid(), "#32770", kOpenDialogCaption);
            return chooser != nullptr || Box() != nullptr || !m_app.IsRunning();
        });
        if (chooser == nullptr)
            ADD_FAILURE() << "no chooser; " << (m_app.IsRunning() ? "windows:\n" + DescribeWindows()
                                                                  : "the brander ended");
        return chooser;
    }

    // Starts the brander, answers the chooser with path and waits for the dialog.
    HWND OpenDialogOn(const std::string& path) {
        HWND chooser = StartToChooser();
        if (chooser == nullptr) return nullptr;
        if (!ChooseFileInOpenDialog(chooser, path)) {
            ADD_FAILURE() << "could not answer the chooser with " << path;
            return nullptr;
        }
        HWND dlg = nullptr;
        WaitUntil([&] {
            dlg = FindTopWindow(m_app.Pid(), "#32770", kDialogCaption);
            return dlg != nullptr || Box() != nullptr || !m_app.IsRunning();
        });
        if (dlg == nullptr)
            ADD_FAILURE() << "no dialog for " << path << "; "
                          << (m_app.IsRunning() ? "windows:\n" + DescribeWindows()
                                                : "the brander ended");
        return dlg;
    }

    static bool Type(HWND dlg, const Texts& texts) {
        bool ok = true;
        for (const Field& f : kFields) {
            const std::string& text = texts.*f.member;
            const bool set = SetControlText(dlg, f.controlId, text) &&
                             GetControlText(dlg, f.controlId) == std::optional<std::string>(text);
            EXPECT_TRUE(set) << f.valueName << " did not take " << Visible(text);
            ok = ok && set;
        }
        return ok;
    }

    static Texts Shown(HWND dlg) {
        Texts shown;
        for (const Field& f : kFields)
            shown.*f.member = GetControlText(dlg, f.controlId).value_or("<no control>");
        return shown;
    }

    // Waits for the next message box, reads it, optionally photographs it, presses OK.
    std::optional<BoxSeen> AnswerBox(const std::string& screenshot = std::string()) {
        HWND box = nullptr;
        WaitUntil([&] {
            box = Box();
            return box != nullptr || !m_app.IsRunning();
        });
        if (box == nullptr) {
            ADD_FAILURE() << "no message box; "
                          << (m_app.IsRunning() ? "windows:\n" + DescribeWindows()
                                                : "the brander ended with " +
                                                      std::to_string(m_app.ExitCode().value_or(0)));
            return std::nullopt;
        }
        BoxSeen seen;
        seen.text = MessageBoxText(box).value_or("<unreadable>");
        seen.icon = MessageBoxIconColour(box);
        if (!screenshot.empty()) Screenshot(screenshot);
        EXPECT_TRUE(PressMessageBoxOk(box)) << "could not close " << Visible(seen.text);
        return seen;
    }

    void ExpectBox(const std::string& text, IconColour icon,
                   const std::string& screenshot = std::string()) {
        const std::optional<BoxSeen> seen = AnswerBox(screenshot);
        if (!seen) return;
        EXPECT_EQ(Visible(seen->text), Visible(text));
        EXPECT_STREQ(ToString(seen->icon), ToString(icon)) << "icon of " << Visible(text);
    }

    // Waits for the brander to end; any message box on the way is a failure.
    std::optional<DWORD> EndsWithoutBox() {
        HWND box = nullptr;
        WaitUntil([&] {
            box = Box();
            return box != nullptr || !m_app.IsRunning();
        });
        if (box != nullptr) {
            ADD_FAILURE() << "unexpected message box " << Visible(MessageBoxText(box).value_or("?"));
            PressMessageBoxOk(box);
            return std::nullopt;
        }
        DWORD code = 0;
        if (!m_app.WaitForExit(kDefaultTimeoutMs, &code)) {
            ADD_FAILURE() << "the brander does not end; windows:\n" << DescribeWindows();
            return std::nullopt;
        }
        return code;
    }

    // Closes the dialog with Cancel and waits for the end.
    void Cancel(HWND dlg) {
        EXPECT_TRUE(ClickButton(dlg, IDCANCEL));
        EndsWithoutBox();
    }

    // The dialog is still the one up, alone, with these texts.
    void ExpectDialogUnchanged(HWND dlg, const Texts& texts) {
        EXPECT_TRUE(m_app.IsRunning());
        EXPECT_TRUE(IsWindow(dlg) && IsWindowVisible(dlg)) << "the dialog is gone";
        EXPECT_EQ(FindTopWindow(m_app.Pid(), "#32770", kDialogCaption), dlg);
        EXPECT_EQ(Box(), nullptr) << "a message box is still up";
        EXPECT_EQ(Shown(dlg), texts);
    }

    Values OnlyInitDir() const {
        return {{kInitDir, RegValue{REG_SZ, SzBytes(Lower(m_folder))}}};
    }

    Values StoredAsTyped(const Texts& typed) const {
        Values values = OnlyInitDir();
        for (const Field& f : kFields)
            values[f.valueName] = RegValue{REG_SZ, SzBytes(typed.*f.member)};
        return values;
    }

    void ExpectSettings(const Values& expected) {
        const Values now = ReadAllValues(kSettingsKey);
        EXPECT_EQ(now, expected) << "stored:\n" << Describe(now) << "expected:\n"
                                 << Describe(expected);
    }

    // After "Update " with texts the checks leave as they are: the success message, a
    // normal end, the texts in the target's block and in the settings.
    void ExpectBrandedAndStored(const std::string& target, const Bytes& original, const Texts& typed) {
        ExpectBox(kSuccess, IconColour::Blue);
        const std::optional<DWORD> code = EndsWithoutBox();
        ASSERT_TRUE(code.has_value());
        EXPECT_EQ(*code, 0u);
        const Bytes expected = Branded(original, typed);
        const Bytes after = Content(target);
        EXPECT_TRUE(after == expected) << FirstDifference(expected, after);
        ExpectSettings(StoredAsTyped(typed));
    }

    static void Screenshot(const std::string& name) {
        // Pictures are for people to look at; nothing is asserted about their pixels.
        char dir[8];
        if (GetEnvironmentVariableA("VELMORA_SCREENSHOT_DIR", dir, sizeof dir) == 0) return;
        EXPECT_TRUE(SaveScreenshot(name + ".bmp").has_value()) << "screenshot " << name;
    }

    Process m_app;
    std::string m_folder;
};

// Texts that pass every check.
const Texts kValid = {"Valid Licensee", "http://valid.example", "valid1", "", ""};

// ---------------------------------------------------------------------------------------
// The chooser

TEST_F(FlowScenario, CancelledChooserEndsWithCode1WithoutMessageAndKeepsTheFolder) {
    ASSERT_TRUE(SetStringValue(kInitDir, m_folder));
    ASSERT_TRUE(SetStringValue("WebName", "Kept Name"));
    const Values before = ReadAllValues(kSettingsKey);
    HWND chooser = StartToChooser();
    ASSERT_NE(chooser, nullptr);
    // The chooser is the first thing shown: the dialog is not visible behind it.
    EXPECT_EQ(FindTopWindow(m_app.Pid(), "#32770", kDialogCaption), nullptr);
    ASSERT_TRUE(CancelOpenDialog(chooser));
    const std::optional<DWORD> code = EndsWithoutBox();
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 1u);
    ExpectSettings(before);
}

struct UnreadableCase {
    const char* name;
    bool rememberFolder;  // InitDir names the target folder before the run
    bool inDriveRoot;
    const char* typed;  // file name; a full path is built unless typedAsIs
    bool typedAsIs;
};
const UnreadableCase kUnreadable[] = {
    {"full path typed", false, false, "Not Here.exe", false},
    {"bare name typed in the remembered folder", true, false, "Missing Program.exe", true},
    {"full path in a drive root", false, true, "C:\\Velmora Missing In Root.exe", true},
};

TEST_F(FlowScenario, ChosenFileThatCannotBeReadIsReportedWithItsFullPath) {
    for (const UnreadableCase& c : kUnreadable) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(ResetSettings());
        NewFolder();
        if (c.rememberFolder) {
            ASSERT_TRUE(SetStringValue(kInitDir, m_folder));
        }
        const std::string typed = c.typedAsIs ? c.typed : InFolder(c.typed);
        const std::string full = c.inDriveRoot ? c.typed : InFolder(c.typed);
        ASSERT_EQ(GetFileAttributesA(full.c_str()), INVALID_FILE_ATTRIBUTES) << full << " exists";

        HWND chooser = StartToChooser();
        ASSERT_NE(chooser, nullptr);
        ASSERT_TRUE(ChooseFileInOpenDialog(chooser, typed));
        ExpectBox("Unable to read file: " + full, IconColour::Red);
        const std::optional<DWORD> code = EndsWithoutBox();
        ASSERT_TRUE(code.has_value());
        EXPECT_EQ(*code, 1u);
        const Values expected = {
            {kInitDir, RegValue{REG_SZ, SzBytes(c.inDriveRoot ? "c:" : Lower(m_folder))}}};
        ExpectSettings(expected);
    }
}

struct IncompatibleCase {
    const char* name;
    std::function<Bytes()> content;
    std::size_t atLeast = 0;  // bytes the content must have, for a copy of a real file
};
Bytes MarkerWithByteChanged() {
    Bytes m = MarkerBytes();
    m[30] = static_cast<unsigned char>(m[30] ^ 0x20);
    return m;
}
const IncompatibleCase kIncompatibleFiles[] = {
    {"text file named .exe",
     [] {
         std::string text;
         for (int i = 0; i < 200; ++i) text += "This is a plain text file, not a program.\r\n";
         return Bytes(text.begin(), text.end());
     }},
    {"empty file", [] { return Bytes(); }},
    {"one marker", [] { return Join({Filler(500, 1), MarkerBytes(), Filler(3000, 2)}); }},
    {"two markers 1059 bytes apart",
     [] { return Join({Filler(300, 3), MarkerBytes(), Filler(999, 4), MarkerBytes(), Filler(400, 5)}); }},
    {"two markers 1061 bytes apart",
     [] { return Join({Filler(300, 3), MarkerBytes(), Filler(1001, 4), MarkerBytes(), Filler(400, 5)}); }},
    {"first two markers at the wrong distance, the next pair right",
     [] {
         return Join({Filler(100, 6), MarkerBytes(), Filler(440, 7), MarkerBytes(), Filler(1000, 8),
                      MarkerBytes(), Filler(400, 9)});
     }},
    {"markers 1060 apart with one byte changed",
     [] {
         return Join({Filler(300, 3), MarkerWithByteChanged(), Filler(1000, 4),
                      MarkerWithByteChanged(), Filler(400, 5)});
     }},
    {"a program without a block",
     [] { return ReadWholeFile("C:\\windows\\system32\\notepad.exe").value_or(Bytes()); },
     1000},
};

TEST_F(FlowScenario, FilesWithoutACompatibleBlockAreRefused) {
    for (const IncompatibleCase& c : kIncompatibleFiles) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(ResetSettings());
        NewFolder();
        const Bytes bytes = c.content();
        ASSERT_GE(bytes.size(), c.atLeast) << "the file to copy is missing";
        const std::string target = PlaceBytes(bytes, "Not Brandable.exe");
        ASSERT_FALSE(target.empty());

        HWND chooser = StartToChooser();
        ASSERT_NE(chooser, nullptr);
        ASSERT_TRUE(ChooseFileInOpenDialog(chooser, target));
        ExpectBox(kIncompatible, IconColour::Red);
        const std::optional<DWORD> code = EndsWithoutBox();
        ASSERT_TRUE(code.has_value());
        EXPECT_EQ(*code, 1u);
        ExpectSettings(OnlyInitDir());
        EXPECT_EQ(Content(target), bytes) << "the refused file changed";
    }
}

TEST_F(FlowScenario, CompatibleCopyOpensTheDialogAndIsLeftAlone) {
    const std::pair<const char*, const std::string*> sources[] = {{"brander", &g_brander},
                                                                   {"fixture", &g_fixture}};
    for (const auto& [name, source] : sources) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(ResetSettings());
        const std::string target = Place(*source, std::string("Copy Of ") + name + ".exe");
        ASSERT_FALSE(target.empty());
        const Bytes before = Content(target);
        ASSERT_TRUE(FindBlock(before).has_value()) << "the copy carries no block";

        HWND dlg = OpenDialogOn(target);
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(Box(), nullptr);
        EXPECT_EQ(Content(target), before) << "changed on disk while the dialog is open";
        ExpectSettings(OnlyInitDir());
        Cancel(dlg);
        EXPECT_EQ(Content(target), before) << "changed on disk after Cancel";
    }
}

// ---------------------------------------------------------------------------------------
// Branding, start to end

enum class Source { Brander, Fixture, Synthetic };

// A target that is no program: a block with rubbish in its data area, a third marker
// after it and bytes all around.
Bytes SyntheticTarget() {
    return Join({Filler(777, 11), MarkerBytes(), Filler(1000, 12), MarkerBytes(), Filler(333, 13),
                 MarkerBytes(), Filler(200, 14)});
}

struct BrandCase {
    const char* name;
    Source source;
    Texts typed;
    Texts stored;  // after the checks: leading white space gone, "www." links completed
    std::map<std::string, std::string> identity;  // what the branded fixture prints
};

const std::string kLong99(99, 'N');
const std::string kWww88 = "www." + std::string(88, 'w');  // 99 bytes with "http://"

const BrandCase kBrandCases[] = {
    {"brander copy: spaces, www. links, bytes above 127",
     Source::Brander,
     {"  Caf\xe9 Owner Ltd", "\t www.example.com/shop", " cbid42", "www.mirrowen.example/dl",
      "WWW.Quill.example"},
     {"Caf\xe9 Owner Ltd", "http://www.example.com/shop", "cbid42", "http://www.mirrowen.example/dl",
      "WWW.Quill.example"},
     {}},
    {"fixture copy: Clickbank ID and no product links",
     Source::Fixture,
     {"Na\xefve Books", "www.naive.example", "  zed99", "", ""},
     {"Na\xefve Books", "http://www.naive.example", "zed99", "", ""},
     {{"branded", "1"},
      {"mirrowen", "http://hop.clickbank.net?zed99/plimsett"},
      {"quillburn", "http://hop.clickbank.net?zed99/plimsett"},
      {"name", "Na\xefve Books"},
      {"link", "http://www.naive.example"}}},
    {"fixture copy: own product links",
     Source::Fixture,
     {"\x0b\x0cSeller \xc4\xd6", "https://seller.example/", "id7", " www.m.example/x",
      "quill.example/\xfc"},
     {"Seller \xc4\xd6", "https://seller.example/", "id7", "http://www.m.example/x",
      "quill.example/\xfc"},
     {{"branded", "1"},
      {"mirrowen", "http://www.m.example/x"},
      {"quillburn", "quill.example/\xfc"},
      {"name", "Seller \xc4\xd6"},
      {"link", "https://seller.example/"}}},
    {"fixture copy: neither ID nor product links",
     Source::Fixture,
     {"Plain", "plain.example", "", "", ""},
     {"Plain", "plain.example", "", "", ""},
     {{"branded", "1"},
      {"mirrowen", "http://www.velmorasoftware.com/mirrowen"},
      {"quillburn", "http://www.velmorasoftware.com/quillburn"},
      {"name", "Plain"},
      {"link", "plain.example"}}},
    {"synthetic target: the longest texts that fit",
     Source::Synthetic,
     {"   " + kLong99, kWww88, std::string(59, 'c'), std::string(99, 'm'), "\t" + kWww88},
     {kLong99, "http://" + kWww88, std::string(59, 'c'), std::string(99, 'm'), "http://" + kWww88},
     {}},
};

TEST_F(FlowScenario, BrandingWritesTheBlockStoresTheTextsAndTheNextRunShowsThem) {
    bool firstCase = true;
    for (const BrandCase& c : kBrandCases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(ResetSettings());
        NewFolder();
        std::string target;
        switch (c.source) {
        case Source::Brander: target = Place(g_brander, "Brand Me.exe"); break;
        case Source::Fixture: target = Place(g_fixture, "Brand Me.exe"); break;
        case Source::Synthetic: target = PlaceBytes(SyntheticTarget(), "Brand Me.exe"); break;
        }
        ASSERT_FALSE(target.empty());
        const Bytes original = Content(target);
        ASSERT_TRUE(FindBlock(original).has_value());
        const Bytes expected = Branded(original, c.stored);

        HWND dlg = OpenDialogOn(target);
        ASSERT_NE(dlg, nullptr);
        ASSERT_TRUE(Type(dlg, c.typed));
        if (firstCase) Screenshot("flow-dialog-typed");
        ASSERT_TRUE(ClickButton(dlg, IDOK));
        ExpectBox(kSuccess, IconColour::Blue, firstCase ? "flow-success-message" : "");
        const std::optional<DWORD> code = EndsWithoutBox();
        ASSERT_TRUE(code.has_value());
        EXPECT_EQ(*code, 0u);
        firstCase = false;

        const Bytes after = Content(target);
        EXPECT_TRUE(after == expected) << FirstDifference(expected, after);
        EXPECT_EQ(FolderEntries(m_folder), std::vector<std::string>{"Brand Me.exe"})
            << "files left beside the target";
        ExpectSettings(StoredAsTyped(c.typed));

        if (!c.identity.empty()) {
            DWORD exitCode = 0;
            const std::optional<std::string> output = RunCapturingOutput(target, &exitCode);
            ASSERT_TRUE(output.has_value()) << "the branded fixture did not run to its end";
            EXPECT_EQ(exitCode, 0u);
            std::map<std::string, std::string> printed = KeyValueLines(*output);
            std::map<std::string, std::string> identity;
            for (const auto& [key, value] : c.identity) identity[key] = printed[key];
            EXPECT_EQ(identity, c.identity) << "output:\n" << *output;
        }

        // The branded file is still compatible, and the next run shows what was typed.
        dlg = OpenDialogOn(target);
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(Shown(dlg), c.typed);
        Cancel(dlg);
        EXPECT_TRUE(Content(target) == after) << "the branded file changed on Cancel";
        ExpectSettings(StoredAsTyped(c.typed));

        // The command-line program, given the same texts as typed, makes the same file.
        if (!g_cli.empty()) {
            const std::string copy = PlaceBytes(original, "Command Line Copy.exe");
            ASSERT_FALSE(copy.empty());
            DWORD exitCode = 99;
            const std::optional<std::string> output = RunCapturingOutput(
                g_cli, &exitCode,
                {"brand", copy, "--name", c.typed.webName, "--link", c.typed.webLink, "--cbid", c.typed.cbid,
                 "--mirrowen", c.typed.mirrowen, "--quillburn", c.typed.quillburn});
            ASSERT_TRUE(output.has_value());
            EXPECT_EQ(exitCode, 0u) << *output;
            const Bytes byCli = Content(copy);
            EXPECT_TRUE(byCli == after) << "velmora-brand differs from the dialog: " << FirstDifference(after, byCli);
        }
    }
}

TEST_F(FlowScenario, UnbrandedFixturePrintsTheDefaults) {
    // The reading side on its own, so that a branded run's output means something.
    const std::string target = Place(g_fixture, "Unbranded.exe");
    ASSERT_FALSE(target.empty());
    const std::optional<std::string> output = RunCapturingOutput(target, nullptr);
    ASSERT_TRUE(output.has_value());
    const std::map<std::string, std::string> printed = KeyValueLines(*output);
    const std::map<std::string, std::string> expected = {
        {"branded", "0"},
        {"mirrowen", "http://www.velmorasoftware.com/mirrowen"},
        {"quillburn", "http://www.velmorasoftware.com/quillburn"},
        {"name", "Velmora Software"},
        {"link", "http://www.velmorasoftware.com"}};
    for (const auto& [key, value] : expected) {
        const auto it = printed.find(key);
        EXPECT_TRUE(it != printed.end() && it->second == value) << key << "\noutput:\n" << *output;
    }
}

// ---------------------------------------------------------------------------------------
// The checks of "Update "

struct CheckCase {
    const char* name;
    Texts typed;
    const char* message;
};

const std::string k100(100, 'x');
const std::string kWww89 = "www." + std::string(89, 'w');  // 100 bytes with "http://"

const CheckCase kChecks[] = {
    {"empty licensee name", {"", "link.example", "", "", ""}, kNameMissing},
    {"licensee name of white space only", {" \t\x0b\x0c  ", "link.example", "", "", ""}, kNameMissing},
    {"licensee name of line ends only", {"\r\n\r\n", "link.example", "", "", ""}, kNameMissing},
    {"empty web link", {"Name", "", "", "", ""}, kLinkMissing},
    {"web link of white space only", {"Name", "\t  \x0c", "", "", ""}, kLinkMissing},
    {"both empty: the name comes first", {"", "", "", "", ""}, kNameMissing},
    {"empty name before a long link", {"", k100 + k100, "", "", ""}, kNameMissing},
    {"empty link before a long name", {k100, "", "", "", ""}, kLinkMissing},
    {"licensee name of 100 bytes", {k100, "link.example", "", "", ""}, kNameTooLong},
    {"licensee name of 100 bytes above 127", {std::string(100, '\xe9'), "l", "", "", ""}, kNameTooLong},
    {"licensee name of 100 bytes after leading spaces", {"  " + k100, "l", "", "", ""}, kNameTooLong},
    {"web link of 100 bytes", {"Name", k100, "", "", ""}, kLinkTooLong},
    {"web link that reaches 100 bytes with http://", {"Name", kWww89, "", "", ""}, kLinkTooLong},
    {"Clickbank ID of 60 bytes", {"Name", "l", std::string(60, 'c'), "", ""}, kCBIDTooLong},
    {"Mirrowen link of 100 bytes", {"Name", "l", "", k100, ""}, kMirrowenTooLong},
    {"Mirrowen link that reaches 100 bytes with http://", {"Name", "l", "", " " + kWww89, ""},
     kMirrowenTooLong},
    {"Quillburn link of 100 bytes", {"Name", "l", "", "", k100}, kQuillburnTooLong},
    {"Quillburn link that reaches 100 bytes with http://", {"Name", "l", "", "", kWww89},
     kQuillburnTooLong},
    {"everything too long: the name first", {k100, k100, k100, k100, k100}, kNameTooLong},
    {"link and ID too long: the link first", {"Name", k100, k100, k100, k100}, kLinkTooLong},
    {"ID and Mirrowen too long: the ID first", {"Name", "l", k100, k100, k100}, kCBIDTooLong},
    {"both product links too long: Mirrowen first", {"Name", "l", "", k100, k100}, kMirrowenTooLong},
};

TEST_F(FlowScenario, EachFailedCheckKeepsTheDialogOpenAndChangesNothing) {
    const std::string target = Place(g_brander, "Brand Me.exe");
    ASSERT_FALSE(target.empty());
    const Bytes original = Content(target);
    HWND dlg = OpenDialogOn(target);
    ASSERT_NE(dlg, nullptr);
    bool firstCase = true;
    for (const CheckCase& c : kChecks) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Type(dlg, c.typed));
        ASSERT_TRUE(ClickButton(dlg, IDOK));
        ExpectBox(c.message, IconColour::Red, firstCase ? "flow-validation-message" : "");
        firstCase = false;
        ExpectDialogUnchanged(dlg, c.typed);
        EXPECT_EQ(Content(target), original);
        ExpectSettings(OnlyInitDir());
        if (HasFatalFailure() || !m_app.IsRunning()) return;
    }
    Cancel(dlg);
    EXPECT_EQ(Content(target), original);
    ExpectSettings(OnlyInitDir());
}

TEST_F(FlowScenario, AfterFailedChecksTheSameDialogStillBrands) {
    const std::string target = Place(g_brander, "Brand Me.exe");
    ASSERT_FALSE(target.empty());
    const Bytes original = Content(target);
    HWND dlg = OpenDialogOn(target);
    ASSERT_NE(dlg, nullptr);
    for (const char* name : {"empty licensee name", "licensee name of 100 bytes",
                             "Quillburn link that reaches 100 bytes with http://"}) {
        const CheckCase* c = std::find_if(std::begin(kChecks), std::end(kChecks),
                                          [&](const CheckCase& k) { return k.name == std::string(name); });
        ASSERT_NE(c, std::end(kChecks)) << name;
        SCOPED_TRACE(c->name);
        ASSERT_TRUE(Type(dlg, c->typed));
        ASSERT_TRUE(ClickButton(dlg, IDOK));
        ExpectBox(c->message, IconColour::Red);
        ExpectDialogUnchanged(dlg, c->typed);
    }
    ASSERT_TRUE(Type(dlg, kValid));
    ASSERT_TRUE(ClickButton(dlg, IDOK));
    ExpectBrandedAndStored(target, original, kValid);
}

// ---------------------------------------------------------------------------------------
// A save that fails

TEST_F(FlowScenario, ReadOnlyTargetIsReportedAndTheTextsAreStillStored) {
    const std::string target = Place(g_brander, "Read Only.exe");
    ASSERT_FALSE(target.empty());
    const Bytes original = Content(target);
    HWND dlg = OpenDialogOn(target);
    ASSERT_NE(dlg, nullptr);
    const Texts typed = {"  Spaced Name", "www.ro.example", "ro1", "", "www.q.example"};
    ASSERT_TRUE(Type(dlg, typed));
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(ClickButton(dlg, IDOK));
    ExpectBox("Failed to write file " + target, IconColour::Red);
    // No success message follows; the dialog closes as after a save.
    const std::optional<DWORD> code = EndsWithoutBox();
    EXPECT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0u);
    EXPECT_EQ(Content(target), original) << "the read-only target was written";
    EXPECT_EQ(FolderEntries(m_folder), std::vector<std::string>{"Read Only.exe"})
        << "files left beside the target";
    ExpectSettings(StoredAsTyped(typed));
}

// ---------------------------------------------------------------------------------------
// The keyboard (Escape in the licensee and Quillburn boxes is covered with the start-up
// scenarios)

TEST_F(FlowScenario, EnterInAnyBoxActsAsUpdate) {
    for (const Field& f : kFields) {
        SCOPED_TRACE(f.valueName);
        ASSERT_TRUE(ResetSettings());
        NewFolder();
        const std::string target = Place(g_brander, "Brand Me.exe");
        ASSERT_FALSE(target.empty());
        const Bytes original = Content(target);
        HWND dlg = OpenDialogOn(target);
        ASSERT_NE(dlg, nullptr);
        ASSERT_TRUE(Type(dlg, kValid));
        ASSERT_TRUE(PressKey(dlg, f.controlId, VK_RETURN));
        ExpectBrandedAndStored(target, original, kValid);
    }
}

TEST_F(FlowScenario, EnterRunsTheChecksAndEscapeStillCancelsAfterAFailedCheck) {
    const int escapeBoxes[] = {1010, 1008, 1011};
    for (int escapeIn : escapeBoxes) {
        SCOPED_TRACE("Escape in box " + std::to_string(escapeIn));
        ASSERT_TRUE(ResetSettings());
        NewFolder();
        const std::string target = Place(g_brander, "Brand Me.exe");
        ASSERT_FALSE(target.empty());
        const Bytes original = Content(target);
        HWND dlg = OpenDialogOn(target);
        ASSERT_NE(dlg, nullptr);
        const Texts typed = {"", "www.typed.example", "typed", "", ""};
        ASSERT_TRUE(Type(dlg, typed));
        ASSERT_TRUE(PressKey(dlg, 1010, VK_RETURN));
        ExpectBox(kNameMissing, IconColour::Red);
        ExpectDialogUnchanged(dlg, typed);
        ASSERT_TRUE(PressKey(dlg, escapeIn, VK_ESCAPE));
        EndsWithoutBox();
        EXPECT_EQ(Content(target), original);
        ExpectSettings(OnlyInitDir());
    }
}

// ---------------------------------------------------------------------------------------
// "Click here"

// The control that has the keyboard focus in the dialog's thread.
HWND FocusOf(HWND dlg) {
    GUITHREADINFO info;
    std::memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(dlg, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

TEST_F(FlowScenario, DialogOpensCentredWithTheFocusOnTheLicenseeAndTabsInTemplateOrder) {
    const std::string target = Place(g_brander, "Brand Me.exe");
    HWND dlg = OpenDialogOn(target);
    ASSERT_NE(dlg, nullptr);

    RECT area, rc;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0));
    ASSERT_TRUE(GetWindowRect(dlg, &rc));
    EXPECT_LE(std::abs((rc.left + rc.right) / 2 - (area.left + area.right) / 2), 2) << "not centred across";
    EXPECT_LE(std::abs((rc.top + rc.bottom) / 2 - (area.top + area.bottom) / 2), 2) << "not centred down";

    EXPECT_TRUE(WaitUntil([&] { return FocusOf(dlg) == GetDlgItem(dlg, 1009); }))
        << "the focus is not on the licensee box";
    // Tab stops in template order; "Click here" comes last, then back to the first box.
    const int order[] = {1010, 1008, 1007, 1011, IDOK, IDCANCEL, kClickHereId, 1009};
    for (int id : order) {
        SCOPED_TRACE("tab to control " + std::to_string(id));
        HWND from = FocusOf(dlg);
        ASSERT_NE(from, nullptr);
        ASSERT_TRUE(PressKey(dlg, GetDlgCtrlID(from), VK_TAB));
        EXPECT_TRUE(WaitUntil([&] { return FocusOf(dlg) == GetDlgItem(dlg, id); }));
    }
    Cancel(dlg);
}

TEST_F(FlowScenario, DialogCanBeMinimisedButNotResized) {
    const std::string target = Place(g_brander, "Brand Me.exe");
    HWND dlg = OpenDialogOn(target);
    ASSERT_NE(dlg, nullptr);
    const LONG_PTR style = GetWindowLongPtrA(dlg, GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & (WS_MAXIMIZEBOX | WS_THICKFRAME));
    // Wine carries neither WM_QUERYDRAGICON nor WM_GETICON across processes; the unit
    // tests ask the dialog for its icons in process (DialogTest).
    // A command that arrives while the window is still being shown can be undone by
    // the showing; ask again until it holds.
    auto commandUntil = [&](WPARAM command, bool iconic) {
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (!PostMessageA(dlg, WM_SYSCOMMAND, command, 0)) return false;
            if (WaitUntil([&] { return (IsIconic(dlg) != FALSE) == iconic; }, 3000)) return true;
        }
        return false;
    };
    EXPECT_TRUE(commandUntil(SC_MINIMIZE, true)) << "the dialog cannot be minimised";
    EXPECT_TRUE(commandUntil(SC_RESTORE, false)) << "the dialog cannot be restored";
    Cancel(dlg);
}

TEST_F(FlowScenario, ClickHereOpensTheAffiliatePageInTheBrowser) {
    ASSERT_FALSE(g_recorder.empty()) << "VELMORA_URL_RECORDER names no recording browser";
    RecordingBrowser browser;
    ASSERT_TRUE(browser.Ok());
    const std::string target = Place(g_brander, "Brand Me.exe");
    ASSERT_FALSE(target.empty());
    const Bytes original = Content(target);
    HWND dlg = OpenDialogOn(target);
    ASSERT_NE(dlg, nullptr);
    const Texts typed = {"  Link Tester", "www.link.example", "lt1", "mrw", "qlb"};
    ASSERT_TRUE(Type(dlg, typed));

    ASSERT_TRUE(ClickButton(dlg, kClickHereId));
    std::vector<std::string> opened;
    WaitUntil([&] {
        opened = browser.Addresses();
        return !opened.empty() || Box() != nullptr;
    }, 5000);
    EXPECT_EQ(Box(), nullptr) << "message box " << Visible(MessageBoxText(Box()).value_or("?"));
    EXPECT_EQ(opened, std::vector<std::string>{kAffiliatePage});
    ExpectDialogUnchanged(dlg, typed);
    ExpectSettings(OnlyInitDir());
    EXPECT_EQ(Content(target), original);

    Cancel(dlg);
    EXPECT_EQ(Content(target), original);
    ExpectSettings(OnlyInitDir());
}

TEST_F(FlowScenario, ClickHereWithoutABrowserSaysWhereToGo) {
    HiddenHttpAssociation hidden;
    ASSERT_TRUE(hidden.Ok()) << "could not remove the http association";
    const std::string target = Place(g_brander, "Brand Me.exe");
    ASSERT_FALSE(target.empty());
    const Bytes original = Content(target);
    HWND dlg = OpenDialogOn(target);
    ASSERT_NE(dlg, nullptr);
    const Texts typed = {"No Browser", "www.nb.example", "nb1", "", ""};
    ASSERT_TRUE(Type(dlg, typed));

    ASSERT_TRUE(ClickButton(dlg, kClickHereId));
    ExpectBox(kBrowserFailure, IconColour::Red, "flow-browser-failure");
    ExpectDialogUnchanged(dlg, typed);
    ExpectSettings(OnlyInitDir());
    EXPECT_EQ(Content(target), original);

    Cancel(dlg);
    EXPECT_EQ(Content(target), original);
    ExpectSettings(OnlyInitDir());
    EXPECT_TRUE(hidden.Restore()) << "the http association is not back as it was";
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    g_brander = ProgramArgument(argc, argv, 1, "VELMORA_BRANDER_EXE");
    g_fixture = ProgramArgument(argc, argv, 2, "VELMORA_FIXTURE_EXE");
    g_cli = ProgramArgument(argc, argv, 3, "VELMORA_CLI_EXE");
    g_recorder = EnvironmentValue("VELMORA_URL_RECORDER");
    // A run that died while the http association was hidden left a copy behind.
    if (!RestoreAssociationsFromBackup()) {
        std::fprintf(stderr, "could not restore the saved http association\n");
        return 2;
    }
    return RUN_ALL_TESTS();
}
