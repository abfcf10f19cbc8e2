// CFile: whole-file reads and writes, and the refusals that saves rely on.
#include "FwFile.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

using testfiles::ScratchDir;

namespace {

TEST(FileTest, OpeningAMissingFileThrowsWithCauseAndName)
{
    ScratchDir dir;
    const std::string path = dir.File("missing.exe");
    try {
        CFile f(path.c_str(), CFile::modeRead | CFile::shareDenyNone);
        FAIL() << "opened a file that does not exist";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
        EXPECT_NE(e.m_lOsError, -1);
        EXPECT_EQ(e.m_strFileName, CString(path.c_str()));
    }
    CFile f;
    CFileException e;
    EXPECT_FALSE(f.Open(path.c_str(), CFile::modeRead, &e));
    EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
}

TEST(FileTest, ReadsAWholeFileAndStopsAtItsEnd)
{
    ScratchDir dir;
    const std::string path = dir.File("big.bin");
    const auto bytes = testfiles::Pattern(3 * 1024 * 1024 + 17);
    testfiles::WriteBytes(path, bytes);

    CFile f(path.c_str(), CFile::modeRead | CFile::shareDenyNone);
    CFileStatus st;
    ASSERT_TRUE(f.GetStatus(st));
    EXPECT_EQ(st.m_size, bytes.size());
    std::vector<unsigned char> buf(bytes.size() + 100, 0xEE);
    // Asking for more than the file holds returns what it holds.
    EXPECT_EQ(f.Read(buf.data(), static_cast<UINT>(buf.size())), bytes.size());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), buf.begin()));
    EXPECT_EQ(buf[bytes.size()], 0xEE);
    EXPECT_EQ(f.Read(buf.data(), 10), 0u);
    f.Close();
    EXPECT_FALSE(f.IsOpen());
}

TEST(FileTest, WriteCreatesOrTruncates)
{
    ScratchDir dir;
    const std::string path = dir.File("out.bin");
    testfiles::WriteBytes(path, testfiles::Pattern(5000, 2));
    const auto bytes = testfiles::Pattern(1234, 3);
    {
        CFile f(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
        f.Write(bytes.data(), static_cast<UINT>(bytes.size()));
        f.Flush();
        f.Close();
    }
    EXPECT_EQ(testfiles::ReadBytes(path), bytes);
}

TEST(FileTest, RefusesToWriteAReadOnlyFileWhateverTheRights)
{
    // Runs as root in CI, where the system itself would allow the write.
    ScratchDir dir;
    const std::string path = dir.File("ro.exe");
    const auto bytes = testfiles::Pattern(300, 4);
    testfiles::WriteBytes(path, bytes);
    testfiles::MakeReadOnly(path);

    CFile f;
    CFileException e;
    EXPECT_FALSE(f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive, &e));
    EXPECT_EQ(e.m_cause, CFileException::accessDenied);
    EXPECT_THROW(CFile(path.c_str(), CFile::modeWrite), CFileException);
    testfiles::MakeReadOnly(path, false);
    EXPECT_EQ(testfiles::ReadBytes(path), bytes);  // not truncated

    // Reading a read-only file is fine.
    CFile r(path.c_str(), CFile::modeRead | CFile::shareDenyNone);
    EXPECT_TRUE(r.IsOpen());
}

TEST(FileTest, PositionedAccessLengthAndTheCreationModes)
{
    ScratchDir dir;
    const std::string path = dir.File("f.bin");
    testfiles::WriteBytes(path, testfiles::Pattern(1000, 5));
    {
        // Created if missing, kept if not: nothing is truncated.
        CFile f(path.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite);
        EXPECT_EQ(f.GetLength(), 1000u);
        f.WriteAt(998, "xyz", 3);
        char two[2] = {};
        EXPECT_EQ(f.ReadAt(998, two, 2), 2u);
        EXPECT_EQ(std::string(two, 2), "xy");
        EXPECT_EQ(f.ReadAt(1000, two, 2), 1u);  // up to the end
        // Positioned access leaves the sequential position where it was.
        char first = 0;
        EXPECT_EQ(f.Read(&first, 1), 1u);
        EXPECT_EQ(static_cast<unsigned char>(first), testfiles::Pattern(1000, 5)[0]);
        f.SetLength(10);
        EXPECT_EQ(f.GetLength(), 10u);
        f.Close();
    }
    EXPECT_EQ(testfiles::ReadBytes(path).size(), 10u);

    // Exclusive creation fails on an existing name and leaves it alone.
    CFile g;
    CFileException e;
    EXPECT_FALSE(g.Open(path.c_str(), CFile::modeCreateNew | CFile::modeWrite, &e));
    EXPECT_EQ(testfiles::ReadBytes(path).size(), 10u);
    const std::string fresh = dir.File("fresh.bin");
    ASSERT_TRUE(g.Open(fresh.c_str(), CFile::modeCreateNew | CFile::modeReadWrite, &e));
#ifndef _WIN32
    CFileStatus st;
    ASSERT_TRUE(g.GetStatus(st));
    EXPECT_EQ(st.m_nMode, 0600u);  // owner-only, whatever the umask
#endif
}

TEST(FileTest, ALockExcludesEveryOtherHandleAndTheStatusTellsFilesApart)
{
    ScratchDir dir;
    const std::string path = dir.File("l.bin"), other = dir.File("m.bin");
    testfiles::WriteBytes(path, {1, 2, 3});
    testfiles::WriteBytes(other, {1, 2, 3});
    CFile a(path.c_str(), CFile::modeReadWrite | CFile::shareDenyNone);
    CFile b(path.c_str(), CFile::modeReadWrite | CFile::shareDenyNone);
    ASSERT_EQ(a.TryLock(), CFile::lockTaken);
    EXPECT_EQ(b.TryLock(), CFile::lockHeldElsewhere);  // a second handle of this very process
    a.Close();
    EXPECT_EQ(b.TryLock(), CFile::lockTaken);  // given up with its handle

    CFileStatus sb, byPath, sOther;
    ASSERT_TRUE(b.GetStatus(sb));
    ASSERT_TRUE(CFile::GetStatus(path.c_str(), byPath));
    ASSERT_TRUE(CFile::GetStatus(other.c_str(), sOther));
    EXPECT_TRUE(sb.IsSameFile(byPath));
    EXPECT_FALSE(sb.IsSameFile(sOther));
    EXPECT_EQ(sb.m_kind, CFileStatus::kindFile);
    CFileStatus folder;
    ASSERT_TRUE(CFile::GetStatus(dir.Path().c_str(), folder));
    EXPECT_EQ(folder.m_kind, CFileStatus::kindFolder);
}

TEST(FileTest, RefusesToReadAFolder)
{
    ScratchDir dir;
    CFile f;
    CFileException e;
    EXPECT_FALSE(f.Open(dir.Path().c_str(), CFile::modeRead | CFile::shareDenyNone, &e));
    EXPECT_NE(e.m_cause, CFileException::none);
}

#ifndef _WIN32
TEST(FileTest, OpeningAFifoForReadingFailsAtOnce)
{
    ScratchDir dir;
    const std::string path = dir.File("fifo");
    ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
    CFile f;
    CFileException e;
    EXPECT_FALSE(f.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone, &e));  // no writer: must not block
    EXPECT_EQ(e.m_cause, CFileException::invalidFile);
}
#endif

}  // namespace
