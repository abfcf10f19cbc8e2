// The saves: the dialog's whole image into the existing file, velmora-brand's
// in-place data area (its order proven against every crash and power loss the
// writes allow), and new files beside their destination.
#include "Save.h"

#include "BlockFixture.h"
#include "BlockLayout.h"
#include "FileHookDouble.h"
#include "FwException.h"
#include "Identity.h"
#include "OwnBlock.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <array>
#include <set>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#else
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using testfiles::Names;
using testfiles::ReadBytes;
using testfiles::ScratchDir;
using testfiles::WriteBytes;
using Bytes = std::vector<unsigned char>;

namespace {

CFileStatus StatusOf(const std::string& path)
{
    CFileStatus st;
    EXPECT_TRUE(CFile::GetStatus(path.c_str(), st)) << path;
    return st;
}

bool MakeHardLink(const std::string& existing, const std::string& link)
{
#ifdef _WIN32
    return CreateHardLinkA(link.c_str(), existing.c_str(), nullptr) != FALSE;
#else
    return ::link(existing.c_str(), link.c_str()) == 0;
#endif
}

// --- the dialog's whole image

class WholeImageTest : public ::testing::Test
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
    void Save(const Bytes& image)
    {
        brand::WriteWholeImage(target.c_str(), image.data(), static_cast<uint32_t>(image.size()));
    }

    ScratchDir dir;
    std::string target;
    Bytes oldBytes, newBytes;
};

TEST_F(WholeImageTest, WritesIntoTheSameFileAndEndsItAtTheImage)
{
    const std::string other = dir.File("other.exe");
    ASSERT_TRUE(MakeHardLink(target, other));
    const CFileStatus before = StatusOf(target);
    Save(newBytes);
    EXPECT_EQ(ReadBytes(other), newBytes);  // both names are still one file
    EXPECT_TRUE(StatusOf(target).IsSameFile(before));
    EXPECT_EQ(StatusOf(target).m_nLinks, 2u);

    // A file that grew since it was loaded ends where the image does.
    Bytes grown = oldBytes;
    grown.resize(30000, 0xAB);
    WriteBytes(target, grown);
    Save(newBytes);
    EXPECT_EQ(ReadBytes(target), newBytes);
    EXPECT_EQ(Names(dir.Path()).size(), 2u);  // never a file of the save's own
}

TEST_F(WholeImageTest, CreatesATargetThatNoLongerExistsAndRefusesAReadOnlyOne)
{
    std::remove(target.c_str());
    Save(newBytes);
    EXPECT_EQ(ReadBytes(target), newBytes);

    WriteBytes(target, oldBytes);
    testfiles::MakeReadOnly(target);
    EXPECT_THROW(Save(newBytes), CFileException);
    testfiles::MakeReadOnly(target, false);
    EXPECT_EQ(ReadBytes(target), oldBytes);
}

