#include "BrowseQueries.h"

// One clause a line, as the SQL window shows a statement.
QString BrowseQueries::folderRows()
{
    return QStringLiteral("SELECT *\nFROM DB\nWHERE PID = :K\n");
}

QString BrowseQueries::recordRow()
{
    return QStringLiteral("SELECT *\nFROM DB\nWHERE ID = :K");
}

QString BrowseQueries::allRows()
{
    return QStringLiteral("SELECT *\nFROM DB");
}

QString BrowseQueries::fileTypes()
{
    return QStringLiteral("SELECT DISTINCT Ext\nFROM DB");
}
