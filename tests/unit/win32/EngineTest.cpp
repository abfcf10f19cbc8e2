// The dialog's engine operations in process: folder of a path, the whole-file
// read, branding and the save, with their messages.
#include "BranderDlg.h"

#include "BlockFixture.h"
#include "ChooserDouble.h"
#include "DataArea.h"
#include "FileHookDouble.h"
#include "FwApp.h"
#include "Locate.h"
#include "MessageBoxDouble.h"
#include "OwnBlock.h"
#include "ResellerIdentity.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using testfiles::ReadBytes;
using testfiles::ScratchDir;
using testfiles::WriteBytes;

// The program's static objects, as the brander has them.
class CEngineTestApp : public CWinApp
{
public:
    CEngineTestApp() : CWinApp("Velmora Software Brander") { SetRegistryKey("Velmora Engine Test"); }
};
CEngineTestApp theApp;
CResellerIdentity theResellerIdentity;

namespace {

const unsigned kStop = MB_OK | MB_ICONSTOP;

std::vector<unsigned char> Bytes(const std::vector<uint8_t>& v)
{
    return std::vector<unsigned char>(v.begin(), v.end());
}

class EngineTest : public ::testing::Test
{
protected:
    void SetUp() override { testmsgbox::Calls().clear(); }
    void TearDown() override
    {
        std::free(dlg.m_pImage);
        dlg.m_pImage = nullptr;
    }

    // Writes a brandable file and loads it through the chooser.
    void LoadTarget(size_t size = 9000, size_t blockAt = 4000)
    {
        target = dir.File("target.exe");
        original = Bytes(fixture::ImageWithBlock(size, blockAt));
        WriteBytes(target, original);
        testchooser::WillChoose(target);
        ASSERT_TRUE(dlg.SelectAndLoadTarget());
        ASSERT_EQ(dlg.m_pDataArea, dlg.m_pImage + blockAt + 60);
    }

    void ExpectOneMessage(const std::string& text, unsigned type)
    {
        ASSERT_EQ(testmsgbox::Calls().size(), 1u);
        EXPECT_EQ(testmsgbox::Calls()[0].text, text);
        EXPECT_EQ(testmsgbox::Calls()[0].type, type);
        EXPECT_EQ(testmsgbox::Calls()[0].helpId, 0u);
    }

    void ExpectTargetUnchangedAndAlone()
    {
        EXPECT_EQ(ReadBytes(target), original);
        std::vector<std::string> names;
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((dir.Path() + "\\*").c_str(), &fd);
        do {
            if (fd.cFileName[0] != '.')
                names.push_back(fd.cFileName);
        } while (FindNextFileA(h, &fd));
        FindClose(h);
        EXPECT_EQ(names, std::vector<std::string>{"target.exe"});
    }

