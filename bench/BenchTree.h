#pragma once
#include <QByteArrayList>
#include <QString>

// A generated tree: four levels of ten folders (11,110 folders), nine empty
// files in each of the 10,000 deepest ones: about 100,000 entries.
struct BenchTree
{
    QByteArrayList folders; // every folder's path, "" for the top level
    qint64 entries = 0;

    static BenchTree make(const QString &root, int fanout = 10, int depth = 4, int filesPerLeaf = 9);
};
