#include "WorkList.h"

#include <algorithm>

bool WorkList::withdraw(const QByteArray &path)
{
    const auto it =
        std::find_if(m_folders.begin(), m_folders.end(), [&path](const Folder &f) { return f.path == path; });
    if (it == m_folders.end())
        return false;
    m_folders.erase(it);
    return true;
}
