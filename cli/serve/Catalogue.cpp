// The masters and the affiliate tables of velmora-brand serve.
#include "Catalogue.h"

#include "BlockLayout.h"
#include "Commands.h"
#include "Compatibility.h"
#include "Csv.h"
#include "FileReader.h"
#include "FwCodePage.h"
#include "OwnBlock.h"

#include <openssl/evp.h>
#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace cli::serve {

namespace {

// SHA-256 of the whole file, in hex.
std::string DigestOf(CFile& file, uint64_t size, const std::string& path)
{
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr);
    std::vector<char> buf(1u << 20);
    for (uint64_t at = 0; at < size;) {
        const UINT n = file.ReadAt(at, buf.data(), static_cast<UINT>(std::min<uint64_t>(buf.size(), size - at)));
        if (n == 0)
            AfxThrowFileException(CFileException::endOfFile, -1, path.c_str());
        EVP_DigestUpdate(ctx.get(), buf.data(), n);
        at += n;
    }
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned len = 0;
    EVP_DigestFinal_ex(ctx.get(), md, &len);
    return Hex(std::string(reinterpret_cast<char*>(md), len));
}

std::string ReadWhole(const std::string& path)
{
    CFile f;
    CFileException e;
    if (!f.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone, &e))
        throw e;
    const uint64_t size = f.GetLength();
    if (size > (256u << 20))
        AfxThrowFileException(CFileException::badSeek, -1, path.c_str());
    std::string text(static_cast<size_t>(size), '\0');
    text.resize(f.Read(&text[0], static_cast<UINT>(size)));
    return text;
}

// A CSV table, held in memory and swapped whole when its file changes.
class CsvAffiliates : public Affiliates
{
public:
    CsvAffiliates(std::string path, CodePage cp, std::function<void(const std::string&)> report)
        : m_path(std::move(path)), m_cp(cp), m_report(std::move(report))
    {
    }

    std::optional<Affiliate> Lookup(const std::string& id, std::string&) override
    {
        std::shared_ptr<const Rows> rows;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            rows = m_rows;
        }
        const auto it = rows->find(id);
        if (it == rows->end())
            return std::nullopt;
        return it->second;
    }

    bool Refresh(bool force, std::string& why) override
    {
        std::lock_guard<std::mutex> refreshing(m_refreshMutex);
        CFileStatus st;
        CFileException e;
        if (!CFile::GetStatus(m_path.c_str(), st, &e)) {
            why = Describe(e);
            return false;
        }
        if (!force && m_rows && st.m_nFileId == m_seen.m_nFileId && st.m_nVolume == m_seen.m_nVolume &&
            st.m_size == m_seen.m_size && st.m_nModifiedNs == m_seen.m_nModifiedNs)
            return true;
        m_seen = st;  // a table that fails to load is not tried again until it changes
        auto rows = std::make_shared<Rows>();
        if (!Load(*rows, why))
            return false;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_rows = std::move(rows);
        return true;
    }

private:
    using Rows = std::map<std::string, Affiliate>;

    bool Load(Rows& rows, std::string& why)
    {
        std::string text;
        try {
            text = ReadWhole(m_path);
        } catch (const CFileException& e) {
            why = Describe(e);
            return false;
        }
        if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
            text.erase(0, 3);
        const size_t bad = m_cp.bytes ? std::string::npos : fw::FirstInvalidUtf8(text);
        if (bad != std::string::npos) {
            why = m_path + ": line " +
                  std::to_string(1 + std::count(text.begin(), text.begin() + static_cast<long>(bad), '\n')) +
                  ": not valid UTF-8";
            return false;
        }
        std::vector<CsvRecord> records;
        if (!ParseCsv(text, records, why)) {
            why = m_path + ": " + why;
            return false;
        }
        if (records.empty()) {
            why = m_path + ": no header row";
            return false;
        }
        std::map<std::string, size_t> column;
        for (size_t i = 0; i < records[0].fields.size(); ++i) {
            static const char* const kColumns[] = {"id", "file", "name", "link", "cbid", "mirrowen", "quillburn"};
            const std::string& h = records[0].fields[i];
            if (std::find(std::begin(kColumns), std::end(kColumns), h) == std::end(kColumns) || column.count(h)) {
                why = m_path + ": line 1: unknown or repeated column " + QuotedText(h, CodePage{0, true});
                return false;
            }
            column[h] = i;
        }
        for (const char* required : {"id", "name", "link"}) {
            if (!column.count(required)) {
                why = m_path + ": line 1: no \"" + std::string(required) + "\" column";
                return false;
            }
        }
        for (size_t r = 1; r < records.size(); ++r) {
            const CsvRecord& rec = records[r];
            auto field = [&](const char* name) {
                auto it = column.find(name);
                return it != column.end() && it->second < rec.fields.size() ? rec.fields[it->second] : std::string();
            };
            const std::string at = m_path + ": line " + std::to_string(rec.line) + ": ";
            const std::string id = field("id");
            const brand::BrandTexts typed = TextsOfRow(field);
            Affiliate a;
            std::string refused;
            if (rec.fields.size() != records[0].fields.size())
                refused = "has " + brand::CountOf(rec.fields.size(), "field", "fields") + ", the header " +
                          std::to_string(records[0].fields.size());
            else if (id.empty())
                refused = "no id";
            else if (rows.count(id))
                refused = "the id " + QuotedText(id, CodePage{0, true}) + " is given by an earlier row";
            else if (std::any_of(rec.fields.begin(), rec.fields.end(),
                                 [](const std::string& f) { return f.find('\0') != std::string::npos; }))
                refused = "a field holds a NUL byte, which no text may hold";
            else
                AreaOfTexts(typed, m_cp, a.area.data(), refused);
            if (!refused.empty()) {
                m_report(at + refused + "; the row is not served");
                continue;
            }
            rows.emplace(id, a);
        }
        return true;
    }

    std::string m_path;
    CodePage m_cp;
    std::function<void(const std::string&)> m_report;
    std::mutex m_mutex, m_refreshMutex;
    std::shared_ptr<const Rows> m_rows;
    CFileStatus m_seen;
};

