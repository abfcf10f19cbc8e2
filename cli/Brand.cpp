// velmora-brand brand: one file, in place, to a new path, or to standard output.
#include "Commands.h"

#include "BlockLayout.h"
#include "DataArea.h"
#include "FwException.h"
#include "Save.h"
#include "TextRules.h"

#include <cstdio>
#include <thread>

namespace cli {

namespace {

constexpr const char* kHelp =
    "usage: velmora-brand brand FILE --name TEXT --link TEXT [--cbid TEXT]\n"
    "                           [--mirrowen TEXT] [--quillburn TEXT] [--output PATH|-]\n"
    "\n"
    "Brands FILE with the five texts, under the brander's own rules: leading white\n"
    "space is removed, a licensee name and a web site link are required, links that\n"
    "begin \"www.\" get \"http://\", and each text must fit its slot. Texts are taken\n"
    "as bytes. Without --output FILE is branded in place: only its data area is\n"
    "written, in an order after which a crash leaves the old texts, the maker's\n"
    "defaults or the new texts, never a mix; a program reading FILE meanwhile may\n"
    "see one of those. With --output PATH the branded copy replaces PATH\n"
    "atomically (a device or FIFO gets the bytes written into it) and FILE is not\n"
    "touched; with --output - the copy goes to standard output.\n"
    "Exit status: 0 branded, 1 a text refused or the file not compatible, 2 bad\n"
    "usage or a file that cannot be read or written.\n";

}  // namespace

int RunBrand(const std::vector<std::string>& args)
{
    ParsedArgs a;
    const int parsed =
        ParseCommand(args, {"--name", "--link", "--cbid", "--mirrowen", "--quillburn", "--output"}, {}, kHelp, a);
    if (parsed >= 0)
        return parsed;
    if (a.positional.size() != 1 || !a.Has("--name") || !a.Has("--link"))
        return UsageError(a.positional.size() != 1 ? "brand: name exactly one file"
                                                   : "brand: --name and --link are required",
                          kHelp);
    std::string error;
    const std::string& path = a.positional[0];

    const brand::TextCheck check = brand::CheckAndNormalise(
        {a.Get("--name"), a.Get("--link"), a.Get("--cbid"), a.Get("--mirrowen"), a.Get("--quillburn")});
    if (!check.ok) {
        Complain(check.message);
        return kRefused;
    }

    CFile in;
    if (!OpenInput(path, in, error)) {
        Complain(error);
        return kUsage;
    }
    CFileStatus inStatus;
    in.GetStatus(inStatus);
    const uint64_t size = inStatus.m_size;
    const std::string output = a.Get("--output");
    const bool toPath = a.Has("--output") && output != "-";
    try {
        brand::NewFile out;
        if (toPath && size <= kMaxTargetSize) {
            switch (out.Open(output.c_str(), {&in}, inStatus.m_nMode | 0600)) {
            case brand::NewFile::opened: break;
            case brand::NewFile::isFolder: Complain(output + ": is a folder"); return kUsage;
            case brand::NewFile::isInput:
                Complain(output + ": is the input file itself; leave out --output to brand it in place");
                return kUsage;
            }
        }
        // To a new file, the unchanged bytes are copied in the kernel while the
        // block is searched for; the copy is thrown away if there is none.
        // Small files are copied after the search: a thread would cost more
        // than it saves.
        const bool alongside = toPath && out.File().IsOpen() && !out.IsStream() && size >= (8u << 20);
        std::thread copier;
        CFileException copyError;
        bool copyFailed = false;
        if (alongside)
            copier = std::thread([&] {
                try {
                    in.CopyTo(out.File(), 0, size);
                } catch (const CFileException& e) {
                    copyError = e;
                    copyFailed = true;
                }
            });
        brand::LocateResult where;
        try {
            where = LocateInFile(in, size);
        } catch (...) {
            if (copier.joinable())
                copier.join();
            throw;
        }
        if (copier.joinable())
            copier.join();

        const std::string why = Incompatibility(where, size);
        if (!why.empty()) {
            Complain(path + ": not compatible with this brander: " + why);
            return kRefused;
        }
        const uint64_t dataOffset = where.BlockOffset() + brand::kDataAreaOffset;
        std::array<uint8_t, brand::kDataAreaLength> area{};
        const brand::DialogTexts& t = check.texts;
        brand::FillDataArea(area.data(), {t.cbid, t.mirrowenLink, t.quillburnLink, t.webName, t.webLink});

        if (toPath) {
            if (copyFailed)
                throw copyError;
            if (alongside)
                out.File().WriteAt(dataOffset, area.data(), static_cast<UINT>(area.size()));
            else
                WriteBrandedCopy(in, size, dataOffset, area, out.File());
            out.Commit();
            return kOk;
        }
        if (a.Has("--output")) {
            CFile stdoutFile;
            stdoutFile.AttachStandardOutput();
            CFileStatus outStatus;
            if (stdoutFile.GetStatus(outStatus) && outStatus.m_kind == CFileStatus::kindFile &&
                outStatus.IsSameFile(inStatus)) {
                Complain("standard output is " + path + " itself; leave out --output to brand it in place");
                return kUsage;
            }
            WriteBrandedCopy(in, size, dataOffset, area, stdoutFile);
            return kOk;
        }

        // In place: only the data area is written, into the file itself.
        in.Close();  // our own handle would count as another program holding the file
        switch (brand::WriteDataAreaInPlace(path.c_str(), {size, where.BlockOffset()}, area.data())) {
        case brand::AreaWrite::kWritten: return kOk;
        case brand::AreaWrite::kBusy:
            Complain(path + ": is being branded by another program; nothing was written");
            return kUsage;
        case brand::AreaWrite::kChanged:
            Complain(path + ": changed while it was being branded; nothing was written");
            return kUsage;
        }
    } catch (const CFileException& e) {
        Complain(Describe(e));
    }
    return kUsage;
}

}  // namespace cli
