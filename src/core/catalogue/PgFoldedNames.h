#pragma once
#include "NameIndex.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// A PostgreSQL catalogue's names folded by NameFold, one row per row of DB
// by ID, with a trigram index for finds: PostgreSQL's own lower() folds as
// its locale says, never as the program does. A table of their own, not a
// column of DB: the grid and the SQL window show DB's columns as they were.
// The stores write a row's folded name with the row; a removed row takes it
// along (a foreign key). A name changed by a statement of the user's is
// marked stale (NULL) by a trigger, as only the program can fold it, and
// folded again at the next open.
class PgFoldedNames
{
public:
    static QStringList schema();
    // What a find asks of DB's rows, given the folded pattern.
    static QString condition();
    // Folds the names of rows that have none yet (a database made before),
    // telling progress after each batch. Runs inside the caller's
    // transaction; progress cannot stop it. Throws CatalogueError.
    static void fill(QSqlDatabase db, const NameIndex::Progress &progress);
    // Folds again the names a statement of the user's changed. Throws CatalogueError.
    static void refresh(QSqlDatabase db);
    // Multi-row VALUES for INSERT INTO DB_FoldedNames (ID, Name).
    static QString insertSql(const QStringList &values);
    static QString value(qint32 id, const QString &name);
};
