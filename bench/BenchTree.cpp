#include "BenchTree.h"

#include <QDir>
#include <QFile>

BenchTree BenchTree::make(const QString &root, int fanout, int depth, int filesPerLeaf)
{
    BenchTree t;
    t.folders << QByteArray();
    QByteArrayList level{QByteArray()};
    for (int d = 0; d < depth; ++d) {
        QByteArrayList next;
        for (const QByteArray &parent : level) {
            for (int i = 0; i < fanout; ++i) {
                const QByteArray name = "d" + QByteArray::number(d) + "_" + QByteArray::number(i);
                const QByteArray path = parent.isEmpty() ? name : parent + '/' + name;
                QDir().mkpath(root + '/' + QString::fromUtf8(path));
                next << path;
                ++t.entries;
            }
        }
        t.folders << next;
        level = next;
    }
    for (const QByteArray &leaf : level) {
        for (int f = 0; f < filesPerLeaf; ++f) {
            QFile file(root + '/' + QString::fromUtf8(leaf) + QStringLiteral("/file%1.dat").arg(f));
            file.open(QIODevice::WriteOnly);
            ++t.entries;
        }
    }
    return t;
}

BenchTree BenchTree::makeSmall(const QString &root)
{
    BenchTree t;
    t.folders << QByteArray();
    for (int i = 0; i < 100; ++i) {
        const QByteArray top = "top" + QByteArray::number(i);
        t.folders << top;
        for (int j = 0; j < 10; ++j)
            t.folders << top + "/sub" + QByteArray::number(j);
    }
    for (const QByteArray &folder : std::as_const(t.folders)) {
        if (folder.isEmpty())
            continue;
        const QString dir = root + '/' + QString::fromUtf8(folder);
        QDir().mkpath(dir);
        ++t.entries;
        for (int f = 0; f < 9; ++f) {
            QFile file(dir + QStringLiteral("/file%1.dat").arg(f));
            file.open(QIODevice::WriteOnly);
            ++t.entries;
        }
    }
    return t;
}
