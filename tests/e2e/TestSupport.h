// Helpers every end-to-end test program shares: the programs named on the command line or
// in the environment, a scratch folder, whole files, texts made readable in failure messages,
// a console program's output and copies of registry key trees.
#pragma once

#include "Driver.h"

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

using Bytes = std::vector<unsigned char>;

// The variable's value; empty when it is unset or too long.
std::string EnvironmentValue(const char* name);

// argv[index] (counted after GoogleTest has taken its own flags) when given and not empty,
// else the environment variable envName.
std::string ProgramArgument(int argc, char** argv, int index, const char* envName);

// ---------------------------------------------------------------------------------------
// Files

// A folder of this test run under the temporary folder, new and created on first use.
const std::string& ScratchFolder();

// A path in the scratch folder, with no file there.
std::string ScratchFile(const std::string& name);

std::optional<Bytes> ReadWholeFile(const std::string& path);

// Creates or replaces the file with exactly these bytes.
bool WriteFileBytes(const std::string& path, const Bytes& bytes);

// The names in the folder, "." and ".." left out, sorted.
std::vector<std::string> FolderEntries(const std::string& folder);

// Splits bytes on zero bytes, each part ended by one (the driver fixture's output format).
std::vector<std::string> ZeroSeparated(const Bytes& bytes);

// ---------------------------------------------------------------------------------------
// Texts

std::string Lower(std::string text);

// The text in quotes, each byte outside printable ASCII and each backslash as \xNN.
std::string Visible(const std::string& text);

// "key=value" lines, by key.
std::map<std::string, std::string> KeyValueLines(const std::string& text);

// ---------------------------------------------------------------------------------------
// Console programs

// Runs the program and returns what it wrote to stdout and stderr, line ends as LF;
// nullopt when it could not start or did not end in time (it is then ended).
std::optional<std::string> RunCapturingOutput(const std::string& exe, DWORD* exitCode,
                                              const std::vector<std::string>& args = {});

// ---------------------------------------------------------------------------------------
// Registry key trees under any root, values in the order the registry lists them

struct KeyTree
{
    std::vector<std::pair<std::string, RegValue>> values;
    std::vector<std::pair<std::string, KeyTree>> subkeys;
};

std::optional<KeyTree> ReadTree(HKEY root, const std::string& path);
// Creates the key and writes the tree into it; what the key already holds stays.
bool WriteTree(HKEY root, const std::string& path, const KeyTree& tree);
bool SameTree(const KeyTree& a, const KeyTree& b);
// Deletes the key with everything under it. True also when it did not exist.
bool DeleteTree(HKEY root, const std::string& path);
// Deletes a value of HKCU\<subKey>. True also when the key or the value did not exist.
bool DeleteValue(const char* subKey, const char* name);

}  // namespace e2e
