// Whether a file can be branded, and if not why, in the user's terms.
#pragma once

#include "Search.h"

#include <cstdint>
#include <string>

namespace brand {

// The largest file the brander can load: its size and 4 spare bytes fit 32 bits.
inline constexpr uint64_t kMaxImageSize = 0xFFFFFFFFull - 4;

// Why a file of the given size with that search result cannot be branded;
// empty when it can. Reads the file's last marker-length bytes where a block
// may end on its last byte.
std::string Incompatibility(const LocateResult& r, uint64_t size, ByteReader& reader, const uint8_t* pMarker);

// "1 byte", "2 bytes".
std::string CountOf(uint64_t n, const char* singular, const char* plural);

}  // namespace brand
