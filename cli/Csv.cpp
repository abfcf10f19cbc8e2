// The CSV reader's state machine.
#include "Csv.h"

namespace cli {

bool ParseCsv(std::string_view text, std::vector<CsvRecord>& records, std::string& error)
{
    records.clear();
    size_t i = 0, line = 1;
    while (i < text.size()) {
        CsvRecord rec;
        rec.line = line;
        std::string field;
        bool done = false;
        while (!done) {
            if (i < text.size() && text[i] == '"') {
                const size_t quoteLine = line;
                ++i;
                for (;;) {
                    if (i >= text.size()) {
                        error = "line " + std::to_string(quoteLine) + ": a quoted field is not closed";
                        return false;
                    }
                    if (text[i] == '"') {
                        if (i + 1 < text.size() && text[i + 1] == '"') {
                            field += '"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    if (text[i] == '\n')
                        ++line;
                    field += text[i++];
                }
                if (i < text.size() && text[i] != ',' && text[i] != '\n' &&
                    !(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') && text[i] != '\r') {
                    error = "line " + std::to_string(line) + ": text after a closing quote";
                    return false;
                }
            } else {
                while (i < text.size() && text[i] != ',' && text[i] != '\n' && text[i] != '\r')
                    field += text[i++];
            }
            rec.fields.push_back(std::move(field));
            field.clear();
            if (i >= text.size()) {
                done = true;
            } else if (text[i] == ',') {
                ++i;
            } else {
                i += (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2u : 1u;
                ++line;
                done = true;
            }
        }
        // A blank line carries no record.
        if (!(rec.fields.size() == 1 && rec.fields[0].empty()))
            records.push_back(std::move(rec));
    }
    return true;
}

}  // namespace cli
