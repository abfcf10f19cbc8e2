// Win32 UI driver for the end-to-end tests: starts the program under test, finds its
// windows, fills and reads controls, answers message boxes and the Open dialog, takes
// screenshots and reads or resets the brander's settings in the registry.
// Every wait polls with a timeout; nothing here sleeps for a fixed time.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

constexpr DWORD kDefaultTimeoutMs = 20000;
constexpr DWORD kPollMs = 20;

// Polls cond every pollMs until it holds or timeoutMs has passed; returns the last result.
bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs = kDefaultTimeoutMs, DWORD pollMs = kPollMs);

// "/work/x/y.exe" -> "Z:\work\x\y.exe". A path that is already a DOS path only has its
// forward slashes turned into backslashes.
std::string ToDosPath(const std::string& path);

// Quotes one argument the way the C runtime's command-line parser splits it back.
std::string QuoteArg(const std::string& arg);

// Joins program and arguments into one command line.
std::string BuildCommandLine(const std::string& program, const std::vector<std::string>& args);

// ---------------------------------------------------------------------------------------
// Child process

class Process
{
public:
    Process() = default;
    ~Process();  // terminates the child if it still runs
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;

    // Starts exePath (Unix or DOS path) with args. On failure returns false and, when
    // error is given, describes why.
    bool Start(const std::string& exePath, const std::vector<std::string>& args = {}, std::string* error = nullptr);

    bool IsStarted() const { return m_hProcess != nullptr; }
    bool IsRunning() const;
    DWORD Pid() const { return m_pid; }
    HANDLE Handle() const { return m_hProcess; }

    // Waits for the child to end. Returns false on timeout (the child keeps running).
    bool WaitForExit(DWORD timeoutMs = kDefaultTimeoutMs, DWORD* exitCode = nullptr);

    // Exit code of an ended child; nullopt while it runs or when none was started.
    std::optional<DWORD> ExitCode() const;

    // Ends the child if it still runs and waits until it is gone.
    void Terminate();

private:
    void Close();

    HANDLE m_hProcess = nullptr;
    DWORD m_pid = 0;
};

// ---------------------------------------------------------------------------------------
// Windows

// Top-level window of process pid whose class and caption match exactly. A null
// className or caption matches any. With mustBeVisible, hidden windows are skipped
// (a dialog becomes visible only after it has initialised).
HWND FindTopWindow(DWORD pid, const char* className, const char* caption, bool mustBeVisible = true);
HWND WaitForTopWindow(DWORD pid, const char* className, const char* caption, DWORD timeoutMs = kDefaultTimeoutMs,
                      bool mustBeVisible = true);

// All top-level windows of process pid (visible or not).
std::vector<HWND> TopWindowsOf(DWORD pid);

bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs = kDefaultTimeoutMs);

std::string ClassNameOf(HWND hwnd);

// Direct child with the id, else any descendant with the id; null if none.
HWND FindControl(HWND parent, int id);

// Text of a window in another process, read with WM_GETTEXT under a timeout.
std::optional<std::string> WindowText(HWND hwnd);
bool SetWindowTextTo(HWND hwnd, const std::string& text);

std::optional<std::string> GetControlText(HWND parent, int id);
bool SetControlText(HWND parent, int id, const std::string& text);

// Posts BM_CLICK: SendMessage would block while the click runs a modal loop.
bool ClickButton(HWND parent, int id);

// Posts a key press (WM_KEYDOWN then WM_KEYUP) to the control; the dialog's own message
// loop sees it as if typed there. Handy keys: VK_RETURN, VK_ESCAPE.
bool PressKey(HWND parent, int id, WPARAM vk);

// The close box of the caption: WM_SYSCOMMAND SC_CLOSE.
bool PressCloseBox(HWND topLevel);
// A plain WM_CLOSE.
bool PostClose(HWND topLevel);

// ---------------------------------------------------------------------------------------
// Message boxes

constexpr int kMessageBoxTextId = 0xFFFF;
constexpr int kWineMessageBoxIconId = 0x440;
constexpr int kWindowsMessageBoxIconId = 0x14;

HWND WaitForMessageBox(DWORD pid, const std::string& caption, DWORD timeoutMs = kDefaultTimeoutMs);
std::optional<std::string> MessageBoxText(HWND box);
// Finds the button labelled "OK", clicks it and waits until the box is gone.
bool PressMessageBoxOk(HWND box, DWORD timeoutMs = kDefaultTimeoutMs);

