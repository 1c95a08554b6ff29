#include "WorkList.h"
#include "core/catalogue/PendingFolders.h"

#include <algorithm>

void WorkList::startAt(Folder top)
{
    clear();
    if (m_store)
        m_store->clear();
    add(std::move(top));
}

qint64 WorkList::resume()
{
    m_folders.clear();
    m_out.clear();
    m_spilled = m_store ? qsizetype(m_store->count()) : 0;
    m_ownFrom = m_store ? m_store->nextSeq() : 0;
    return m_spilled;
}

void WorkList::add(Folder &&folder)
{
    if (m_store)
        folder.seq = m_store->add(folder.path, folder.parentId, folder.fresh);
    m_folders.append(std::move(folder));
    spill();
}

void WorkList::putBack(Folder &&folder)
{
    m_out.remove(folder.seq);
    m_folders.append(std::move(folder));
    spill();
}

void WorkList::done(const Folder &folder)
{
    m_out.remove(folder.seq);
    if (m_store && folder.seq != 0)
        m_store->remove(folder.seq);
}

// The oldest half leaves memory at once, so that a wide tree does not move
// the list at every folder.
void WorkList::spill()
{
    if (!m_store || m_folders.size() <= Window)
        return;
    const qsizetype half = Window / 2;
    if (m_onSpill) {
        for (qsizetype i = 0; i < half; ++i)
            m_onSpill(m_folders.at(i));
    }
    m_folders.remove(0, half);
    m_spilled += half;
}

void WorkList::refill()
{
    if (!m_folders.isEmpty() || m_spilled == 0 || !m_store)
        return;
    const QList<PendingFolders::Row> rows = m_store->newest(Window / 2, m_out);
    for (const PendingFolders::Row &r : rows)
        m_folders.append(Folder{r.path, r.parentId, r.fresh && r.seq >= m_ownFrom, r.seq});
    // None found would mean the table lost rows: nothing is left to wait for.
    m_spilled = rows.isEmpty() ? 0 : qMax<qsizetype>(0, m_spilled - rows.size());
}

WorkList::Folder WorkList::takeLast()
{
    refill();
    Folder f = m_folders.takeLast();
    m_out.insert(f.seq);
    return f;
}

const WorkList::Folder &WorkList::last()
{
    refill();
    return m_folders.last();
}

bool WorkList::withdraw(const QByteArray &path)
{
    const auto it =
        std::find_if(m_folders.begin(), m_folders.end(), [&path](const Folder &f) { return f.path == path; });
    if (it != m_folders.end()) {
        done(*it);
        m_folders.erase(it);
        return true;
    }
    if (!m_store || m_spilled == 0)
        return false;
    const qint64 seq = m_store->find(path, m_out);
    if (seq == 0)
        return false;
    m_store->remove(seq);
    --m_spilled;
    return true;
}

void WorkList::clear()
{
    m_folders.clear();
    m_out.clear();
    m_spilled = 0;
}
