#include "LoopGuard.h"

void LoopGuard::add(qint32 parent, qint32 child)
{
    // A name listed twice is listed once more, but not waited for twice.
    if (m_folders.contains(child))
        return;
    m_folders.insert(child, Folder{ListingSignature(), parent, 0, 0});
    if (const auto it = m_folders.find(parent); it != m_folders.end())
        ++it->waiting;
}

int LoopGuard::listed(qint32 folder, const ListingSignature &signature, int tolerated)
{
    Folder &f = m_folders[folder];
    f.signature = signature;
    const auto parent = m_folders.constFind(f.parent);
    const int repeatsAbove = parent == m_folders.constEnd() ? 0 : parent->repeats;
    const int levels = sameAbove(f.parent, signature);
    f.repeats = repeatsAbove + (levels > 0 ? 1 : 0);
    return f.repeats > tolerated ? levels : 0;
}

int LoopGuard::sameAbove(qint32 parent, const ListingSignature &signature) const
{
    int levels = 1;
    for (qint32 up = parent; up != None; ++levels) {
        const auto it = m_folders.constFind(up);
        if (it == m_folders.constEnd())
            break;
        if (it->signature == signature)
            return levels;
        up = it->parent;
    }
    return 0;
}

void LoopGuard::settle(qint32 folder)
{
    const auto it = m_folders.constFind(folder);
    if (it != m_folders.constEnd() && it->waiting == 0)
        forget(folder);
}

void LoopGuard::drop(qint32 folder)
{
    if (m_folders.contains(folder))
        forget(folder);
}

// The folders above go too, each once nothing below it waits.
void LoopGuard::forget(qint32 folder)
{
    qint32 up = m_folders.take(folder).parent;
    while (up != None) {
        const auto it = m_folders.find(up);
        if (it == m_folders.end() || --it->waiting > 0 || !it->signature.isValid())
            return;
        up = m_folders.take(up).parent;
    }
}
