#pragma once
#include <QSqlDatabase>
#include <QString>

class IniFile;

// Where the catalogue lives: the SQLite file in the data folder (the
// default), or a shared PostgreSQL database named by a connection URI,
// postgresql://user@host:5432/harvex, from [DB] Url or harvex-cli --db.
// Passwords follow libpq's own conventions (~/.pgpass, PGPASSWORD) and are
// never part of the address, so the settings file never holds one.
class CatalogueAddress
{
public:
    static bool isUrl(const QString &where);
    // [DB] Url when set, else the folder.
    static QString chosen(const IniFile &settings, const QString &folder);
    // A PostgreSQL connection for url, not yet open. Throws CatalogueError
    // for an address that is not one, or that holds a password.
    static QSqlDatabase connection(const QString &url, const QString &connectionName);
    // The address without anything a message should not show.
    static QString shown(const QString &url);
};
