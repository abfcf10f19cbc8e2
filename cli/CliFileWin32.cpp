// The command-line program's files on Windows: positioned ReadFile and
// WriteFile, and MoveFileExA onto the destination.
#include "CliFile.h"

#include "SaveFile.h"

#include <windows.h>
#include <io.h>

#include <atomic>
#include <cstdio>
#include <vector>

namespace cli {

namespace {

HANDLE H(intptr_t h)
{
    return reinterpret_cast<HANDLE>(h);
}

std::string Describe(const std::string& path, DWORD err)
{
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, err, 0, text, sizeof text,
                   nullptr);
    std::string s = text;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == '.'))
        s.pop_back();
    return path + ": " + (s.empty() ? "error " + std::to_string(err) : s);
}

bool ReadAtHandle(HANDLE h, uint64_t offset, void* buf, size_t n)
{
    char* p = static_cast<char*>(buf);
    while (n > 0) {
        OVERLAPPED ov = {};
        ov.Offset = static_cast<DWORD>(offset);
        ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD got = 0;
        const DWORD want = n < (1u << 30) ? static_cast<DWORD>(n) : (1u << 30);
        if (!ReadFile(h, p, want, &got, &ov) || got == 0)
            return false;
        p += got;
        n -= got;
        offset += got;
    }
    return true;
}

bool WriteAtHandle(HANDLE h, uint64_t offset, const void* buf, size_t n)
{
    const char* p = static_cast<const char*>(buf);
    while (n > 0) {
        OVERLAPPED ov = {};
        ov.Offset = static_cast<DWORD>(offset);
        ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD put = 0;
        const DWORD want = n < (1u << 30) ? static_cast<DWORD>(n) : (1u << 30);
        if (!WriteFile(h, p, want, &put, &ov) || put == 0)
            return false;
        p += put;
        n -= put;
        offset += put;
    }
    return true;
}

}  // namespace

InputFile::~InputFile()
{
    Close();
}

void InputFile::Close() noexcept
{
    if (m_handle != -1)
        CloseHandle(H(m_handle));
    m_handle = -1;
}

bool InputFile::Open(const std::string& path, std::string& error)
{
    m_path = path;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = Describe(path, GetLastError());
        return false;
    }
    LARGE_INTEGER size;
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size)) {
        CloseHandle(h);
        error = path + ": not a regular file";
        return false;
    }
    m_handle = reinterpret_cast<intptr_t>(h);
    m_size = static_cast<uint64_t>(size.QuadPart);
    return true;
}

bool InputFile::ReadAt(uint64_t offset, void* buf, size_t n) const
{
    return ReadAtHandle(H(m_handle), offset, buf, n);
}

bool ReadFromHandle(intptr_t handle, uint64_t offset, void* buf, size_t n)
{
    return ReadAtHandle(H(handle), offset, buf, n);
}

bool WriteToHandle(intptr_t handle, uint64_t offset, const void* buf, size_t n, const std::string& name,
                   std::string& error)
{
    if (!WriteAtHandle(H(handle), offset, buf, n)) {
        error = Describe(name, GetLastError());
        return false;
    }
    return true;
}

bool CopyToHandle(const InputFile& in, uint64_t offset, uint64_t n, intptr_t handle, const std::string& name,
                  std::string& error)
{
    std::vector<char> buf(1 << 20);
    while (n > 0) {
        const size_t want = n < buf.size() ? static_cast<size_t>(n) : buf.size();
        if (!in.ReadAt(offset, buf.data(), want)) {
            error = in.Path() + ": could not be read to its end";
            return false;
        }
        if (!WriteToHandle(handle, offset, buf.data(), want, name, error))
            return false;
        offset += want;
        n -= want;
    }
    return true;
}

