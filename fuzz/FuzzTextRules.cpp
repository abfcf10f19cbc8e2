// Fuzzes the dialog's text rules: five texts split from the input at NUL
// bytes. Accepted texts fit their slots, lose only leading white space, and
// gain "http://" only in front of "www." links.
#include "DataArea.h"
#include "TextRules.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool IsSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < size && parts.size() <= 5; ++i) {
        if (data[i] == 0)
            parts.emplace_back();
        else
            parts.back() += static_cast<char>(data[i]);
    }
    parts.resize(5);
    const brand::TextCheck r = brand::CheckAndNormalise({parts[0], parts[1], parts[2], parts[3], parts[4]});
    if (!r.ok) {
        if (r.message == nullptr)
            std::abort();
        return 0;
    }
    const brand::BrandTexts& t = r.texts;
    if (t.webName.empty() || t.webLink.empty())
        std::abort();
    std::vector<uint8_t> area(1000, 0);
    if (!brand::FillDataArea(area.data(), t))
        std::abort();
    const std::string* outs[] = {&t.webName, &t.webLink, &t.cbid, &t.mirrowenLink, &t.quillburnLink};
    for (int i = 0; i < 5; ++i) {
        std::string in = parts[static_cast<size_t>(i)];
        size_t k = 0;
        while (k < in.size() && IsSpace(in[k]))
            ++k;
        in.erase(0, k);
        const bool link = i == 1 || i == 3 || i == 4;
        const std::string expected = link && in.compare(0, 4, "www.") == 0 ? "http://" + in : in;
        if (*outs[i] != expected)
            std::abort();
    }
    return 0;
}
