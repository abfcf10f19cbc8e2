// The text rules, in the order the user meets their messages.
#include "TextRules.h"

#include "BlockLayout.h"

#include <utility>

namespace brand {

namespace {

// Space, tab, line feed, vertical tab, form feed, carriage return; no other
// byte, whatever the code page.
void TrimLeadingSpace(std::string& s)
{
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r')))
        ++i;
    s.erase(0, i);
}

void PrefixBareWww(std::string& link)
{
    if (link.compare(0, 4, "www.") == 0)
        link.insert(0, "http://");
}

}  // namespace

TextCheck CheckAndNormalise(BrandTexts t)
{
    TextCheck r;
    for (std::string* s : {&t.webName, &t.webLink, &t.cbid, &t.mirrowenLink, &t.quillburnLink})
        TrimLeadingSpace(*s);

    if (t.webName.empty()) {
        r.message = kNameMissing;
        return r;
    }
    if (t.webLink.empty()) {
        r.message = kLinkMissing;
        return r;
    }
    PrefixBareWww(t.webLink);
    PrefixBareWww(t.mirrowenLink);
    PrefixBareWww(t.quillburnLink);

    const struct
    {
        const std::string& text;
        uint32_t max;
        const char* message;
    } limits[] = {
        {t.webName, kWebNameSlot.MaxText(), kNameTooLong},
        {t.webLink, kWebLinkSlot.MaxText(), kLinkTooLong},
        {t.cbid, kCBIDSlot.MaxText(), kCBIDTooLong},
        {t.mirrowenLink, kMirrowenSlot.MaxText(), kMirrowenTooLong},
        {t.quillburnLink, kQuillburnSlot.MaxText(), kQuillburnTooLong},
    };
    for (const auto& limit : limits) {
        if (limit.text.size() > limit.max) {
            r.message = limit.message;
            return r;
        }
    }
    r.ok = true;
    r.texts = std::move(t);
    return r;
}

}  // namespace brand