bool SameFile(const std::string& a, const std::string& b)
{
    auto id = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        const BOOL ok = GetFileInformationByHandle(h, &info);
        CloseHandle(h);
        return ok != FALSE;
    };
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return id(a, ia) && id(b, ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

OutputFile::~OutputFile()
{
    Discard();
}

void OutputFile::Discard() noexcept
{
    if (m_handle != -1) {
        CloseHandle(H(m_handle));
        m_handle = -1;
    }
    if (!m_temp.empty()) {
        DeleteFileA(m_temp.c_str());
        m_temp.clear();
    }
}

bool OutputFile::Create(const std::string& destination, std::string& error)
{
    static std::atomic<unsigned> counter{0};
    m_destination = destination;
    const size_t sep = destination.find_last_of("\\/");
    const std::string folder = sep == std::string::npos ? std::string() : destination.substr(0, sep + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = folder + brand::kTempPrefix + std::to_string(GetCurrentProcessId()) + "-" +
                           std::to_string(++counter) + ".tmp";
        HANDLE h = CreateFileA(temp.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            m_handle = reinterpret_cast<intptr_t>(h);
            m_temp = temp;
            return true;
        }
        const DWORD err = GetLastError();
        if (err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS) {
            error = Describe(destination, err);
            return false;
        }
    }
    error = destination + ": no temporary file could be created beside it";
    return false;
}

bool OutputFile::CopyFrom(const InputFile& in, uint64_t offset, uint64_t n, std::string& error)
{
    // A whole file is copied by the system, which can clone blocks or copy on
    // the server; the temporary file is opened again afterwards.
    if (offset == 0 && n == in.Size()) {
        CloseHandle(H(m_handle));
        m_handle = -1;
        const BOOL copied = CopyFileA(in.Path().c_str(), m_temp.c_str(), FALSE);
        SetFileAttributesA(m_temp.c_str(), FILE_ATTRIBUTE_NORMAL);  // not the source's read-only bit
        HANDLE h = CreateFileA(m_temp.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            error = Describe(m_destination, GetLastError());
            return false;
        }
        m_handle = reinterpret_cast<intptr_t>(h);
        LARGE_INTEGER size;
        if (copied && GetFileSizeEx(h, &size) && static_cast<uint64_t>(size.QuadPart) == n)
            return true;
        // Otherwise copy through a buffer.
    }
    return CopyToHandle(in, offset, n, m_handle, m_destination, error);
}

bool OutputFile::WriteAt(uint64_t offset, const void* buf, size_t n, std::string& error)
{
    return WriteToHandle(m_handle, offset, buf, n, m_destination, error);
}

bool OutputFile::Commit(std::string& error)
{
    HANDLE h = H(m_handle);
    m_handle = -1;
    if (!CloseHandle(h) ||
        !MoveFileExA(m_temp.c_str(), m_destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = Describe(m_destination, GetLastError());
        Discard();
        return false;
    }
    m_temp.clear();
    return true;
}

bool WriteToStdout(const void* buf, size_t n, std::string& error)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const char* p = static_cast<const char*>(buf);
    while (n > 0) {
        DWORD put = 0;
        const DWORD want = n < (1u << 30) ? static_cast<DWORD>(n) : (1u << 30);
        if (!WriteFile(out, p, want, &put, nullptr) || put == 0) {
            error = Describe("standard output", GetLastError());
            return false;
        }
        p += put;
        n -= put;
    }
    return true;
}

bool StreamToStdout(const InputFile& in, uint64_t offset, uint64_t n, std::string& error)
{
    std::vector<char> buf(1 << 20);
    while (n > 0) {
        const size_t want = n < buf.size() ? static_cast<size_t>(n) : buf.size();
        if (!in.ReadAt(offset, buf.data(), want)) {
            error = in.Path() + ": could not be read to its end";
            return false;
        }
        if (!WriteToStdout(buf.data(), want, error))
            return false;
        offset += want;
        n -= want;
    }
    return true;
}

bool StderrIsTerminal()
{
    return _isatty(_fileno(stderr)) != 0;
}

}  // namespace cli
