#pragma once
#include <QByteArray>
#include <QList>
#include <utility>

// The folders a walk found and has not listed yet, and how deep a walk may go.
class WorkList
{
public:
    static constexpr int DefaultMaxDepth = 256;

    // A folder still to list, and where its entries go.
    struct Folder
    {
        QByteArray path; // the listed bytes joined by "/", no leading "/"; the top is ""
        qint32 parentId = 0;
        // The folder's row is new in this scan: its listing cannot meet rows stored before.
        bool fresh = false;
    };

    void setMaxDepth(int levels) { m_maxDepth = levels; }
    int maxDepth() const { return m_maxDepth; }
    // The top and the folders in it are level 1, each "/" one level more.
    bool tooDeep(const QByteArray &path) const { return path.count('/') + 1 > m_maxDepth; }

    void startAtTop() { m_folders = {Folder{}}; }
    void add(Folder &&folder) { m_folders.append(std::move(folder)); }
    bool isEmpty() const { return m_folders.isEmpty(); }
    qsizetype size() const { return m_folders.size(); }
    // Last in, first out: the walk goes deep first.
    Folder takeLast() { return m_folders.takeLast(); }
    const Folder &last() const { return m_folders.last(); }
    // The first folder waiting under path leaves the list; false when none waits.
    bool withdraw(const QByteArray &path);
    // Each folder in the order found, then none: for walks that keep their own
    // queue. No copy of the list is made.
    template<typename F>
    void drain(F &&take)
    {
        for (const Folder &f : std::as_const(m_folders))
            take(f);
        m_folders.clear();
    }
    void clear() { m_folders.clear(); }

private:
    QList<Folder> m_folders;
    int m_maxDepth = DefaultMaxDepth;
};