TEST_F(WholeImageTest, AFailingStepIsReportedAndLeavesOldBytesWhereTheImageAgrees)
{
    struct Case
    {
        const char* name;
        fw::FileStep step;
        bool written;
    };
    const Case cases[] = {
        {"disk full on the write", fw::FileStep::Write, false},
        {"flush fails", fw::FileStep::Flush, true},
        {"close fails", fw::FileStep::Close, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(target, oldBytes);
        testfaults::Armed fault(c.step, testfaults::Action::Throw);
        EXPECT_THROW(Save(newBytes), CFileException);
        EXPECT_EQ(ReadBytes(target), c.written ? newBytes : oldBytes);
    }
}

// --- velmora-brand's in-place data area

bool operator==(const brand::Identity& a, const brand::Identity& b)
{
    return a.branded == b.branded && a.webName == b.webName && a.webLink == b.webLink &&
           a.mirrowenLink == b.mirrowenLink && a.quillburnLink == b.quillburnLink;
}

// Targets of 4 KiB. At 450 the template flag straddles a 512-byte sector
// boundary; at 644 the licensee name slot does, with the flag before it.
constexpr size_t kAt = 450;
constexpr size_t kAtSlotsTorn = 644;
constexpr size_t kFileSize = 4096;

std::array<uint8_t, brand::kDataAreaLength> Area(const std::string& name, const std::string& cbid)
{
    std::array<uint8_t, brand::kDataAreaLength> area{};
    std::copy(cbid.begin(), cbid.end(), area.begin() + brand::kCBIDSlot.offset);
    std::copy(name.begin(), name.end(), area.begin() + brand::kWebNameSlot.offset);
    const std::string link = "http://" + name;
    std::copy(link.begin(), link.end(), area.begin() + brand::kWebLinkSlot.offset);
    return area;
}

Bytes WithArea(Bytes file, const std::array<uint8_t, brand::kDataAreaLength>& area, size_t at = kAt)
{
    std::copy(area.begin(), area.end(), file.begin() + static_cast<std::ptrdiff_t>(at + brand::kDataAreaOffset));
    return file;
}

Bytes Unbranded(size_t at = kAt)
{
    const std::vector<uint8_t> image = fixture::ImageWithBlock(kFileSize, at);
    return Bytes(image.begin(), image.end());
}

brand::Identity IdentityOf(const Bytes& file, size_t at = kAt)
{
    return brand::DeriveIdentity(file.data() + at);
}

// Every byte outside the data area as it was, the size too, and the texts one
// whole identity: the old one, the maker's defaults or the new one.
void ExpectAWholeState(const Bytes& state, const Bytes& before, const Bytes& after, size_t at = kAt)
{
    ASSERT_EQ(state.size(), before.size());
    const size_t from = at + brand::kDataAreaOffset, to = from + brand::kDataAreaLength;
    const auto f = static_cast<std::ptrdiff_t>(from), t = static_cast<std::ptrdiff_t>(to);
    EXPECT_TRUE(std::equal(state.begin(), state.begin() + f, before.begin()));
    EXPECT_TRUE(std::equal(state.begin() + t, state.end(), before.begin() + t));
    const brand::Identity id = IdentityOf(state, at);
    EXPECT_TRUE(id == IdentityOf(before, at) || id == brand::DeriveIdentity(brand::OwnBlock()) ||
                id == IdentityOf(after, at))
        << "a mix: licensee \"" << id.webName << "\", site \"" << id.webLink << "\", Mirrowen \"" << id.mirrowenLink
        << "\"";
}

struct Start
{
    const char* name;
    Bytes file;
};

std::vector<Start> Starts(size_t at = kAt)
{
    return {{"from an unbranded file", Unbranded(at)},
            {"from a branded file", WithArea(Unbranded(at), Area("Earlier Reseller Ltd", "OLDID"), at)}};
}

const std::array<uint8_t, brand::kDataAreaLength> kNewArea = Area("Ann", "NEWID");

TEST(AreaInPlaceTest, WritesTheDataAreaAloneAndRefusesAFileChangedSinceItsSearch)
{
    ScratchDir dir;
    const std::string target = dir.File("t.exe");
    const brand::BlockOnDisk where{kFileSize, kAt};
    for (const Start& s : Starts()) {
        SCOPED_TRACE(s.name);
        WriteBytes(target, s.file);
        EXPECT_EQ(brand::WriteDataAreaInPlace(target.c_str(), where, kNewArea.data()), brand::AreaWrite::kWritten);
        EXPECT_EQ(ReadBytes(target), WithArea(s.file, kNewArea));
    }
    Bytes endMarkerTouched = Unbranded(), grown = Unbranded();
    endMarkerTouched[kAt + brand::kEndMarkerOffset + 59] ^= 1;
    grown.push_back(0);
    for (const Bytes& changed : {endMarkerTouched, grown}) {
        WriteBytes(target, changed);
        EXPECT_EQ(brand::WriteDataAreaInPlace(target.c_str(), where, kNewArea.data()), brand::AreaWrite::kChanged);
        EXPECT_EQ(ReadBytes(target), changed);
    }
    testfiles::MakeReadOnly(target);
    EXPECT_THROW(brand::WriteDataAreaInPlace(target.c_str(), where, kNewArea.data()), CFileException);
    testfiles::MakeReadOnly(target, false);
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"t.exe"});
}

