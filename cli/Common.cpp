// What the commands share: messages, option parsing, the block search over a
// file, and the branded copy.
#include "Commands.h"

#include "BlockLayout.h"
#include "OwnBlock.h"

#include <cstdio>
#include <memory>
#include <thread>

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

bool ParsedArgs::Has(const std::string& name) const
{
    for (const auto& o : options)
        if (o.first == name)
            return true;
    return false;
}

std::string ParsedArgs::Get(const std::string& name) const
{
    std::string value;
    for (const auto& o : options)
        if (o.first == name)
            value = o.second;  // the last one given wins
    return value;
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
    return std::string(e.m_strFileName.GetString()) + ": " + e.GetErrorMessage().GetString();
}

namespace {

// Feeds a scanner the bytes [from, to) of the file, in pieces.
void ScanRange(CFile& in, uint64_t from, uint64_t to, brand::MarkerScanner& scanner)
{
    // Small enough to stay in the first levels of the processor's cache,
    // where the search runs twice as fast as over 256 KiB pieces; left
    // uninitialised, since every byte is read into before it is looked at.
    constexpr UINT kChunk = 64u << 10;
    const std::unique_ptr<uint8_t[]> buf(new uint8_t[kChunk]);
    // Positioned reads, so that a copy of the same file may run alongside. A
    // file that shrinks while it is read is judged on what was read.
    for (uint64_t at = from; at < to && !scanner.Done();) {
        const UINT n = in.ReadAt(at, buf.get(), to - at < kChunk ? static_cast<UINT>(to - at) : kChunk);
        if (n == 0)
            break;
        scanner.Feed(buf.get(), n);
        at += n;
    }
}

}  // namespace

brand::LocateResult LocateInFile(CFile& in, uint64_t size)
{
    brand::MarkerScanner scanner(brand::OwnBlock(), size);
    // Reading a large file and searching it take two cores about two thirds
    // of the time they take one: the second half is searched alongside.
    constexpr uint64_t kAlongside = 32u << 20;
    if (size < kAlongside) {
        ScanRange(in, 0, size, scanner);
        return scanner.Result();
    }
    const uint64_t half = (size / 2) & ~static_cast<uint64_t>(0xFFFF);
    brand::MarkerScanner later(brand::OwnBlock(), size, half);
    CFileException laterError;
    bool laterFailed = false;
    std::thread t([&] {
        try {
            ScanRange(in, half, size, later);
        } catch (const CFileException& e) {
            laterError = e;
            laterFailed = true;
        }
    });
    try {
        ScanRange(in, 0, half + brand::kMarkerLength - 1, scanner);
    } catch (...) {
        t.join();
        throw;
    }
    t.join();
    if (laterFailed)
        throw laterError;
    scanner.Append(later);
    return scanner.Result();
}

std::string Incompatibility(const brand::LocateResult& r, uint64_t size)
{
    switch (r.status) {
    case brand::LocateResult::kTooSmall: return "too small (" + std::to_string(size) + " bytes)";
    case brand::LocateResult::kNoMarker: return "no marker";
    case brand::LocateResult::kOneMarker: return "only one marker (at " + std::to_string(r.first) + ")";
    case brand::LocateResult::kWrongDistance:
        return "first two markers " + std::to_string(r.second - r.first) + " bytes apart (at " +
               std::to_string(r.first) + " and " + std::to_string(r.second) + ")";
    case brand::LocateResult::kLocated:
        if (size > kMaxTargetSize)
            return "larger than the brander can load (" + std::to_string(size) + " bytes)";
        return "";
    }
    return "";
}

void WriteBrandedCopy(CFile& in, uint64_t size, uint64_t dataOffset, const std::array<uint8_t, 1000>& area,
                      CFile& out)
{
    in.CopyTo(out, 0, dataOffset);
    out.Write(area.data(), static_cast<UINT>(area.size()));
    in.CopyTo(out, dataOffset + area.size(), size - dataOffset - area.size());
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
        return "\"" + name + "\" is not a file name";
    for (char ch : name) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '/' || c == '\\')
            return "\"" + name + "\" is a path, not a plain file name";
        if (c == ':')
            return "\"" + name + "\" names a drive or stream, not a plain file name";
        if (c < 32 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*')
            return "\"" + name + "\" holds a character Windows does not allow in file names";
    }
    if (name.back() == '.' || name.back() == ' ')
        return "\"" + name + "\" ends in a dot or a space, which Windows drops";
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
        return "\"" + name + "\" is a reserved device name on Windows";
    return "";
}

}  // namespace cli
