#include "CatalogueSchema.h"
#include "ScanRunSchema.h"

QStringList CatalogueSchema::rowTable(const Spelling &s)
{
    return {QStringLiteral("CREATE TABLE IF NOT EXISTS DB (Name VARCHAR(80), ext VARCHAR(5), "
                           "Size %2, Host VARCHAR(255), Attr INTEGER, LAC %1, "
                           "ID INTEGER, PID INTEGER)").arg(s.real, s.size),
            QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS DB_ID ON DB(ID)"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS DB_Folder ON DB(%1)").arg(s.folderKey),
            // Serves the grid sorted by size (a header click) and the largest
            // files of the statistics: without it both sort every row first.
            QStringLiteral("CREATE INDEX IF NOT EXISTS DB_Size ON DB(Size)"),
            // A host's rows sorted by name or by time (the grid after a
            // header click, a find of one host between two dates) are read
            // a page at a time through these. Led by the host: keyed by Name
            // alone, the first page of one host of 1,000,000 rows beside
            // 12,000,000 others walked the whole index, 19 s.
            QStringLiteral("CREATE INDEX IF NOT EXISTS DB_Name ON DB(Host, Name)"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS DB_LAC ON DB(Host, LAC)")};
}

QStringList CatalogueSchema::sideTables(const Spelling &s)
{
    return {QStringLiteral("CREATE TABLE IF NOT EXISTS ExactName (ID INTEGER PRIMARY KEY, Bytes %1 NOT NULL)").arg(s.bytes),
            // The code page a host's stored names were decoded with.
            QStringLiteral("CREATE TABLE IF NOT EXISTS HostCodePage (Host TEXT PRIMARY KEY, CodePage TEXT)"),
            // Run: the host's ScanRun the line belongs to; NULL while its scan runs.
            QStringLiteral("CREATE TABLE IF NOT EXISTS ScanChange (%1Host TEXT, Change TEXT, ID INTEGER, Path %2, Run BIGINT)")
                .arg(s.changeOrder, s.bytes),
            // Who scans a host now; see ScanLock.
            QStringLiteral("CREATE TABLE IF NOT EXISTS ScanLock (Host TEXT PRIMARY KEY, Machine TEXT, Boot TEXT, "
                           "Pid BIGINT, Heartbeat TEXT)"),
            // A scan's folders still to list, and the rows its listings no
            // longer hold: an interrupted scan resumes from them.
            QStringLiteral("CREATE TABLE IF NOT EXISTS PendingFolder (Host TEXT NOT NULL, Seq BIGINT NOT NULL, "
                           "Path %1 NOT NULL, ParentId INTEGER NOT NULL, Fresh INTEGER NOT NULL, "
                           "PRIMARY KEY (Host, Seq))")
                .arg(s.bytes),
            QStringLiteral("CREATE TABLE IF NOT EXISTS UnlistedRow (Host TEXT NOT NULL, ID INTEGER NOT NULL, "
                           "Folder %1 NOT NULL)")
                .arg(s.bytes),
            ScanRunSchema::createTable()};
}
