// Implementation of the Win32 UI driver used by the end-to-end tests (see Driver.h).
#include "Driver.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <utility>

namespace e2e {

namespace {

// Upper bound for one cross-process message; a hung target must not hang the tests.
constexpr UINT kSendTimeoutMs = 5000;

ULONGLONG Now()
{
    return GetTickCount64();
}

bool SendWithTimeout(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, DWORD_PTR* result)
{
    DWORD_PTR r = 0;
    const LRESULT ok =
        SendMessageTimeoutA(hwnd, msg, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_NORMAL, kSendTimeoutMs, &r);
    if (result != nullptr)
        *result = r;
    return ok != 0;
}

bool EqualsNoCase(const std::string& a, const char* b)
{
    return lstrcmpiA(a.c_str(), b) == 0;
}

struct FindTopState
{
    DWORD pid;
    const char* className;
    const char* caption;
    bool mustBeVisible;
    HWND found;
};

BOOL CALLBACK FindTopProc(HWND hwnd, LPARAM lParam)
{
    auto* state = reinterpret_cast<FindTopState*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != state->pid)
        return TRUE;
    if (state->mustBeVisible && !IsWindowVisible(hwnd))
        return TRUE;
    if (state->className != nullptr && ClassNameOf(hwnd) != state->className)
        return TRUE;
    if (state->caption != nullptr) {
        // Our own GetWindowText would be a cross-process WM_GETTEXT too; use the timed one.
        const std::optional<std::string> text = WindowText(hwnd);
        if (!text || *text != state->caption)
            return TRUE;
    }
    state->found = hwnd;
    return FALSE;
}

struct CollectState
{
    DWORD pid;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectTopProc(HWND hwnd, LPARAM lParam)
{
    auto* state = reinterpret_cast<CollectState*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == state->pid)
        state->windows.push_back(hwnd);
    return TRUE;
}

struct FindChildState
{
    int id;
    const char* className;  // optional filter
    const char* text;       // optional filter, compared without case
    HWND found;
};

BOOL CALLBACK FindChildProc(HWND hwnd, LPARAM lParam)
{
    auto* state = reinterpret_cast<FindChildState*>(lParam);
    if (state->id != 0 && GetDlgCtrlID(hwnd) != state->id)
        return TRUE;
    if (state->className != nullptr && !EqualsNoCase(ClassNameOf(hwnd), state->className))
        return TRUE;
    if (state->text != nullptr) {
        const std::optional<std::string> text = WindowText(hwnd);
        if (!text || !EqualsNoCase(*text, state->text))
            return TRUE;
    }
    state->found = hwnd;
    return FALSE;
}

HWND FindDescendant(HWND parent, int id, const char* className, const char* text)
{
    FindChildState state{id, className, text, nullptr};
    EnumChildWindows(parent, FindChildProc, reinterpret_cast<LPARAM>(&state));
    return state.found;
}

struct RegKey
{
    HKEY h = nullptr;
    RegKey() = default;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey()
    {
        if (h != nullptr)
            RegCloseKey(h);
    }
};

bool DeleteSubTree(HKEY parent, const std::string& name)
{
    {
        RegKey key;
        const LONG rc = RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ | KEY_WRITE, &key.h);
        if (rc == ERROR_FILE_NOT_FOUND)
            return true;
        if (rc != ERROR_SUCCESS)
            return false;
        // Always take the first subkey: deleting shifts the indexes.
        for (;;) {
            char child[256];
            DWORD len = sizeof child;
            const LONG e = RegEnumKeyExA(key.h, 0, child, &len, nullptr, nullptr, nullptr, nullptr);
            if (e == ERROR_NO_MORE_ITEMS)
                break;
            if (e != ERROR_SUCCESS)
                return false;
            if (!DeleteSubTree(key.h, child))
                return false;
        }
    }
    const LONG rc = RegDeleteKeyA(parent, name.c_str());
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs, DWORD pollMs)
{
    const ULONGLONG deadline = Now() + timeoutMs;
    for (;;) {
        if (cond())
            return true;
        if (Now() >= deadline)
            return cond();
        Sleep(pollMs);
    }
}

std::string ToDosPath(const std::string& path)
{
    std::string out = path;
    std::replace(out.begin(), out.end(), '/', '\\');
    if (!path.empty() && path[0] == '/')
        out = "Z:" + out;
    return out;
}

