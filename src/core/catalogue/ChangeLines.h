#pragma once
#include <QByteArray>
#include <QList>

struct sqlite3;
struct sqlite3_stmt;

// ScanChange lines of an SQLite catalogue, kept back until the commit that
// stores their rows and written many to a statement. A statement per line
// cost about 4,300 instructions, most of it the statement's own start and
// end: an eighth of what storing a scanned entry cost.
class ChangeLines
{
public:
    static constexpr int PerStatement = 64;

    ChangeLines() = default;
    ~ChangeLines();
    ChangeLines(const ChangeLines &) = delete;
    ChangeLines &operator=(const ChangeLines &) = delete;

    // Throws CatalogueError.
    void prepare(sqlite3 *db);
    void finalize();
    bool isEmpty() const { return m_lines.isEmpty(); }
    // A full batch goes out at once, inside the caller's transaction.
    void add(const QByteArray &hostUtf8, const QByteArray &change, qint32 id);
    // Writes every line kept back, in the order added. A statement that
    // fails writes none of its lines: they stay kept, with those after them,
    // for a later write, as their rows may still be committed; a rollback
    // drops them with clear(). Throws CatalogueError.
    void write();
    void clear() { m_lines.clear(); }

private:
    struct Line
    {
        QByteArray host;
        QByteArray change;
        qint32 id;
    };
    static void bind(sqlite3_stmt *statement, int first, const Line &line);
    void writeFrom(qsizetype &done);
    void step(sqlite3_stmt *statement);

    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_one = nullptr;
    sqlite3_stmt *m_many = nullptr;
    QList<Line> m_lines;
};
