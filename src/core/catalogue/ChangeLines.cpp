#include "ChangeLines.h"
#include "CatalogueError.h"
#include "SqlStatement.h"

#include <sqlite3.h>

ChangeLines::~ChangeLines()
{
    finalize();
}

void ChangeLines::prepare(sqlite3 *db)
{
    finalize();
    m_db = db;
    const QByteArray insert = "INSERT INTO ScanChange (Host, Change, ID) VALUES (?, ?, ?)";
    m_one = SqlStatement::persistent(db, insert);
    QByteArray many = insert;
    for (int i = 1; i < PerStatement; ++i)
        many += ", (?, ?, ?)";
    m_many = SqlStatement::persistent(db, many);
}

void ChangeLines::finalize()
{
    sqlite3_finalize(m_one);
    sqlite3_finalize(m_many);
    m_one = m_many = nullptr;
    m_lines.clear();
}

void ChangeLines::add(const QByteArray &hostUtf8, const QByteArray &change, qint32 id)
{
    m_lines.append({hostUtf8, change, id});
    if (m_lines.size() >= PerStatement)
        write();
}

void ChangeLines::write()
{
    qsizetype done = 0;
    try {
        writeFrom(done);
    } catch (const CatalogueError &) {
        m_lines.remove(0, done);
        throw;
    }
    m_lines.clear();
}

// done: how many lines are in the table so far.
void ChangeLines::writeFrom(qsizetype &done)
{
    for (; m_lines.size() - done >= PerStatement; done += PerStatement) {
        for (int i = 0; i < PerStatement; ++i)
            bind(m_many, 3 * i + 1, m_lines.at(done + i));
        step(m_many);
    }
    for (; done < m_lines.size(); ++done) {
        bind(m_one, 1, m_lines.at(done));
        step(m_one);
    }
}

// The bytes stay alive in m_lines until the statement has run.
void ChangeLines::bind(sqlite3_stmt *statement, int first, const Line &line)
{
    sqlite3_bind_text(statement, first, line.host.constData(), int(line.host.size()), SQLITE_STATIC);
    sqlite3_bind_text(statement, first + 1, line.change.constData(), int(line.change.size()), SQLITE_STATIC);
    sqlite3_bind_int(statement, first + 2, line.id);
}

void ChangeLines::step(sqlite3_stmt *statement)
{
    const int rc = sqlite3_step(statement);
    sqlite3_reset(statement);
    if (rc != SQLITE_DONE)
        throw CatalogueError(QString::fromUtf8(sqlite3_errmsg(m_db)));
}
