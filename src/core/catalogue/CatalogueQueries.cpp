#include "CatalogueQueries.h"
#include "NameSearch.h"
#include "CatalogueError.h"

#include <QHash>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <sqlite3.h>
#include <memory>

namespace {
sqlite3 *handleOf(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        throw CatalogueError(QStringLiteral("The SQLite driver gives no handle"));
    return *static_cast<sqlite3 *const *>(handle.constData());
}

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
    q.prepare(match == HostMatch::Like ? QStringLiteral("SELECT ID, PID, Name FROM DB WHERE (Host LIKE ?) AND (Attr = 16)")
                                       : QStringLiteral("SELECT ID, PID, Name FROM DB WHERE (Host = ?) AND (Attr = 16)"));
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

CatalogueQueries::Statement CatalogueQueries::find(const QString &pattern, const QString &type, const QString &host,
                                                   const NameSearch *search)
{
    Statement st{QStringLiteral("SELECT * FROM DB WHERE (Name LIKE ?) AND (Ext LIKE ?)"), {pattern}};
    if (search) {
        const NameSearch::Condition name = search->condition(pattern);
        st = Statement{QStringLiteral("SELECT * FROM DB WHERE ") + name.sql + QStringLiteral(" AND (Ext LIKE ?)"),
                       name.values};
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
    return {QStringLiteral("SELECT Host, COUNT(*) AS Rows, SUM(Size) AS TotalSize FROM DB GROUP BY Host ORDER BY Host"),
            {}};
}

qint64 CatalogueQueries::countRows(const Statement &st) const
{
    sqlite3 *db = handleOf(m_db);
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

bool CatalogueQueries::isReadOnly(const QString &sql) const
{
    StatementPtr stmt = compile(handleOf(m_db), sql);
    return !stmt || sqlite3_stmt_readonly(stmt.get());
}
