// A small Windows program the driver's own checks run against: it shows a dialog, a
// message box or the Open dialog, echoes its arguments, or just waits, as told by its
// first argument, and reports what the user did through its exit code and an output file.
//
//   fixture exit N                      ends with exit code N
//   fixture args OUT a b ...            writes a, b, ... to OUT, each ended by a zero byte
//   fixture idle                        waits until it is killed
//   fixture dialog OUT [TEXT]           dialog "Driver Fixture": edit 100 (TEXT), edit 101,
//                                       OK (1) writes both texts to OUT and exits 10,
//                                       Cancel (2) exits 20
//   fixture msgbox stop|info CAP TEXT   message box; exits 30 after OK
//   fixture open OUT                    Open dialog; a chosen name goes to OUT, exit 40;
//                                       cancelled, exit 41
#include <windows.h>
#include <commdlg.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kEditA = 100;
constexpr int kEditB = 101;

const char* g_outFile = nullptr;
const char* g_initialText = "";

bool WriteParts(const char* path, const std::vector<std::string>& parts)
{
    FILE* f = std::fopen(path, "wb");
    if (f == nullptr)
        return false;
    for (const std::string& p : parts) {
        std::fwrite(p.data(), 1, p.size(), f);
        std::fputc('\0', f);
    }
    return std::fclose(f) == 0;
}

std::string ItemText(HWND dlg, int id)
{
    char buffer[1024];
    const UINT n = GetDlgItemTextA(dlg, id, buffer, static_cast<int>(sizeof buffer));
    return std::string(buffer, n);
}

// Builds a dialog template in memory so the fixture needs no resource script.
class DialogTemplate
{
public:
    DialogTemplate(const char* caption, DWORD style, short cx, short cy)
    {
        AddDword(style);
        AddDword(0);  // extended style
        m_countIndex = m_words.size();
        m_words.push_back(0);
        AddShort(0);
        AddShort(0);
        AddShort(cx);
        AddShort(cy);
        m_words.push_back(0);  // no menu
        m_words.push_back(0);  // default class
        AddString(caption);
        m_words.push_back(8);  // DS_SETFONT: point size and face
        AddString("MS Shell Dlg");
    }

    void AddItem(WORD atom, int id, DWORD style, const char* text, short x, short y, short cx, short cy)
    {
        if (m_words.size() % 2 != 0)
            m_words.push_back(0);  // DWORD alignment
        AddDword(style | WS_CHILD | WS_VISIBLE);
        AddDword(0);
        AddShort(x);
        AddShort(y);
        AddShort(cx);
        AddShort(cy);
        m_words.push_back(static_cast<WORD>(id));
        m_words.push_back(0xFFFF);
        m_words.push_back(atom);
        AddString(text);
        m_words.push_back(0);  // no creation data
        ++m_words[m_countIndex];
    }

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
    void AddDword(DWORD v)
    {
        m_words.push_back(static_cast<WORD>(v & 0xFFFF));
        m_words.push_back(static_cast<WORD>(v >> 16));
    }
    void AddShort(short v) { m_words.push_back(static_cast<WORD>(v)); }
    void AddString(const char* s)
    {
        for (; *s != '\0'; ++s)
            m_words.push_back(static_cast<unsigned char>(*s));
        m_words.push_back(0);
    }

    std::vector<WORD> m_words;
    std::size_t m_countIndex = 0;
};

INT_PTR CALLBACK FixtureDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG: SetDlgItemTextA(dlg, kEditA, g_initialText); return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            WriteParts(g_outFile, {ItemText(dlg, kEditA), ItemText(dlg, kEditB)});
            EndDialog(dlg, 10);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dlg, 20);
            return TRUE;
        }
        break;
    default: break;
    }
    return FALSE;
}

int RunDialog()
{
    constexpr WORD kButton = 0x0080;
    constexpr WORD kEdit = 0x0081;
    DialogTemplate t("Driver Fixture", DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 200,
                     90);
    t.AddItem(kEdit, kEditA, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, "", 10, 10, 180, 14);
    t.AddItem(kEdit, kEditB, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, "", 10, 30, 180, 14);
    t.AddItem(kButton, IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, "OK", 40, 65, 50, 14);
    t.AddItem(kButton, IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, "Cancel", 110, 65, 50, 14);
    return static_cast<int>(DialogBoxIndirectParamA(GetModuleHandleA(nullptr), t.Get(), nullptr, FixtureDialogProc, 0));
}

int RunOpen()
{
    char file[MAX_PATH * 4] = "";
    OPENFILENAMEA ofn;
    std::memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFilter = "Programs (*.exe)\0*.exe\0All files (*.*)\0*.*\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrTitle = "Select software to be branded";
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (!GetOpenFileNameA(&ofn))
        return 41;
    WriteParts(g_outFile, {file});
    return 40;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    const std::string mode = argv[1];
    if (mode == "exit" && argc >= 3)
        return std::atoi(argv[2]);
    if (mode == "args" && argc >= 3) {
        return WriteParts(argv[2], std::vector<std::string>(argv + 3, argv + argc)) ? 0 : 3;
    }
    if (mode == "idle") {
        Sleep(INFINITE);
        return 0;
    }
    if (mode == "dialog" && argc >= 3) {
        g_outFile = argv[2];
        if (argc >= 4)
            g_initialText = argv[3];
        return RunDialog();
    }
    if (mode == "msgbox" && argc >= 5) {
        const UINT icon = std::strcmp(argv[2], "stop") == 0 ? MB_ICONSTOP : MB_ICONINFORMATION;
        return MessageBoxA(nullptr, argv[4], argv[3], MB_OK | icon) == IDOK ? 30 : 31;
    }
    if (mode == "open" && argc >= 3) {
        g_outFile = argv[2];
        return RunOpen();
    }
    return 2;
}
