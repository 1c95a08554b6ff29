#include "CatalogueQueries.h"
#include "NameSearch.h"
#include "CatalogueError.h"
#include "SqlDialect.h"

#include <QCollator>
#include <QHash>
#include <QSet>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <sqlite3.h>
#include <algorithm>
#include <memory>

namespace {
struct Finalize
{
    void operator()(sqlite3_stmt *st) const { sqlite3_finalize(st); }
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, Finalize>;

StatementPtr compile(sqlite3 *db, const QString &sql)
{
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &st, nullptr) != SQLITE_OK)
        throw CatalogueError(QString::fromUtf8(sqlite3_errmsg(db)));
    return StatementPtr(st);
}

// Positional values, as QSqlQuery binds them; named placeholders (":K")
// take the values in the order they appear.
void bindAll(sqlite3_stmt *st, const QVariantList &params)
{
    for (int i = 0; i < params.size(); ++i) {
        const QVariant &v = params[i];
        if (v.isNull())
            sqlite3_bind_null(st, i + 1);
        else if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong)
            sqlite3_bind_int64(st, i + 1, v.toLongLong());
        else if (v.typeId() == QMetaType::Double)
            sqlite3_bind_double(st, i + 1, v.toDouble());
        else {
            const QByteArray text = v.toString().toUtf8();
            sqlite3_bind_text(st, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        }
    }
}

// The statement's own text ends where SQLite says its first statement ends:
// a trailing ";" and what follows it stay outside, and the closing
// parenthesis goes on a line of its own, past a trailing "--" comment.
StatementPtr compileCount(sqlite3 *db, const QString &sql)
{
    const QByteArray text = sql.toUtf8();
    const char *tail = nullptr;
    sqlite3_stmt *st = nullptr;
    const bool compiled = sqlite3_prepare_v2(db, text.constData(), int(text.size()), &st, &tail) == SQLITE_OK && st;
    sqlite3_finalize(st);
    if (!compiled)
        return {};
    QByteArray own = text.left(tail - text.constData()).trimmed();
    while (own.endsWith(';'))
        own = own.chopped(1).trimmed();
    const QByteArray count = "SELECT COUNT(*) FROM (" + own + "\n)";
    st = nullptr;
    sqlite3_prepare_v2(db, count.constData(), int(count.size()), &st, nullptr);
    return StatementPtr(st);
}
} // namespace

CatalogueQueries::CatalogueQueries(const QSqlDatabase &db)
    : m_db(db)
{
}

QList<CatalogueQueries::Folder> CatalogueQueries::folderTree(const QString &host, HostMatch match) const
{
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT ID, PID, Name FROM DB WHERE %1 AND (Attr = 16)").arg(hostCondition(match)));
    q.addBindValue(host);
    if (!q.exec())
        throw CatalogueError(q.lastError().text());
    QHash<qint32, QList<Folder>> byParent;
    while (q.next())
        byParent[q.value(1).toInt()].append(Folder{q.value(0).toInt(), q.value(1).toInt(), q.value(2).toString(), 0});
    // Depth first without recursion: a deep tree cannot exhaust the stack.
    QList<Folder> out;
    QList<Folder> stack;
    const auto pushChildren = [&](qint32 pid, int depth) {
        const QList<Folder> children = byParent.take(pid);
        for (auto it = children.crbegin(); it != children.crend(); ++it) {
            Folder f = *it;
            f.depth = depth;
            stack.append(f);
        }
    };
    pushChildren(0, 0);
    while (!stack.isEmpty()) {
        const Folder f = stack.takeLast();
        out.append(f);
        pushChildren(f.id, f.depth + 1);
    }
    return out;
}

QString CatalogueQueries::hostCondition(HostMatch match) const
{
    if (match != HostMatch::Like)
        return QStringLiteral("(Host = ?)");
    return u'(' + SqlDialect::like(m_db, QStringLiteral("Host")) + u')';
}

QList<CatalogueQueries::Folder> CatalogueQueries::subfolders(const QString &host, HostMatch match,
                                                             const QList<qint32> &parents) const
{
    // SQLite takes at most 32,766 values a statement: parents go in batches.
    constexpr qsizetype Batch = 500;
    QHash<qint32, QList<Folder>> byParent;
    for (qsizetype i = 0; i < parents.size(); i += Batch)
        for (const Folder &f : subfoldersOf(host, match, parents.mid(i, Batch)))
            byParent[f.pid].append(f);
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    QList<Folder> out;
    for (qint32 pid : parents) {
        QList<Folder> level = byParent.take(pid);
        std::stable_sort(level.begin(), level.end(),
                         [&collator](const Folder &a, const Folder &b) { return collator.compare(a.name, b.name) < 0; });
        out += level;
    }
    return out;
}

