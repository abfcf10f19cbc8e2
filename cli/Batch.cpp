// velmora-brand batch: one branded copy of a master per row of a CSV list.
#include "Commands.h"

#include "BlockLayout.h"
#include "Compatibility.h"
#include "Csv.h"
#include "DataArea.h"
#include "FileReader.h"
#include "FwCodePage.h"
#include "OwnBlock.h"
#include "Save.h"
#include "TextRules.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace cli {

namespace {

constexpr const char* kHelp =
    "usage: velmora-brand batch MASTER --list FILE.csv --out-dir DIR [--jobs N]\n"
    "                           [--codepage N|bytes]\n"
    "\n"
    "Writes one branded copy of MASTER into DIR for each row of FILE.csv. The first\n"
    "row names the columns: file,name,link,cbid,mirrowen,quillburn (file, name and\n"
    "link are required; any order). Each row's texts go through the brander's own\n"
    "rules; its file must be a plain file name, and never the master or the list.\n"
    "A refused row is reported with its line and skipped; the others are written.\n"
    "\n"
    "The list is UTF-8 (a byte-order mark at its start is skipped); its texts are\n"
    "written in the code page of the Windows system the copies run on:\n"
    "--codepage N (the default is the system's ANSI code page on Windows and 1252\n"
    "elsewhere), or bytes to write them unchanged, when the list need not be UTF-8.\n"
    "A signed MASTER is branded with a warning: sign the branded copies.\n"
    "Exit status: 0 every row written, 1 some row refused or not written, 2 bad\n"
    "usage, an unreadable master, list or out-dir, or a master that is not\n"
    "compatible.\n";

// A list is read whole; no list of affiliates comes near this.
constexpr uint64_t kMaxListSize = 256u << 20;

struct Job
{
    size_t line;
    std::string name;
    std::array<uint8_t, brand::kDataAreaLength> area;
};

std::string ToUpper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

class Progress
{
public:
    Progress(size_t total, bool show) : m_total(total), m_show(show && total > 0) {}
    void Step()
    {
        const size_t done = ++m_done;
        if (!m_show)
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        const size_t width = 30, filled = done * width / m_total;
        std::fprintf(stderr, "\r[%s%s] %zu/%zu", std::string(filled, '#').c_str(),
                     std::string(width - filled, ' ').c_str(), done, m_total);
        if (done == m_total)
            std::fputc('\n', stderr);
    }

private:
    size_t m_total;
    bool m_show;
    std::atomic<size_t> m_done{0};
    std::mutex m_mutex;
};

// The list, read whole and parsed; false, with the message, when it cannot be.
bool ReadList(CFile& list, const std::string& listPath, const CodePage& cp, std::vector<CsvRecord>& records,
              std::string& error)
{
    const uint64_t size = list.GetLength();
    if (size > kMaxListSize) {
        error = PrintableName(listPath) + ": larger than a list can be (" + brand::CountOf(size, "byte", "bytes") + ")";
        return false;
    }
    std::string text(static_cast<size_t>(size), '\0');
    text.resize(list.Read(&text[0], static_cast<UINT>(size)));
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);
    const size_t bad = cp.bytes ? std::string::npos : fw::FirstInvalidUtf8(text);
    if (bad != std::string::npos) {
        const size_t line =
            1 + static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<long>(bad), '\n'));
        error = PrintableName(listPath) + ": line " + std::to_string(line) +
                ": not valid UTF-8; give --codepage bytes to brand its bytes as they are";
        return false;
    }
    if (!ParseCsv(text, records, error)) {
        error = PrintableName(listPath) + ": " + error;
        return false;
    }
    if (records.empty()) {
        error = PrintableName(listPath) + ": no header row";
        return false;
    }
    return true;
}

// The out-dir must be a folder that takes new files: told once, before any row.
bool CheckOutDir(const std::string& outDir, std::string& error)
{
    CFileStatus st;
    CFileException e;
    if (!CFile::GetStatus(outDir.c_str(), st, &e)) {
        error = Describe(e);
        return false;
    }
    if (st.m_kind != CFileStatus::kindFolder) {
        error = PrintableName(outDir) + ": not a folder";
        return false;
    }
    try {
        brand::NewFile probe;  // never committed: leaves nothing behind
        probe.Open((outDir + CFile::PathSeparator() + "probe").c_str(), {}, 0600);
    } catch (const CFileException& ex) {
        error = PrintableName(outDir) + ": no file can be created in it: " + ex.GetErrorMessage().GetString();
        return false;
    }
    return true;
}

}  // namespace

