// The five texts of a branding, by name: what the user types, what the text
// rules hand over, and what is written into the block's slots.
#pragma once

#include <string>

namespace brand {

struct BrandTexts
{
    std::string webName;        // licensee name
    std::string webLink;        // licensee's web site link
    std::string cbid;           // Clickbank ID
    std::string mirrowenLink;   // the user's own Mirrowen sales link
    std::string quillburnLink;  // the user's own Quillburn sales link
};

}  // namespace brand
