// The program's own branding block, reached only through its process-wide
// pointer. Its first kMarkerLength bytes are the marker that targets are
// searched for.
#pragma once

#include <cstdint>

namespace brand {

// The own block, kBlockLength bytes, read at run time.
const uint8_t* OwnBlock();

}  // namespace brand