// After a crash, or a power loss, the disk holds what was flushed, and of the
// writes since the last flush any subset of the 512-byte sectors they touched,
// torn writes included. Every such state must read as a whole identity.
TEST(AreaInPlaceTest, EveryStateACrashOrPowerLossCanLeaveReadsAsAWholeIdentity)
{
    constexpr size_t kSector = 512;
    ScratchDir dir;
    const std::string target = dir.File("t.exe");
    for (const size_t at : {kAt, kAtSlotsTorn}) {
        for (const Start& s : Starts(at)) {
            SCOPED_TRACE(std::string(s.name) + ", block at " + std::to_string(at));
            WriteBytes(target, s.file);
            testfaults::StartRecording();
            ASSERT_EQ(brand::WriteDataAreaInPlace(target.c_str(), {kFileSize, at}, kNewArea.data()),
                      brand::AreaWrite::kWritten);
            const std::vector<testfaults::Recorded> steps = testfaults::StopRecording();
            const Bytes after = WithArea(s.file, kNewArea, at);
            ASSERT_EQ(ReadBytes(target), after);

            Bytes flushed = s.file;  // what the disk holds for sure
            Bytes issued = s.file;   // what the writes since the last flush would make of it
            std::set<size_t> sectors;
            size_t states = 0;
            for (const testfaults::Recorded& step : steps) {
                if (step.step == fw::FileStep::Flush) {
                    flushed = issued;
                    sectors.clear();
                    continue;
                }
                ASSERT_LE(step.offset + step.bytes.size(), issued.size());
                const size_t offset = static_cast<size_t>(step.offset);
                std::copy(step.bytes.begin(), step.bytes.end(), issued.begin() + static_cast<std::ptrdiff_t>(offset));
                for (size_t sec = offset / kSector; sec * kSector < offset + step.bytes.size(); ++sec)
                    sectors.insert(sec);
                // A crash now: any subset of the touched sectors reached the disk.
                const std::vector<size_t> touched(sectors.begin(), sectors.end());
                ASSERT_LE(touched.size(), 16u);
                for (unsigned subset = 0; subset < (1u << touched.size()); ++subset) {
                    Bytes state = flushed;
                    for (size_t i = 0; i < touched.size(); ++i) {
                        if (subset & (1u << i)) {
                            const size_t from = touched[i] * kSector, to = std::min(from + kSector, state.size());
                            std::copy(issued.begin() + static_cast<std::ptrdiff_t>(from),
                                      issued.begin() + static_cast<std::ptrdiff_t>(to),
                                      state.begin() + static_cast<std::ptrdiff_t>(from));
                        }
                    }
                    ExpectAWholeState(state, s.file, after, at);
                    ++states;
                }
            }
            EXPECT_EQ(flushed, after);  // the last step was a flush
            EXPECT_GE(states, 8u);
        }
    }
    // The layouts tear what they are meant to: the flag, and the name slot.
    const size_t flag = kAt + brand::kDataAreaOffset,
                 name = kAtSlotsTorn + brand::kDataAreaOffset + brand::kWebNameSlot.offset;
    EXPECT_NE(flag / kSector, (flag + 3) / kSector);
    EXPECT_NE(name / kSector, (name + brand::kWebNameSlot.width - 1) / kSector);
}

TEST(AreaInPlaceTest, ASecondBrandOfTheFileWhileOneIsUnderWayIsRefused)
{
    ScratchDir dir;
    const std::string target = dir.File("t.exe");
    WriteBytes(target, Unbranded());
    const auto second = Area("Second", "TWO");
    brand::AreaWrite first = brand::AreaWrite::kChanged;
    {
        // The first brand stops at its first write, with the file locked.
        testfaults::Armed hold(fw::FileStep::Write, testfaults::Action::Hold);
        std::thread t([&] { first = brand::WriteDataAreaInPlace(target.c_str(), {kFileSize, kAt}, kNewArea.data()); });
        testfaults::WaitUntilHeld();
        bool refused = false;
        try {
            refused =
                brand::WriteDataAreaInPlace(target.c_str(), {kFileSize, kAt}, second.data()) == brand::AreaWrite::kBusy;
        } catch (const CFileException& e) {
            // Windows already refuses the second open: the first denies writing.
            refused = e.m_cause == CFileException::sharingViolation;
        }
        EXPECT_TRUE(refused);
        testfaults::Release();
        t.join();
    }
    EXPECT_EQ(first, brand::AreaWrite::kWritten);
    EXPECT_EQ(ReadBytes(target), WithArea(Unbranded(), kNewArea));
}

