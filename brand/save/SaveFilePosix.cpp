// The save on POSIX: rename over the target, keeping its mode and owner; a
// symlink is followed to its target, and a file with several hard links is
// written in place so that the links stay one file.
#include "SaveFile.h"
#include "SaveFileDetail.h"

#include "FwException.h"
#include "FwFile.h"
#include "FwFileHook.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace brand {

namespace {

[[noreturn]] void ThrowErrno(int err, LPCSTR pszPath)
{
    int cause = CFileException::genericException;
    switch (err) {
    case ENOENT: cause = CFileException::fileNotFound; break;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: cause = CFileException::badPath; break;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY: cause = CFileException::accessDenied; break;
    default: break;
    }
    AfxThrowFileException(cause, err, pszPath);
}

}  // namespace

namespace detail {

char PathSeparator()
{
    return '/';
}

unsigned long CurrentProcessId()
{
    return static_cast<unsigned long>(::getpid());
}

bool IsExistsError(long lOsError)
{
    return lOsError == EEXIST;
}

void RemoveFile(const std::string& path) noexcept
{
    ::unlink(path.c_str());
}

}  // namespace detail

namespace {

void SyncFolder(const std::string& folder)
{
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

void SaveFile(LPCSTR pszPath, const SaveContent& content)
{
    // Refuse what writing in place would refuse, before anything is written.
    struct stat st;
    const bool bExists = ::stat(pszPath, &st) == 0;
    if (bExists) {
        if (!S_ISREG(st.st_mode))
            ThrowErrno(EISDIR, pszPath);
        if ((st.st_mode & 0222) == 0)
            ThrowErrno(EACCES, pszPath);  // read-only, even for root
        int fd = ::open(pszPath, O_WRONLY | O_CLOEXEC);
        if (fd < 0)
            ThrowErrno(errno, pszPath);
        ::close(fd);
    } else if (errno != ENOENT) {
        ThrowErrno(errno, pszPath);
    }

    std::string target = pszPath;
    if (bExists) {
        if (char* real = ::realpath(pszPath, nullptr)) {
            target = real;
            std::free(real);
        }
        if (st.st_nlink > 1) {
            content.WriteOver(target.c_str());
            return;
        }
    }
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);

    std::string temp;
    if (!detail::WriteTemp(folder, temp, content)) {
        content.WriteOver(target.c_str());
        return;
    }

    try {
        if (bExists) {
            if (::chmod(temp.c_str(), st.st_mode & 07777) != 0)
                ThrowErrno(errno, pszPath);
            if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) &&
                ::chown(temp.c_str(), st.st_uid, st.st_gid) != 0) {
                // Renaming would give the file to us: keep its owner by writing in place.
                detail::RemoveFile(temp);
                content.WriteOver(target.c_str());
                return;
            }
        }
        fw::FileStepHook(fw::FileStep::Replace, pszPath, 0);
        if (::rename(temp.c_str(), target.c_str()) != 0) {
            const int err = errno;
            detail::RemoveFile(temp);
            if (err == EXDEV || err == ENOTSUP || err == EINVAL) {
                content.WriteOver(target.c_str());
                return;
            }
            ThrowErrno(err, pszPath);
        }
    } catch (...) {
        detail::RemoveFile(temp);
        throw;
    }
    SyncFolder(folder);
    fw::FileStepHook(fw::FileStep::Replaced, pszPath, 0);
}

}  // namespace brand
