// What the end-to-end scenarios of velmorabrander.exe share (see BranderSupport.h).
#include "BranderSupport.h"

#include <algorithm>
#include <iterator>
#include <sstream>

namespace e2e {

ProgramsUnderTest& Programs()
{
    static ProgramsUnderTest programs;
    return programs;
}

// ---------------------------------------------------------------------------------------
// The five texts of the dialog

void PrintTo(const Texts& t, std::ostream* os)
{
    *os << "{name " << Visible(t.webName) << ", link " << Visible(t.webLink) << ", cbid " << Visible(t.cbid)
        << ", mirrowen " << Visible(t.mirrowen) << ", quillburn " << Visible(t.quillburn) << "}";
}

const Field kFields[5] = {
    {"WebName", 1009, &Texts::webName, 360, 100},   {"WebLink", 1010, &Texts::webLink, 460, 100},
    {"CBID", 1008, &Texts::cbid, 100, 60},          {"MRWLink", 1011, &Texts::mirrowen, 160, 100},
    {"QLBLink", 1007, &Texts::quillburn, 260, 100},
};

Values TextValues(const Texts& texts)
{
    Values values;
    for (const Field& f : kFields)
        values[f.valueName] = Sz(texts.*f.member);
    return values;
}

std::string Describe(const Values& values)
{
    std::ostringstream out;
    for (const auto& [name, value] : values) {
        out << "  " << name << " (type " << value.type << "): ";
        if (value.type == REG_SZ && !value.data.empty() && value.data.back() == 0) {
            out << Visible(std::string(value.data.begin(), value.data.end() - 1));
        } else {
            out << value.data.size() << " bytes:";
            for (std::uint8_t b : value.data)
                out << ' ' << static_cast<int>(b);
        }
        out << '\n';
    }
    return out.str();
}

// ---------------------------------------------------------------------------------------
// The branding block

namespace {

std::size_t FindMarker(const Bytes& bytes, std::size_t from)
{
    if (from >= bytes.size())
        return std::string::npos;
    const auto at =
        std::search(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end(), kMarker, kMarker + kMarkerLength);
    return at == bytes.end() ? std::string::npos : static_cast<std::size_t>(at - bytes.begin());
}

}  // namespace

std::optional<std::size_t> FindBlock(const Bytes& bytes)
{
    const std::size_t first = FindMarker(bytes, 0);
    if (first == std::string::npos)
        return std::nullopt;
    if (FindMarker(bytes, first + 1) != first + kSecondMarkerAt)
        return std::nullopt;
    return first;
}

Bytes Branded(const Bytes& original, const Texts& stored)
{
    Bytes out = original;
    const std::optional<std::size_t> block = FindBlock(original);
    if (!block)
        return out;
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(*block + kDataBegin),
              out.begin() + static_cast<std::ptrdiff_t>(*block + kDataEnd), 0);
    for (const Field& f : kFields) {
        const std::string& text = stored.*f.member;
        std::copy(text.begin(), text.end(), out.begin() + static_cast<std::ptrdiff_t>(*block + f.slotAt));
    }
    return out;
}

std::string FirstDifference(const Bytes& expected, const Bytes& actual)
{
    if (expected.size() != actual.size())
        return "size " + std::to_string(actual.size()) + ", expected " + std::to_string(expected.size());
    std::size_t at = 0;
    while (at < expected.size() && expected[at] == actual[at])
        ++at;
    if (at == expected.size())
        return "no difference";
    std::ostringstream out;
    out << "first difference at file offset " << at << ": " << static_cast<int>(actual[at]) << ", expected "
        << static_cast<int>(expected[at]);
    if (const std::optional<std::size_t> block = FindBlock(expected)) {
        if (at < *block || at >= *block + kDataEnd + kMarkerLength) {
            out << " (outside the block)";
        } else {
            const std::size_t rel = at - *block;
            out << " (block offset " << rel;
            for (const Field& f : kFields) {
                if (rel >= f.slotAt && rel < f.slotAt + f.slotWidth)
                    out << ", slot " << f.valueName << " +" << rel - f.slotAt;
            }
            out << ")";
        }
    }
    std::size_t count = 0;
    for (std::size_t i = at; i < expected.size(); ++i)
        count += expected[i] != actual[i];
    out << "; " << count << " bytes differ";
    return out.str();
}