#ifndef _WIN32
TEST(AreaInPlaceTest, AProcessKilledAtAnyStepLeavesTheOldTheDefaultOrTheNewIdentity)
{
    enum Reads {
        kOld,
        kDefaults,
        kNew
    };
    struct Case
    {
        const char* name;
        fw::FileStep step;
        int nth;
        Reads reads;
    };
    const Case cases[] = {
        {"before the flag is set", fw::FileStep::Write, 1, kOld},
        {"before the flag is flushed", fw::FileStep::Flush, 1, kDefaults},
        {"before the texts are written", fw::FileStep::Write, 2, kDefaults},
        {"before the texts are flushed", fw::FileStep::Flush, 2, kDefaults},
        {"before the flag is cleared", fw::FileStep::Write, 3, kDefaults},
        {"before the flag's clearing is flushed", fw::FileStep::Flush, 3, kNew},
        {"before the file is closed", fw::FileStep::Close, 1, kNew},
    };
    ScratchDir dir;
    const std::string target = dir.File("t.exe");
    const Bytes before = WithArea(Unbranded(), Area("Earlier Reseller Ltd", "OLDID"));
    const Bytes after = WithArea(before, kNewArea);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(target, before);
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(ready[0]);
            testfaults::SetPauseDescriptor(ready[1]);
            testfaults::Arm(c.step, testfaults::Action::Pause, c.nth);
            try {
                brand::WriteDataAreaInPlace(target.c_str(), {kFileSize, kAt}, kNewArea.data());
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
        ASSERT_EQ(got, 1) << "the brand never reached the step";
        ASSERT_TRUE(WIFSIGNALED(status));

        const Bytes state = ReadBytes(target);
        ExpectAWholeState(state, before, after);
        const brand::Identity want = c.reads == kOld        ? IdentityOf(before)
                                     : c.reads == kDefaults ? brand::DeriveIdentity(brand::OwnBlock())
                                                            : IdentityOf(after);
        EXPECT_TRUE(IdentityOf(state) == want);
        // The next brand of the file is not in the way of the killed one's lock.
        EXPECT_EQ(brand::WriteDataAreaInPlace(target.c_str(), {kFileSize, kAt}, kNewArea.data()),
                  brand::AreaWrite::kWritten);
        EXPECT_EQ(ReadBytes(target), after);
    }
}
#endif

// --- new files

class NewFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        inputPath = dir.File("input.exe");
        WriteBytes(inputPath, testfiles::Pattern(70000, 3));
        ASSERT_TRUE(input.Open(inputPath.c_str(), CFile::modeRead | CFile::shareDenyNone));
    }
    // Writes the input through a NewFile at destination; the result of Open.
    brand::NewFile::OpenResult Copy(const std::string& destination, uint32_t mode = 0644)
    {
        brand::NewFile out;
        const brand::NewFile::OpenResult r = out.Open(destination.c_str(), {&input}, mode);
        if (r == brand::NewFile::opened) {
            input.CopyTo(out.File(), 0, 70000);
            out.Commit();
        }
        return r;
    }

    ScratchDir dir;
    std::string inputPath;
    CFile input;
};

TEST_F(NewFileTest, AppearsOnlyWhenCommittedAndLeavesNothingOtherwise)
{
    const std::string dest = dir.File("out.exe");
    {
        brand::NewFile out;
        ASSERT_EQ(out.Open(dest.c_str(), {&input}, 0644), brand::NewFile::opened);
        input.CopyTo(out.File(), 0, 1000);
        EXPECT_FALSE(testfiles::Exists(dest));
    }  // never committed
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"input.exe"});

    // A name left by a copy that was killed is skipped, and stays as it was.
    const std::string stale =
        dir.File(std::string(brand::kTempPrefix) + std::to_string(CFile::ProcessId()) + "-" + "999.tmp");
    WriteBytes(stale, {1, 2, 3});
    ASSERT_EQ(Copy(dest), brand::NewFile::opened);
    EXPECT_EQ(ReadBytes(dest), ReadBytes(inputPath));
    EXPECT_EQ(ReadBytes(stale), (Bytes{1, 2, 3}));
    EXPECT_EQ(Names(dir.Path()).size(), 3u);
}

TEST_F(NewFileTest, RefusesAFolderAnInputByAnyNameAndAReadOnlyFile)
{
    const std::string folder = dir.File("folder");
#ifdef _WIN32
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
#else
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
#endif
    EXPECT_EQ(Copy(folder), brand::NewFile::isFolder);
    const std::string alias = dir.File("alias.exe");
    ASSERT_TRUE(MakeHardLink(inputPath, alias));
    EXPECT_EQ(Copy(alias), brand::NewFile::isInput);
    EXPECT_EQ(Copy(inputPath), brand::NewFile::isInput);

    const std::string ro = dir.File("ro.exe");
    WriteBytes(ro, {9});
    testfiles::MakeReadOnly(ro);
    EXPECT_THROW(Copy(ro), CFileException);
    testfiles::MakeReadOnly(ro, false);
    EXPECT_EQ(ReadBytes(ro), Bytes{9});
    EXPECT_EQ(Names(dir.Path()).size(), 4u);
}

std::string TempFileIn(const ScratchDir& dir)
{
    for (const std::string& name : Names(dir.Path()))
        if (name.rfind(brand::kTempPrefix, 0) == 0)
            return dir.File(name);
    return std::string();
}

