// velmora-brand brand: one file, in place, to a new path, or to standard output.
#include "Commands.h"

#include "BlockLayout.h"
#include "Compatibility.h"
#include "DataArea.h"
#include "FileReader.h"
#include "OwnBlock.h"
#include "Save.h"
#include "TextRules.h"

#include <array>

namespace cli {

namespace {

constexpr const char* kHelp =
    "usage: velmora-brand brand FILE --name TEXT --link TEXT [--cbid TEXT]\n"
    "                           [--mirrowen TEXT] [--quillburn TEXT]\n"
    "                           [--output PATH|-] [--codepage N|bytes]\n"
    "\n"
    "Brands FILE with the five texts, under the brander's own rules: leading white\n"
    "space is removed, a licensee name and a web site link are required, links that\n"
    "begin \"www.\" get \"http://\", and each text must fit its slot.\n"
    "\n"
    "Texts are typed in UTF-8 and written in the code page of the Windows system\n"
    "the branded program runs on: --codepage N (the default is the system's ANSI\n"
    "code page on Windows and 1252 elsewhere), or bytes to write them unchanged.\n"
    "A character the code page cannot hold refuses the text; the limits count the\n"
    "bytes that are written.\n"
    "\n"
    "Without --output FILE is branded in place: only its data area is written, in\n"
    "an order after which a crash leaves the old texts, the maker's defaults or the\n"
    "new texts, never a mix; a program reading FILE meanwhile may see one of those.\n"
    "With --output PATH the branded copy replaces PATH atomically (a device or FIFO\n"
    "gets the bytes written into it) and FILE is not touched; with --output - the\n"
    "copy goes to standard output. A signed FILE is branded with a warning: sign\n"
    "the branded copy.\n"
    "Exit status: 0 branded, 1 a text refused or the file not compatible, 2 bad\n"
    "usage or a file that cannot be read or written.\n";

// Writes the branded copy to a new file or a stream at output.
int BrandTo(const std::string& output, CFile& in, const CFileStatus& inStatus, const brand::BlockOnDisk& where,
            const uint8_t* pArea)
{
    brand::NewFile out;
    switch (out.Open(output.c_str(), {&in}, inStatus.m_nMode | 0600)) {
    case brand::NewFile::opened: break;
    case brand::NewFile::isFolder: Complain(PrintableName(output) + ": is a folder"); return kUsage;
    case brand::NewFile::isInput:
        Complain(PrintableName(output) + ": is the input file itself; leave out --output to brand it in place");
        return kUsage;
    }
    brand::CopyBranded(in, where, pArea, out.File());
    out.Commit();
    return kOk;
}

int BrandToStandardOutput(const std::string& path, CFile& in, const CFileStatus& inStatus,
                          const brand::BlockOnDisk& where, const uint8_t* pArea)
{
    CFile out;
    out.AttachStandardOutput();
    CFileStatus outStatus;
    if (out.GetStatus(outStatus) && outStatus.m_kind == CFileStatus::kindFile && outStatus.IsSameFile(inStatus)) {
        Complain("standard output is " + PrintableName(path) + " itself; leave out --output to brand it in place");
        return kUsage;
    }
    brand::CopyBranded(in, where, pArea, out);
    return kOk;
}

int BrandInPlace(const std::string& path, CFile& in, const brand::BlockOnDisk& where, const uint8_t* pArea)
{
    in.Close();  // our own handle would count as another program holding the file
    switch (brand::WriteDataAreaInPlace(path.c_str(), where, pArea)) {
    case brand::AreaWrite::kWritten: return kOk;
    case brand::AreaWrite::kBusy:
        Complain(PrintableName(path) + ": is being branded by another program; nothing was written");
        return kUsage;
    case brand::AreaWrite::kChanged:
        Complain(PrintableName(path) + ": changed while it was being branded; nothing was written");
        return kUsage;
    }
    return kUsage;
}

}  // namespace

int RunBrand(const std::vector<std::string>& args)
{
    ParsedArgs a;
    const int parsed = ParseCommand(
        args, {"--name", "--link", "--cbid", "--mirrowen", "--quillburn", "--output", "--codepage"}, {}, kHelp, a);
    if (parsed >= 0)
        return parsed;
    if (a.positional.size() != 1 || !a.Has("--name") || !a.Has("--link"))
        return UsageError(
            a.positional.size() != 1 ? "brand: name exactly one file" : "brand: --name and --link are required", kHelp);
    const std::string& path = a.positional[0];
    CodePage cp;
    std::string error;
    if (!CodePageOption(a, cp, error))
        return UsageError(error, kHelp);

    brand::BrandTexts typed;
    typed.webName = a.Get("--name");
    typed.webLink = a.Get("--link");
    typed.cbid = a.Get("--cbid");
    typed.mirrowenLink = a.Get("--mirrowen");
    typed.quillburnLink = a.Get("--quillburn");
    std::array<uint8_t, brand::kDataAreaLength> area{};
    if (!AreaOfTexts(typed, cp, area.data(), error)) {
        Complain(error);
        return kRefused;
    }

    CFile in;
    if (!OpenInput(path, in, error)) {
        Complain(error);
        return kUsage;
    }
    try {
        CFileStatus inStatus;
        in.GetStatus(inStatus);
        brand::FileReader reader(in);
        const brand::LocateResult found = brand::LocateInFile(reader, inStatus.m_size, brand::OwnBlock());
        const std::string why = brand::Incompatibility(found, inStatus.m_size, reader, brand::OwnBlock());
        if (!why.empty()) {
            Complain(PrintableName(path) + ": not compatible with this brander: " + why);
            return kRefused;
        }
        const PeInfo pe = ReadPeInfo(in, inStatus.m_size);
        if (pe.hasCertificate)
            Warn(SignatureWarning(path, pe));

        const brand::BlockOnDisk where{inStatus.m_size, found.BlockOffset()};
        if (!a.Has("--output"))
            return BrandInPlace(path, in, where, area.data());
        if (a.Get("--output") == "-")
            return BrandToStandardOutput(path, in, inStatus, where, area.data());
        return BrandTo(a.Get("--output"), in, inStatus, where, area.data());
    } catch (const CFileException& e) {
        Complain(Describe(e));
    }
    return kUsage;
}

}  // namespace cli