Bytes MarkerBytes()
{
    return Bytes(kMarker, kMarker + kMarkerLength);
}

Bytes Filler(std::size_t n, unsigned char seed)
{
    Bytes out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<unsigned char>(seed + i * 7u);
    return out;
}

Bytes Join(const std::vector<Bytes>& parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// ---------------------------------------------------------------------------------------
// The web browser

namespace {

// Where the shell finds what opens http addresses.
struct AssociationKey
{
    const char* name;  // also the name of its copy in the backup
    HKEY root;
    const char* path;
};
const AssociationKey kHttpAssociations[] = {
    {"HKLM", HKEY_LOCAL_MACHINE, "Software\\Classes\\http"},
    {"HKCU", HKEY_CURRENT_USER, "Software\\Classes\\http"},
};
constexpr const char* kAssociationBackup = "Software\\Velmora e2e saved http association";

std::string BackupOf(const AssociationKey& a)
{
    return std::string(kAssociationBackup) + "\\" + a.name;
}

constexpr const char* kWineBrowserKey = "Software\\Wine\\WineBrowser";

}  // namespace

bool RestoreHiddenHttpAssociation()
{
    bool ok = true;
    for (const AssociationKey& a : kHttpAssociations) {
        if (std::optional<KeyTree> tree = ReadTree(HKEY_CURRENT_USER, BackupOf(a)))
            ok = ok && DeleteTree(a.root, a.path) && WriteTree(a.root, a.path, *tree);
    }
    return ok && DeleteTree(HKEY_CURRENT_USER, kAssociationBackup);
}

HiddenHttpAssociation::HiddenHttpAssociation()
{
    m_ok = true;
    for (std::size_t i = 0; i < std::size(kHttpAssociations); ++i) {
        const AssociationKey& a = kHttpAssociations[i];
        std::optional<KeyTree> tree = ReadTree(a.root, a.path);
        if (!tree)
            continue;
        m_ok = m_ok && WriteTree(HKEY_CURRENT_USER, BackupOf(a), *tree) && DeleteTree(a.root, a.path);
        m_saved.emplace_back(i, std::move(*tree));
    }
    m_ok = m_ok && !m_saved.empty();
}

bool HiddenHttpAssociation::Restore()
{
    if (m_restored)
        return m_restoredOk;
    m_restored = true;
    m_restoredOk = RestoreHiddenHttpAssociation();
    for (const auto& [index, tree] : m_saved) {
        const AssociationKey& a = kHttpAssociations[index];
        const std::optional<KeyTree> now = ReadTree(a.root, a.path);
        m_restoredOk = m_restoredOk && now && SameTree(*now, tree);
    }
    return m_restoredOk;
}

RecordingBrowser::RecordingBrowser(const std::string& script)
    : m_keyExisted(KeyExists(kWineBrowserKey)), m_saved(ReadValue("Browsers", kWineBrowserKey))
{
    m_log = ToDosPath(script + ".log");
    DeleteFileA(m_log.c_str());
    m_ok = SetStringValue("Browsers", script, kWineBrowserKey);
}

RecordingBrowser::~RecordingBrowser()
{
    if (m_saved)
        SetRawValue("Browsers", m_saved->type, m_saved->data, kWineBrowserKey);
    else if (m_keyExisted)
        DeleteValue(kWineBrowserKey, "Browsers");
    else
        DeleteKeyTree(kWineBrowserKey);
    DeleteFileA(m_log.c_str());
}

std::vector<std::string> RecordingBrowser::Addresses() const
{
    std::vector<std::string> lines;
    const std::optional<Bytes> bytes = ReadWholeFile(m_log);
    if (!bytes)
        return lines;
    std::istringstream in(std::string(bytes->begin(), bytes->end()));
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

// ---------------------------------------------------------------------------------------
// The scenarios' fixture

void BranderTest::SetUp()
{
    ASSERT_FALSE(Programs().brander.empty()) << "no brander exe given (argv[1] or VELMORA_BRANDER_EXE)";
    ASSERT_TRUE(ResetSettings());
    ASSERT_FALSE(KeyExists(kSettingsKey));
    NewFolder();
}

void BranderTest::NewFolder()
{
    static int counter = 0;
    m_folder = ScratchFolder() + "\\Target Folder " + std::to_string(++counter);
    ASSERT_TRUE(CreateFolders(m_folder)) << m_folder;
}

std::string BranderTest::Place(const std::string& source, const std::string& name)
{
    const std::string path = InFolder(name);
    if (!CopyFileA(ToDosPath(source).c_str(), path.c_str(), FALSE)) {
        ADD_FAILURE() << "copy of " << source << " to " << path << " failed, error " << GetLastError();
        return std::string();
    }
    return path;
}

std::string BranderTest::PlaceBytes(const Bytes& bytes, const std::string& name)
{
    const std::string path = InFolder(name);
    if (!WriteFileBytes(path, bytes)) {
        ADD_FAILURE() << "could not write " << path;
        return std::string();
    }
    return path;
}

Bytes BranderTest::Content(const std::string& path)
{
    const std::optional<Bytes> bytes = ReadWholeFile(path);
    EXPECT_TRUE(bytes.has_value()) << "cannot read " << path;
    return bytes.value_or(Bytes());
}

HWND BranderTest::StartToChooser(const std::vector<std::string>& args)
{
    std::string error;
    if (!m_app.Start(Programs().brander, args, &error)) {
        ADD_FAILURE() << error;
        return nullptr;
    }
    HWND chooser = nullptr;
    HWND dlg = nullptr;
    WaitUntil([&] {
        chooser = FindTopWindow(m_app.Pid(), "#32770", kOpenDialogCaption);
        dlg = FindTopWindow(m_app.Pid(), "#32770", kDialogCaption);
        return chooser != nullptr || dlg != nullptr || Box() != nullptr || !m_app.IsRunning();
    });
    if (chooser == nullptr && dlg != nullptr)
        ADD_FAILURE() << "the dialog came up without the file chooser first";
    else if (chooser == nullptr)
        ADD_FAILURE() << WhyNot("the file chooser");
    return chooser;
}

HWND BranderTest::OpenDialogOn(const std::string& path, const std::vector<std::string>& args)
{
    HWND chooser = StartToChooser(args);
    if (chooser == nullptr)
        return nullptr;
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
        ADD_FAILURE() << WhyNot("the dialog for " + path);
    return dlg;
}

BranderTest::OpenTarget BranderTest::PlaceAndOpen(const std::string& source, const std::string& name)
{
    const std::string path = Place(source, name);
    return path.empty() ? OpenTarget{} : OpenPlaced(path);
}

BranderTest::OpenTarget BranderTest::PlaceBytesAndOpen(const Bytes& bytes, const std::string& name)
{
    const std::string path = PlaceBytes(bytes, name);
    return path.empty() ? OpenTarget{} : OpenPlaced(path);
}

BranderTest::OpenTarget BranderTest::OpenPlaced(const std::string& path)
{
    OpenTarget target;
    target.path = path;
    target.original = Content(path);
    target.dlg = OpenDialogOn(path);
    return target;
}

HWND BranderTest::Box() const
{
    return FindTopWindow(m_app.Pid(), "#32770", kMessageCaption);
}

std::vector<HWND> BranderTest::VisibleWindows() const
{
    std::vector<HWND> visible;
    for (HWND hwnd : TopWindowsOf(m_app.Pid())) {
        if (IsWindowVisible(hwnd))
            visible.push_back(hwnd);
    }
    return visible;
}

std::string BranderTest::DescribeWindows() const
{
    std::ostringstream out;
    for (HWND hwnd : TopWindowsOf(m_app.Pid())) {
        out << "  class \"" << ClassNameOf(hwnd) << "\" caption \"" << WindowText(hwnd).value_or("?") << "\"";
        if (!IsWindowVisible(hwnd))
            out << " hidden";
        if (HWND text = FindControl(hwnd, kMessageBoxTextId))
            out << " text " << Visible(WindowText(text).value_or("?"));
        out << '\n';
    }
    return out.str();
}

std::string BranderTest::WhyNot(const std::string& what) const
{
    std::string why = what + " did not show; ";
    if (HWND box = Box())
        why += "message box " + Visible(MessageBoxText(box).value_or("?")) + "; ";
    if (const std::optional<DWORD> code = m_app.ExitCode())
        why += "the brander ended with " + std::to_string(*code);
    else
        why += "the brander runs with windows:\n" + DescribeWindows();
    return why;
}

bool BranderTest::Type(HWND dlg, const Texts& texts)
{
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

Texts BranderTest::Shown(HWND dlg)
{
    Texts shown;
    for (const Field& f : kFields)
        shown.*f.member = GetControlText(dlg, f.controlId).value_or("<no control>");
    return shown;
}

void BranderTest::ExpectDialogUnchanged(HWND dlg, const Texts& texts)
{
    EXPECT_TRUE(m_app.IsRunning());
    EXPECT_TRUE(IsWindow(dlg) && IsWindowVisible(dlg)) << "the dialog is gone";
    EXPECT_EQ(FindTopWindow(m_app.Pid(), "#32770", kDialogCaption), dlg);
    EXPECT_EQ(Box(), nullptr) << "a message box is still up";
    EXPECT_EQ(Shown(dlg), texts);
}

std::optional<BoxSeen> BranderTest::AnswerBox(const std::string& screenshot)
{
    HWND box = nullptr;
    WaitUntil([&] {
        box = Box();
        return box != nullptr || !m_app.IsRunning();
    });
    if (box == nullptr) {
        ADD_FAILURE() << WhyNot("a message box");
        return std::nullopt;
    }
    BoxSeen seen;
    seen.text = MessageBoxText(box).value_or("<unreadable>");
    seen.icon = MessageBoxIconColour(box);
    if (!screenshot.empty())
        Screenshot(screenshot);
    EXPECT_TRUE(PressMessageBoxOk(box)) << "could not close " << Visible(seen.text);
    return seen;
}

void BranderTest::ExpectBox(const std::string& text, IconColour icon, const std::string& screenshot)
{
    const std::optional<BoxSeen> seen = AnswerBox(screenshot);
    if (!seen)
        return;
    EXPECT_EQ(Visible(seen->text), Visible(text));
    EXPECT_STREQ(ToString(seen->icon), ToString(icon)) << "icon of " << Visible(text);
}

std::optional<DWORD> BranderTest::EndsWithoutBox()
{
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

std::optional<DWORD> BranderTest::Cancel(HWND dlg)
{
    EXPECT_TRUE(ClickButton(dlg, IDCANCEL));
    return EndsWithoutBox();
}

Values BranderTest::WithInitDir(Values before) const
{
    before[kInitDir] = Sz(Lower(m_folder));
    return before;
}

void BranderTest::Preset(const Values& values)
{
    for (const auto& [name, value] : values) {
        ASSERT_TRUE(SetRawValue(name, value.type, value.data)) << name;
    }
}

void BranderTest::ExpectSettings(const Values& expected)
{
    const Values now = ReadAllValues(kSettingsKey);
    EXPECT_EQ(now, expected) << "stored:\n" << Describe(now) << "expected:\n" << Describe(expected);
}

void BranderTest::ExpectBrandedAndStored(const OpenTarget& target, const Texts& typed)
{
    ExpectBox(kBrandingComplete, IconColour::Blue);
    const std::optional<DWORD> code = EndsWithoutBox();
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0u);
    const Bytes expected = Branded(target.original, typed);
    const Bytes after = Content(target.path);
    EXPECT_TRUE(after == expected) << FirstDifference(expected, after);
    ExpectSettings(StoredAsTyped(typed));
}

void BranderTest::Screenshot(const std::string& name)
{
    if (EnvironmentValue("VELMORA_SCREENSHOT_DIR").empty())
        return;
    EXPECT_TRUE(SaveScreenshot(name + ".bmp").has_value()) << "screenshot " << name;
}

}  // namespace e2e