#ifdef _WIN32
// A file's access list in the system's notation.
std::string AccessListOf(const std::string& path)
{
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    EXPECT_EQ(GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                    nullptr, &sd),
              static_cast<DWORD>(ERROR_SUCCESS));
    LPSTR text = nullptr;
    ConvertSecurityDescriptorToStringSecurityDescriptorA(sd, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text,
                                                         nullptr);
    std::string r = text ? text : "";
    LocalFree(text);
    LocalFree(sd);
    return r;
}

// The SIDs an access list grants anything to.
std::set<std::string> Grantees(const std::string& sddl)
{
    std::set<std::string> sids;
    for (size_t at = sddl.find("(A;"); at != std::string::npos; at = sddl.find("(A;", at + 1)) {
        const size_t end = sddl.find(')', at);
        sids.insert(sddl.substr(sddl.rfind(';', end) + 1, end - sddl.rfind(';', end) - 1));
    }
    return sids;
}

TEST_F(NewFileTest, IsOwnerOnlyWhileWrittenAndTakesItsFolderPermissionsWhenCommitted)
{
    // What the folder gives a file created there.
    const std::string plain = dir.File("plain.exe");
    WriteBytes(plain, {1});
    const std::string folderGives = AccessListOf(plain);

    const std::string dest = dir.File("new.exe");
    brand::NewFile out;
    ASSERT_EQ(out.Open(dest.c_str(), {&input}, 0755), brand::NewFile::opened);
    const std::string temp = TempFileIn(dir);
    ASSERT_FALSE(temp.empty());
    // Nobody but the user (and the system itself, as Wine spells a mode of 0600).
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    BYTE buf[256];
    DWORD n = 0;
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, buf, sizeof buf, &n));
    CloseHandle(token);
    LPSTR me = nullptr;
    ASSERT_TRUE(ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buf)->User.Sid, &me));
    for (const std::string& sid : Grantees(AccessListOf(temp))) {
        SCOPED_TRACE(sid);
        EXPECT_TRUE(sid == me || sid == "SY");
    }
    LocalFree(me);
    input.CopyTo(out.File(), 0, 70000);
    out.Commit();
    EXPECT_EQ(AccessListOf(dest), folderGives);
    EXPECT_EQ(ReadBytes(dest), ReadBytes(inputPath));
}
#else
TEST_F(NewFileTest, IsOwnerOnlyWhileWrittenAndGetsItsFinalPermissionsThroughItsHandle)
{
    const mode_t mask = umask(022);
    umask(mask);
    const std::string dest = dir.File("new.exe");
    {
        brand::NewFile out;
        ASSERT_EQ(out.Open(dest.c_str(), {&input}, 0755), brand::NewFile::opened);
        input.CopyTo(out.File(), 0, 70000);
        const std::string temp = TempFileIn(dir);
        ASSERT_FALSE(temp.empty());
        EXPECT_EQ(StatusOf(temp).m_nMode, 0600u);
        out.Commit();
    }
    EXPECT_EQ(StatusOf(dest).m_nMode, 0755u & ~mask);

    // An existing destination keeps its mode, and its owner where we may.
    WriteBytes(dest, {1});
    ASSERT_EQ(chmod(dest.c_str(), 0640), 0);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(dest.c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(Copy(dest, 0777), brand::NewFile::opened);
    const CFileStatus st = StatusOf(dest);
    EXPECT_EQ(st.m_nMode, 0640u);
    if (root) {
        EXPECT_EQ(st.m_nOwner, 65534u);
    }
    EXPECT_EQ(ReadBytes(dest), ReadBytes(inputPath));
}

TEST_F(NewFileTest, FollowsASymlinkAndWritesIntoAFifoWithoutReplacingIt)
{
    const std::string real = dir.File("real.exe"), link = dir.File("link.exe");
    WriteBytes(real, {1});
    ASSERT_EQ(symlink("real.exe", link.c_str()), 0);
    ASSERT_EQ(Copy(link), brand::NewFile::opened);
    struct stat st;
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadBytes(real), ReadBytes(inputPath));

    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    Bytes got;
    std::thread reader([&] { got = ReadBytes(fifo); });
    // The reader may not have opened its end yet; a FIFO without one is refused.
    brand::NewFile::OpenResult r = brand::NewFile::isFolder;
    for (int i = 0; i < 2000; ++i) {
        try {
            r = Copy(fifo);
            break;
        } catch (const CFileException&) {
            usleep(1000);
        }
    }
    reader.join();
    EXPECT_EQ(r, brand::NewFile::opened);
    EXPECT_EQ(got, ReadBytes(inputPath));
    ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}
#endif

}  // namespace
