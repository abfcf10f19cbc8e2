// The system's ANSI code page, as the portable classes need it: lower-casing
// and double-byte lead bytes. Windows asks the system; elsewhere ASCII rules.
#pragma once

namespace fw {

// Lower-cases nLength bytes in place.
void LowerAnsi(char* pch, int nLength);

// True when ch starts a double-byte character in the ANSI code page.
bool IsAnsiLeadByte(unsigned char ch);

}  // namespace fw
