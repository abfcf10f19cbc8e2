// The folder part of a Windows path, as the brander remembers it.
#pragma once

#include <string>
#include <string_view>

namespace brand {

// Tells whether a byte starts a double-byte character in the code page in use.
using LeadBytePredicate = bool (*)(unsigned char);

// The offset of the last backslash, walking character by character so that
// the second byte of a double-byte character is never taken for one; npos if
// there is none.
size_t LastBackslash(std::string_view path, LeadBytePredicate isLeadByte);

}  // namespace brand
