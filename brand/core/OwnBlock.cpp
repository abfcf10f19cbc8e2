// The program's own branding block: the unbranded template between two copies
// of the marker. This file is the only one that holds the marker: any other
// copy in a program would make that program incompatible with itself.
#include "OwnBlock.h"

#include "BlockLayout.h"

// 99 digits and a NUL: one cell of the template.
#define VB_CELL                                                                                                        \
    "123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789"              \
    "\0"
#define VB_MARKER "xgrwd[ut095noosernf34985y9237yrjnlms84thzcne9hwjoelkm8u59843"

// Writable, with external linkage, and read only through g_pOwnBlock at run
// time, so that the bytes stand in the file exactly as written here. One more
// byte holds the initialiser's terminating NUL and is not part of the block.
// The pointer is volatile: every read of it happens at run time, so the
// compiler, link-time optimisation included, can neither fold the block's
// bytes nor drop the array.
extern uint8_t g_abOwnBlock[brand::kBlockLength + 1];
uint8_t g_abOwnBlock[brand::kBlockLength + 1] =
    VB_MARKER VB_CELL VB_CELL VB_CELL VB_CELL VB_CELL VB_CELL VB_CELL VB_CELL VB_CELL VB_CELL VB_MARKER;

extern uint8_t* volatile g_pOwnBlock;
uint8_t* volatile g_pOwnBlock = g_abOwnBlock;

static_assert(sizeof(VB_MARKER) - 1 == brand::kMarkerLength);
static_assert(sizeof(VB_CELL) - 1 == brand::kTemplateCellLength);

namespace brand {

const uint8_t* OwnBlock()
{
    return g_pOwnBlock;
}

}  // namespace brand
