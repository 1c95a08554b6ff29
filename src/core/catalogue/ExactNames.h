#pragma once
#include "EntryName.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>

class Catalogue;
struct sqlite3;
struct sqlite3_stmt;

// Every entry's name exactly as the server listed it. Name and ext keep
// their cuts and their lower-cased extension (stored catalogues, the SQL
// window and find by type rely on them), so table ExactName holds the listed
// bytes of only those entries whose Name and ext do not give them back: a cut
// name, an upper-case extension, a dot-file, a name ending in a dot, bytes
// that are not UTF-8. Most names need no row, which keeps the store's speed.
class ExactNames
{
public:
    ExactNames() = default;
    ~ExactNames();
    ExactNames(const ExactNames &) = delete;
    ExactNames &operator=(const ExactNames &) = delete;

    // The listed bytes a row's Name and ext stand for when it has no ExactName row.
    static QByteArray fromFields(const QString &name, const QString &ext);
    // SQL for a row's listed bytes; d is table DB, x its LEFT JOINed ExactName row.
    static QString sqlBytes(const QSqlDatabase &db);
    // Notes a host's code page: values Host, CodePage.
    static QString noteSql(const QSqlDatabase &db);
    // True when Name and ext do not give bytes back: an ExactName row is kept.
    static bool needsRow(const EntryName &split, const QByteArray &bytes);
    static bool isUtf8(const QByteArray &bytes);
    // UTF-8 when the bytes are valid UTF-8, else the host's code page.
    static QString decode(const QByteArray &bytes, const QByteArray &codePage);

    void prepare(sqlite3 *handle);
    void finalize();
    // Keeps bytes for id when split does not give them back. Throws CatalogueError.
    void keep(qint32 id, const EntryName &split, const QByteArray &bytes);

    // Decodes again, with codePage, the stored names of host that are not
    // UTF-8, and notes codePage as the host's. Returns the rows changed.
    static int recode(Catalogue &catalogue, const QString &host, const QByteArray &codePage);
    // recode() only when the host's names were decoded with another code
    // page; a host never noted before is noted without decoding anything.
    static int recodeIfChanged(Catalogue &catalogue, const QString &host, const QByteArray &codePage);
    static QStringList notedHosts(Catalogue &catalogue);
    // recodeIfChanged() for every noted host, with the code page codePageOf
    // gives it now; returns the rows changed.
    static int recodeChangedHosts(Catalogue &catalogue,
                                  const std::function<QByteArray(const QString &host)> &codePageOf);

private:
    static void note(Catalogue &catalogue, const QString &host, const QByteArray &codePage);

    sqlite3 *m_handle = nullptr;
    sqlite3_stmt *m_insert = nullptr;
};
