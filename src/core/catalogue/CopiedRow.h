#pragma once
#include <QVariant>

// A row of table DB as read from another catalogue, with its exact name:
// values as the source gave them, IDs as they are to be stored.
struct CopiedRow
{
    QVariant name, ext, size, host, attr, lac;
    qint32 id, pid;
    QVariant bytes; // ExactName's, when the row has one
};