    ScratchDir dir;
    CBranderDlg dlg;
    std::string target;
    std::vector<unsigned char> original;
};

TEST_F(EngineTest, FolderOfPathIsTheLowerCasedFolder)
{
    struct Case
    {
        const char* path;
        const char* folder;
    };
    const Case cases[] = {
        {"C:\\Program Files\\ACME\\Tool.EXE", "c:\\program files\\acme"},
        {"C:\\Tool.exe", "c:"},
        {"Tool.exe", ""},
        {"\\\\Server\\Share\\X.exe", "\\\\server\\share"},
        {"Z:\\TMP\\dir with spaces\\", "z:\\tmp\\dir with spaces"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(dlg.FolderOfPath(c.path), CString(c.folder));
    }
    if (GetACP() == 1252) {
        EXPECT_EQ(dlg.FolderOfPath("D:\\\xC9T\xC9\\a.exe"), CString("d:\\\xE9t\xE9"));
    }
}

std::string InitDir()
{
    return AfxGetApp()->GetProfileString("Brander", "InitDir", "<none>").GetString();
}

TEST_F(EngineTest, SelectAndLoadTargetPreparesTheChooserAndLoadsOnlyACompatibleFile)
{
    AfxGetApp()->WriteProfileString("Brander", "InitDir", "c:\\earlier");
    const std::string good = dir.File("Good.exe"), plain = dir.File("plain.exe");
    WriteBytes(good, Bytes(fixture::ImageWithBlock(5000, 700)));
    WriteBytes(plain, Bytes(fixture::Filler(5000)));
    const std::string folder = CBranderDlg().FolderOfPath(good.c_str()).GetString();
    enum Then {
        kCancel,
        kChoose
    };
    struct Case
    {
        const char* name;
        Then then;
        std::string path;
        BOOL loaded;
        const char* message;
        std::string initDir;
    };
    const Case cases[] = {
        {"cancelled: no message, the folder as it was", kCancel, "", FALSE, nullptr, "c:\\earlier"},
        {"a missing file", kChoose, dir.File("missing.exe"), FALSE, "Unable to read file: ", folder},
        {"a file without a block", kChoose, plain, FALSE, "The .exe file is not compatible with this brander", folder},
        {"a compatible file", kChoose, good, TRUE, nullptr, folder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testmsgbox::Calls().clear();
        testchooser::Calls().clear();
        const std::string before = InitDir();
        c.then == kCancel ? testchooser::WillCancel() : testchooser::WillChoose(c.path);
        CBranderDlg d;
        EXPECT_EQ(d.SelectAndLoadTarget(), c.loaded);
        ASSERT_EQ(testchooser::Calls().size(), 1u);
        const testchooser::Seen& seen = testchooser::Calls()[0];
        EXPECT_EQ(seen.title, "Select software to be branded");
        EXPECT_EQ(seen.filter, "Executable Files (*.exe)|*.exe||");
        EXPECT_EQ(seen.flags & (OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
                                OFN_ALLOWMULTISELECT),
                  static_cast<DWORD>(OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT));
        EXPECT_FALSE(seen.hasDefExt);
        EXPECT_FALSE(seen.hasOwner);
        EXPECT_EQ(InitDir(), c.initDir);
        if (c.message == nullptr) {
            EXPECT_TRUE(testmsgbox::Calls().empty());
        } else {
            ASSERT_EQ(testmsgbox::Calls().size(), 1u);
            EXPECT_EQ(testmsgbox::Calls()[0].text.rfind(c.message, 0), 0u) << testmsgbox::Calls()[0].text;
            EXPECT_EQ(testmsgbox::Calls()[0].type, kStop);
        }
        if (c.loaded) {
            EXPECT_EQ(d.m_strTargetPath, CString(c.path.c_str()));
            EXPECT_EQ(d.m_nImageSize, 5000u);
            EXPECT_EQ(d.m_pDataArea, d.m_pImage + 760);
            EXPECT_EQ(std::vector<unsigned char>(d.m_pDataArea, d.m_pDataArea + 1000),
                      std::vector<unsigned char>(1000, 0));
            EXPECT_EQ(ReadBytes(good), Bytes(fixture::ImageWithBlock(5000, 700)));  // nothing written
            std::free(d.m_pImage);
            d.m_pImage = nullptr;
        } else {
            EXPECT_EQ(d.m_pImage, nullptr);
            EXPECT_EQ(d.m_nImageSize, 0u);
            EXPECT_EQ(d.m_pDataArea, nullptr);
        }
        // The chooser starts in the folder remembered before.
        EXPECT_EQ(seen.initialDir, before);
    }
}

TEST_F(EngineTest, ReadWholeFileGivesTheFileAndFourZeroBytes)
{
    const std::string path = dir.File("x.exe");
    const auto bytes = testfiles::Pattern(70001, 9);
    WriteBytes(path, bytes);
    uint32_t n = 0;
    BYTE* p = dlg.ReadWholeFile(path.c_str(), n);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(n, bytes.size());
    EXPECT_EQ(std::memcmp(p, bytes.data(), bytes.size()), 0);
    EXPECT_EQ(std::memcmp(p + n, "\0\0\0\0", 4), 0);
    std::free(p);

    const std::string empty = dir.File("empty.exe");
    WriteBytes(empty, {});
    p = dlg.ReadWholeFile(empty.c_str(), n);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(std::memcmp(p, "\0\0\0\0", 4), 0);
    std::free(p);
    EXPECT_TRUE(testmsgbox::Calls().empty());
}

TEST_F(EngineTest, ReadWholeFileReadsAFileAnotherProgramHoldsOpen)
{
    const std::string path = dir.File("held.exe");
    WriteBytes(path, testfiles::Pattern(5000));
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    uint32_t n = 0;
    BYTE* p = dlg.ReadWholeFile(path.c_str(), n);
    CloseHandle(h);
    EXPECT_NE(p, nullptr);
    EXPECT_EQ(n, 5000u);
    std::free(p);
}

TEST_F(EngineTest, ReadWholeFileReportsFailuresNamingThePath)
{
    enum class Kind {
        Missing,
        Shrinks,
        Folder,
        TooLarge
    };
    struct Case
    {
        const char* name;
        Kind kind;
    };
    const Case cases[] = {
        {"missing file", Kind::Missing},
        {"file ends before its size", Kind::Shrinks},
        {"a folder", Kind::Folder},
        {"sparse file larger than 4 GiB", Kind::TooLarge},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testmsgbox::Calls().clear();
        const std::string path = dir.File(std::string(c.name) + ".exe");
        switch (c.kind) {
        case Kind::Missing: break;
        case Kind::Shrinks: WriteBytes(path, testfiles::Pattern(3000)); break;
        case Kind::Folder: ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr)); break;
        case Kind::TooLarge: {
            HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
            ASSERT_NE(h, INVALID_HANDLE_VALUE);
            LARGE_INTEGER size;
            size.QuadPart = 5ll << 30;
            ASSERT_TRUE(SetFilePointerEx(h, size, nullptr, FILE_BEGIN));
            ASSERT_TRUE(SetEndOfFile(h));
            CloseHandle(h);
            break;
        }
        }
        testfaults::Armed fault(fw::FileStep::Read, testfaults::Action::EndOfFile, c.kind == Kind::Shrinks ? 1 : 999);
        uint32_t n = 0;
        EXPECT_EQ(dlg.ReadWholeFile(path.c_str(), n), nullptr);
        ExpectOneMessage("Unable to read file: " + path, kStop);
        if (c.kind == Kind::TooLarge)
            DeleteFileA(path.c_str());
    }
}

TEST_F(EngineTest, ApplyBrandingChangesOnlyTheDataArea)
{
    LoadTarget();
    dlg.m_strCBID = std::string(59, 'c').c_str();
    dlg.m_strMRWLink = "";
    dlg.m_strQLBLink = std::string(99, 'q').c_str();
    dlg.m_strWebName = "Caf\xe9 \x80\xff Ltd";
    dlg.m_strWebLink = "http://www.example.com";
    ASSERT_TRUE(dlg.ApplyBranding());
    EXPECT_TRUE(testmsgbox::Calls().empty());

    std::vector<unsigned char> want = original;
    unsigned char* area = want.data() + 4000 + 60;
    std::memset(area, 0, 1000);
    std::memset(area + 40, 'c', 59);
    std::memset(area + 200, 'q', 99);
    std::memcpy(area + 300, "Caf\xe9 \x80\xff Ltd", 11);
    std::memcpy(area + 400, "http://www.example.com", 22);
    EXPECT_EQ(ReadBytes(target), want);
}

TEST_F(EngineTest, ApplyBrandingRefusesATextThatDoesNotFit)
{
    LoadTarget();
    dlg.m_strWebName = std::string(100, 'n').c_str();
    dlg.m_strWebLink = "x";
    EXPECT_FALSE(dlg.ApplyBranding());
    ExpectOneMessage("Failed to write file " + target, kStop);
    ExpectTargetUnchangedAndAlone();
}

TEST_F(EngineTest, SaveCreatesATargetDeletedSinceLoading)
{
    LoadTarget();
    ASSERT_TRUE(DeleteFileA(target.c_str()));
    dlg.m_strWebName = "N";
    dlg.m_strWebLink = "L";
    ASSERT_TRUE(dlg.ApplyBranding());
    EXPECT_EQ(ReadBytes(target).size(), original.size());
}

TEST_F(EngineTest, SaveFaultsAreReportedAndChangeNothingButTheDataArea)
{
    LoadTarget();
    dlg.m_strWebName = "N";
    dlg.m_strWebLink = "L";
    ASSERT_TRUE(brand::FillDataArea(dlg.m_pDataArea, {"N", "L", "", "", ""}));
    const std::vector<unsigned char> branded(dlg.m_pImage, dlg.m_pImage + dlg.m_nImageSize);
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
        WriteBytes(target, original);
        testmsgbox::Calls().clear();
        testfaults::Armed fault(c.step, testfaults::Action::Throw);
        EXPECT_FALSE(dlg.WriteWholeFile(dlg.m_strTargetPath, dlg.m_pImage, dlg.m_nImageSize));
        ExpectOneMessage("Failed to write file " + target, kStop);
        // Nothing is truncated: the file holds the old bytes, or the new ones
        // where the write went through, which differ in the data area alone.
        EXPECT_EQ(ReadBytes(target), c.written ? branded : original);
    }
}

