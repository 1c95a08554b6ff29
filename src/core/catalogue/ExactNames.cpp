#include "ExactNames.h"
#include "SqlStatement.h"
#include "Catalogue.h"
#include "CatalogueError.h"
#include "PgFoldedNames.h"
#include "SqlDialect.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringDecoder>
#include <sqlite3.h>

ExactNames::~ExactNames()
{
    finalize();
}

QByteArray ExactNames::fromFields(const QString &name, const QString &ext)
{
    return EntryName{name, ext}.fileName().toUtf8();
}

QString ExactNames::sqlBytes(const QSqlDatabase &db)
{
    // The same rule as EntryName::fileName(), for rows without an ExactName row.
    const QString fileName = QStringLiteral("CASE WHEN d.ext IS NULL OR d.ext = '' OR d.ext = '<DIR>' "
                                            "THEN d.Name ELSE d.Name || '.' || d.ext END");
    return QStringLiteral("COALESCE(x.Bytes, %1)").arg(SqlDialect::utf8Bytes(db, fileName));
}

bool ExactNames::needsRow(const EntryName &split, const QByteArray &bytes)
{
    return bytes != split.fileName().toUtf8();
}

bool ExactNames::isUtf8(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(bytes); // decoding happens on conversion to QString
    Q_UNUSED(decoded);
    return !utf8.hasError();
}

QString ExactNames::decode(const QByteArray &bytes, const QByteArray &codePage)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString asUtf8 = utf8.decode(bytes);
    if (!utf8.hasError())
        return asUtf8;
    QStringDecoder local(codePage.isEmpty() ? "latin1" : codePage.constData());
    if (local.isValid())
        return local.decode(bytes);
    return QString::fromLatin1(bytes);
}

void ExactNames::prepare(sqlite3 *handle)
{
    finalize();
    m_handle = handle;
    m_insert = SqlStatement::persistent(handle, "INSERT OR REPLACE INTO ExactName (ID, Bytes) VALUES (?, ?)");
}

void ExactNames::finalize()
{
    sqlite3_finalize(m_insert);
    m_insert = nullptr;
    m_handle = nullptr;
}

void ExactNames::keep(qint32 id, const EntryName &split, const QByteArray &bytes)
{
    if (!needsRow(split, bytes))
        return;
    sqlite3_bind_int(m_insert, 1, id);
    sqlite3_bind_blob(m_insert, 2, bytes.constData(), int(bytes.size()), SQLITE_STATIC);
    const int rc = sqlite3_step(m_insert);
    sqlite3_reset(m_insert);
    sqlite3_clear_bindings(m_insert);
    if (rc != SQLITE_DONE)
        throw CatalogueError(QString::fromUtf8(sqlite3_errmsg(m_handle)));
}

int ExactNames::recode(Catalogue &catalogue, const QString &host, const QByteArray &codePage)
{
    catalogue.beginWrite();
    QSqlQuery rows = SqlStatement::run(catalogue.database(),
                         QStringLiteral("SELECT x.ID, x.Bytes, d.Attr FROM ExactName x JOIN DB d ON d.ID = x.ID "
                                        "WHERE d.Host = ?"),
                         {host});
    QSqlQuery update(catalogue.database());
    update.prepare(QStringLiteral("UPDATE DB SET Name = ?, ext = ? WHERE ID = ? AND (Name %1 ? OR ext %1 ?)")
                       .arg(SqlDialect::isNot(catalogue.database())));
    int changed = 0;
    while (rows.next()) {
        const QByteArray bytes = rows.value(1).toByteArray();
        if (isUtf8(bytes))
            continue; // decoded as UTF-8 whatever the code page
        const EntryName split = EntryName::split(decode(bytes, codePage), quint32(rows.value(2).toInt()));
        const QVariantList values{split.name, split.ext, rows.value(0), split.name, split.ext};
        for (int i = 0; i < values.size(); ++i)
            update.bindValue(i, values[i]);
        if (!update.exec())
            throw CatalogueError(update.lastError().text());
        changed += update.numRowsAffected();
    }
    note(catalogue, host, codePage);
    // PostgreSQL cannot fold as the program does: its trigger only marked
    // the renamed rows. SQLite's marked the ones not plain ASCII, and the
    // commit below folds them.
    if (catalogue.isShared())
        PgFoldedNames::refresh(catalogue.database());
    catalogue.flush();
    return changed;
}

int ExactNames::recodeIfChanged(Catalogue &catalogue, const QString &host, const QByteArray &codePage)
{
    QSqlQuery q = SqlStatement::run(catalogue.database(), QStringLiteral("SELECT CodePage FROM HostCodePage WHERE Host = ?"), {host});
    if (!q.next()) {
        catalogue.beginWrite();
        note(catalogue, host, codePage);
        catalogue.flush();
        return 0;
    }
    if (q.value(0).toString().toLatin1() == codePage)
        return 0;
    q.finish();
    return recode(catalogue, host, codePage);
}

QStringList ExactNames::notedHosts(Catalogue &catalogue)
{
    QSqlQuery q = SqlStatement::run(catalogue.database(), QStringLiteral("SELECT Host FROM HostCodePage ORDER BY Host"), {});
    QStringList hosts;
    while (q.next())
        hosts << q.value(0).toString();
    return hosts;
}

int ExactNames::recodeChangedHosts(Catalogue &catalogue,
                                   const std::function<QByteArray(const QString &host)> &codePageOf)
{
    int changed = 0;
    for (const QString &host : notedHosts(catalogue))
        changed += recodeIfChanged(catalogue, host, codePageOf(host));
    return changed;
}

QString ExactNames::noteSql(const QSqlDatabase &db)
{
    return SqlDialect::insertOrReplace(db, QStringLiteral("HostCodePage"), {QStringLiteral("Host"), QStringLiteral("CodePage")});
}

void ExactNames::note(Catalogue &catalogue, const QString &host, const QByteArray &codePage)
{
    SqlStatement::run(catalogue.database(), noteSql(catalogue.database()), {host, QString::fromLatin1(codePage)});
}
