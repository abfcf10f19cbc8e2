// The whole-file save: the target ends up with exactly the old bytes or exactly
// the new ones, and no file of the save's stays behind.
#include "SaveFile.h"

#include "FileHookDouble.h"
#include "FwException.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using testfiles::Names;
using testfiles::ReadBytes;
using testfiles::ScratchDir;
using testfiles::WriteBytes;

namespace {

void Save(const std::string& path, const std::vector<unsigned char>& image)
{
    brand::SaveWholeFile(path.c_str(), image.data(), static_cast<uint32_t>(image.size()));
}

class SaveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        target = dir.File("target.exe");
        oldBytes = testfiles::Pattern(20000, 1);
        newBytes = oldBytes;
        for (size_t i = 5000; i < 6000; ++i)
            newBytes[i] = static_cast<unsigned char>(i * 7);
        WriteBytes(target, oldBytes);
    }
    // Only the target itself may be in the folder.
    void ExpectOnlyTarget() { EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"target.exe"}); }

    ScratchDir dir;
    std::string target;
    std::vector<unsigned char> oldBytes, newBytes;
};

TEST_F(SaveTest, ReplacesTheTargetWithTheImage)
{
    Save(target, newBytes);
    EXPECT_EQ(ReadBytes(target), newBytes);
    ExpectOnlyTarget();
    Save(target, oldBytes);  // and again over the saved file
    EXPECT_EQ(ReadBytes(target), oldBytes);
    ExpectOnlyTarget();
}

TEST_F(SaveTest, CreatesATargetThatNoLongerExists)
{
    std::remove(target.c_str());
    Save(target, newBytes);
    EXPECT_EQ(ReadBytes(target), newBytes);
    ExpectOnlyTarget();
}

TEST_F(SaveTest, RefusesAReadOnlyTargetBeforeWriting)
{
    testfiles::MakeReadOnly(target);
    EXPECT_THROW(Save(target, newBytes), CFileException);
    testfiles::MakeReadOnly(target, false);
    EXPECT_EQ(ReadBytes(target), oldBytes);
    ExpectOnlyTarget();
}

TEST_F(SaveTest, AFailingStepLeavesTheTargetAsItWas)
{
    struct Case { const char* name; fw::FileStep step; int nth; };
    const Case cases[] = {
        {"disk full on the first write", fw::FileStep::Write, 1},
        {"flush fails", fw::FileStep::Flush, 1},
        {"close fails", fw::FileStep::Close, 1},
        {"replace fails", fw::FileStep::Replace, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testfaults::Armed fault(c.step, testfaults::Action::Throw, c.nth);
        EXPECT_THROW(Save(target, newBytes), CFileException);
        EXPECT_EQ(ReadBytes(target), oldBytes);
        ExpectOnlyTarget();
    }
}

TEST_F(SaveTest, WritesInPlaceWhenTheFolderGivesNoTemporaryFile)
{
    testfaults::Armed fault(fw::FileStep::CreateTemp, testfaults::Action::Throw);
    Save(target, newBytes);
    EXPECT_EQ(ReadBytes(target), newBytes);
    ExpectOnlyTarget();
}

TEST_F(SaveTest, AStaleTemporaryFileIsNeitherReusedNorInTheWay)
{
    // What a save killed half-way leaves: a file with our prefix.
    const std::string stale = dir.File(std::string(brand::kTempPrefix) + "stale.tmp");
    WriteBytes(stale, {1, 2, 3});
    Save(target, newBytes);
    EXPECT_EQ(ReadBytes(target), newBytes);
    EXPECT_EQ(ReadBytes(stale), (std::vector<unsigned char>{1, 2, 3}));
    EXPECT_EQ(Names(dir.Path()).size(), 2u);
}

#ifndef _WIN32
TEST_F(SaveTest, KeepsModeAndFollowsSymlinks)
{
    chmod(target.c_str(), 0751);
    const std::string link = dir.File("link.exe");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    Save(link, newBytes);
    struct stat st;
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));  // still a link
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0751u);
    EXPECT_EQ(ReadBytes(target), newBytes);
}

TEST_F(SaveTest, KilledAtAnyPhaseLeavesOldOrNewBytesAndOnlyAFileOfOurs)
{
    struct Case { const char* name; fw::FileStep step; bool done; };
    const Case cases[] = {
        {"killed before the temporary file is complete", fw::FileStep::Write, false},
        {"killed after writing, before the flush", fw::FileStep::Flush, false},
        {"killed after the flush, before the replace", fw::FileStep::Replace, false},
        {"killed right after the replace", fw::FileStep::Replaced, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(target, oldBytes);
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // The child saves and stops at the step, where it is killed.
            close(ready[0]);
            testfaults::SetPauseDescriptor(ready[1]);
            testfaults::Arm(c.step, testfaults::Action::Pause);
            try {
                Save(target, newBytes);
            } catch (...) {
            }
            _exit(3);
        }
        close(ready[1]);
        char byte = 0;
        const ssize_t got = read(ready[0], &byte, 1);
        close(ready[0]);
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_EQ(got, 1) << "the save never reached the step";
        ASSERT_TRUE(WIFSIGNALED(status));

        EXPECT_EQ(ReadBytes(target), c.done ? newBytes : oldBytes);
        std::vector<std::string> stale;
        for (const std::string& name : Names(dir.Path())) {
            if (name != "target.exe") {
                EXPECT_EQ(name.rfind(brand::kTempPrefix, 0), 0u) << name << " is not recognisably ours";
                stale.push_back(name);
            }
        }
        // The next save into the folder does not trip over what was left.
        Save(target, oldBytes);
        EXPECT_EQ(ReadBytes(target), oldBytes);
        for (const std::string& name : stale)
            std::remove(dir.File(name).c_str());
        ExpectOnlyTarget();
    }
}

TEST_F(SaveTest, WritesInPlaceWhenTheFileHasSeveralLinks)
{
    const std::string other = dir.File("other.exe");
    ASSERT_EQ(link(target.c_str(), other.c_str()), 0);
    Save(target, newBytes);
    EXPECT_EQ(ReadBytes(other), newBytes);  // the links are still one file
    struct stat a, b;
    ASSERT_EQ(stat(target.c_str(), &a), 0);
    ASSERT_EQ(stat(other.c_str(), &b), 0);
    EXPECT_EQ(a.st_ino, b.st_ino);
}
#endif

}  // namespace
