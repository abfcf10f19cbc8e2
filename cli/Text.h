// Texts between the user and the block: the code page option, the conversion
// of typed UTF-8 into a block's code page, and the two ways texts are shown,
// plain and JSON, both valid UTF-8 and unambiguous.
#pragma once

#include <string>

namespace cli {

// The code page of the branded program's texts, or "bytes": no conversion.
struct CodePage
{
    unsigned number = 0;  // 0 with bytes
    bool bytes = false;
    std::string Name() const { return bytes ? "bytes" : "code page " + std::to_string(number); }
};

// The system's ANSI code page on Windows, 1252 elsewhere.
CodePage DefaultCodePage();
// Reads --codepage: a code page number this system knows, or "bytes".
bool ParseCodePage(const std::string& value, CodePage& out, std::string& error);

// Converts a typed text (UTF-8) into the code page; false, with why, when it
// is not UTF-8 or holds a character the code page cannot hold.
bool ToCodePage(const std::string& utf8, const CodePage& cp, std::string& out, std::string& why);

// A block's text decoded for people, in quotes: backslash, quote, control
// characters and bytes the code page does not define as \xNN.
std::string QuotedText(const std::string& bytes, const CodePage& cp);
// A JSON object {"text": decoded, undefined bytes as U+FFFD; "hex": the bytes}.
std::string JsonText(const std::string& bytes, const CodePage& cp);
// A JSON string of bytes that are mostly UTF-8: invalid bytes become U+FFFD.
std::string JsonString(const std::string& s);
// The bytes in lower-case hex.
std::string Hex(const std::string& bytes);
// A file name for plain output: control characters as \xNN, the rest as given.
std::string PrintableName(const std::string& name);

}  // namespace cli
