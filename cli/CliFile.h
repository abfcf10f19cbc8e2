// The command-line program's file access: an input read in place or in
// chunks, and an output that appears at its path only when it is complete.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace cli {

class InputFile
{
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens a regular file for reading; anything else is refused at once.
    bool Open(const std::string& path, std::string& error);
    uint64_t Size() const { return m_size; }
    // Reads exactly n bytes at offset; false on an error or an early end.
    bool ReadAt(uint64_t offset, void* buf, size_t n) const;
    // Hands the whole file to feed in consecutive pieces, without holding
    // more than one piece at a time; feed returns false to stop early.
    // False when the file could not be read to its end.
    bool Scan(const std::function<bool(const uint8_t*, size_t)>& feed) const;
    const std::string& Path() const { return m_path; }
    intptr_t Handle() const { return m_handle; }
    void Close() noexcept;

private:
    intptr_t m_handle = -1;
    uint64_t m_size = 0;
    std::string m_path;
};

// True when both paths name one existing file, whatever the names.
bool SameFile(const std::string& a, const std::string& b);

// A new file written beside its destination and moved onto it by Commit.
// Destroyed without Commit, it leaves nothing behind.
class OutputFile
{
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Create(const std::string& destination, std::string& error);
    // Copies n bytes of the input from offset to the same offset here; in
    // the kernel where the platform can.
    bool CopyFrom(const InputFile& in, uint64_t offset, uint64_t n, std::string& error);
    bool WriteAt(uint64_t offset, const void* buf, size_t n, std::string& error);
    bool Commit(std::string& error);

private:
    void Discard() noexcept;

    intptr_t m_handle = -1;
    std::string m_temp, m_destination;
};

// Positioned access to an open platform handle (a POSIX descriptor or a
// Windows HANDLE), for files opened elsewhere; name is the file's name in
// messages.
bool ReadFromHandle(intptr_t handle, uint64_t offset, void* buf, size_t n);
bool WriteToHandle(intptr_t handle, uint64_t offset, const void* buf, size_t n, const std::string& name,
                   std::string& error);
// Copies n bytes of the input from offset to the same offset of handle; in
// the kernel where the platform can.
bool CopyToHandle(const InputFile& in, uint64_t offset, uint64_t n, intptr_t handle, const std::string& name,
                  std::string& error);

// Writes n bytes of the input from offset to standard output.
bool StreamToStdout(const InputFile& in, uint64_t offset, uint64_t n, std::string& error);
bool WriteToStdout(const void* buf, size_t n, std::string& error);

bool StderrIsTerminal();

}  // namespace cli
