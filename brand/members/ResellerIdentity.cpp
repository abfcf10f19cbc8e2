// ReadBrandingBlock: the reading rule applied to the brander's own block.
#include "ResellerIdentity.h"

#include "Identity.h"
#include "OwnBlock.h"

namespace {

CString ToCString(const std::string& s)
{
    return CString(s.data(), static_cast<int>(s.size()));
}

}  // namespace

bool ReadBrandingBlock()
{
    const brand::Identity id = brand::DeriveIdentity(brand::OwnBlock());
    theResellerIdentity.m_nBranded = id.branded;
    theResellerIdentity.m_strMirrowenLink = ToCString(id.mirrowenLink);
    theResellerIdentity.m_strQuillburnLink = ToCString(id.quillburnLink);
    theResellerIdentity.m_strWebName = ToCString(id.webName);
    theResellerIdentity.m_strWebLink = ToCString(id.webLink);
    return true;
}
