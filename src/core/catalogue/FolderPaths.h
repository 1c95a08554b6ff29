#pragma once
#include <QByteArray>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <functional>
#include <optional>

// The path of a folder, "host/a/b", from its parent links, with every name
// as the server listed it (decoded with the host's code page where it is
// not UTF-8). Paths found are kept, up to a capacity: the rows of a find
// come folder by folder often enough that most lookups stop at a kept
// folder, and memory stays bounded however many rows follow.
class FolderPaths
{
public:
    static constexpr int Capacity = 65536;
    // The host's code page for names that are not UTF-8; latin1 without one.
    using CodePageOf = std::function<QByteArray(const QString &host)>;

    explicit FolderPaths(QSqlDatabase db, CodePageOf codePageOf = {}, int capacity = Capacity);

    // The folder's path; none when a folder on the way up is missing or the
    // links loop (possible after an edit in the SQL window). 0 is no folder.
    // Throws CatalogueError.
    std::optional<QString> path(qint32 id);
    // The folder's path for an ftp:// address, "/a/b" with each name
    // percent-encoded from its listed bytes; the same cases give none.
    std::optional<QByteArray> urlPath(qint32 id);
    QByteArray codePage(const QString &host);
    // Folder rows read from the table so far: the cache's measure.
    qint64 lookUps() const { return m_lookUps; }

private:
    struct Link
    {
        qint32 id;
        qint32 pid;
        QString host;
        QByteArray bytes;
    };
    std::optional<Link> lookUp(qint32 id);
    template <typename Text>
    std::optional<Text> resolve(qint32 id, QHash<qint32, Text> &kept, const std::function<Text(const Link &)> &top,
                                const std::function<Text(const Link &)> &step);
    template <typename Text>
    void remember(QHash<qint32, Text> &kept, qint32 id, const Text &text);

    QSqlQuery m_byId;
    CodePageOf m_codePageOf;
    QHash<QString, QByteArray> m_codePages;
    QHash<qint32, QString> m_paths;
    QHash<qint32, QByteArray> m_urlPaths;
    int m_capacity;
    qint64 m_lookUps = 0;
};
