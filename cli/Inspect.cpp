// velmora-brand inspect: what each file carries, for people or as JSON.
#include "Commands.h"

#include "BlockLayout.h"
#include "DataArea.h"
#include "Identity.h"
#include "PeInfo.h"

#include <cstdio>

namespace cli {

namespace {

constexpr const char* kHelp =
    "usage: velmora-brand inspect FILE... [--json]\n"
    "\n"
    "Reports for each file whether the brander can brand it, where its branding\n"
    "block lies and in which state, the texts of a branded block, the identity a\n"
    "program derives from the block, and for a PE file whether it is signed and\n"
    "whether data follows its last section. --json prints one JSON object a line.\n"
    "Exit status: 0 all compatible, 1 some not compatible, 2 bad usage or a file\n"
    "that cannot be read.\n";

class FileSource : public ByteSource
{
public:
    FileSource(CFile& in, uint64_t size) : m_in(in), m_size(size) {}
    uint64_t Size() const override { return m_size; }
    bool Read(uint64_t offset, void* buf, size_t n) const override
    {
        try {
            return n <= UINT32_MAX && m_in.ReadAt(offset, buf, static_cast<UINT>(n)) == n;
        } catch (const CFileException&) {
            return false;
        }
    }

private:
    CFile& m_in;
    uint64_t m_size;
};

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

// A text in quotes, for JSON (quotes and backslashes escaped, bytes of the ANSI
// code page above 127 as \u00XX) or for people (only control bytes escaped).
std::string Escaped(const std::string& s, bool json)
{
    std::string out = "\"";
    for (char ch : s) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (json && (c == '"' || c == '\\')) {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c == 0x7F || (json && c > 0x7F)) {
            char esc[8];
            std::snprintf(esc, sizeof esc, json ? "\\u%04x" : "\\x%02x", c);
            out += esc;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

std::string JsonString(const std::string& s)
{
    return Escaped(s, true);
}

std::string Quoted(const std::string& s)
{
    return Escaped(s, false);
}

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
        r.size = in.GetLength();
        r.where = LocateInFile(in, r.size);
    } catch (const CFileException& e) {
        r.error = Describe(e);
        return r;
    }
    r.why = Incompatibility(r.where, r.size);
    r.pe = ReadPeInfo(FileSource(in, r.size));
    if (r.where.Located()) {
        uint8_t block[brand::kBlockLength];
        if (!FileSource(in, r.size).Read(r.where.BlockOffset(), block, sizeof block)) {
            r.error = path + ": could not be read";
            return r;
        }
        const uint8_t* area = block + brand::kDataAreaOffset;
        r.branded = brand::TemplateFlag(area) == 0;
        for (int i = 0; i < 5; ++i)
            r.slots[i] = std::string(brand::SlotText(area, *kSlots[i].slot));
        r.identity = brand::DeriveIdentity(block);
    }
    return r;
}

void PrintText(const Report& r)
{
    if (!r.error.empty()) {
        std::printf("%s: unreadable: %s\n", r.path.c_str(), r.error.c_str());
        return;
    }
    if (!r.why.empty())
        std::printf("%s: not compatible: %s\n", r.path.c_str(), r.why.c_str());
    else
        std::printf("%s: compatible\n", r.path.c_str());
    if (r.where.Located()) {
        std::printf("  block at offset %llu, %s\n", static_cast<unsigned long long>(r.where.BlockOffset()),
                    r.branded ? "branded" : "unbranded");
        if (r.branded) {
            for (int i = 0; i < 5; ++i)
                std::printf("  %-15s %s (%zu bytes)\n", kSlots[i].label, Quoted(r.slots[i]).c_str(),
                            r.slots[i].size());
        }
        std::printf("  identity: licensee %s, web site %s, Mirrowen %s, Quillburn %s\n",
                    Quoted(r.identity.webName).c_str(), Quoted(r.identity.webLink).c_str(),
                    Quoted(r.identity.mirrowenLink).c_str(), Quoted(r.identity.quillburnLink).c_str());
    }
    if (r.pe.isPe) {
        if (r.pe.hasCertificate)
            std::printf("  signed: a certificate table (%u bytes at %u). Branding will invalidate this signature: "
                        "brand the file first, then sign it.\n",
                        r.pe.certificateSize, r.pe.certificateOffset);
        else
            std::printf("  not signed\n");
        if (r.pe.hasOverlay)
            std::printf("  %llu bytes of data follow the last section (from offset %llu)\n",
                        static_cast<unsigned long long>(r.pe.overlaySize),
                        static_cast<unsigned long long>(r.pe.overlayOffset));
    } else if (r.pe.problem) {
        std::printf("  not a valid PE file: %s\n", r.pe.problem);
    }
}

void PrintJson(const Report& r)
{
    std::string j = "{\"file\":" + JsonString(r.path);
    if (!r.error.empty()) {
        j += ",\"readable\":false,\"error\":" + JsonString(r.error) + "}";
        std::printf("%s\n", j.c_str());
        return;
    }
    j += ",\"readable\":true,\"size\":" + std::to_string(r.size);
    j += ",\"compatible\":" + std::string(r.why.empty() ? "true" : "false");
    j += ",\"reason\":" + (r.why.empty() ? std::string("null") : JsonString(r.why));
    if (r.where.Located()) {
        j += ",\"block_offset\":" + std::to_string(r.where.BlockOffset());
        j += ",\"state\":" + std::string(r.branded ? "\"branded\"" : "\"unbranded\"");
        j += ",\"slots\":";
        if (r.branded) {
            j += "{";
            for (int i = 0; i < 5; ++i)
                j += std::string(i ? "," : "") + "\"" + kSlots[i].key + "\":{\"text\":" + JsonString(r.slots[i]) +
                     ",\"bytes\":" + std::to_string(r.slots[i].size()) + "}";
            j += "}";
        } else {
            j += "null";
        }
        j += ",\"identity\":{\"licensee\":" + JsonString(r.identity.webName) +
             ",\"web_site\":" + JsonString(r.identity.webLink) +
             ",\"mirrowen\":" + JsonString(r.identity.mirrowenLink) +
             ",\"quillburn\":" + JsonString(r.identity.quillburnLink) + "}";
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
    j += ",\"problem\":" + (r.pe.problem ? JsonString(r.pe.problem) : std::string("null")) + "}}";
    std::printf("%s\n", j.c_str());
}

}  // namespace

int RunInspect(const std::vector<std::string>& args)
{
    ParsedArgs a;
    const int parsed = ParseCommand(args, {}, {"--json"}, kHelp, a);
    if (parsed >= 0)
        return parsed;
    if (a.positional.empty())
        return UsageError("inspect: name at least one file", kHelp);
    int code = kOk;
    for (const std::string& path : a.positional) {
        const Report r = Examine(path);
        a.Has("--json") ? PrintJson(r) : PrintText(r);
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
