// CResellerIdentity: what the brander derives from its own branding block,
// kept for the life of the process.
#pragma once

#include "FwString.h"

#include <cstdint>

class CResellerIdentity
{
public:
    int32_t m_nBranded = 0;
    CString m_strMirrowenLink;
    CString m_strQuillburnLink;
    CString m_strWebName;
    CString m_strWebLink;
};

// The one instance, constructed right after the application object.
extern CResellerIdentity theResellerIdentity;

// Fills theResellerIdentity from the program's own block. Always true.
bool ReadBrandingBlock();
