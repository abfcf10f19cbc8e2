// velmora-brand brand: one file, in place, to a new path, or to standard output.
#include "Commands.h"

#include "BlockLayout.h"
#include "DataArea.h"
#include "FwException.h"
#include "FwFile.h"
#include "OwnBlock.h"
#include "SaveFile.h"
#include "TextRules.h"

#include <algorithm>
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

// An in-place brand: the file as it stands with its data area replaced. The
// new file is copied from the old one (in the kernel where the platform can),
// so the file is never held in memory; written over the old one, only the
// data area is written. Either way it first makes sure the file still has
// the size and the block that the search found.
class BrandedInPlace : public brand::SaveContent
{
public:
    BrandedInPlace(const std::string& path, uint64_t size, uint64_t blockOffset,
                   const std::array<uint8_t, brand::kDataAreaLength>& area)
        : m_path(path), m_size(size), m_blockOffset(blockOffset), m_area(area)
    {
    }

    void WriteNew(CFile& file) const override
    {
        InputFile in;
        std::string error;
        if (!in.Open(m_path, error))
            Fail(error);
        CheckUnchanged(in.Handle(), in.Size());
        if (!CopyToHandle(in, 0, m_size, file.GetOsHandle(), m_path, error) ||
            !WriteToHandle(file.GetOsHandle(), DataOffset(), m_area.data(), m_area.size(), m_path, error))
            Fail(error);
    }

    void WriteOver(LPCSTR pszPath) const override
    {
        CFile file(pszPath, CFile::modeReadWrite | CFile::shareExclusive | CFile::typeBinary);
        CFileStatus status;
        if (!file.GetStatus(status))
            Fail(m_path + ": could not be read");
        CheckUnchanged(file.GetOsHandle(), status.m_size);
        std::string error;
        if (!WriteToHandle(file.GetOsHandle(), DataOffset(), m_area.data(), m_area.size(), m_path, error))
            Fail(error);
        file.Flush();
        file.Close();
    }

    // Why the save failed, when the reason was found here; empty otherwise.
    const std::string& Problem() const { return m_problem; }

private:
    uint64_t DataOffset() const { return m_blockOffset + brand::kDataAreaOffset; }

    void CheckUnchanged(intptr_t handle, uint64_t size) const
    {
        std::array<uint8_t, brand::kBlockLength> block;
        const uint8_t* marker = brand::OwnBlock();
        if (size != m_size || !ReadFromHandle(handle, m_blockOffset, block.data(), block.size()) ||
            !std::equal(marker, marker + brand::kMarkerLength, block.begin()) ||
            !std::equal(marker, marker + brand::kMarkerLength, block.begin() + brand::kEndMarkerOffset))
            Fail(m_path + ": changed while it was being branded; nothing was written");
    }

    [[noreturn]] void Fail(const std::string& why) const
    {
        m_problem = why;
        AfxThrowFileException(CFileException::genericException, -1, m_path.c_str());
    }

    std::string m_path;
    uint64_t m_size, m_blockOffset;
    std::array<uint8_t, brand::kDataAreaLength> m_area;
    mutable std::string m_problem;
};

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
