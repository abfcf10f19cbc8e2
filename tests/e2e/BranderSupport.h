// What the end-to-end scenarios of velmorabrander.exe share: the brander's names and texts,
// the branding block as a target file carries it, stand-ins for the web browser, and the
// fixture that places targets, takes the brander through its file chooser to its dialog,
// answers its message boxes and checks what it stored.
#pragma once

#include "Driver.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

// The programs a scenario program runs, from its command line or environment (see its main).
struct ProgramsUnderTest
{
    std::string brander;   // velmorabrander.exe
    std::string fixture;   // a brandable program that prints what it derives from its block
    std::string cli;       // velmora-brand.exe; checked to brand as the dialog does
    std::string recorder;  // Unix path of a script that stands in for the web browser
};
ProgramsUnderTest& Programs();

using Values = std::map<std::string, RegValue>;

constexpr const char* kDialogCaption = "Quillburn Brander";
constexpr const char* kMessageCaption = "Velmora Software Brander";
constexpr const char* kInitDir = "InitDir";
constexpr int kClickHereId = 1023;
constexpr const char* kBrandingComplete = "Software branding complete";

// ---------------------------------------------------------------------------------------
// The five texts of the dialog

struct Texts
{
    std::string webName, webLink, cbid, mirrowen, quillburn;
    bool operator==(const Texts& o) const
    {
        return webName == o.webName && webLink == o.webLink && cbid == o.cbid && mirrowen == o.mirrowen &&
               quillburn == o.quillburn;
    }
};
void PrintTo(const Texts& t, std::ostream* os);

// Each text: its registry value, its edit box and its slot in the block.
struct Field
{
    const char* valueName;
    int controlId;
    std::string Texts::*member;
    std::size_t slotAt;  // block offset
    std::size_t slotWidth;
};
extern const Field kFields[5];

inline RegValue Sz(const std::string& text)
{
    return RegValue{REG_SZ, SzBytes(text)};
}

// The five texts as REG_SZ values by value name.
Values TextValues(const Texts& texts);

// Type and bytes of each value, REG_SZ values as their text; for failure messages.
std::string Describe(const Values& values);

// ---------------------------------------------------------------------------------------
// The branding block as a target file carries it: a 60-byte marker, 1000 bytes of data
// and the marker again

constexpr char kMarker[] = "xgrwd[ut095noosernf34985y9237yrjnlms84thzcne9hwjoelkm8u59843";
constexpr std::size_t kMarkerLength = sizeof kMarker - 1;
constexpr std::size_t kSecondMarkerAt = 1060;  // from the block's start
constexpr std::size_t kDataBegin = 60;         // the data area, in block offsets
constexpr std::size_t kDataEnd = 1060;
static_assert(kMarkerLength == 60, "the marker is 60 bytes");

// Block offset of a compatible file: the first marker, with the second 1060 bytes on.
std::optional<std::size_t> FindBlock(const Bytes& bytes);

// The file as it must be once branded with these (checked and completed) texts.
Bytes Branded(const Bytes& original, const Texts& stored);

// Where two images first differ, named by region of the block.
std::string FirstDifference(const Bytes& expected, const Bytes& actual);

Bytes MarkerBytes();
// n bytes of a pattern that never forms the marker.
Bytes Filler(std::size_t n, unsigned char seed);
// Builds a file from pieces.
Bytes Join(const std::vector<Bytes>& parts);

// ---------------------------------------------------------------------------------------
// The web browser

// Removes the shell's http association while it lives, so that the shell has nothing to
// open an address with; restores it byte for byte afterwards. A copy sits in HKCU while it
// is hidden, so that a run that dies half-way is repaired by the next one.
class HiddenHttpAssociation
{
public:
    HiddenHttpAssociation();
    ~HiddenHttpAssociation() { Restore(); }
    HiddenHttpAssociation(const HiddenHttpAssociation&) = delete;
    HiddenHttpAssociation& operator=(const HiddenHttpAssociation&) = delete;

    bool Ok() const { return m_ok; }

    // True when every key is back as it was.
    bool Restore();

private:
    std::vector<std::pair<std::size_t, KeyTree>> m_saved;  // index in the association keys
    bool m_ok = false;
    bool m_restored = false;
    bool m_restoredOk = false;
};

// Puts back what a run that died while the http association was hidden left in its copy.
bool RestoreHiddenHttpAssociation();

