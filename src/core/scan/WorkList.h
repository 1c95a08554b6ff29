#pragma once
#include <QByteArray>
#include <QList>
#include <QSet>
#include <functional>
#include <utility>

class PendingFolders;

// The folders a walk found and has not listed yet, and how deep a walk may
// go. With a store, every folder found waits in the catalogue's table too,
// and only the newest Window of them are held here: an endless or very wide
// tree costs the table rows, not memory, and an interrupted scan resumes
// from the table. Without one (no connection, or a test) all are held here.
class WorkList
{
public:
    static constexpr int DefaultMaxDepth = 256;
    // Folders held in memory at most; measured in bytes a few hundred KB.
    static constexpr qsizetype Window = 2048;

    // A folder still to list, and where its entries go.
    struct Folder
    {
        QByteArray path; // the listed bytes joined by "/", no leading "/"; the top is ""
        qint32 parentId = 0;
        // The folder's row is new in this scan: its listing cannot meet rows stored before.
        bool fresh = false;
        qint64 seq = 0; // its row in the store; 0 without one
    };

    void setMaxDepth(int levels) { m_maxDepth = levels; }
    int maxDepth() const { return m_maxDepth; }
    // The top and the folders in it are level 1, each "/" one level more.
    bool tooDeep(const QByteArray &path) const { return path.count('/') + 1 > m_maxDepth; }

    // Not owned; null: memory only. Throws CatalogueError from here on.
    void setStore(PendingFolders *store) { m_store = store; }
    // Called for each folder that leaves memory for the store only, so that
    // what keeps state per waiting folder can let it go too.
    void setOnSpill(std::function<void(const Folder &)> f) { m_onSpill = std::move(f); }
    // The store's folders of an earlier part are forgotten; the walk starts
    // at the top, or at a folder below it.
    void startAtTop() { startAt(Folder{}); }
    void startAt(Folder top);
    // Carries on with the folders an earlier part left in the store; returns
    // how many wait. Their rows may hold part of a listing, so none is fresh.
    qint64 resume();

    // A folder found: it waits in the store as well.
    void add(Folder &&folder);
    // A folder taken and neither listed nor given up: it waits again.
    void putBack(Folder &&folder);
    // A folder taken and stored, given up or passed over: it leaves the store.
    void done(const Folder &folder);

    bool isEmpty() const { return m_folders.isEmpty() && m_spilled == 0; }
    qsizetype size() const { return m_folders.size() + m_spilled; }
    // Last in, first out: the walk goes deep first.
    Folder takeLast();
    const Folder &last();
    // The first folder waiting under path leaves the list and the store;
    // false when none waits.
    bool withdraw(const QByteArray &path);
    // Up to most of the newest folders, in the order found, leave the list:
    // for walks that keep their own queue.
    template<typename F>
    void take(qsizetype most, F &&take)
    {
        refill();
        const qsizetype from = qMax<qsizetype>(0, m_folders.size() - most);
        for (qsizetype i = from; i < m_folders.size(); ++i) {
            m_out.insert(m_folders.at(i).seq);
            take(m_folders.at(i));
        }
        m_folders.resize(from);
    }
    void clear();

private:
    void refill();
    void spill();

    QList<Folder> m_folders;
    int m_maxDepth = DefaultMaxDepth;
    PendingFolders *m_store = nullptr;
    std::function<void(const Folder &)> m_onSpill;
    qsizetype m_spilled = 0; // waiting in the store only
    QSet<qint64> m_out;      // taken and not yet done or put back
    qint64 m_ownFrom = 0;    // Seqs below were left by an earlier part
};
