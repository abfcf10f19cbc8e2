// Backslash search in multibyte paths.
#include "PathFolder.h"

namespace brand {

size_t LastBackslash(std::string_view path, LeadBytePredicate isLeadByte)
{
    size_t last = std::string_view::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        const unsigned char ch = static_cast<unsigned char>(path[i]);
        if (ch == '\\')
            last = i;
        else if (isLeadByte(ch) && i + 1 < path.size())
            ++i;  // the trail byte belongs to this character
    }
    return last;
}

}  // namespace brand
