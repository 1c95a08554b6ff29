#pragma once
#include <QByteArrayList>
#include <QString>

// A generated tree: four levels of ten folders (11,110 folders), nine empty
// files in each of the 10,000 deepest ones: about 100,000 entries.
struct BenchTree
{
    QByteArrayList folders; // every folder's path, "" for the top level
    qint64 entries = 0;

    // The latency benchmarks' tree: 100 folders of 10 folders, nine empty
    // files in each of those 1,100: 1,101 folders with the top, 11,000 entries.
    static BenchTree makeSmall(const QString &root);
    static BenchTree make(const QString &root, int fanout = 10, int depth = 4, int filesPerLeaf = 9);
};
