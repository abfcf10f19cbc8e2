// What the commands share: messages, option parsing, the block search over a
// file, and the branded copy.
#include "Commands.h"

#include "DataArea.h"
#include "FwException.h"
#include "TextRules.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace cli {

void Complain(const std::string& what)
{
    std::fprintf(stderr, "%s: %s\n", kProgram, what.c_str());
}

void Warn(const std::string& what)
{
    std::fprintf(stderr, "%s: warning: %s\n", kProgram, what.c_str());
}

bool ParsedArgs::Has(const std::string& name) const
{
    for (const auto& o : options)
        if (o.first == name)
            return true;
    return false;
}

std::string ParsedArgs::Get(const std::string& name) const
{
    for (const auto& o : options)
        if (o.first == name)
            return o.second;
    return std::string();
}

bool ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& withValue,
               const std::vector<std::string>& valueless, ParsedArgs& out, std::string& error)
{
    auto known = [](const std::vector<std::string>& list, const std::string& name) {
        for (const auto& n : list)
            if (n == name)
                return true;
        return false;
    };
    bool onlyPositional = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (onlyPositional || a.size() < 2 || a[0] != '-' || a == "-") {
            out.positional.push_back(a);
            continue;
        }
        if (a == "--") {
            onlyPositional = true;
            continue;
        }
        if (a == "--help" || a == "-h") {
            out.help = true;
            continue;
        }
        const size_t eq = a.find('=');
        const std::string name = a.substr(0, eq);
        if (out.Has(name)) {
            error = name + " is given twice";
            return false;
        }
        if (known(withValue, name)) {
            if (eq != std::string::npos) {
                out.options.emplace_back(name, a.substr(eq + 1));
            } else if (i + 1 < args.size()) {
                out.options.emplace_back(name, args[++i]);
            } else {
                error = name + " needs a value";
                return false;
            }
        } else if (known(valueless, name) && eq == std::string::npos) {
            out.options.emplace_back(name, "");
        } else {
            error = "unknown option " + a;
            return false;
        }
    }
    return true;
}

int ParseCommand(const std::vector<std::string>& args, const std::vector<std::string>& withValue,
                 const std::vector<std::string>& valueless, const char* help, ParsedArgs& out)
{
    std::string error;
    if (!ParseArgs(args, withValue, valueless, out, error))
        return UsageError(error, help);
    if (out.help) {
        std::fputs(help, stdout);
        return kOk;
    }
    return -1;
}

int UsageError(const std::string& what, const char* help)
{
    Complain(what);
    std::fputs(help, stderr);
    return kUsage;
}

bool OpenInput(const std::string& path, CFile& in, std::string& error)
{
    CFileException e;
    if (in.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary, &e))
        return true;
    error = Describe(e);
    return false;
}

std::string Describe(const CFileException& e)
{
    return PrintableName(e.m_strFileName.GetString()) + ": " + e.GetErrorMessage().GetString();
}

namespace {

// PE reading over an open file.
class FileSource : public ByteSource
{
public:
    FileSource(CFile& in, uint64_t size) : m_in(in), m_size(size) {}
    uint64_t Size() const override { return m_size; }
    bool Read(uint64_t offset, void* buf, size_t n) const override
    {
        try {
            return n <= 0x40000000u && m_in.ReadAt(offset, buf, static_cast<UINT>(n)) == n;
        } catch (const CFileException&) {
            return false;
        }
    }

private:
    CFile& m_in;
    uint64_t m_size;
};

}  // namespace

PeInfo ReadPeInfo(CFile& in, uint64_t size)
{
    return ReadPeInfo(FileSource(in, size));
}

std::string SignatureWarning(const std::string& path, const PeInfo& pe)
{
    return PrintableName(path) + " carries a signature (a certificate table of " + std::to_string(pe.certificateSize) +
           " bytes), which no longer matches once the program is branded: sign the branded copy";
}

bool CodePageOption(const ParsedArgs& a, CodePage& cp, std::string& error)
{
    if (!a.Has("--codepage")) {
        cp = DefaultCodePage();
        return true;
    }
    return ParseCodePage(a.Get("--codepage"), cp, error);
}

bool ConvertTexts(const brand::BrandTexts& typed, const CodePage& cp, brand::BrandTexts& out, std::string& why)
{
    const struct
    {
        const char* what;
        const std::string& in;
        std::string& out;
    } texts[] = {
        {"the licensee name", typed.webName, out.webName},
        {"the web site link", typed.webLink, out.webLink},
        {"the Clickbank ID", typed.cbid, out.cbid},
        {"the Mirrowen link", typed.mirrowenLink, out.mirrowenLink},
        {"the Quillburn link", typed.quillburnLink, out.quillburnLink},
    };
    for (const auto& t : texts) {
        std::string reason;
        if (!ToCodePage(t.in, cp, t.out, reason)) {
            why = std::string(t.what) + " " + reason;
            return false;
        }
    }
    return true;
}

brand::BrandTexts TextsOfRow(const std::function<std::string(const char*)>& field)
{
    brand::BrandTexts typed;
    typed.webName = field("name");
    typed.webLink = field("link");
    typed.cbid = field("cbid");
    typed.mirrowenLink = field("mirrowen");
    typed.quillburnLink = field("quillburn");
    return typed;
}

bool AreaOfTexts(const brand::BrandTexts& typed, const CodePage& cp, uint8_t* pArea, std::string& why)
{
    brand::BrandTexts texts;
    if (!ConvertTexts(typed, cp, texts, why))
        return false;
    const brand::TextCheck check = brand::CheckAndNormalise(texts);
    if (!check.ok) {
        why = check.message;
        return false;
    }
    brand::ClearDataArea(pArea);
    return brand::FillDataArea(pArea, check.texts);
}

bool StderrIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return ::isatty(STDERR_FILENO) != 0;
#endif
}

std::string UnsafeNameReason(const std::string& name)
{
    if (name.empty())
        return "the file name is empty";
    if (name == "." || name == "..")
        return "\"" + PrintableName(name) + "\" is not a file name";
    for (char ch : name) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '/' || c == '\\')
            return "\"" + PrintableName(name) + "\" is a path, not a plain file name";
        if (c == ':')
            return "\"" + PrintableName(name) + "\" names a drive or stream, not a plain file name";
        if (c < 32 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*')
            return "\"" + PrintableName(name) + "\" holds a character Windows does not allow in file names";
    }
    if (name.back() == '.' || name.back() == ' ')
        return "\"" + PrintableName(name) + "\" ends in a dot or a space, which Windows drops";
    // Reserved device names, with or without an extension, in any case.
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    for (char& c : base)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    static const char* const reserved[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    bool isReserved = false;
    for (const char* r : reserved)
        isReserved = isReserved || base == r;
    if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base[3] >= '0' &&
        base[3] <= '9')
        isReserved = true;
    if (isReserved)
        return "\"" + PrintableName(name) + "\" is a reserved device name on Windows";
    return "";
}

}  // namespace cli
