#pragma once
#include <QString>

// The statements behind the desktop program's grid and its Find dialog,
// written here once. ":K" takes the one value.
class BrowseQueries
{
public:
    // The rows directly in the folder with ID :K (0: the host's top level).
    static QString folderRows();
    // The row with ID :K.
    static QString recordRow();
    // Every row; also the SQL window's starting statement.
    static QString allRows();
    // Each file type once ("<DIR>" for folders).
    static QString fileTypes();
};