TEST_F(EngineTest, SaveKeepsTheFileItsLinksAndItsAttributes)
{
    LoadTarget();
    const std::string other = dir.File("other.exe");
    ASSERT_TRUE(CreateHardLinkA(other.c_str(), target.c_str(), nullptr));
    // Wine keeps these attributes in the file's user.DOSATTRIB extended attribute.
    const DWORD attrs = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), attrs));
    auto identity = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        const BOOL ok = h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h, &info);
        CloseHandle(h);
        return ok;
    };
    BY_HANDLE_FILE_INFORMATION before, after;
    ASSERT_TRUE(identity(target, before));

    dlg.m_strWebName = "Linked";
    dlg.m_strWebLink = "L";
    ASSERT_TRUE(dlg.ApplyBranding());
    ASSERT_TRUE(identity(target, after));
    EXPECT_EQ(after.nFileIndexLow, before.nFileIndexLow);
    EXPECT_EQ(after.nFileIndexHigh, before.nFileIndexHigh);
    EXPECT_EQ(after.nNumberOfLinks, 2u);
    EXPECT_EQ(GetFileAttributesA(target.c_str()) & attrs, attrs);
    const std::vector<unsigned char> saved(dlg.m_pImage, dlg.m_pImage + dlg.m_nImageSize);
    EXPECT_EQ(ReadBytes(target), saved);
    EXPECT_EQ(ReadBytes(other), saved);
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(EngineTest, SaveRefusesAReadOnlyTarget)
{
    LoadTarget();
    testfiles::MakeReadOnly(target);
    EXPECT_FALSE(dlg.WriteWholeFile(dlg.m_strTargetPath, dlg.m_pImage, dlg.m_nImageSize));
    ExpectOneMessage("Failed to write file " + target, kStop);
    EXPECT_TRUE(GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_READONLY);
    testfiles::MakeReadOnly(target, false);
    ExpectTargetUnchangedAndAlone();
}

