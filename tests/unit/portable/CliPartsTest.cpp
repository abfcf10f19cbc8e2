// The command-line program's parts: the CSV reader, the safe-name rule and the
// bounded PE reading.
#include "Commands.h"
#include "Csv.h"
#include "PeInfo.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(CsvTest, ReadsQuotedFieldsAndLineEnds)
{
    std::vector<cli::CsvRecord> r;
    std::string error;
    ASSERT_TRUE(cli::ParseCsv("file,name\r\n\"a,b.exe\",\"Q \"\"x\"\"\"\n\nc.exe,\"two\nlines\"\nd,\n", r, error));
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0].fields, (std::vector<std::string>{"file", "name"}));
    EXPECT_EQ(r[1].fields, (std::vector<std::string>{"a,b.exe", "Q \"x\""}));
    EXPECT_EQ(r[2].line, 4u);
    EXPECT_EQ(r[2].fields, (std::vector<std::string>{"c.exe", "two\nlines"}));
    EXPECT_EQ(r[3].line, 6u);  // counted past the line break inside quotes
    EXPECT_EQ(r[3].fields, (std::vector<std::string>{"d", ""}));
}

TEST(CsvTest, RefusesBrokenQuoting)
{
    std::vector<cli::CsvRecord> r;
    std::string error;
    EXPECT_FALSE(cli::ParseCsv("a,\"open\nb\n", r, error));
    EXPECT_NE(error.find("line 1"), std::string::npos);
    EXPECT_FALSE(cli::ParseCsv("a,\"x\"y\n", r, error));
}

TEST(SafeNameTest, RefusesWhatCouldLeaveTheFolderOrMisbehaveOnWindows)
{
    const char* refused[] = {"",          ".",   "..",      "../x.exe",  "a/b.exe", "a\\b.exe", "/abs.exe", "C:x.exe",
                             "C:\\x.exe", "CON", "con.exe", "Nul.txt",   "COM1",    "lpt9.exe", "aux .exe", "x.exe.",
                             "x.exe ",    "a<b", "a|b",     "tab\there", "q?.exe",  "a*.exe",   "a\"b"};
    for (const char* name : refused) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(cli::UnsafeNameReason(name).empty());
    }
    const char* accepted[] = {"a.exe",     "Brand Me.exe", "..a.exe",     "con1.exe",
                              "com10.exe", "CONSOLE.exe",  "caf\xe9.exe", ".hidden"};
    for (const char* name : accepted) {
        SCOPED_TRACE(name);
        EXPECT_EQ(cli::UnsafeNameReason(name), "");
    }
}

