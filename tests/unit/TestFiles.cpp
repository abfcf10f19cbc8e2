// Scratch folders and raw file access for the tests, on both platforms.
#include "TestFiles.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace testfiles {

#ifdef _WIN32
namespace {
void RemoveTree(const std::string& dir)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = dir + "\\" + name;
            SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileA(full.c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}
}  // namespace

ScratchDir::ScratchDir()
{
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    static unsigned counter = 0;
    for (;;) {
        m_path = std::string(tmp) + "vbtest-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
        if (CreateDirectoryA(m_path.c_str(), nullptr))
            break;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            throw std::runtime_error("cannot create a scratch folder");
    }
}

ScratchDir::~ScratchDir()
{
    RemoveTree(m_path);
}

std::string ScratchDir::File(const std::string& name) const
{
    return m_path + "\\" + name;
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeReadOnly(const std::string& path, bool readOnly)
{
    SetFileAttributesA(path.c_str(), readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
}
#else
ScratchDir::ScratchDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/vbtest-XXXXXX";
    if (mkdtemp(templ.data()) == nullptr)
        throw std::runtime_error("cannot create a scratch folder");
    m_path = templ;
}

ScratchDir::~ScratchDir()
{
    nftw(
        m_path.c_str(), [](const char* p, const struct stat*, int, struct FTW*) { return std::remove(p); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

std::string ScratchDir::File(const std::string& name) const
{
    return m_path + "/" + name;
}

bool Exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

void MakeReadOnly(const std::string& path, bool readOnly)
{
    chmod(path.c_str(), readOnly ? 0444 : 0644);
}
#endif

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        throw std::runtime_error("cannot write " + path);
    if (!bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::vector<unsigned char> ReadBytes(const std::string& path)
{
    std::vector<unsigned char> out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        throw std::runtime_error("cannot read " + path);
    unsigned char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.insert(out.end(), buf, buf + n);
    std::fclose(f);
    return out;
}

std::vector<unsigned char> Pattern(size_t size, unsigned seed)
{
    std::vector<unsigned char> out(size);
    unsigned x = seed * 2654435761u + 1;
    for (auto& b : out) {
        x = x * 1103515245u + 12345u;
        b = static_cast<unsigned char>(x >> 16);
    }
    return out;
}

std::vector<std::string> Names(const std::string& dir)
{
    std::vector<std::string> names;
#ifdef _WIN32
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (std::string(fd.cFileName) != "." && std::string(fd.cFileName) != "..")
                names.push_back(fd.cFileName);
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
#else
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                names.push_back(e->d_name);
        closedir(d);
    }
#endif
    return names;
}

}  // namespace testfiles
