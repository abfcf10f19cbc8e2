// Fuzzes the CSV reader: no crash on any input, and what it reads survives
// being written out quoted and read again.
#include "Csv.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<cli::CsvRecord> records;
    std::string error;
    if (!cli::ParseCsv(std::string_view(reinterpret_cast<const char*>(data), size), records, error))
        return 0;
    std::string again;
    for (const cli::CsvRecord& r : records) {
        for (size_t i = 0; i < r.fields.size(); ++i) {
            again += i ? ",\"" : "\"";
            for (char c : r.fields[i])
                again += c == '"' ? std::string("\"\"") : std::string(1, c);
            again += '"';
        }
        again += "\r\n";
    }
    std::vector<cli::CsvRecord> reread;
    if (!cli::ParseCsv(again, reread, error) || reread.size() != records.size())
        std::abort();
    for (size_t i = 0; i < records.size(); ++i)
        if (reread[i].fields != records[i].fields)
            std::abort();
    return 0;
}
