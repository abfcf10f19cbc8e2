// A CSV reader for RFC 4180 files: quoted fields, doubled quotes, line breaks
// inside quotes, CRLF or LF line ends.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cli {

struct CsvRecord
{
    size_t line = 0;  // the line the record starts on, from 1
    std::vector<std::string> fields;
};

// False, with the line of the fault in error, for an unterminated quote or
// text after a closing quote.
bool ParseCsv(std::string_view text, std::vector<CsvRecord>& records, std::string& error);

}  // namespace cli
