// Test helpers: a scratch folder removed afterwards, and whole-file access
// that does not go through the classes under test.
#pragma once

#include <string>
#include <vector>

namespace testfiles {

// A fresh folder for one test, removed with everything in it at the end.
class ScratchDir
{
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    // The path of a file in the folder, with the platform's separator.
    std::string File(const std::string& name) const;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes);
std::vector<unsigned char> ReadBytes(const std::string& path);
bool Exists(const std::string& path);
// The names in a folder, without . and ..
std::vector<std::string> Names(const std::string& dir);
void MakeReadOnly(const std::string& path, bool readOnly = true);

// Deterministic filler: byte i of a pattern seeded by seed.
std::vector<unsigned char> Pattern(size_t size, unsigned seed = 1);

}  // namespace testfiles
