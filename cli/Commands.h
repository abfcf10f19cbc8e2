// The commands of velmora-brand, and what they share.
#pragma once

#include "FwFile.h"
#include "Locate.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace cli {

// Exit codes.
inline constexpr int kOk = 0;
inline constexpr int kRefused = 1;  // not compatible, or a text or row refused
inline constexpr int kUsage = 2;    // bad usage, or a file that cannot be read or written

inline constexpr const char* kProgram = "velmora-brand";
inline constexpr const char* kVersion = "1.0.0.1";

int RunInspect(const std::vector<std::string>& args);
int RunBrand(const std::vector<std::string>& args);
int RunBatch(const std::vector<std::string>& args);

// Prints "velmora-brand: what" on standard error.
void Complain(const std::string& what);

// Opens a file to read; false, with a message naming it, when it cannot be.
bool OpenInput(const std::string& path, CFile& in, std::string& error);
// A file error in words, naming the file.
std::string Describe(const CFileException& e);

// Searches an open file of the given size for its block, reading it in pieces.
brand::LocateResult LocateInFile(CFile& in, uint64_t size);

// Why a search result is not a compatible block, in words.
std::string Incompatibility(const brand::LocateResult& r, uint64_t size);

// The largest file the brander can load: its size and 4 spare bytes fit 32 bits.
inline constexpr uint64_t kMaxTargetSize = 0xFFFFFFFFull - 4;

// Writes the size bytes of in to out's position, with the data area at
// dataOffset replaced by area. Throws CFileException.
void WriteBrandedCopy(CFile& in, uint64_t size, uint64_t dataOffset, const std::array<uint8_t, 1000>& area,
                      CFile& out);

// True when standard error is a terminal.
bool StderrIsTerminal();

// Options of the form --name VALUE or --name=VALUE.
struct ParsedArgs
{
    std::vector<std::string> positional;
    std::vector<std::pair<std::string, std::string>> options;
    bool help = false;
    bool Has(const std::string& name) const;
    std::string Get(const std::string& name) const;
};
// valueless: options without a value (--json). False, with error, on an unknown option.
bool ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& withValue,
               const std::vector<std::string>& valueless, ParsedArgs& out, std::string& error);

// Parses a command's arguments. Returns -1 to go on, or the exit code after
// --help (printed to standard output) or a usage error (printed to standard
// error with the help).
int ParseCommand(const std::vector<std::string>& args, const std::vector<std::string>& withValue,
                 const std::vector<std::string>& valueless, const char* help, ParsedArgs& out);
// Reports a usage error with the command's help; returns kUsage.
int UsageError(const std::string& what, const char* help);

// A name safe to create in a folder, on Windows as on POSIX: empty when it is,
// otherwise why not.
std::string UnsafeNameReason(const std::string& name);

}  // namespace cli
