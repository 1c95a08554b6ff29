#include "widgets/SquarifiedLayout.h"
#include "widgets/TTreeMap.h"

#include <QSignalSpy>
#include <QtTest>
#include <cmath>

class tst_TTreeMap : public QObject
{
    Q_OBJECT
private slots:
    void areasProportionalWithoutOverlap_data();
    void areasProportionalWithoutOverlap();
    void blocksAreNearlySquare();
    void pixelsShowEachBlock();
    void clickEntersDoubleClickShows();
};

void tst_TTreeMap::areasProportionalWithoutOverlap_data()
{
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<QRectF>("area");
    QTest::newRow("one") << QList<double>{5} << QRectF(0, 0, 300, 200);
    QTest::newRow("equal") << QList<double>{1, 1, 1, 1} << QRectF(10, 20, 400, 100);
    QTest::newRow("classic") << QList<double>{6, 6, 4, 3, 2, 2, 1} << QRectF(0, 0, 600, 400);
    QTest::newRow("unsorted, tall") << QList<double>{1, 50, 3, 700, 20} << QRectF(0, 0, 120, 900);
    QList<double> many;
    for (int i = 1; i <= 200; ++i)
        many << double((i * 7919) % 1000 + 1);
    QTest::newRow("many") << many << QRectF(0, 0, 800, 500);
    QTest::newRow("zeros") << QList<double>{0, 10, 0, 30} << QRectF(0, 0, 100, 100);
}

void tst_TTreeMap::areasProportionalWithoutOverlap()
{
    QFETCH(QList<double>, values);
    QFETCH(QRectF, area);
    const QList<QRectF> rects = SquarifiedLayout::layout(values, area);
    QCOMPARE(rects.size(), values.size());
    double total = 0;
    for (double v : values)
        total += v;
    double covered = 0;
    for (qsizetype i = 0; i < rects.size(); ++i) {
        const double want = values[i] / total * area.width() * area.height();
        const double got = rects[i].width() * rects[i].height();
        QVERIFY2(std::abs(got - want) <= 0.01 * want + 1e-9, qPrintable(QString("%1: %2 vs %3").arg(i).arg(got).arg(want)));
        if (want > 0) {
            const QRectF inside = rects[i].adjusted(1e-3, 1e-3, -1e-3, -1e-3);
            QVERIFY(area.contains(inside));
        }
        covered += got;
        for (qsizetype j = 0; j < i; ++j) {
            const QRectF both = rects[i].intersected(rects[j]);
            QVERIFY2(both.width() * both.height() < 1e-6, qPrintable(QString("%1 and %2 overlap").arg(i).arg(j)));
        }
    }
    QVERIFY(std::abs(covered - area.width() * area.height()) < 1e-6 * area.width() * area.height());
}

void tst_TTreeMap::blocksAreNearlySquare()
{
    const QList<QRectF> rects = SquarifiedLayout::layout({6, 6, 4, 3, 2, 2, 1}, QRectF(0, 0, 600, 400));
    for (const QRectF &r : rects)
        QVERIFY(std::max(r.width() / r.height(), r.height() / r.width()) < 3.0);
}

// Each block is painted in its own colour over its own pixels, and the
// pixel rectangles tile the image.
void tst_TTreeMap::pixelsShowEachBlock()
{
    TTreeMap map;
    map.setItems({{1, "big", QString(), 600, {}}, {2, "mid", QString(), 300, {}}, {0, "files", QString(), 100, {}}});
    const QSize size(200, 100);
    const QImage img = map.render(size);
    const QList<QRect> rects = map.blockRects(size);
    qint64 pixels = 0;
    for (int i = 0; i < rects.size(); ++i) {
        pixels += qint64(rects[i].width()) * rects[i].height();
        const double share = double(rects[i].width() * rects[i].height()) / (size.width() * size.height());
        QVERIFY(std::abs(share - map.items()[i].value / 1000.0) < 0.02);
        const QPoint probe = rects[i].bottomRight() - QPoint(3, 3);
        QCOMPARE(img.pixel(probe), TTreeMap::colourOf(map.items()[i], i).rgb());
        for (int j = 0; j < i; ++j)
            QVERIFY(!rects[i].intersects(rects[j]));
    }
    QCOMPARE(pixels, qint64(size.width()) * size.height());
}

void tst_TTreeMap::clickEntersDoubleClickShows()
{
    TTreeMap map;
    map.resize(200, 100);
    map.setItems({{7, "folder", QString(), 900, {}}, {0, "files", QString(), 100, {}}});
    QSignalSpy clicked(&map, &TTreeMap::blockClicked);
    QSignalSpy shown(&map, &TTreeMap::blockDoubleClicked);
    const QList<QRect> rects = map.blockRects(map.size());
    QTest::mouseClick(&map, Qt::LeftButton, {}, rects[1].center());
    QCOMPARE(clicked.size(), 0); // the files block is no folder
    QTest::mouseClick(&map, Qt::LeftButton, {}, rects[0].center());
    QCOMPARE(clicked.size(), 1);
    QCOMPARE(clicked[0][0].toInt(), 7);
    QTest::mouseDClick(&map, Qt::LeftButton, {}, rects[0].center());
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0][0].toInt(), 7);
}

QTEST_MAIN(tst_TTreeMap)
#include "tst_ttreemap.moc"
