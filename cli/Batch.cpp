// velmora-brand batch: one branded copy of a master per row of a CSV list.
#include "Commands.h"

#include "BlockLayout.h"
#include "Csv.h"
#include "DataArea.h"
#include "Save.h"
#include "TextRules.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace cli {

namespace {

constexpr const char* kHelp =
    "usage: velmora-brand batch MASTER --list FILE.csv --out-dir DIR [--jobs N]\n"
    "\n"
    "Writes one branded copy of MASTER into DIR for each row of FILE.csv. The first\n"
    "row names the columns: file,name,link,cbid,mirrowen,quillburn (file, name and\n"
    "link are required; any order). Each row's texts go through the brander's own\n"
    "rules; its file must be a plain file name. A refused row is reported with its\n"
    "line and skipped; the others are written.\n"
    "Exit status: 0 every row written, 1 some row refused or not written, 2 bad\n"
    "usage, an unreadable master or list, or a master that is not compatible.\n";

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

}  // namespace

int RunBatch(const std::vector<std::string>& args)
{
    ParsedArgs a;
    const int parsed = ParseCommand(args, {"--list", "--out-dir", "--jobs"}, {}, kHelp, a);
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
        if (n.empty() || *end != '\0' || v == 0 || v > 256) {
            Complain("batch: --jobs takes a whole number from 1 to 256");
            return kUsage;
        }
        jobs = static_cast<unsigned>(v);
    }
    const std::string listPath = a.Get("--list");
    std::string outDir = a.Get("--out-dir");
    while (outDir.size() > 1 && (outDir.back() == '/' || outDir.back() == '\\'))
        outDir.pop_back();

    const std::string& masterPath = a.positional[0];
    CFile master, list;
    CFileStatus masterStatus;
    brand::LocateResult where;
    std::string text;
    if (!OpenInput(masterPath, master, error) || !OpenInput(listPath, list, error)) {
        Complain(error);
        return kUsage;
    }
    try {
        // The master is read and located once, for every row.
        master.GetStatus(masterStatus);
        where = LocateInFile(master, masterStatus.m_size);
        const uint64_t listSize = list.GetLength();
        if (listSize > kMaxListSize) {
            Complain(listPath + ": larger than a list can be (" + std::to_string(listSize) + " bytes)");
            return kUsage;
        }
        text.resize(static_cast<size_t>(listSize));
        text.resize(list.Read(&text[0], static_cast<UINT>(listSize)));
    } catch (const CFileException& e) {
        Complain(Describe(e));
        return kUsage;
    }
    const std::string why = Incompatibility(where, masterStatus.m_size);
    if (!why.empty()) {
        Complain(masterPath + ": not compatible with this brander: " + why);
        return kUsage;
    }
    const uint64_t dataOffset = where.BlockOffset() + brand::kDataAreaOffset;

    std::vector<CsvRecord> records;
    if (!ParseCsv(text, records, error)) {
        Complain(listPath + ": " + error);
        return kUsage;
    }
    if (records.empty()) {
        Complain(listPath + ": no header row");
        return kUsage;
    }
    std::map<std::string, size_t> column;
    static const char* const kColumns[] = {"file", "name", "link", "cbid", "mirrowen", "quillburn"};
    for (size_t i = 0; i < records[0].fields.size(); ++i) {
        const std::string& h = records[0].fields[i];
        if (std::find(std::begin(kColumns), std::end(kColumns), h) == std::end(kColumns) || column.count(h)) {
            Complain(listPath + ": line 1: unknown or repeated column \"" + h + "\"");
            return kUsage;
        }
        column[h] = i;
    }
    for (const char* required : {"file", "name", "link"}) {
        if (!column.count(required)) {
            Complain(listPath + ": line 1: no \"" + std::string(required) + "\" column");
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
        const std::string where_ = listPath + ": line " + std::to_string(rec.line) + ": ";
        if (rec.fields.size() != records[0].fields.size()) {
            Complain(where_ + "has " + std::to_string(rec.fields.size()) + " fields, the header " +
                     std::to_string(records[0].fields.size()));
            ++failed;
            continue;
        }
        const std::string name = field("file");
        const std::string unsafe = UnsafeNameReason(name);
        if (!unsafe.empty()) {
            Complain(where_ + unsafe);
            ++failed;
            continue;
        }
        if (!taken.insert(ToUpper(name)).second) {
            Complain(where_ + "\"" + name + "\" is named by an earlier row");
            ++failed;
            continue;
        }
        const brand::TextCheck check = brand::CheckAndNormalise(
            {field("name"), field("link"), field("cbid"), field("mirrowen"), field("quillburn")});
        if (!check.ok) {
            Complain(where_ + check.message);
            ++failed;
            continue;
        }
        Job job{rec.line, name, {}};
        const brand::DialogTexts& t = check.texts;
        brand::FillDataArea(job.area.data(), {t.cbid, t.mirrowenLink, t.quillburnLink, t.webName, t.webLink});
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
                    WriteBrandedCopy(master, masterStatus.m_size, dataOffset, job.area, out.File());
                    out.Commit();
                    break;
                case brand::NewFile::isFolder: err = destination + ": is a folder"; break;
                case brand::NewFile::isInput: err = destination + ": is the master or the list itself"; break;
                }
            } catch (const CFileException& e) {
                err = Describe(e);
            }
            if (!err.empty()) {
                std::lock_guard<std::mutex> lock(complainMutex);
                Complain(listPath + ": line " + std::to_string(job.line) + ": " + err);
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

    std::fprintf(stderr, "batch: %zu written, %zu refused or failed, from %zu rows\n", work.size() - writeFailures,
                 failed, records.size() - 1);
    return failed ? kRefused : kOk;
}

}  // namespace cli