enum class IconColour {
    Red,
    Blue,
    Other,
    NoIcon
};
const char* ToString(IconColour colour);

// Samples the icon of a message box on screen. Polls until the icon shows red or blue
// (the box may still be painting) or timeoutMs has passed.
IconColour MessageBoxIconColour(HWND box, DWORD timeoutMs = 2000);

// ---------------------------------------------------------------------------------------
// The Open dialog

constexpr const char* kOpenDialogCaption = "Select software to be branded";
constexpr int kOpenDialogFileNameId = 0x47c;  // cmb13, a ComboBoxEx32 with an edit inside

HWND WaitForOpenDialog(DWORD pid, DWORD timeoutMs = kDefaultTimeoutMs, const char* caption = kOpenDialogCaption);
// Types the path (Unix paths are converted) and presses Open; waits until the dialog
// is gone.
bool ChooseFileInOpenDialog(HWND dialog, const std::string& path, DWORD timeoutMs = kDefaultTimeoutMs);
bool CancelOpenDialog(HWND dialog, DWORD timeoutMs = kDefaultTimeoutMs);

// ---------------------------------------------------------------------------------------
// Pixels and screenshots

struct Image
{
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgr;  // top-down rows, 3 bytes per pixel, no padding

    std::uint8_t Blue(int x, int y) const { return bgr[Index(x, y)]; }
    std::uint8_t Green(int x, int y) const { return bgr[Index(x, y) + 1]; }
    std::uint8_t Red(int x, int y) const { return bgr[Index(x, y) + 2]; }

private:
    std::size_t Index(int x, int y) const
    {
        return (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3u;
    }
};

// Copies a rectangle of the screen (screen coordinates). Empty image on failure.
Image CaptureScreenRect(const RECT& rect);
Image CaptureScreen();

// Dominant saturated colour of the image: Red, Blue or Other (also for no saturated pixel).
IconColour ClassifyColours(const Image& image);

// Writes a 24-bit bottom-up .bmp.
bool WriteBmp(const Image& image, const std::string& path);

// Creates the folder and its parents (Unix or DOS path).
bool CreateFolders(const std::string& path);

// Saves the whole screen as fileName inside the folder named by VELMORA_SCREENSHOT_DIR.
// Returns the DOS path written; nullopt when the variable is unset or saving failed.
std::optional<std::string> SaveScreenshot(const std::string& fileName);

// ---------------------------------------------------------------------------------------
// The brander's settings in HKEY_CURRENT_USER

constexpr const char* kCompanyKey = "Software\\Velmora Software";
constexpr const char* kSettingsKey = "Software\\Velmora Software\\Velmora Software Brander\\Brander";

struct RegValue
{
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;
    bool operator==(const RegValue& o) const { return type == o.type && data == o.data; }
    bool operator!=(const RegValue& o) const { return !(*this == o); }
};

// Deletes HKCU\<subKey> with everything under it. True also when it did not exist.
bool DeleteKeyTree(const char* subKey = kCompanyKey);
// The reset every scenario starts with.
inline bool ResetSettings()
{
    return DeleteKeyTree(kCompanyKey);
}

bool KeyExists(const char* subKey = kSettingsKey);

// Writes a REG_SZ value: text bytes plus one zero byte. Creates the key path if needed.
bool SetStringValue(const std::string& name, const std::string& text, const char* subKey = kSettingsKey);
// Writes any type with exactly these bytes.
bool SetRawValue(const std::string& name, DWORD type, const std::vector<std::uint8_t>& data,
                 const char* subKey = kSettingsKey);

// Type and bytes as RegQueryValueExA returns them; nullopt if the key or value is missing.
std::optional<RegValue> ReadValue(const std::string& name, const char* subKey = kSettingsKey);

// Number of values in the key; nullopt if the key does not exist.
std::optional<DWORD> ValueCount(const char* subKey = kSettingsKey);

// Every value of the key by name, read through the ANSI API; empty if the key is missing.
std::map<std::string, RegValue> ReadAllValues(const char* subKey = kSettingsKey);

// The bytes of a text as a REG_SZ holds them: text plus one zero byte.
std::vector<std::uint8_t> SzBytes(const std::string& text);

}  // namespace e2e
