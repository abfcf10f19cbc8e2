// Code page conversion and escaping for velmora-brand's output.
#include "Text.h"

#include "FwCodePage.h"

#include <cstdio>
#include <cstdlib>

namespace cli {

namespace {

std::string EscapedByte(unsigned char c)
{
    char esc[8];
    std::snprintf(esc, sizeof esc, "\\x%02x", c);
    return esc;
}

bool IsControl(unsigned char c)
{
    return c < 0x20 || c == 0x7F;
}

// The decoded runs of a block's bytes; with "bytes", ASCII is text and every
// other byte is undefined.
std::vector<fw::DecodedRun> Decode(const std::string& bytes, const CodePage& cp)
{
    if (!cp.bytes)
        return fw::DecodeCodePage(bytes, cp.number);
    std::vector<fw::DecodedRun> runs;
    for (char ch : bytes) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            if (runs.empty() || runs.back().undefinedByte >= 0)
                runs.emplace_back();
            runs.back().utf8 += static_cast<char>(c);
        } else {
            fw::DecodedRun bad;
            bad.undefinedByte = c;
            runs.push_back(bad);
        }
    }
    return runs;
}

void AppendJsonEscaped(std::string& out, const std::string& utf8)
{
    for (char ch : utf8) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c == 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += ch;
        }
    }
}

}  // namespace

CodePage DefaultCodePage()
{
    CodePage cp;
    cp.number = fw::DefaultCodePage();
    return cp;
}

bool ParseCodePage(const std::string& value, CodePage& out, std::string& error)
{
    out = CodePage();
    if (value == "bytes") {
        out.bytes = true;
        return true;
    }
    char* end = nullptr;
    const unsigned long n = std::strtoul(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || n == 0 || n > 65535 || !fw::IsKnownCodePage(static_cast<unsigned>(n))) {
        error = "--codepage takes \"bytes\" or the number of a code page this system knows, not \"" + value + "\"";
        return false;
    }
    out.number = static_cast<unsigned>(n);
    return true;
}

bool ToCodePage(const std::string& utf8, const CodePage& cp, std::string& out, std::string& why)
{
    if (cp.bytes) {
        out = utf8;
        return true;
    }
    const size_t bad = fw::FirstInvalidUtf8(utf8);
    if (bad != std::string::npos) {
        why = "is not valid UTF-8 (byte " + std::to_string(bad + 1) +
              "); give --codepage bytes to brand bytes as they are";
        return false;
    }
    uint32_t unheld = 0;
    if (!fw::Utf8ToCodePage(utf8, cp.number, out, unheld)) {
        why = "holds " + fw::DescribeCodePoint(unheld) + ", which " + cp.Name() + " cannot hold";
        return false;
    }
    return true;
}

std::string QuotedText(const std::string& bytes, const CodePage& cp)
{
    std::string out = "\"";
    for (const fw::DecodedRun& run : Decode(bytes, cp)) {
        if (run.undefinedByte >= 0) {
            out += EscapedByte(static_cast<unsigned char>(run.undefinedByte));
            continue;
        }
        for (char ch : run.utf8) {
            const unsigned char c = static_cast<unsigned char>(ch);
            out += c == '\\' || c == '"' || IsControl(c) ? EscapedByte(c) : std::string(1, ch);
        }
    }
    return out + "\"";
}

std::string JsonText(const std::string& bytes, const CodePage& cp)
{
    std::string text;
    for (const fw::DecodedRun& run : Decode(bytes, cp))
        text += run.undefinedByte >= 0 ? "\xEF\xBF\xBD" : run.utf8;
    return "{\"text\":" + JsonString(text) + ",\"hex\":\"" + Hex(bytes) + "\"}";
}

std::string JsonString(const std::string& s)
{
    std::string out = "\"";
    for (size_t i = 0; i < s.size();) {
        const size_t bad = fw::FirstInvalidUtf8(s.substr(i));
        const size_t good = bad == std::string::npos ? s.size() - i : bad;
        AppendJsonEscaped(out, s.substr(i, good));
        i += good;
        if (i < s.size()) {
            out += "\\ufffd";
            ++i;
        }
    }
    return out + "\"";
}

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (char ch : bytes) {
        const unsigned char c = static_cast<unsigned char>(ch);
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string PrintableName(const std::string& name)
{
    std::string out;
    for (char ch : name)
        out += IsControl(static_cast<unsigned char>(ch)) ? EscapedByte(static_cast<unsigned char>(ch))
                                                         : std::string(1, ch);
    return out;
}

}  // namespace cli