// In the order the rows were stored, which the sort keeps for equal names.
QList<CatalogueQueries::Folder> CatalogueQueries::subfoldersOf(const QString &host, HostMatch match,
                                                               const QList<qint32> &parents) const
{
    QStringList marks(parents.size(), QStringLiteral("?"));
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    const QString stored = SqlDialect::storedOrder(m_db);
    q.prepare(QStringLiteral("SELECT ID, PID, Name FROM DB WHERE PID IN (%1) AND %2 AND (Attr = 16) ORDER BY %3")
                  .arg(marks.join(u','), hostCondition(match), stored));
    for (qint32 pid : parents)
        q.addBindValue(pid);
    q.addBindValue(host);
    if (!q.exec())
        throw CatalogueError(q.lastError().text());
    QList<Folder> out;
    while (q.next())
        out.append(Folder{q.value(0).toInt(), q.value(1).toInt(), q.value(2).toString(), 0});
    return out;
}

QList<qint32> CatalogueQueries::folderLineage(const QString &host, HostMatch match, qint32 id) const
{
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT PID FROM DB WHERE ID = ? AND %1 AND (Attr = 16)").arg(hostCondition(match)));
    QList<qint32> chain;
    QSet<qint32> seen;
    for (qint32 at = id; at != 0; ) {
        if (seen.contains(at))
            return {}; // parent links that loop never reach the top level
        seen.insert(at);
        q.bindValue(0, at);
        q.bindValue(1, host);
        if (!q.exec())
            throw CatalogueError(q.lastError().text());
        if (!q.next())
            return {};
        chain.prepend(at);
        at = q.value(0).toInt();
        q.finish();
    }
    return chain;
}

CatalogueQueries::Statement CatalogueQueries::find(const QString &pattern, const QString &type, const QString &host,
                                                   const NameSearch *search)
{
    Statement st{QStringLiteral("SELECT * FROM DB WHERE (Name LIKE ?) AND (Ext LIKE ?)"), {pattern}};
    if (search) {
        const NameSearch::Condition name = search->condition(pattern);
        const QString ext = u'(' + SqlDialect::like(search->database(), QStringLiteral("Ext")) + u')';
        st = Statement{QStringLiteral("SELECT * FROM DB WHERE ") + name.sql + QStringLiteral(" AND ") + ext, name.values};
    }
    st.params.append(type == QLatin1String("ALL") ? QStringLiteral("%") : type);
    if (!host.isEmpty()) {
        st.sql += QStringLiteral(" AND (Host = ?)");
        st.params.append(host);
    }
    return st;
}

CatalogueQueries::Statement CatalogueQueries::hostSummary()
{
    // Quoted names: PostgreSQL would fold them to lower case. Size + 0.0:
    // SQLite's SUM of integers fails when it passes 2^63; a sum is shown, not counted on.
    return {QStringLiteral("SELECT Host AS \"Host\", COUNT(*) AS \"Rows\", SUM(Size + 0.0) AS \"TotalSize\" FROM DB "
                           "GROUP BY Host ORDER BY Host"),
            {}};
}

qint64 CatalogueQueries::countRows(const Statement &st) const
{
    sqlite3 *db = SqlDialect::sqliteHandle(m_db);
    if (!db)
        return countRowsByQuery(st);
    StatementPtr stmt = compile(db, st.sql);
    if (!stmt || !sqlite3_stmt_readonly(stmt.get()) || sqlite3_column_count(stmt.get()) == 0)
        return 0;
    if (StatementPtr count = compileCount(db, st.sql)) {
        bindAll(count.get(), st.params);
        if (sqlite3_step(count.get()) == SQLITE_ROW)
            return sqlite3_column_int64(count.get(), 0);
        throw CatalogueError(QString::fromUtf8(sqlite3_errmsg(db)));
    }
    bindAll(stmt.get(), st.params);
    qint64 rows = 0;
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW)
        ++rows;
    if (rc != SQLITE_DONE)
        throw CatalogueError(QString::fromUtf8(sqlite3_errmsg(db)));
    return rows;
}

// PostgreSQL tells no statement's kind before it runs: counted through
// QtSql, and only a statement that reads by its first word.
qint64 CatalogueQueries::countRowsByQuery(const Statement &st) const
{
    if (!readsByItsWord(st.sql))
        return 0;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.prepare(st.sql))
        throw CatalogueError(q.lastError().text());
    for (int i = 0; i < st.params.size(); ++i)
        q.bindValue(i, st.params[i]);
    if (!q.exec())
        throw CatalogueError(q.lastError().text());
    qint64 rows = 0;
    while (q.next())
        ++rows;
    return rows;
}

bool CatalogueQueries::readsByItsWord(const QString &sql)
{
    static const QStringList reading = {"select", "with", "values", "table", "show", "explain"};
    const QString word = sql.trimmed().section(QRegularExpression(QStringLiteral("[\\s(]")), 0, 0).toLower();
    return reading.contains(word) && !sql.contains(QRegularExpression(
        QStringLiteral("\\b(insert|update|delete|create|drop|alter|truncate|into)\\b"),
        QRegularExpression::CaseInsensitiveOption));
}

bool CatalogueQueries::isReadOnly(const QString &sql) const
{
    sqlite3 *db = SqlDialect::sqliteHandle(m_db);
    if (!db)
        return readsByItsWord(sql);
    StatementPtr stmt = compile(db, sql);
    return !stmt || sqlite3_stmt_readonly(stmt.get());
}
