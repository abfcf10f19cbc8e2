// Takes the place of the framework's AfxMessageBox at link time.
#include "MessageBoxDouble.h"

#include "FwMessageBox.h"

#include <windows.h>

namespace testmsgbox {

std::vector<Call>& Calls()
{
    static std::vector<Call> calls;
    return calls;
}

}  // namespace testmsgbox

int AfxMessageBox(LPCSTR pszText, UINT nType, UINT nIDHelp)
{
    testmsgbox::Calls().push_back({pszText ? pszText : "", nType, nIDHelp});
    return IDOK;
}
