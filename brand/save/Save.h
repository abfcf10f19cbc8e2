// The saves of both programs, on the framework's file class alone:
// - the dialog's whole image written into the existing file;
// - velmora-brand's in-place write of a data area, in an order that a crash
//   cannot turn into a mix of old and new texts;
// - new files, created owner-only beside their destination, finished through
//   their handle and renamed onto it.
// Every function throws CFileException for the file system's own failures.
#pragma once

#include "FwFile.h"

#include <cstdint>
#include <initializer_list>

namespace brand {

// Writes nSize bytes of pImage over the file at pszPath from its first byte
// and ends the file there; creates the file if it is missing. The file is not
// truncated first, so it stays the same file (links, attributes, security,
// streams), and a failure part-way leaves the old bytes wherever the image
// agrees with them. A read-only file, or one another program holds, is refused.
void WriteWholeImage(LPCSTR pszPath, const uint8_t* pImage, uint32_t nSize);

// Where a search found a block: the file's size and the block's offset.
struct BlockOnDisk
{
    uint64_t fileSize;
    uint64_t blockOffset;
};

enum class AreaWrite {
    kWritten,
    kBusy,     // another program is branding the file: nothing was written
    kChanged,  // the file no longer has that size and those markers: nothing was written
};

// Writes a data area (kDataAreaLength bytes) into the block of the file at
// pszPath, in place, under a whole-file lock. Every state that a crash or a
// power loss can leave reads, by the reading rule, as the old identity, the
// maker's defaults or the new identity; no byte outside the data area changes.
AreaWrite WriteDataAreaInPlace(LPCSTR pszPath, const BlockOnDisk& where, const uint8_t* pArea);

// Writes the fileSize bytes of in to out's position, with the data area of
// the block at where.blockOffset replaced by pArea (kDataAreaLength bytes);
// the unchanged bytes are copied in the kernel where the platform can.
void CopyBranded(CFile& in, const BlockOnDisk& where, const uint8_t* pArea, CFile& out);

// Temporary files of new outputs start with this, beside their destination.
inline constexpr const char* kTempPrefix = "~velmora-save-";

// An output at a path. A missing or regular destination gets a new file beside
// it, created owner-only, that replaces it on Commit and is removed if never
// committed. A device, FIFO or socket is never replaced: its bytes are written
// into it. A symlink is followed.
class NewFile
{
public:
    enum OpenResult {
        opened,
        isFolder,  // refused: a folder is never written over
        isInput,   // refused: the destination is one of the inputs
    };

    NewFile() = default;
    ~NewFile() { Discard(); }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // Nothing is written when the result is not opened. nNewMode is the mode
    // of a destination that does not exist yet, less the umask (POSIX).
    OpenResult Open(LPCSTR pszDestination, std::initializer_list<const CFile*> inputs, uint32_t nNewMode);
    CFile& File() { return m_file; }
    bool IsStream() const { return m_bStream; }
    // Gives the file its final permissions (an existing destination's, or a
    // new file's), flushes it and moves it onto the destination durably.
    void Commit();
    void Discard() noexcept;

private:
    CFile m_file;
    CString m_strTemp, m_strDestination;
    bool m_bStream = false, m_bExisted = false;
    uint32_t m_nNewMode = 0;
};

}  // namespace brand
