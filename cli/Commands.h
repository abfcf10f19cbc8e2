// The commands of velmora-brand, and what they share.
#pragma once

#include "FwFile.h"
#include "PeInfo.h"
#include "Text.h"
#include "Texts.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace cli {

// Exit codes.
inline constexpr int kOk = 0;
inline constexpr int kRefused = 1;  // not compatible, or a text or row refused
inline constexpr int kUsage = 2;    // bad usage, or a file that cannot be read or written

inline constexpr const char* kProgram = "velmora-brand";
inline constexpr const char* kVersion = "1.0.0.1";

// Each takes the arguments after its name, as UTF-8 on Windows and as the
// system gave them elsewhere.
int RunInspect(const std::vector<std::string>& args);
int RunBrand(const std::vector<std::string>& args);
int RunBatch(const std::vector<std::string>& args);
#ifdef VELMORA_SERVE
int RunServe(const std::vector<std::string>& args);
int RunLink(const std::vector<std::string>& args);
#endif

// Prints "velmora-brand: what" on standard error.
void Complain(const std::string& what);
// Prints "velmora-brand: warning: what" on standard error.
void Warn(const std::string& what);

// Opens a file to read; false, with a message naming it, when it cannot be.
bool OpenInput(const std::string& path, CFile& in, std::string& error);
// A file error in words, naming the file.
std::string Describe(const CFileException& e);

// What inspect, brand and batch read of a PE file.
PeInfo ReadPeInfo(CFile& in, uint64_t size);
// The warning for a signed program that is about to be branded.
std::string SignatureWarning(const std::string& path, const PeInfo& pe);

// Options of the form --name VALUE or --name=VALUE, each given at most once.
struct ParsedArgs
{
    std::vector<std::string> positional;
    std::vector<std::pair<std::string, std::string>> options;
    bool help = false;
    bool Has(const std::string& name) const;
    std::string Get(const std::string& name) const;
};
// valueless: options without a value (--json). False, with error, on an
// unknown option or one given twice.
bool ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& withValue,
               const std::vector<std::string>& valueless, ParsedArgs& out, std::string& error);

// Parses a command's arguments. Returns -1 to go on, or the exit code after
// --help (printed to standard output) or a usage error (printed to standard
// error with the help).
int ParseCommand(const std::vector<std::string>& args, const std::vector<std::string>& withValue,
                 const std::vector<std::string>& valueless, const char* help, ParsedArgs& out);
// Reports a usage error with the command's help; returns kUsage.
int UsageError(const std::string& what, const char* help);
// The --codepage option, or the default; a usage error when it is unknown.
bool CodePageOption(const ParsedArgs& a, CodePage& cp, std::string& error);

// The five texts as typed, in UTF-8, converted into the code page; false,
// with which text and why, when one cannot be.
bool ConvertTexts(const brand::BrandTexts& typed, const CodePage& cp, brand::BrandTexts& out, std::string& why);

// The five texts of a list's row, by column name (name, link, cbid,
// mirrowen, quillburn); field gives a column's text, empty when it has none.
brand::BrandTexts TextsOfRow(const std::function<std::string(const char*)>& field);

// A row's or a command line's five texts as the data area that brands them:
// through the code page and the text rules. False, with why, when refused.
bool AreaOfTexts(const brand::BrandTexts& typed, const CodePage& cp, uint8_t* pArea, std::string& why);

// A name safe to create in a folder, on Windows as on POSIX: empty when it is,
// otherwise why not.
std::string UnsafeNameReason(const std::string& name);

// True when standard error is a terminal.
bool StderrIsTerminal();

}  // namespace cli
