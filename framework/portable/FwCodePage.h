// Code pages: the system's ANSI code page, as the portable classes need it
// (lower-casing, double-byte lead bytes), and conversions between UTF-8 and
// the single- and double-byte Windows code pages that branded texts are
// stored in. Windows asks the system; elsewhere the C library's iconv.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fw {

// Lower-cases nLength bytes in place.
void LowerAnsi(char* pch, int nLength);

// True when ch starts a double-byte character in the ANSI code page.
bool IsAnsiLeadByte(unsigned char ch);

// The system's ANSI code page on Windows; 1252 elsewhere.
unsigned DefaultCodePage();

// True when texts can be converted to and from code page cp here.
bool IsKnownCodePage(unsigned cp);

// The offset of the first byte that is not part of valid UTF-8, or npos.
size_t FirstInvalidUtf8(const std::string& s);

// Converts UTF-8 text into code page cp, without best-fit or look-alike
// mapping. False when a character has no place in the code page; then
// unheld is that character's code point.
bool Utf8ToCodePage(const std::string& utf8, unsigned cp, std::string& out, uint32_t& unheld);

// Code-page bytes decoded: runs of text as UTF-8, and single bytes that the
// code page does not define (or defines as C1 control characters).
struct DecodedRun
{
    std::string utf8;  // empty for an undefined byte
    int undefinedByte = -1;
};
std::vector<DecodedRun> DecodeCodePage(const std::string& bytes, unsigned cp);

// The program's arguments after its name, in UTF-8 on Windows (taken from
// the Unicode command line, so that no character is lost or changed on the
// way) and as the system gave them elsewhere.
std::vector<std::string> CommandLineArguments(int argc, char** argv);
// Makes a Windows console show the UTF-8 that the program prints.
void PrintUtf8ToConsole();

// The name of a code point for messages: U+00E9 'é'.
std::string DescribeCodePoint(uint32_t cp);

}  // namespace fw