// Points winebrowser at the recording script while it lives; the script appends each
// address it is started with to "<script>.log".
class RecordingBrowser
{
public:
    explicit RecordingBrowser(const std::string& script);
    ~RecordingBrowser();
    RecordingBrowser(const RecordingBrowser&) = delete;
    RecordingBrowser& operator=(const RecordingBrowser&) = delete;

    bool Ok() const { return m_ok; }

    // The addresses the browser was started with, one a line.
    std::vector<std::string> Addresses() const;

private:
    bool m_keyExisted;
    std::optional<RegValue> m_saved;
    std::string m_log;
    bool m_ok = false;
};

// ---------------------------------------------------------------------------------------
// The scenarios' fixture

struct BoxSeen
{
    std::string text;
    IconColour icon = IconColour::NoIcon;
};

class BranderTest : public ::testing::Test
{
protected:
    // The brander must be given; the settings are reset and a fresh target folder made.
    void SetUp() override;
    void TearDown() override { m_app.Terminate(); }

    // Targets

    // A fresh folder for the targets; its name has capitals and a space, as users'
    // folders do.
    void NewFolder();
    std::string InFolder(const std::string& name) const { return m_folder + "\\" + name; }
    // Copies a program into the folder; returns its path, empty on failure.
    std::string Place(const std::string& source, const std::string& name);
    std::string PlaceBytes(const Bytes& bytes, const std::string& name);
    static Bytes Content(const std::string& path);

    // The brander's first steps: each fails the test, and returns null, when the brander
    // shows anything else first or ends.

    // Starts the brander and waits for its file chooser.
    HWND StartToChooser(const std::vector<std::string>& args = {});
    // Starts the brander, answers the chooser with path and waits for the dialog.
    HWND OpenDialogOn(const std::string& path, const std::vector<std::string>& args = {});

    // A target placed in the folder and open in the brander's dialog.
    struct OpenTarget
    {
        std::string path;
        Bytes original;      // its bytes before the brander saw it
        HWND dlg = nullptr;  // null when the target could not be placed or opened
    };
    OpenTarget PlaceAndOpen(const std::string& source, const std::string& name = "Brand Me.exe");
    OpenTarget PlaceBytesAndOpen(const Bytes& bytes, const std::string& name = "Brand Me.exe");

    // The brander's windows

    // The brander's message box, if one is up.
    HWND Box() const;
    // Only windows the user can see: Wine keeps hidden helper windows of its own.
    std::vector<HWND> VisibleWindows() const;
    // Every window of the brander, for failure messages.
    std::string DescribeWindows() const;
    // Why the window named did not show: the message box up instead, or the brander's end.
    std::string WhyNot(const std::string& what) const;

    // The dialog

    // Types each text into its box; fails the test for each box that did not take it.
    static bool Type(HWND dlg, const Texts& texts);
    static Texts Shown(HWND dlg);
    // The dialog is still the one up, alone, with these texts.
    void ExpectDialogUnchanged(HWND dlg, const Texts& texts);

    // Message boxes and the end

    // Waits for the next message box, reads it, optionally photographs it, presses OK.
    std::optional<BoxSeen> AnswerBox(const std::string& screenshot = std::string());
    void ExpectBox(const std::string& text, IconColour icon, const std::string& screenshot = std::string());
    // Waits for the brander to end and returns its exit code; a message box on the way,
    // or no end, fails the test.
    std::optional<DWORD> EndsWithoutBox();
    // Closes the dialog with Cancel and waits for the end.
    std::optional<DWORD> Cancel(HWND dlg);

    // The settings

    // The values after a run that started from `before` and stored none of the dialog's
    // texts: the folder of the chosen file added.
    Values WithInitDir(Values before) const;
    Values OnlyInitDir() const { return WithInitDir({}); }
    Values StoredAsTyped(const Texts& typed) const { return WithInitDir(TextValues(typed)); }
    // Writes each value as it is given.
    static void Preset(const Values& values);
    void ExpectSettings(const Values& expected);

    // After "Update " with texts the checks leave as they are: the success message, a
    // normal end, the texts in the target's block and in the settings.
    void ExpectBrandedAndStored(const OpenTarget& target, const Texts& typed);

    // Saves the screen when VELMORA_SCREENSHOT_DIR is set. Pictures are for people to look
    // at; nothing is asserted about their pixels.
    static void Screenshot(const std::string& name);

    Process m_app;
    std::string m_folder;

private:
    OpenTarget OpenPlaced(const std::string& path);
};

}  // namespace e2e