// A SQLite table, asked afresh for every request, so that rows added while
// the server runs take effect at once.
class SqliteAffiliates : public Affiliates
{
public:
    ~SqliteAffiliates() override
    {
        sqlite3_finalize(m_stmt);
        sqlite3_close(m_db);
    }

    bool Open(const std::string& path, const CodePage& cp, std::string& why)
    {
        m_cp = cp;
        if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr) != SQLITE_OK ||
            sqlite3_busy_timeout(m_db, 2000) != SQLITE_OK ||
            sqlite3_prepare_v2(m_db, "SELECT name, link, cbid, mirrowen, quillburn FROM affiliates WHERE id = ?1", -1,
                               &m_stmt, nullptr) != SQLITE_OK) {
            why = path + ": " + (m_db ? sqlite3_errmsg(m_db) : "cannot be opened");
            return false;
        }
        return true;
    }

    std::optional<Affiliate> Lookup(const std::string& id, std::string& why) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        sqlite3_reset(m_stmt);
        sqlite3_bind_text(m_stmt, 1, id.data(), static_cast<int>(id.size()), SQLITE_TRANSIENT);
        const int rc = sqlite3_step(m_stmt);
        if (rc != SQLITE_ROW) {
            if (rc != SQLITE_DONE)
                why = std::string("the table: ") + sqlite3_errmsg(m_db);
            return std::nullopt;
        }
        auto text = [&](int col) {
            const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, col));
            return p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(m_stmt, col))) : std::string();
        };
        brand::BrandTexts typed;
        typed.webName = text(0);
        typed.webLink = text(1);
        typed.cbid = text(2);
        typed.mirrowenLink = text(3);
        typed.quillburnLink = text(4);
        sqlite3_reset(m_stmt);
        Affiliate a;
        std::string refused;
        const std::string* fields[] = {&typed.webName, &typed.webLink, &typed.cbid, &typed.mirrowenLink,
                                       &typed.quillburnLink};
        if (std::any_of(std::begin(fields), std::end(fields),
                        [](const std::string* f) { return f->find('\0') != std::string::npos; }))
            refused = "a field holds a NUL byte, which no text may hold";
        else
            AreaOfTexts(typed, m_cp, a.area.data(), refused);
        if (!refused.empty()) {
            why = "the row of " + QuotedText(id, CodePage{0, true}) + " is refused: " + refused;
            return std::nullopt;
        }
        return a;
    }

    bool Refresh(bool, std::string&) override { return true; }

private:
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
    std::mutex m_mutex;
    CodePage m_cp;
};

}  // namespace

std::shared_ptr<const Master> LoadMaster(const std::string& name, const std::string& path, std::string& why)
{
    auto m = std::make_shared<Master>();
    m->name = name;
    m->path = path;
    CFileException e;
    if (!m->file.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone, &e))
        throw e;
    CFileStatus st;
    m->file.GetStatus(st);
    brand::FileReader reader(m->file);
    const brand::LocateResult found = brand::LocateInFile(reader, st.m_size, brand::OwnBlock());
    why = brand::Incompatibility(found, st.m_size, reader, brand::OwnBlock());
    if (!why.empty()) {
        why = path + ": not compatible with this brander: " + why;
        return nullptr;
    }
    m->size = st.m_size;
    m->dataOffset = found.BlockOffset() + brand::kDataAreaOffset;
    m->volume = st.m_nVolume;
    m->fileId = st.m_nFileId;
    m->modifiedNs = st.m_nModifiedNs;
    m->digest = DigestOf(m->file, st.m_size, path);
    m->isSigned = ReadPeInfo(m->file, st.m_size).hasCertificate;
    return m;
}

bool MasterChanged(const Master& m)
{
    CFileStatus st;
    // A master missing for a moment, while it is replaced, is not a change yet.
    return CFile::GetStatus(m.path.c_str(), st) && (st.m_nFileId != m.fileId || st.m_nVolume != m.volume ||
                                                    st.m_size != m.size || st.m_nModifiedNs != m.modifiedNs);
}

std::unique_ptr<Affiliates> OpenAffiliates(const std::string& path, const CodePage& cp,
                                           const std::function<void(const std::string&)>& report, std::string& why)
{
    std::string head;
    {
        CFile f;
        CFileException e;
        if (!f.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone, &e))
            throw e;
        head.resize(16);
        head.resize(f.Read(&head[0], 16));
    }
    if (head == std::string("SQLite format 3\0", 16)) {
        auto table = std::make_unique<SqliteAffiliates>();
        if (!table->Open(path, cp, why))
            return nullptr;
        return table;
    }
    auto table = std::make_unique<CsvAffiliates>(path, cp, report);
    if (!table->Refresh(true, why))
        return nullptr;
    return table;
}

}  // namespace cli::serve
