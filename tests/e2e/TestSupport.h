// Small helpers shared by the end-to-end test programs: the path of the program under
// test from the command line or the environment, a scratch folder, reading files whole.
#pragma once

#include "Driver.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// argv[1] (left after GoogleTest has taken its own flags), else the environment variable.
inline std::string ProgramFromArgs(int argc, char** argv, const char* envName)
{
    if (argc >= 2 && argv[1] != nullptr && argv[1][0] != '\0')
        return argv[1];
    char value[MAX_PATH * 4];
    const DWORD n = GetEnvironmentVariableA(envName, value, sizeof value);
    if (n == 0 || n >= sizeof value)
        return std::string();
    return std::string(value, n);
}

// A folder of this test process under the temporary folder, created on first use.
inline const std::string& ScratchFolder()
{
    static const std::string folder = [] {
        char temp[MAX_PATH + 1];
        const DWORD n = GetTempPathA(sizeof temp, temp);
        std::string base = (n > 0 && n < sizeof temp) ? std::string(temp, n) : "C:\\";
        if (base.back() != '\\')
            base += '\\';
        std::string path = base + "velmora-e2e-" + std::to_string(GetCurrentProcessId());
        CreateFolders(path);
        return path;
    }();
    return folder;
}

inline std::string ScratchFile(const std::string& name)
{
    const std::string path = ScratchFolder() + "\\" + name;
    DeleteFileA(path.c_str());
    return path;
}

inline std::optional<std::vector<unsigned char>> ReadWholeFile(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return std::nullopt;
    std::vector<unsigned char> bytes;
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

// Splits bytes on zero bytes, each part ended by one (the fixture's output format).
inline std::vector<std::string> ZeroSeparated(const std::vector<unsigned char>& bytes)
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

}  // namespace e2e