// A minimal PE image: headers, one section, and room for what a case adds.
std::vector<uint8_t> Pe(bool pe32plus, uint32_t certOffset, uint32_t certSize, uint32_t sectionEnd, size_t fileSize)
{
    std::vector<uint8_t> f(fileSize, 0);
    auto put16 = [&](size_t at, uint32_t v) {
        f[at] = uint8_t(v);
        f[at + 1] = uint8_t(v >> 8);
    };
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            f[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    put16(0, 0x5A4D);
    put32(0x3C, 0x80);
    put32(0x80, 0x00004550);
    const size_t fh = 0x84, opt = fh + 20;
    const uint32_t optSize = pe32plus ? 240 : 224;
    put16(fh + 2, 1);  // one section
    put16(fh + 16, optSize);
    put16(opt, pe32plus ? 0x20B : 0x10B);
    put32(opt + 60, 0x400);  // the headers' size
    const size_t dirs = opt + (pe32plus ? 112 : 96);
    put32(opt + (pe32plus ? 108 : 92), 16);
    put32(dirs + 8 * 4, certOffset);
    put32(dirs + 8 * 4 + 4, certSize);
    const size_t sec = opt + optSize;
    put32(sec + 16, sectionEnd - 0x400);  // raw size
    put32(sec + 20, 0x400);               // raw offset
    return f;
}

cli::PeInfo Read(const std::vector<uint8_t>& f)
{
    return cli::ReadPeInfo(cli::MemorySource(f.data(), f.size()));
}

// Puts a certificate entry of the given length at offset at.
std::vector<uint8_t> WithEntry(std::vector<uint8_t> f, size_t at, uint32_t length)
{
    for (int i = 0; i < 4; ++i)
        f[at + size_t(i)] = uint8_t(length >> (8 * i));
    return f;
}

TEST(PeInfoTest, SignatureAndOverlay)
{
    for (bool plus : {false, true}) {
        SCOPED_TRACE(plus ? "PE32+" : "PE32");
        cli::PeInfo plain = Read(Pe(plus, 0, 0, 0x1000, 0x1000));
        EXPECT_TRUE(plain.isPe);
        EXPECT_FALSE(plain.hasCertificate);
        EXPECT_FALSE(plain.hasOverlay);

        // A sound table after the sections: the signature, and no overlay.
        cli::PeInfo signedPe = Read(WithEntry(Pe(plus, 0x1000, 0x200, 0x1000, 0x1200), 0x1000, 0x200));
        EXPECT_TRUE(signedPe.hasCertificate);
        EXPECT_EQ(signedPe.certificateOffset, 0x1000u);
        EXPECT_EQ(signedPe.certificateSize, 0x200u);
        EXPECT_FALSE(signedPe.hasOverlay);
        EXPECT_EQ(signedPe.problem, "");

        // Overlay between the sections and the table is overlay still.
        cli::PeInfo both = Read(WithEntry(Pe(plus, 0x1100, 0x100, 0x1000, 0x1200), 0x1100, 0x100));
        EXPECT_TRUE(both.hasCertificate);
        EXPECT_TRUE(both.hasOverlay);
        EXPECT_EQ(both.overlayOffset, 0x1000u);
        EXPECT_EQ(both.overlaySize, 0x100u);
    }
}

TEST(PeInfoTest, ACertificateTableThatCannotBeRealIsAProblemNotASignature)
{
    struct Case
    {
        const char* name;
        std::vector<uint8_t> file;
        const char* says;
    };
    const Case cases[] = {
        {"offset past the end", Pe(false, 0x5000, 0x200, 0x1000, 0x1200), "past the end of the file"},
        {"size that wraps", Pe(false, 0x1000, 0xFFFFFF00u, 0x1000, 0x1200), "past the end of the file"},
        {"size 0", Pe(false, 0x1000, 0, 0x1000, 0x1200), "too short"},
        {"within the headers", WithEntry(Pe(false, 0x200, 0x100, 0x1000, 0x1200), 0x200, 0x100), "within the headers"},
        {"an entry longer than the table", WithEntry(Pe(false, 0x1000, 0x200, 0x1000, 0x1200), 0x1000, 0x208),
         "the entry at offset 4096 has a length of 520"},
        {"an entry shorter than its header", WithEntry(Pe(false, 0x1000, 0x200, 0x1000, 0x1200), 0x1000, 4),
         "the entry at offset 4096 has a length of 4"},
        {"a second entry cut short", WithEntry(Pe(false, 0x1000, 0x104, 0x1000, 0x1104), 0x1000, 0x100),
         "the entry at offset 4352 is cut short"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const cli::PeInfo info = Read(c.file);
        EXPECT_TRUE(info.isPe);
        EXPECT_FALSE(info.hasCertificate);
        EXPECT_NE(info.problem.find(c.says), std::string::npos) << info.problem;
    }
}

TEST(PeInfoTest, TruncatedOrGarbageHeadersAreReportedNotRead)
{
    auto good = Pe(false, 0x1000, 0x200, 0x1000, 0x1200);
    // Every truncation of a good image: never a read past the end.
    for (size_t n = 0; n < 0x200; ++n) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + long(n));
        const cli::PeInfo info = Read(cut);
        if (n < 2) {
            EXPECT_FALSE(info.isPe);
        }
    }
    auto wild = good;
    wild[0x3C] = 0xFF, wild[0x3D] = 0xFF, wild[0x3E] = 0xFF, wild[0x3F] = 0xFF;  // e_lfanew far outside
    EXPECT_FALSE(Read(wild).isPe);
    EXPECT_FALSE(Read(wild).problem.empty());
    auto sections = good;
    sections[0x84 + 2] = 0xFF, sections[0x84 + 3] = 0xFF;  // 65535 sections
    EXPECT_FALSE(Read(sections).problem.empty());
    EXPECT_FALSE(Read(std::vector<uint8_t>(300, 0xAB)).isPe);
}

}  // namespace