std::string QuoteArg(const std::string& arg)
{
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos)
        return arg;
    std::string out = "\"";
    for (std::size_t i = 0;; ++i) {
        std::size_t backslashes = 0;
        while (i < arg.size() && arg[i] == '\\') {
            ++backslashes;
            ++i;
        }
        if (i == arg.size()) {
            // Backslashes before the closing quote are doubled so it stays a quote.
            out.append(backslashes * 2, '\\');
            break;
        }
        if (arg[i] == '"') {
            out.append(backslashes * 2 + 1, '\\');
            out += '"';
        } else {
            out.append(backslashes, '\\');
            out += arg[i];
        }
    }
    out += '"';
    return out;
}

std::string BuildCommandLine(const std::string& program, const std::vector<std::string>& args)
{
    std::string line = QuoteArg(program);
    for (const std::string& a : args) {
        line += ' ';
        line += QuoteArg(a);
    }
    return line;
}

// ---------------------------------------------------------------------------------------
// Process

Process::~Process()
{
    Terminate();
    Close();
}

Process::Process(Process&& other) noexcept
    : m_hProcess(std::exchange(other.m_hProcess, nullptr)), m_pid(std::exchange(other.m_pid, 0))
{
}

Process& Process::operator=(Process&& other) noexcept
{
    if (this != &other) {
        Terminate();
        Close();
        m_hProcess = std::exchange(other.m_hProcess, nullptr);
        m_pid = std::exchange(other.m_pid, 0);
    }
    return *this;
}

void Process::Close()
{
    if (m_hProcess != nullptr)
        CloseHandle(m_hProcess);
    m_hProcess = nullptr;
    m_pid = 0;
}

bool Process::Start(const std::string& exePath, const std::vector<std::string>& args, std::string* error)
{
    Terminate();
    Close();
    const std::string exe = ToDosPath(exePath);
    std::string line = BuildCommandLine(exe, args);
    std::vector<char> mutableLine(line.begin(), line.end());
    mutableLine.push_back('\0');

    STARTUPINFOA si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    std::memset(&pi, 0, sizeof pi);
    if (!CreateProcessA(exe.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        if (error != nullptr)
            *error = "CreateProcessA(" + exe + ") failed, error " + std::to_string(GetLastError());
        return false;
    }
    CloseHandle(pi.hThread);
    m_hProcess = pi.hProcess;
    m_pid = pi.dwProcessId;
    return true;
}

bool Process::IsRunning() const
{
    return m_hProcess != nullptr && WaitForSingleObject(m_hProcess, 0) == WAIT_TIMEOUT;
}

bool Process::WaitForExit(DWORD timeoutMs, DWORD* exitCode)
{
    if (m_hProcess == nullptr)
        return false;
    if (WaitForSingleObject(m_hProcess, timeoutMs) != WAIT_OBJECT_0)
        return false;
    if (exitCode != nullptr) {
        DWORD code = 0;
        GetExitCodeProcess(m_hProcess, &code);
        *exitCode = code;
    }
    return true;
}

std::optional<DWORD> Process::ExitCode() const
{
    if (m_hProcess == nullptr || IsRunning())
        return std::nullopt;
    DWORD code = 0;
    if (!GetExitCodeProcess(m_hProcess, &code))
        return std::nullopt;
    return code;
}

void Process::Terminate()
{
    if (!IsRunning())
        return;
    // Only ever our own child: the handle came from CreateProcessA above.
    TerminateProcess(m_hProcess, 0xE2E);
    WaitForSingleObject(m_hProcess, kDefaultTimeoutMs);
}

// ---------------------------------------------------------------------------------------
// Windows

std::string ClassNameOf(HWND hwnd)
{
    char name[256];
    const int n = GetClassNameA(hwnd, name, static_cast<int>(sizeof name));
    return n > 0 ? std::string(name, static_cast<std::size_t>(n)) : std::string();
}

HWND FindTopWindow(DWORD pid, const char* className, const char* caption, bool mustBeVisible)
{
    FindTopState state{pid, className, caption, mustBeVisible, nullptr};
    EnumWindows(FindTopProc, reinterpret_cast<LPARAM>(&state));
    return state.found;
}

HWND WaitForTopWindow(DWORD pid, const char* className, const char* caption, DWORD timeoutMs, bool mustBeVisible)
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            found = FindTopWindow(pid, className, caption, mustBeVisible);
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

std::vector<HWND> TopWindowsOf(DWORD pid)
{
    CollectState state{pid, {}};
    EnumWindows(CollectTopProc, reinterpret_cast<LPARAM>(&state));
    return state.windows;
}

bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs)
{
    return WaitUntil([&] { return !IsWindow(hwnd); }, timeoutMs);
}

