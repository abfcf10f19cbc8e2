// What velmora-brand serve hands out: the masters it brands, located once and
// again whenever their file changes, and the affiliates whose rows brand
// them, from a CSV table held in memory or a SQLite table asked per request.
#pragma once

#include "FwFile.h"
#include "Text.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace cli::serve {

// One master, as it was when it was located. Transfers hold it, and with it
// the open file they read from, for as long as they run.
struct Master
{
    std::string name;  // the product name in links
    std::string path;
    CFile file;
    uint64_t size = 0;
    uint64_t dataOffset = 0;  // of the block's data area
    uint64_t volume = 0, fileId = 0;
    int64_t modifiedNs = 0;  // nanoseconds since 1970
    std::string digest;      // SHA-256 of the whole file: the same on every server
    bool isSigned = false;
};

// Locates the master at path; throws CFileException for the file system's
// errors and fills why (and returns null) when it is not compatible.
std::shared_ptr<const Master> LoadMaster(const std::string& name, const std::string& path, std::string& why);
// True when the file at the master's path is no longer the one it was loaded from.
bool MasterChanged(const Master& m);

// An affiliate's data area: its row through the code page and the text rules.
struct Affiliate
{
    std::array<uint8_t, 1000> area;
};

// Where rows come from. Lookup is called from the server's threads.
class Affiliates
{
public:
    virtual ~Affiliates() = default;
    // The row of id; nothing when there is none. why is set when there is a
    // row that the rules refuse: it is not served either.
    virtual std::optional<Affiliate> Lookup(const std::string& id, std::string& why) = 0;
    // Reloads when the source changed (or always, when forced); false, with
    // why, when a reload failed and the old rows stay in service.
    virtual bool Refresh(bool force, std::string& why) = 0;
};

// Opens the table at path: SQLite by its header, CSV otherwise. Throws
// CFileException or fills why (and returns null) when it cannot be used.
// Refused CSV rows are reported through report, once per load.
std::unique_ptr<Affiliates> OpenAffiliates(const std::string& path, const CodePage& cp,
                                           const std::function<void(const std::string&)>& report, std::string& why);

}  // namespace cli::serve
