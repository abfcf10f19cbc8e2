// Takes the place of the framework's CFileDialog::DoModal at link time.
#include "ChooserDouble.h"

#include "FwFileDialog.h"

#include <cstring>

namespace testchooser {

struct Next
{
    bool confirm = false;
    std::string path;
};

Next& TheNext()
{
    static Next next;
    return next;
}

void WillChoose(const std::string& path)
{
    TheNext() = {true, path};
}

void WillCancel()
{
    TheNext() = {false, ""};
}

std::vector<Seen>& Calls()
{
    static std::vector<Seen> calls;
    return calls;
}

}  // namespace testchooser

INT_PTR CFileDialog::DoModal()
{
    testchooser::Seen seen;
    seen.title = m_ofn.lpstrTitle ? m_ofn.lpstrTitle : "";
    for (const char* p = m_ofn.lpstrFilter; p && *p; p += std::strlen(p) + 1)
        seen.filter += std::string(p) + "|";
    if (m_ofn.lpstrFilter)
        seen.filter += "|";
    seen.initialDir = m_ofn.lpstrInitialDir ? m_ofn.lpstrInitialDir : "";
    seen.flags = m_ofn.Flags;
    seen.hasDefExt = m_ofn.lpstrDefExt != nullptr;
    seen.hasOwner = m_pParentWnd != nullptr;
    testchooser::Calls().push_back(seen);
    const testchooser::Next& next = testchooser::TheNext();
    if (!next.confirm)
        return IDCANCEL;
    std::strncpy(m_ofn.lpstrFile, next.path.c_str(), m_ofn.nMaxFile - 1);
    return IDOK;
}
