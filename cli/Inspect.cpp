// velmora-brand inspect: what each file carries, for people or as JSON.
#include "Commands.h"

#include "BlockLayout.h"
#include "Compatibility.h"
#include "DataArea.h"
#include "FileReader.h"
#include "Identity.h"
#include "OwnBlock.h"

#include <cstdio>

namespace cli {

namespace {

constexpr const char* kHelp =
    "usage: velmora-brand inspect FILE... [--json] [--codepage N|bytes]\n"
    "\n"
    "Reports for each file whether the brander can brand it (and why not), where\n"
    "its branding block lies and in which state, the texts of a branded block,\n"
    "the identity a program derives from the block, and for a PE file whether it\n"
    "is signed and whether data follows its last section.\n"
    "\n"
    "Texts are decoded from the code page of the Windows system the program runs\n"
    "on: --codepage N (the default is the system's ANSI code page on Windows and\n"
    "1252 elsewhere), or bytes for ASCII only. As plain text they stand in quotes,\n"
    "with backslash, quote, control characters and bytes the code page does not\n"
    "define written \\xNN.\n"
    "\n"
    "--json prints one JSON object a line, all of it UTF-8: \"file\" is the name\n"
    "as given, decoded as UTF-8 (U+FFFD where it is not), \"file_hex\" its exact\n"
    "bytes; each text of a block (\"slots\", \"identity\") is an object whose\n"
    "\"text\" is decoded (U+FFFD for an undefined byte) and whose \"hex\" holds its\n"
    "exact bytes; a slot also gives its length in \"bytes\". \"reason\" says why a\n"
    "file is not compatible, \"pe\" what its headers say (\"problem\": what is\n"
    "wrong with them).\n"
    "Exit status: 0 all compatible, 1 some not compatible, 2 bad usage or a file\n"
    "that cannot be read.\n";

struct SlotView
{
    const char* key;
    const char* label;
    const brand::Slot* slot;
};
const SlotView kSlots[] = {
    {"cbid", "Clickbank ID", &brand::kCBIDSlot},
    {"mirrowen", "Mirrowen link", &brand::kMirrowenSlot},
    {"quillburn", "Quillburn link", &brand::kQuillburnSlot},
    {"name", "licensee name", &brand::kWebNameSlot},
    {"link", "web site link", &brand::kWebLinkSlot},
};

struct Report
{
    std::string path;
    std::string error;  // unreadable when set
    uint64_t size = 0;
    brand::LocateResult where;
    std::string why;  // not compatible when set
    bool branded = false;
    std::string slots[5];
    brand::Identity identity;
    PeInfo pe;
};

Report Examine(const std::string& path)
{
    Report r;
    r.path = path;
    CFile in;
    if (!OpenInput(path, in, r.error))
        return r;
    try {
        brand::FileReader reader(in);
        r.size = in.GetLength();
        r.where = brand::LocateInFile(reader, r.size, brand::OwnBlock());
        r.why = brand::Incompatibility(r.where, r.size, reader, brand::OwnBlock());
        r.pe = ReadPeInfo(in, r.size);
        if (r.where.Located()) {
            uint8_t block[brand::kBlockLength];
            if (reader.ReadAt(r.where.BlockOffset(), block, sizeof block) != sizeof block) {
                r.error = PrintableName(path) + ": ended before its block";
                return r;
            }
            const uint8_t* area = block + brand::kDataAreaOffset;
            r.branded = brand::TemplateFlag(area) == 0;
            for (int i = 0; i < 5; ++i)
                r.slots[i] = std::string(brand::SlotText(area, *kSlots[i].slot));
            r.identity = brand::DeriveIdentity(block);
        }
    } catch (const CFileException& e) {
        r.error = Describe(e);
    }
    return r;
}

void PrintText(const Report& r, const CodePage& cp)
{
    const std::string name = PrintableName(r.path);
    if (!r.error.empty()) {
        std::printf("%s: unreadable: %s\n", name.c_str(), r.error.c_str());
        return;
    }
    if (!r.why.empty())
        std::printf("%s: not compatible: %s\n", name.c_str(), r.why.c_str());
    else
        std::printf("%s: compatible\n", name.c_str());
    if (r.where.Located()) {
        std::printf("  block at offset %llu, %s\n", static_cast<unsigned long long>(r.where.BlockOffset()),
                    r.branded ? "branded" : "unbranded");
        if (r.branded) {
            for (int i = 0; i < 5; ++i)
                std::printf("  %-15s %s (%s)\n", kSlots[i].label, QuotedText(r.slots[i], cp).c_str(),
                            brand::CountOf(r.slots[i].size(), "byte", "bytes").c_str());
        }
        std::printf("  identity: licensee %s, web site %s, Mirrowen %s, Quillburn %s\n",
                    QuotedText(r.identity.webName, cp).c_str(), QuotedText(r.identity.webLink, cp).c_str(),
                    QuotedText(r.identity.mirrowenLink, cp).c_str(), QuotedText(r.identity.quillburnLink, cp).c_str());
    }
    if (r.pe.isPe) {
        if (r.pe.hasCertificate)
            std::printf(
                "  signed: a certificate table (%u bytes at %u). Branding will invalidate this signature: "
                "brand the file first, then sign it.\n",
                r.pe.certificateSize, r.pe.certificateOffset);
        else
            std::printf("  not signed\n");
        if (r.pe.hasOverlay)
            std::printf("  %s of data follow the last section (from offset %llu)\n",
                        brand::CountOf(r.pe.overlaySize, "byte", "bytes").c_str(),
                        static_cast<unsigned long long>(r.pe.overlayOffset));
        if (!r.pe.problem.empty())
            std::printf("  a problem of the file: %s\n", r.pe.problem.c_str());
    } else if (!r.pe.problem.empty()) {
        std::printf("  not a valid PE file: %s\n", r.pe.problem.c_str());
    }
}

void PrintJson(const Report& r, const CodePage& cp)
{
    std::string j = "{\"file\":" + JsonString(r.path) + ",\"file_hex\":\"" + Hex(r.path) + "\"";
    if (!r.error.empty()) {
        j += ",\"readable\":false,\"error\":" + JsonString(r.error) + "}";
        std::printf("%s\n", j.c_str());
        return;
    }
    j += ",\"readable\":true,\"size\":" + std::to_string(r.size);
    j += ",\"compatible\":" + std::string(r.why.empty() ? "true" : "false");
    j += ",\"reason\":" + (r.why.empty() ? std::string("null") : JsonString(r.why));
    j += ",\"codepage\":" + (cp.bytes ? std::string("\"bytes\"") : std::to_string(cp.number));
    if (r.where.Located()) {
        j += ",\"block_offset\":" + std::to_string(r.where.BlockOffset());
        j += ",\"state\":" + std::string(r.branded ? "\"branded\"" : "\"unbranded\"");
        j += ",\"slots\":";
        if (r.branded) {
            j += "{";
            for (int i = 0; i < 5; ++i) {
                std::string text = JsonText(r.slots[i], cp);
                text.insert(text.size() - 1, ",\"bytes\":" + std::to_string(r.slots[i].size()));
                j += std::string(i ? "," : "") + "\"" + kSlots[i].key + "\":" + text;
            }
            j += "}";
        } else {
            j += "null";
        }
        j += ",\"identity\":{\"licensee\":" + JsonText(r.identity.webName, cp) +
             ",\"web_site\":" + JsonText(r.identity.webLink, cp) +
             ",\"mirrowen\":" + JsonText(r.identity.mirrowenLink, cp) +
             ",\"quillburn\":" + JsonText(r.identity.quillburnLink, cp) + "}";
    } else {
        j += ",\"block_offset\":null,\"state\":null,\"slots\":null,\"identity\":null";
    }
    j += ",\"pe\":{\"is_pe\":" + std::string(r.pe.isPe ? "true" : "false");
    j += ",\"signed\":" + std::string(r.pe.hasCertificate ? "true" : "false");
    if (r.pe.hasCertificate)
        j += ",\"certificate_offset\":" + std::to_string(r.pe.certificateOffset) +
             ",\"certificate_size\":" + std::to_string(r.pe.certificateSize);
    j += ",\"overlay_bytes\":" + std::to_string(r.pe.hasOverlay ? r.pe.overlaySize : 0);
    if (r.pe.hasOverlay)
        j += ",\"overlay_offset\":" + std::to_string(r.pe.overlayOffset);
    j += ",\"problem\":" + (r.pe.problem.empty() ? std::string("null") : JsonString(r.pe.problem)) + "}}";
    std::printf("%s\n", j.c_str());
}

}  // namespace

int RunInspect(const std::vector<std::string>& args)
{
    ParsedArgs a;
    const int parsed = ParseCommand(args, {"--codepage"}, {"--json"}, kHelp, a);
    if (parsed >= 0)
        return parsed;
    if (a.positional.empty())
        return UsageError("inspect: name at least one file", kHelp);
    CodePage cp;
    std::string error;
    if (!CodePageOption(a, cp, error))
        return UsageError(error, kHelp);
    int code = kOk;
    for (const std::string& path : a.positional) {
        const Report r = Examine(path);
        a.Has("--json") ? PrintJson(r, cp) : PrintText(r, cp);
        const int mine = !r.error.empty() ? kUsage : !r.why.empty() ? kRefused : kOk;
        if (mine > code)
            code = mine;
        if (!r.error.empty())
            Complain(r.error);
    }
    std::fflush(stdout);
    return code;
}

}  // namespace cli
