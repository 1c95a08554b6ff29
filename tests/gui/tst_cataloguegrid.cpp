#include "browse/CatalogueGrid.h"

#include <QStandardItemModel>
#include <QtTest>

// The hint an empty catalogue shows, painted in the grid's empty area.
class tst_CatalogueGrid : public QObject
{
    Q_OBJECT
private slots:
    void hintOnlyOverAnEmptyGrid_data();
    void hintOnlyOverAnEmptyGrid();
};

namespace {
int inkedPixels(const QImage &image, const QColor &background)
{
    int inked = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            inked += image.pixelColor(x, y) != background;
    return inked;
}
} // namespace

void tst_CatalogueGrid::hintOnlyOverAnEmptyGrid_data()
{
    QTest::addColumn<QString>("hint");
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("painted");
    QTest::newRow("empty catalogue") << "Choose File > Select Host, then Scan Host" << 0 << true;
    QTest::newRow("rows shown") << "Choose File > Select Host, then Scan Host" << 3 << false;
    QTest::newRow("no hint") << "" << 0 << false;
}

// The hint alone, then the grid as it paints itself: the text's ink lies in
// the middle third, where an empty grid has none.
void tst_CatalogueGrid::hintOnlyOverAnEmptyGrid()
{
    QFETCH(QString, hint);
    QFETCH(int, rows);
    QFETCH(bool, painted);
    QStandardItemModel model(rows, 3);
    CatalogueGrid grid;
    grid.setModel(&model);
    grid.resize(400, 240);
    grid.setHint(hint);
    QCOMPARE(grid.hint(), hint);
    const QImage alone = grid.hintImage(QSize(300, 120));
    QCOMPARE(!alone.isNull(), painted);
    if (painted)
        QVERIFY(inkedPixels(alone, Qt::transparent) > 50);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    const QImage shown = grid.viewport()->grab().toImage();
    const QImage middle = shown.copy(0, shown.height() / 3, shown.width(), shown.height() / 3);
    const QColor base = grid.palette().color(QPalette::Base);
    QCOMPARE(inkedPixels(middle, base) > 50, painted);
}

QTEST_MAIN(tst_CatalogueGrid)
#include "tst_cataloguegrid.moc"