int RunBatch(const std::vector<std::string>& args)
{
    ParsedArgs a;
    const int parsed = ParseCommand(args, {"--list", "--out-dir", "--jobs", "--codepage"}, {}, kHelp, a);
    if (parsed >= 0)
        return parsed;
    if (a.positional.size() != 1 || !a.Has("--list") || !a.Has("--out-dir"))
        return UsageError("batch: name one master, --list and --out-dir", kHelp);
    std::string error;
    unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
    if (a.Has("--jobs")) {
        const std::string n = a.Get("--jobs");
        char* end = nullptr;
        const unsigned long v = std::strtoul(n.c_str(), &end, 10);
        if (n.empty() || *end != '\0' || v == 0 || v > 256)
            return UsageError("batch: --jobs takes a whole number from 1 to 256", kHelp);
        jobs = static_cast<unsigned>(v);
    }
    CodePage cp;
    if (!CodePageOption(a, cp, error))
        return UsageError(error, kHelp);
    const std::string& masterPath = a.positional[0];
    const std::string listPath = a.Get("--list");
    std::string outDir = a.Get("--out-dir");
    while (outDir.size() > 1 && (outDir.back() == '/' || outDir.back() == '\\'))
        outDir.pop_back();

    CFile master, list;
    CFileStatus masterStatus;
    brand::LocateResult found;
    std::vector<CsvRecord> records;
    try {
        if (!OpenInput(masterPath, master, error) || !OpenInput(listPath, list, error) ||
            !ReadList(list, listPath, cp, records, error) || !CheckOutDir(outDir, error)) {
            Complain(error);
            return kUsage;
        }
        // The master is read and located once, for every row.
        master.GetStatus(masterStatus);
        brand::FileReader reader(master);
        found = brand::LocateInFile(reader, masterStatus.m_size, brand::OwnBlock());
        const std::string why = brand::Incompatibility(found, masterStatus.m_size, reader, brand::OwnBlock());
        if (!why.empty()) {
            Complain(PrintableName(masterPath) + ": not compatible with this brander: " + why);
            return kUsage;
        }
        const PeInfo pe = ReadPeInfo(master, masterStatus.m_size);
        if (pe.hasCertificate)
            Warn(SignatureWarning(masterPath, pe));
    } catch (const CFileException& e) {
        Complain(Describe(e));
        return kUsage;
    }
    const brand::BlockOnDisk where{masterStatus.m_size, found.BlockOffset()};

    std::map<std::string, size_t> column;
    static const char* const kColumns[] = {"file", "name", "link", "cbid", "mirrowen", "quillburn"};
    for (size_t i = 0; i < records[0].fields.size(); ++i) {
        const std::string& h = records[0].fields[i];
        if (std::find(std::begin(kColumns), std::end(kColumns), h) == std::end(kColumns) || column.count(h)) {
            Complain(PrintableName(listPath) + ": line 1: unknown or repeated column " +
                     QuotedText(h, CodePage{0, true}));
            return kUsage;
        }
        column[h] = i;
    }
    for (const char* required : {"file", "name", "link"}) {
        if (!column.count(required)) {
            Complain(PrintableName(listPath) + ": line 1: no \"" + std::string(required) + "\" column");
            return kUsage;
        }
    }

    size_t failed = 0;
    std::vector<Job> work;
    std::set<std::string> taken;  // names compared as Windows compares them
    for (size_t r = 1; r < records.size(); ++r) {
        const CsvRecord& rec = records[r];
        auto field = [&](const char* name) {
            auto it = column.find(name);
            return it != column.end() && it->second < rec.fields.size() ? rec.fields[it->second] : std::string();
        };
        const std::string at = PrintableName(listPath) + ": line " + std::to_string(rec.line) + ": ";
        auto refuse = [&](const std::string& why) {
            Complain(at + why);
            ++failed;
        };
        if (rec.fields.size() != records[0].fields.size()) {
            refuse("has " + brand::CountOf(rec.fields.size(), "field", "fields") + ", the header " +
                   std::to_string(records[0].fields.size()));
            continue;
        }
        const auto nul = std::find_if(rec.fields.begin(), rec.fields.end(),
                                      [](const std::string& f) { return f.find('\0') != std::string::npos; });
        if (nul != rec.fields.end()) {
            refuse("the \"" + records[0].fields[static_cast<size_t>(nul - rec.fields.begin())] +
                   "\" field holds a NUL byte, which no text may hold");
            continue;
        }
        const std::string name = field("file");
        const std::string unsafe = UnsafeNameReason(name);
        if (!unsafe.empty()) {
            refuse(unsafe);
            continue;
        }
        if (!taken.insert(ToUpper(name)).second) {
            refuse("\"" + PrintableName(name) + "\" is named by an earlier row");
            continue;
        }
        const brand::BrandTexts typed = TextsOfRow(field);
        Job job{rec.line, name, {}};
        std::string why;
        if (!AreaOfTexts(typed, cp, job.area.data(), why)) {
            refuse(why);
            continue;
        }
        work.push_back(std::move(job));
    }

    Progress progress(work.size(), StderrIsTerminal());
    std::atomic<size_t> next{0};
    std::atomic<size_t> writeFailures{0};
    std::mutex complainMutex;
    auto worker = [&] {
        for (size_t i; (i = next++) < work.size();) {
            const Job& job = work[i];
            std::string err;
            const std::string destination = outDir + CFile::PathSeparator() + job.name;
            try {
                brand::NewFile out;
                switch (out.Open(destination.c_str(), {&master, &list}, masterStatus.m_nMode | 0600)) {
                case brand::NewFile::opened:
                    brand::CopyBranded(master, where, job.area.data(), out.File());
                    out.Commit();
                    break;
                case brand::NewFile::isFolder: err = PrintableName(destination) + ": is a folder"; break;
                case brand::NewFile::isInput:
                    err = PrintableName(destination) + ": is the master or the list itself";
                    break;
                }
            } catch (const CFileException& e) {
                err = Describe(e);
            }
            if (!err.empty()) {
                std::lock_guard<std::mutex> lock(complainMutex);
                Complain(PrintableName(listPath) + ": line " + std::to_string(job.line) + ": " + err);
                ++writeFailures;
            }
            progress.Step();
        }
    };
    std::vector<std::thread> threads;
    for (unsigned t = 1; t < std::min<size_t>(jobs, work.size()); ++t)
        threads.emplace_back(worker);
    worker();
    for (auto& t : threads)
        t.join();
    failed += writeFailures;

    std::fprintf(stderr, "batch: %zu written, %zu refused or failed, from %s\n", work.size() - writeFailures, failed,
                 brand::CountOf(records.size() - 1, "row", "rows").c_str());
    return failed ? kRefused : kOk;
}

}  // namespace cli
