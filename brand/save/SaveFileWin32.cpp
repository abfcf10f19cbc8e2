// The save on Windows: MoveFileExA over the target, which keeps working
// where ReplaceFileA leaves files behind; the target's attributes are kept.
#include "SaveFile.h"
#include "SaveFileDetail.h"

#include "FwException.h"
#include "FwFile.h"
#include "FwFileHook.h"

#include <windows.h>

#include <string>

namespace brand {

namespace {

[[noreturn]] void ThrowError(DWORD err, LPCSTR pszPath)
{
    int cause = CFileException::genericException;
    switch (err) {
    case ERROR_FILE_NOT_FOUND: cause = CFileException::fileNotFound; break;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME: cause = CFileException::badPath; break;
    case ERROR_ACCESS_DENIED: cause = CFileException::accessDenied; break;
    case ERROR_SHARING_VIOLATION: cause = CFileException::sharingViolation; break;
    case ERROR_LOCK_VIOLATION: cause = CFileException::lockViolation; break;
    default: break;
    }
    AfxThrowFileException(cause, static_cast<long>(err), pszPath);
}

std::string FullPath(LPCSTR pszPath)
{
    DWORD n = GetFullPathNameA(pszPath, 0, nullptr, nullptr);
    if (n == 0)
        ThrowError(GetLastError(), pszPath);
    std::string full(n, '\0');
    n = GetFullPathNameA(pszPath, n, &full[0], nullptr);
    if (n == 0 || n >= full.size())
        ThrowError(n == 0 ? GetLastError() : ERROR_BAD_PATHNAME, pszPath);
    full.resize(n);
    return full;
}

}  // namespace

namespace detail {

char PathSeparator()
{
    return '\\';
}

unsigned long CurrentProcessId()
{
    return GetCurrentProcessId();
}

bool IsExistsError(long lOsError)
{
    return lOsError == ERROR_FILE_EXISTS || lOsError == ERROR_ALREADY_EXISTS;
}

void RemoveFile(const std::string& path) noexcept
{
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
}

}  // namespace detail

void SaveFile(LPCSTR pszPath, const SaveContent& content)
{
    // Refuse what writing in place would refuse, before anything is written:
    // a read-only target, one that another process holds open, a running one.
    const DWORD attr = GetFileAttributesA(pszPath);
    const bool bExists = attr != INVALID_FILE_ATTRIBUTES;
    if (bExists) {
        if (attr & FILE_ATTRIBUTE_DIRECTORY)
            ThrowError(ERROR_ACCESS_DENIED, pszPath);
        if (attr & FILE_ATTRIBUTE_READONLY)
            ThrowError(ERROR_ACCESS_DENIED, pszPath);
        HANDLE h = CreateFileA(pszPath, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            ThrowError(GetLastError(), pszPath);
        CloseHandle(h);
    } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
        ThrowError(GetLastError(), pszPath);
    }

    const std::string target = FullPath(pszPath);
    const size_t sep = target.find_last_of("\\/");
    const std::string folder = sep == std::string::npos ? "." : target.substr(0, sep);

    std::string temp;
    if (!detail::WriteTemp(folder, temp, content)) {
        content.WriteOver(pszPath);
        return;
    }

    try {
        if (bExists) {
            const DWORD keep = attr & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                       FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
            SetFileAttributesA(temp.c_str(), keep ? keep : FILE_ATTRIBUTE_NORMAL);
        }
        fw::FileStepHook(fw::FileStep::Replace, pszPath, 0);
        if (!MoveFileExA(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            const DWORD err = GetLastError();
            detail::RemoveFile(temp);
            if (err == ERROR_NOT_SUPPORTED || err == ERROR_INVALID_FUNCTION) {
                content.WriteOver(pszPath);
                return;
            }
            ThrowError(err, pszPath);
        }
    } catch (...) {
        detail::RemoveFile(temp);
        throw;
    }
    fw::FileStepHook(fw::FileStep::Replaced, pszPath, 0);
}

}  // namespace brand