HWND FindControl(HWND parent, int id)
{
    if (parent == nullptr)
        return nullptr;
    if (HWND direct = GetDlgItem(parent, id))
        return direct;
    return FindDescendant(parent, id, nullptr, nullptr);
}

std::optional<std::string> WindowText(HWND hwnd)
{
    if (hwnd == nullptr || !IsWindow(hwnd))
        return std::nullopt;
    DWORD_PTR length = 0;
    if (!SendWithTimeout(hwnd, WM_GETTEXTLENGTH, 0, 0, &length))
        return std::nullopt;
    // The ANSI length can be an estimate across processes; leave room for it.
    std::vector<char> buffer(static_cast<std::size_t>(length) * 2 + 2, '\0');
    DWORD_PTR copied = 0;
    if (!SendWithTimeout(hwnd, WM_GETTEXT, static_cast<WPARAM>(buffer.size()), reinterpret_cast<LPARAM>(buffer.data()),
                         &copied))
        return std::nullopt;
    const std::size_t n = std::min(static_cast<std::size_t>(copied), buffer.size() - 1);
    return std::string(buffer.data(), n);
}

bool SetWindowTextTo(HWND hwnd, const std::string& text)
{
    if (hwnd == nullptr)
        return false;
    DWORD_PTR result = 0;
    return SendWithTimeout(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), &result) && result != 0;
}

std::optional<std::string> GetControlText(HWND parent, int id)
{
    HWND control = FindControl(parent, id);
    if (control == nullptr)
        return std::nullopt;
    return WindowText(control);
}

bool SetControlText(HWND parent, int id, const std::string& text)
{
    return SetWindowTextTo(FindControl(parent, id), text);
}

bool ClickButton(HWND parent, int id)
{
    HWND button = FindControl(parent, id);
    return button != nullptr && PostMessageA(button, BM_CLICK, 0, 0) != 0;
}

bool PressKey(HWND parent, int id, WPARAM vk)
{
    HWND control = FindControl(parent, id);
    if (control == nullptr)
        return false;
    const UINT scan = MapVirtualKeyA(static_cast<UINT>(vk), MAPVK_VK_TO_VSC);
    const LPARAM down = static_cast<LPARAM>(1u | (scan << 16));
    const LPARAM up = static_cast<LPARAM>(1u | (scan << 16) | (1u << 30) | (1u << 31));
    if (PostMessageA(control, WM_KEYDOWN, vk, down) == 0)
        return false;
    // The key-down may already have closed the window (Esc, Enter), so the key-up can
    // fail without the press having failed.
    PostMessageA(control, WM_KEYUP, vk, up);
    return true;
}

bool PressCloseBox(HWND topLevel)
{
    return topLevel != nullptr && PostMessageA(topLevel, WM_SYSCOMMAND, SC_CLOSE, 0) != 0;
}

bool PostClose(HWND topLevel)
{
    return topLevel != nullptr && PostMessageA(topLevel, WM_CLOSE, 0, 0) != 0;
}

// ---------------------------------------------------------------------------------------
// Message boxes

HWND WaitForMessageBox(DWORD pid, const std::string& caption, DWORD timeoutMs)
{
    return WaitForTopWindow(pid, "#32770", caption.c_str(), timeoutMs);
}

std::optional<std::string> MessageBoxText(HWND box)
{
    return GetControlText(box, kMessageBoxTextId);
}

bool PressMessageBoxOk(HWND box, DWORD timeoutMs)
{
    HWND ok = FindDescendant(box, 0, "Button", "OK");
    if (ok == nullptr || PostMessageA(ok, BM_CLICK, 0, 0) == 0)
        return false;
    return WaitForWindowGone(box, timeoutMs);
}

const char* ToString(IconColour colour)
{
    switch (colour) {
    case IconColour::Red: return "red";
    case IconColour::Blue: return "blue";
    case IconColour::Other: return "other";
    case IconColour::NoIcon: return "no icon";
    }
    return "?";
}

