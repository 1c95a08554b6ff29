#pragma once
#include <QString>
#include <QStringList>

// The tables and indexes every catalogue has, written once; SqliteSchema and
// PgSchema add what only their database has and give the spellings that
// differ. Stored catalogues rely on every name, column and type here.
class CatalogueSchema
{
public:
    struct Spelling
    {
        QString real;         // a double's type
        QString size;         // Size's type on new catalogues: a 64-bit integer
        QString bytes;        // a byte string's type
        QString folderKey;    // the columns of index DB_Folder
        QString changeOrder;  // ScanChange's leading column of storing order, if it needs one
    };

    // Table DB and its indexes DB_ID, DB_Folder, DB_Size, DB_Name and DB_LAC.
    static QStringList rowTable(const Spelling &s);
    // ExactName, HostCodePage, ScanChange, ScanLock, PendingFolder, UnlistedRow and ScanRun.
    static QStringList sideTables(const Spelling &s);
};
