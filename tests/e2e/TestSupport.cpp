// Helpers every end-to-end test program shares (see TestSupport.h).
#include "TestSupport.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace e2e {

std::string EnvironmentValue(const char* name)
{
    char value[MAX_PATH * 4];
    const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    if (n == 0 || n >= sizeof value)
        return std::string();
    return std::string(value, n);
}

std::string ProgramArgument(int argc, char** argv, int index, const char* envName)
{
    if (index < argc && argv[index] != nullptr && argv[index][0] != '\0')
        return argv[index];
    return EnvironmentValue(envName);
}

// ---------------------------------------------------------------------------------------
// Files

const std::string& ScratchFolder()
{
    // Wine hands out the same process ids again, so the id alone would find the folder of an
    // earlier run, with its files; take the first name that no folder has yet.
    static const std::string folder = [] {
        char temp[MAX_PATH + 1];
        const DWORD n = GetTempPathA(sizeof temp, temp);
        std::string base = (n > 0 && n < sizeof temp) ? std::string(temp, n) : "C:\\";
        if (base.back() != '\\')
            base += '\\';
        CreateFolders(base);
        const std::string stem = base + "velmora-e2e-" + std::to_string(GetCurrentProcessId()) + "-";
        for (unsigned i = 1;; ++i) {
            const std::string path = stem + std::to_string(i);
            if (CreateDirectoryA(path.c_str(), nullptr) || GetLastError() != ERROR_ALREADY_EXISTS)
                return path;
        }
    }();
    return folder;
}

std::string ScratchFile(const std::string& name)
{
    const std::string path = ScratchFolder() + "\\" + name;
    DeleteFileA(path.c_str());
    return path;
}

std::optional<Bytes> ReadWholeFile(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return std::nullopt;
    Bytes bytes;
    unsigned char chunk[4096];
    for (;;) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, f);
        bytes.insert(bytes.end(), chunk, chunk + n);
        if (n < sizeof chunk)
            break;
    }
    std::fclose(f);
    return bytes;
}

bool WriteFileBytes(const std::string& path, const Bytes& bytes)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = bytes.empty() || WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == bytes.size();
}

std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = data.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(h, &data));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> ZeroSeparated(const Bytes& bytes)
{
    std::vector<std::string> parts;
    std::string current;
    for (unsigned char c : bytes) {
        if (c == 0) {
            parts.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(c);
        }
    }
    return parts;
}

// ---------------------------------------------------------------------------------------
// Texts

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Visible(const std::string& text)
{
    std::ostringstream out;
    out << '"';
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 32 && c < 127 && c != '\\') {
            out << static_cast<char>(c);
        } else {
            const char* hex = "0123456789abcdef";
            out << "\\x" << hex[c >> 4] << hex[c & 15];
        }
    }
    out << '"';
    return out.str();
}

std::map<std::string, std::string> KeyValueLines(const std::string& text)
{
    std::map<std::string, std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos)
            out[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return out;
}

// ---------------------------------------------------------------------------------------
// Console programs

std::optional<std::string> RunCapturingOutput(const std::string& exe, DWORD* exitCode,
                                              const std::vector<std::string>& args)
{
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 1 << 16))
        return std::nullopt;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    PROCESS_INFORMATION pi;
    std::memset(&pi, 0, sizeof pi);
    std::string line = BuildCommandLine(ToDosPath(exe), args);
    std::vector<char> mutableLine(line.begin(), line.end());
    mutableLine.push_back('\0');
    const BOOL started = CreateProcessA(ToDosPath(exe).c_str(), mutableLine.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return std::nullopt;
    }
    CloseHandle(pi.hThread);
    std::string output;
    // The output is small; drain what is there while the program runs, and once it ends.
    auto drain = [&] {
        DWORD available = 0;
        while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
            char chunk[4096];
            DWORD got = 0;
            if (!ReadFile(readEnd, chunk, std::min<DWORD>(available, sizeof chunk), &got, nullptr) || got == 0)
                break;
            output.append(chunk, got);
        }
    };
    const bool ended = WaitUntil([&] {
        drain();
        return WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0;
    });
    drain();
    if (!ended)
        TerminateProcess(pi.hProcess, 99);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    if (exitCode != nullptr)
        *exitCode = code;
    CloseHandle(pi.hProcess);
    CloseHandle(readEnd);
    if (!ended)
        return std::nullopt;
    std::string lf;
    for (char c : output) {
        if (c != '\r')
            lf += c;
    }
    return lf;
}

// ---------------------------------------------------------------------------------------
// Registry key trees

std::optional<KeyTree> ReadTree(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    KeyTree tree;
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD nameLength = sizeof name;
        std::vector<std::uint8_t> data(1 << 16);
        DWORD dataLength = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data.data(), &dataLength) != ERROR_SUCCESS)
            break;
        data.resize(dataLength);
        tree.values.emplace_back(std::string(name, nameLength), RegValue{type, data});
    }
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameLength = sizeof name;
        if (RegEnumKeyExA(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, nameLength);
    }
    RegCloseKey(key);
    for (const std::string& name : names) {
        std::optional<KeyTree> sub = ReadTree(root, path + "\\" + name);
        if (!sub)
            return std::nullopt;
        tree.subkeys.emplace_back(name, std::move(*sub));
    }
    return tree;
}

bool WriteTree(HKEY root, const std::string& path, const KeyTree& tree)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    bool ok = true;
    for (const auto& [name, value] : tree.values) {
        ok = ok && RegSetValueExA(key, name.c_str(), 0, value.type, value.data.data(),
                                  static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    for (const auto& [name, sub] : tree.subkeys)
        ok = ok && WriteTree(root, path + "\\" + name, sub);
    return ok;
}

bool SameTree(const KeyTree& a, const KeyTree& b)
{
    if (a.values != b.values || a.subkeys.size() != b.subkeys.size())
        return false;
    for (std::size_t i = 0; i < a.subkeys.size(); ++i) {
        if (a.subkeys[i].first != b.subkeys[i].first || !SameTree(a.subkeys[i].second, b.subkeys[i].second))
            return false;
    }
    return true;
}

bool DeleteTree(HKEY root, const std::string& path)
{
    const LSTATUS s = RegDeleteTreeA(root, path.c_str());
    if (s != ERROR_SUCCESS && s != ERROR_FILE_NOT_FOUND)
        return false;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegCloseKey(key);
        return RegDeleteKeyA(root, path.c_str()) == ERROR_SUCCESS;
    }
    return true;
}

bool DeleteValue(const char* subKey, const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, subKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return true;
    const LSTATUS s = RegDeleteValueA(key, name);
    RegCloseKey(key);
    return s == ERROR_SUCCESS || s == ERROR_FILE_NOT_FOUND;
}

}  // namespace e2e