IconColour MessageBoxIconColour(HWND box, DWORD timeoutMs)
{
    HWND icon = FindControl(box, kWineMessageBoxIconId);
    if (icon == nullptr)
        icon = FindControl(box, kWindowsMessageBoxIconId);
    if (icon == nullptr || !IsWindowVisible(icon))
        return IconColour::NoIcon;
    IconColour colour = IconColour::Other;
    WaitUntil(
        [&] {
            RECT rect;
            if (!GetWindowRect(icon, &rect))
                return false;
            colour = ClassifyColours(CaptureScreenRect(rect));
            return colour == IconColour::Red || colour == IconColour::Blue;
        },
        timeoutMs);
    return colour;
}

// ---------------------------------------------------------------------------------------
// The Open dialog

HWND WaitForOpenDialog(DWORD pid, DWORD timeoutMs, const char* caption)
{
    return WaitForTopWindow(pid, "#32770", caption, timeoutMs);
}

bool ChooseFileInOpenDialog(HWND dialog, const std::string& path, DWORD timeoutMs)
{
    const std::string dosPath = ToDosPath(path);
    HWND box = FindControl(dialog, kOpenDialogFileNameId);
    if (box == nullptr)
        return false;
    // The dialog reads the name from the edit inside the combo box; set both so either
    // way of reading it sees the path.
    SetWindowTextTo(box, dosPath);
    if (HWND edit = FindDescendant(box, 0, "Edit", nullptr))
        SetWindowTextTo(edit, dosPath);
    const std::optional<std::string> typed = WindowText(box);
    if (!typed || *typed != dosPath)
        return false;
    if (!ClickButton(dialog, IDOK))
        return false;
    return WaitForWindowGone(dialog, timeoutMs);
}

bool CancelOpenDialog(HWND dialog, DWORD timeoutMs)
{
    return ClickButton(dialog, IDCANCEL) && WaitForWindowGone(dialog, timeoutMs);
}

// ---------------------------------------------------------------------------------------
// Pixels and screenshots

Image CaptureScreenRect(const RECT& rect)
{
    Image image;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return image;

    HDC screen = GetDC(nullptr);
    if (screen == nullptr)
        return image;
    HDC memory = CreateCompatibleDC(screen);

    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);

    if (memory != nullptr && dib != nullptr && bits != nullptr) {
        HGDIOBJ old = SelectObject(memory, dib);
        if (BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY | CAPTUREBLT)) {
            GdiFlush();
            const std::size_t w = static_cast<std::size_t>(width);
            const std::size_t h = static_cast<std::size_t>(height);
            const std::size_t stride = (w * 3 + 3) & ~static_cast<std::size_t>(3);
            image.width = width;
            image.height = height;
            image.bgr.resize(w * h * 3);
            const auto* src = static_cast<const std::uint8_t*>(bits);
            for (std::size_t y = 0; y < h; ++y)
                std::memcpy(&image.bgr[y * w * 3], src + y * stride, w * 3);
        }
        SelectObject(memory, old);
    }
    if (dib != nullptr)
        DeleteObject(dib);
    if (memory != nullptr)
        DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return image;
}

Image CaptureScreen()
{
    RECT rect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return CaptureScreenRect(rect);
}

IconColour ClassifyColours(const Image& image)
{
    // A pixel counts when it is clearly coloured and one channel leads by a margin;
    // grey, white, black and anti-aliased edges do not count.
    constexpr int kMinSaturation = 80;
    constexpr int kLead = 60;
    std::size_t red = 0;
    std::size_t blue = 0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const int r = image.Red(x, y);
            const int g = image.Green(x, y);
            const int b = image.Blue(x, y);
            const int hi = std::max({r, g, b});
            const int lo = std::min({r, g, b});
            if (hi - lo < kMinSaturation)
                continue;
            if (r == hi && r - std::max(g, b) >= kLead)
                ++red;
            else if (b == hi && b - r >= kLead)
                ++blue;
        }
    }
    if (red > 2 * blue && red > 0)
        return IconColour::Red;
    if (blue > 2 * red && blue > 0)
        return IconColour::Blue;
    return IconColour::Other;
}

