// velmora-brand brand: one file, in place, to a new path, or to standard output.
#include "Commands.h"

#include "BlockLayout.h"
#include "DataArea.h"
#include "FwException.h"
#include "InPlace.h"
#include "SaveFile.h"
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
    "as bytes. Without --output the file is replaced in place, atomically; with\n"
    "--output PATH the branded copy goes to PATH and FILE is not touched; with\n"
    "--output - it goes to standard output.\n"
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

    InputFile in;
    if (!in.Open(path, error)) {
        Complain(error);
        return kUsage;
    }
    const std::string output = a.Get("--output");
    const bool toPath = a.Has("--output") && output != "-";
    if (toPath && SameFile(path, output)) {
        Complain(output + ": is the input file itself; leave out --output to brand it in place");
        return kUsage;
    }

    // To a path, the unchanged bytes are copied in the kernel while the
    // block is searched for; the copy is thrown away if there is none.
    OutputFile out;
    std::string copyError;
    bool copied = false;
    std::thread copier;
    // Small files are copied after the search: a thread would cost more than it saves.
    const bool alongside = in.Size() >= (8u << 20);
    const bool created = toPath && in.Size() <= kMaxTargetSize && out.Create(output, copyError);
    if (created && alongside)
        copier = std::thread([&] { copied = out.CopyFrom(in, 0, in.Size(), copyError); });
    const brand::LocateResult where = LocateInFile(in);
    if (copier.joinable())
        copier.join();
    else if (created && where.Located())
        copied = out.CopyFrom(in, 0, in.Size(), copyError);

    const std::string why = Incompatibility(where, in.Size());
    if (!why.empty()) {
        Complain(path + ": not compatible with this brander: " + why);
        return kRefused;
    }
    const uint64_t dataOffset = where.BlockOffset() + brand::kDataAreaOffset;
    std::array<uint8_t, brand::kDataAreaLength> area{};
    const brand::DialogTexts& t = check.texts;
    brand::FillDataArea(area.data(), {t.cbid, t.mirrowenLink, t.quillburnLink, t.webName, t.webLink});

    if (toPath) {
        if (!copied || !out.WriteAt(dataOffset, area.data(), area.size(), copyError) || !out.Commit(copyError)) {
            Complain(copyError);
            return kUsage;
        }
        return kOk;
    }
    if (a.Has("--output")) {
        if (!StreamToStdout(in, 0, dataOffset, error) || !WriteToStdout(area.data(), area.size(), error) ||
            !StreamToStdout(in, dataOffset + area.size(), in.Size() - dataOffset - area.size(), error)) {
            Complain(error);
            return kUsage;
        }
        return kOk;
    }

    // In place: the brander's own save, with its refusals and its atomic replace.
    const BrandedInPlace content(path, in.Size(), where.BlockOffset(), area);
    in.Close();  // our own handle would count as another program holding the file
    try {
        brand::SaveFile(path.c_str(), content);
    } catch (const CException&) {
        Complain(content.Problem().empty() ? path + ": failed to write the file (read-only, in use, or not writable)"
                                           : content.Problem());
        return kUsage;
    }
    return kOk;
}

}  // namespace cli
