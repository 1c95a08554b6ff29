#include "SqlDialect.h"
#include "CatalogueError.h"
#include "NameIndex.h"

#include <QSqlDriver>
#include <QVariant>

QString SqlDialect::asciiFolded(const QString &expression)
{
    return QStringLiteral("translate(%1, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz')").arg(expression);
}

QString SqlDialect::asciiLike(const QString &column, const QString &value)
{
    return QStringLiteral("%1 LIKE %2 ESCAPE ''").arg(asciiFolded(column), asciiFolded(value));
}

QString SqlDialect::like(const QSqlDatabase &db, const QString &column)
{
    return pick(db, column + QStringLiteral(" LIKE ?"), asciiLike(column));
}

QString SqlDialect::regexMatch(const QSqlDatabase &db, const QString &column)
{
    return pick(db, column + QStringLiteral(" REGEXP ?"), column + QStringLiteral(" ~* ?"));
}

QString SqlDialect::bytesType(const QSqlDatabase &db)
{
    return pick(db, QStringLiteral("BLOB"), QStringLiteral("BYTEA"));
}

QString SqlDialect::utf8Bytes(const QSqlDatabase &db, const QString &text)
{
    return pick(db, QStringLiteral("CAST(%1 AS BLOB)"), QStringLiteral("convert_to(%1, 'UTF8')")).arg(text);
}

QString SqlDialect::isNot(const QSqlDatabase &db)
{
    return pick(db, QStringLiteral("IS NOT"), QStringLiteral("IS DISTINCT FROM"));
}

QString SqlDialect::tempTable(const QSqlDatabase &db, const QString &name)
{
    return pick(db, QStringLiteral("temp."), QStringLiteral("pg_temp.")) + name;
}

QString SqlDialect::insertOrIgnore(const QSqlDatabase &db, const QString &into, const QString &rows, const QString &key)
{
    if (isPostgres(db))
        return QStringLiteral("INSERT INTO %1 %2 ON CONFLICT (%3) DO NOTHING").arg(into, rows, key);
    return QStringLiteral("INSERT OR IGNORE INTO %1 %2").arg(into, rows);
}

QString SqlDialect::insertOrReplace(const QSqlDatabase &db, const QString &table, const QStringList &columns)
{
    const QString values = QStringList(columns.size(), QStringLiteral("?")).join(QStringLiteral(", "));
    const QString row = QStringLiteral("%1 (%2) VALUES (%3)").arg(table, columns.join(QStringLiteral(", ")), values);
    if (!isPostgres(db))
        return QStringLiteral("INSERT OR REPLACE INTO ") + row;
    QStringList updates;
    for (const QString &c : columns.mid(1))
        updates << QStringLiteral("%1 = EXCLUDED.%1").arg(c);
    return QStringLiteral("INSERT INTO %1 ON CONFLICT (%2) DO UPDATE SET %3").arg(row, columns.first(), updates.join(QStringLiteral(", ")));
}

QString SqlDialect::storedOrder(const QSqlDatabase &db)
{
    return pick(db, QStringLiteral("rowid"), QStringLiteral("ctid"));
}

QString SqlDialect::hostRowsKey(const QSqlDatabase &db)
{
    return pick(db, QStringLiteral("+Host"), QStringLiteral("Host"));
}

QString SqlDialect::changeOrder(const QSqlDatabase &db)
{
    return pick(db, QStringLiteral("rowid"), QStringLiteral("Seq"));
}

QString SqlDialect::nameIndexProbe(const QSqlDatabase &db)
{
    return pick(db, QStringLiteral("SELECT 1 FROM sqlite_schema WHERE name = '%1'").arg(QLatin1String(NameIndex::StateTable)),
                QStringLiteral("SELECT 1 FROM pg_indexes WHERE indexname = 'db_foldednamestrigrams'"));
}

bool SqlDialect::plannerUsesNameIndex(const QSqlDatabase &db)
{
    return isPostgres(db);
}

bool SqlDialect::runsUnprepared(const QSqlDatabase &db)
{
    return isPostgres(db);
}

bool SqlDialect::streamsBesideOthers(const QSqlDatabase &db)
{
    return !isPostgres(db);
}

sqlite3 *SqlDialect::sqliteHandle(const QSqlDatabase &db)
{
    if (isPostgres(db))
        return nullptr;
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        throw CatalogueError(QStringLiteral("The SQLite driver gives no handle"));
    return *static_cast<sqlite3 *const *>(handle.constData());
}