bool WriteBmp(const Image& image, const std::string& path)
{
    if (image.width <= 0 || image.height <= 0)
        return false;
    const std::size_t w = static_cast<std::size_t>(image.width);
    const std::size_t h = static_cast<std::size_t>(image.height);
    const std::size_t stride = (w * 3 + 3) & ~static_cast<std::size_t>(3);
    const std::size_t pixelBytes = stride * h;

    BITMAPFILEHEADER file;
    std::memset(&file, 0, sizeof file);
    BITMAPINFOHEADER header;
    std::memset(&header, 0, sizeof header);
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = static_cast<DWORD>(sizeof file + sizeof header);
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixelBytes);
    header.biSize = sizeof header;
    header.biWidth = image.width;
    header.biHeight = image.height;  // bottom-up, the form every reader accepts
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(pixelBytes);

    std::ofstream out(ToDosPath(path), std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    std::vector<char> row(stride, '\0');
    for (std::size_t y = h; y-- > 0;) {
        std::memcpy(row.data(), &image.bgr[y * w * 3], w * 3);
        out.write(row.data(), static_cast<std::streamsize>(stride));
    }
    return static_cast<bool>(out.flush());
}

bool CreateFolders(const std::string& path)
{
    std::string dos = ToDosPath(path);
    while (dos.size() > 1 && dos.back() == '\\')
        dos.pop_back();
    if (dos.empty())
        return false;
    for (std::size_t pos = dos.find('\\'); pos != std::string::npos; pos = dos.find('\\', pos + 1)) {
        const std::string prefix = dos.substr(0, pos);
        if (prefix.empty() || prefix.back() == ':')
            continue;  // root or drive
        CreateDirectoryA(prefix.c_str(), nullptr);
    }
    CreateDirectoryA(dos.c_str(), nullptr);
    const DWORD attributes = GetFileAttributesA(dos.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<std::string> SaveScreenshot(const std::string& fileName)
{
    char folder[MAX_PATH * 4];
    const DWORD n = GetEnvironmentVariableA("VELMORA_SCREENSHOT_DIR", folder, sizeof folder);
    if (n == 0 || n >= sizeof folder)
        return std::nullopt;
    const std::string dosFolder = ToDosPath(std::string(folder, n));
    if (!CreateFolders(dosFolder))
        return std::nullopt;
    const std::string target = dosFolder + "\\" + fileName;
    if (!WriteBmp(CaptureScreen(), target))
        return std::nullopt;
    return target;
}

// ---------------------------------------------------------------------------------------
// Registry

bool DeleteKeyTree(const char* subKey)
{
    return DeleteSubTree(HKEY_CURRENT_USER, subKey);
}

bool KeyExists(const char* subKey)
{
    RegKey key;
    return RegOpenKeyExA(HKEY_CURRENT_USER, subKey, 0, KEY_READ, &key.h) == ERROR_SUCCESS;
}

bool SetRawValue(const std::string& name, DWORD type, const std::vector<std::uint8_t>& data, const char* subKey)
{
    RegKey key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr,
                        &key.h, nullptr) != ERROR_SUCCESS)
        return false;
    return RegSetValueExA(key.h, name.c_str(), 0, type, data.empty() ? nullptr : data.data(),
                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

std::vector<std::uint8_t> SzBytes(const std::string& text)
{
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

bool SetStringValue(const std::string& name, const std::string& text, const char* subKey)
{
    return SetRawValue(name, REG_SZ, SzBytes(text), subKey);
}

std::optional<RegValue> ReadValue(const std::string& name, const char* subKey)
{
    RegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, subKey, 0, KEY_READ, &key.h) != ERROR_SUCCESS)
        return std::nullopt;
    RegValue value;
    DWORD size = 0;
    if (RegQueryValueExA(key.h, name.c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    if (RegQueryValueExA(key.h, name.c_str(), nullptr, &value.type, value.data.empty() ? nullptr : value.data.data(),
                         &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    return value;
}

std::optional<DWORD> ValueCount(const char* subKey)
{
    RegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, subKey, 0, KEY_READ, &key.h) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD values = 0;
    if (RegQueryInfoKeyA(key.h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return std::nullopt;
    return values;
}

std::map<std::string, RegValue> ReadAllValues(const char* subKey)
{
    std::map<std::string, RegValue> all;
    std::vector<std::string> names;
    {
        RegKey key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, subKey, 0, KEY_READ, &key.h) != ERROR_SUCCESS)
            return all;
        for (DWORD index = 0;; ++index) {
            char name[16384];
            DWORD len = sizeof name;
            const LONG rc = RegEnumValueA(key.h, index, name, &len, nullptr, nullptr, nullptr, nullptr);
            if (rc != ERROR_SUCCESS)
                break;
            names.emplace_back(name, len);
        }
    }
    for (const std::string& name : names) {
        if (std::optional<RegValue> value = ReadValue(name, subKey))
            all[name] = *value;
    }
    return all;
}

}  // namespace e2e