TEST_F(EngineTest, SaveRefusesATargetHeldOpenWithAnyShareMode)
{
    LoadTarget();
    std::memset(dlg.m_pDataArea + 300, 'X', 10);
    const DWORD shares[] = {0, FILE_SHARE_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE};
    for (DWORD share : shares) {
        SCOPED_TRACE("share mode " + std::to_string(share));
        testmsgbox::Calls().clear();
        // Opened through another process's handle table would be the same
        // to the system; a second handle of ours is enough for sharing rules.
        HANDLE h = CreateFileA(target.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        EXPECT_FALSE(dlg.WriteWholeFile(dlg.m_strTargetPath, dlg.m_pImage, dlg.m_nImageSize));
        CloseHandle(h);
        ExpectOneMessage("Failed to write file " + target, kStop);
        ExpectTargetUnchangedAndAlone();
    }
}

TEST_F(EngineTest, SaveRefusesARunningTarget)
{
    // The target is a copy of a program that is running while we save.
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string sleeper = self;
    sleeper = sleeper.substr(0, sleeper.find_last_of('\\') + 1) + "test_sleeper.exe";
    target = dir.File("target.exe");
    ASSERT_TRUE(CopyFileA(sleeper.c_str(), target.c_str(), FALSE));
    original = ReadBytes(target);

    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string cmd = "\"" + target + "\"";
    ASSERT_TRUE(CreateProcessA(target.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    std::vector<unsigned char> image = original;
    image[image.size() / 2] ^= 0xFF;
    const BOOL saved = dlg.WriteWholeFile(target.c_str(), image.data(), static_cast<uint32_t>(image.size()));
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_FALSE(saved);
    ExpectOneMessage("Failed to write file " + target, kStop);
    ExpectTargetUnchangedAndAlone();
}

TEST_F(EngineTest, ReadBrandingBlockGivesTheDefaultsOfAnUnbrandedProgram)
{
    EXPECT_TRUE(ReadBrandingBlock());
    EXPECT_EQ(theResellerIdentity.m_nBranded, 0);
    EXPECT_EQ(theResellerIdentity.m_strWebName, CString("Velmora Software"));
    EXPECT_EQ(theResellerIdentity.m_strWebLink, CString("http://www.velmorasoftware.com"));
    EXPECT_EQ(theResellerIdentity.m_strMirrowenLink, CString("http://www.velmorasoftware.com/mirrowen"));
    EXPECT_EQ(theResellerIdentity.m_strQuillburnLink, CString("http://www.velmorasoftware.com/quillburn"));
}

}  // namespace
