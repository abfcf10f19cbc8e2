// The command-line program's files on POSIX: pread, copy_file_range (which
// reflinks where the file system can), rename.
#include "CliFile.h"

#include "SaveFile.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace cli {

namespace {

std::string Describe(const std::string& path, int err)
{
    return path + ": " + std::strerror(err);
}

bool WriteAll(int fd, const void* buf, size_t n)
{
    const char* p = static_cast<const char*>(buf);
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// Copies through a buffer, for file systems and descriptors without an
// in-kernel copy.
bool CopyByHand(int in, uint64_t offset, int out, bool outAtOffset, uint64_t n)
{
    std::vector<char> buf(1 << 20);
    while (n > 0) {
        const size_t want = n < buf.size() ? static_cast<size_t>(n) : buf.size();
        ssize_t r = ::pread(in, buf.data(), want, static_cast<off_t>(offset));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        const size_t got = static_cast<size_t>(r);
        if (outAtOffset) {
            size_t done = 0;
            while (done < got) {
                ssize_t w = ::pwrite(out, buf.data() + done, got - done, static_cast<off_t>(offset + done));
                if (w < 0 && errno == EINTR)
                    continue;
                if (w <= 0)
                    return false;
                done += static_cast<size_t>(w);
            }
        } else if (!WriteAll(out, buf.data(), got)) {
            return false;
        }
        offset += got;
        n -= got;
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
    if (m_handle >= 0)
        ::close(static_cast<int>(m_handle));
    m_handle = -1;
}

bool InputFile::Open(const std::string& path, std::string& error)
{
    m_path = path;
    // Non-blocking, so that a FIFO cannot hold the program up.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = Describe(path, errno);
        return false;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = path + (S_ISDIR(st.st_mode) ? ": is a folder" : ": not a regular file");
        ::close(fd);
        return false;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_handle = fd;
    m_size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool ReadFromHandle(intptr_t handle, uint64_t offset, void* buf, size_t n)
{
    char* p = static_cast<char*>(buf);
    while (n > 0) {
        ssize_t r = ::pread(static_cast<int>(handle), p, n, static_cast<off_t>(offset));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        p += r;
        n -= static_cast<size_t>(r);
        offset += static_cast<uint64_t>(r);
    }
    return true;
}

bool InputFile::ReadAt(uint64_t offset, void* buf, size_t n) const
{
    return ReadFromHandle(m_handle, offset, buf, n);
}

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa, sb;
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

OutputFile::~OutputFile()
{
    Discard();
}

void OutputFile::Discard() noexcept
{
    if (m_handle >= 0) {
        ::close(static_cast<int>(m_handle));
        m_handle = -1;
    }
    if (!m_temp.empty()) {
        ::unlink(m_temp.c_str());
        m_temp.clear();
    }
}

bool OutputFile::Create(const std::string& destination, std::string& error)
{
    static std::atomic<unsigned> counter{0};
    m_destination = destination;
    const size_t slash = destination.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : destination.substr(0, slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = (slash == std::string::npos ? std::string() : folder) + brand::kTempPrefix +
                           std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".tmp";
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            m_handle = fd;
            m_temp = temp;
            return true;
        }
        if (errno != EEXIST) {
            error = Describe(destination, errno);
            return false;
        }
    }
    error = destination + ": no temporary file could be created beside it";
    return false;
}

bool CopyToHandle(const InputFile& in, uint64_t offset, uint64_t n, intptr_t handle, const std::string& name,
                  std::string& error)
{
    const int src = static_cast<int>(in.Handle());
    const int dst = static_cast<int>(handle);
    off_t inOff = static_cast<off_t>(offset), outOff = static_cast<off_t>(offset);
    while (n > 0) {
        const size_t want = n < (1ull << 30) ? static_cast<size_t>(n) : (1u << 30);
        ssize_t c = ::copy_file_range(src, &inOff, dst, &outOff, want, 0);
        if (c < 0 && errno == EINTR)
            continue;
        if (c < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
            if (CopyByHand(src, static_cast<uint64_t>(inOff), dst, true, n))
                return true;
            error = Describe(name, errno);
            return false;
        }
        if (c <= 0) {
            error = c == 0 ? in.Path() + ": ended before its size" : Describe(name, errno);
            return false;
        }
        n -= static_cast<uint64_t>(c);
    }
    return true;
}

bool WriteToHandle(intptr_t handle, uint64_t offset, const void* buf, size_t n, const std::string& name,
                   std::string& error)
{
    const char* p = static_cast<const char*>(buf);
    while (n > 0) {
        ssize_t w = ::pwrite(static_cast<int>(handle), p, n, static_cast<off_t>(offset));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0) {
            error = Describe(name, w < 0 ? errno : ENOSPC);
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
        offset += static_cast<uint64_t>(w);
    }
    return true;
}

bool OutputFile::CopyFrom(const InputFile& in, uint64_t offset, uint64_t n, std::string& error)
{
    return CopyToHandle(in, offset, n, m_handle, m_destination, error);
}

bool OutputFile::WriteAt(uint64_t offset, const void* buf, size_t n, std::string& error)
{
    return WriteToHandle(m_handle, offset, buf, n, m_destination, error);
}

bool OutputFile::Commit(std::string& error)
{
    const int fd = static_cast<int>(m_handle);
    m_handle = -1;
    if (::close(fd) != 0) {
        error = Describe(m_destination, errno);
        Discard();
        return false;
    }
    if (::rename(m_temp.c_str(), m_destination.c_str()) != 0) {
        error = Describe(m_destination, errno);
        Discard();
        return false;
    }
    m_temp.clear();
    return true;
}

bool StreamToStdout(const InputFile& in, uint64_t offset, uint64_t n, std::string& error)
{
    if (!CopyByHand(static_cast<int>(in.Handle()), offset, STDOUT_FILENO, false, n)) {
        error = std::string("standard output: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool WriteToStdout(const void* buf, size_t n, std::string& error)
{
    if (!WriteAll(STDOUT_FILENO, buf, n)) {
        error = std::string("standard output: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool StderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) != 0;
}

}  // namespace cli
