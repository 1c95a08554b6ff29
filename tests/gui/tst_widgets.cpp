#include "widgets/UiSeam.h"
#include "widgets/BlendColor.h"
#include "widgets/TAbout.h"
#include "widgets/TCoolBtn.h"
#include "widgets/THLabel.h"
#include "widgets/TSPanel.h"
#include "widgets/ButtonSlot.h"

#include <QHBoxLayout>

#include <QEnterEvent>
#include <QSignalSpy>
#include <QtTest>

class tst_Widgets : public QObject
{
    Q_OBJECT
private slots:
    void blendColor_data();
    void blendColor();
    void buttonBands_data();
    void buttonBands();
    void pressedFaceMovesAndStartsFromBase();
    void shortFaceDoesNotFail();
    void riseGrowsAndShrinks();
    void doubleClickGivesTwoClicks();
    void orientationSwapRules();
    void labelOutlineOnlyWhileHovered();
    void panelDragAndEdgeResize();
    void aboutOutline();
    void aboutRings();
    void aboutShowAndHide();
    void linkDoubleClickRunsTwice();
    void namePanelDoesNotDrag();
    void fixedButtonGrowsInItsSlot();
};

namespace {
QRgb rgb(TColor c) { return qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

void enter(QWidget *w)
{
    QEnterEvent e(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(w, &e);
}

void leave(QWidget *w)
{
    QEvent e(QEvent::Leave);
    QCoreApplication::sendEvent(w, &e);
}
} // namespace

void tst_Widgets::blendColor_data()
{
    QTest::addColumn<uint>("a");
    QTest::addColumn<uint>("b");
    QTest::addColumn<uint>("k");
    QTest::addColumn<uint>("n");
    QTest::addColumn<uint>("result");
    QTest::newRow("k = 0 is a") << 0x123456u << 0xABCDEFu << 0u << 5u << 0x123456u;
    QTest::newRow("k = n is b") << 0x123456u << 0xABCDEFu << 5u << 5u << 0xABCDEFu;
    QTest::newRow("truncation toward zero") << 0x0000FFu << 0x000000u << 1u << 2u << 0x000080u;
    QTest::newRow("upward truncation") << 0x000000u << 0x0000FFu << 1u << 2u << 0x00007Fu;
    QTest::newRow("high byte dropped") << 0xFF000000u << 0x00000000u << 0u << 1u << 0x000000u;
    QTest::newRow("system colour blends as raw bytes") << 0xFF00000Fu << 0x000000u << 0u << 3u << 0x00000Fu;
    QTest::newRow("k beyond n wraps to low byte") << 0x000000u << 0x0000FFu << 2u << 1u << 0x0000FEu;
}

void tst_Widgets::blendColor()
{
    QFETCH(uint, a);
    QFETCH(uint, b);
    QFETCH(uint, k);
    QFETCH(uint, n);
    QFETCH(uint, result);
    QCOMPARE(BlendColor(a, b, k, n), TColor(result));
}

void tst_Widgets::buttonBands_data()
{
    QTest::addColumn<int>("state"); // 0 outside, 1 inside, 2 disabled
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QList<uint>>("colours");
    const QList<int> rows{1, 2, 3, 4, 9, 10, 11, 14, 17};
    QTest::newRow("pointer outside") << 0 << rows
        << QList<uint>{0xE8FFFF, 0xD1FFFF, 0xBAFFFF, 0x91FFFF, 0x02FFFF, 0x00FFFF, 0x1BF6F6, 0x6DDBDB, 0xC0C0C0};
    QTest::newRow("pointer inside") << 1 << QList<int>{1, 10, 17}
        << QList<uint>{BlendColor(0xFFFFFF, 0x00FF00, 1, 11), 0x00FF00, 0xC0C0C0};
    QTest::newRow("disabled") << 2 << QList<int>{10, 17} << QList<uint>{0xC0C0C0, 0xC0C0C0};
}

void tst_Widgets::buttonBands()
{
    QFETCH(int, state);
    QFETCH(QList<int>, rows);
    QFETCH(QList<uint>, colours);
    TCoolBtn b;
    QCOMPARE(b.size(), QSize(75, 21));
    if (state == 1)
        enter(&b);
    if (state == 2)
        b.setEnabled(false);
    if (state == 1)
        b.resize(75, 21); // the face arithmetic at the design size
    const QImage img = b.PaintButton(false, false);
    for (int i = 0; i < rows.size(); ++i) {
        QCOMPARE(img.pixel(2, rows[i]), rgb(colours[i]));
        QCOMPARE(img.pixel(71, rows[i]), rgb(colours[i]));
    }
    QVERIFY2(img.pixel(72, 10) != rgb(colours.value(rows.indexOf(10), 0x00FFFF)), "columns end at Width - 4");
}

void tst_Widgets::pressedFaceMovesAndStartsFromBase()
{
    TCoolBtn b;
    const QImage up = b.PaintButton(false, false);
    const QImage down = b.PaintButton(true, false);
    QCOMPARE(up.pixel(10, 2), rgb(0xD1FFFF));
    // Pressed: the face starts at row 4 and its middle band from Color_1.
    QCOMPARE(down.pixel(10, 2), rgb(0xC0C0C0));
    QCOMPARE(down.pixel(10, 12), rgb(0x00FFFF));
    QCOMPARE(up.pixel(10, 10), rgb(0x00FFFF));
}

void tst_Widgets::shortFaceDoesNotFail()
{
    TCoolBtn b;
    b.resize(75, 8);
    const QImage img = b.PaintButton(false, false);
    QCOMPARE(img.size(), QSize(75, 8));
    b.setSh_Cent(0);
    b.setSh_Bord(0);
    QCOMPARE(b.PaintButton(true, true).size(), QSize(75, 8));
}

void tst_Widgets::riseGrowsAndShrinks()
{
    QWidget parent;
    TCoolBtn b(&parent);
    b.setGeometry(10, 20, 75, 21);
    QList<QPoint> entered;
    b.OnMouseEnter = [&](QObject *sender, Qt::KeyboardModifiers, int x, int y) {
        QCOMPARE(sender, &b);
        entered << QPoint(x, y);
    };
    enter(&b);
    QCOMPARE(b.geometry(), QRect(9, 19, 77, 23));
    QVERIFY(b.MouseInside());
    QCOMPARE(entered.size(), 1);
    leave(&b);
    QCOMPARE(b.geometry(), QRect(10, 20, 75, 21));
    b.setRise(0);
    enter(&b);
    QCOMPARE(b.geometry(), QRect(10, 20, 75, 21));
}

void tst_Widgets::doubleClickGivesTwoClicks()
{
    TCoolBtn b;
    b.show();
    QSignalSpy clicks(&b, &QPushButton::clicked);
    // What the platform sends for a double click: press, release, double click, release.
    const QPointF at(10, 10);
    QTest::mousePress(&b, Qt::LeftButton, {}, at.toPoint());
    QTest::mouseRelease(&b, Qt::LeftButton, {}, at.toPoint());
    QMouseEvent dbl(QEvent::MouseButtonDblClick, at, b.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(&b, &dbl);
    QTest::mouseRelease(&b, Qt::LeftButton, {}, at.toPoint());
    QCOMPARE(clicks.count(), 2);
}

void tst_Widgets::orientationSwapRules()
{
    TCoolBtn b;
    b.ChangeOrientation(true);
    QCOMPARE(b.size(), QSize(75, 21)); // the first change never swaps
    QVERIFY(b.Vertical());
    b.ChangeOrientation(false);
    QCOMPARE(b.size(), QSize(21, 75));
    b.ChangeOrientation(true);
    QCOMPARE(b.size(), QSize(75, 21));
    QCOMPARE(b.PaintButton(false, false).size(), QSize(75, 21));
}

void tst_Widgets::labelOutlineOnlyWhileHovered()
{
    THLabel l;
    l.setText("Author");
    l.resize(111, 17);
    l.setColorHi(0xFF0000);
    auto hasHi = [](const QImage &img) {
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (qAlpha(img.pixel(x, y)) == 255 && qBlue(img.pixel(x, y)) > 200 && qRed(img.pixel(x, y)) < 50)
                    return true;
        return false;
    };
    QVERIFY(!hasHi(l.DrawLabelText()));
    enter(&l);
    QVERIFY(l.MouseInside());
    QVERIFY(hasHi(l.DrawLabelText()));
    leave(&l);
    QVERIFY(!hasHi(l.DrawLabelText()));
    THLabel empty;
    enter(&empty);
    QVERIFY(!hasHi(empty.DrawLabelText()));
}

void tst_Widgets::panelDragAndEdgeResize()
{
    QWidget parent;
    TSPanel pa(&parent);
    pa.setGeometry(50, 50, 100, 60);
    pa.PanelMouseMove(20, 20);
    QCOMPARE(TSPanel::appCursor(), Qt::ArrowCursor);
    pa.PanelMousePress(20, 20);
    QCOMPARE(pa.SizingMode(), quint8(0));

    TSPanel::setAppCursor(Qt::SizeAllCursor);
    pa.PanelMousePress(20, 20);
    pa.PanelMouseMove(30, 25);
    QCOMPARE(pa.geometry(), QRect(60, 55, 100, 60));
    pa.PanelMouseRelease();

    TSPanel::setAppCursor(Qt::SizeVerCursor);
    pa.PanelMousePress(10, 58);
    QCOMPARE(pa.SizingMode(), quint8(TSPanel::BottomEdge));
    pa.PanelMouseMove(10, 8);
    QCOMPARE(pa.height(), 60); // 10 pixels would be the floor: no change
    pa.PanelMouseMove(10, 9);
    QCOMPARE(pa.height(), 11);
    pa.PanelMouseMove(10, -100);
    QVERIFY2(pa.height() > TSPanel::Floor, "never 10 pixels or less");
    pa.PanelMouseRelease();

    TSPanel::setAppCursor(Qt::SizeHorCursor);
    pa.PanelMousePress(50, 30);
    QCOMPARE(pa.SizingMode(), quint8(TSPanel::RightEdge));
    pa.PanelMousePress(2, 30);
    QCOMPARE(pa.SizingMode(), quint8(TSPanel::LeftEdge));
    pa.PanelMouseMove(200, 30);
    QVERIFY(pa.width() > TSPanel::Floor);
    pa.PanelMouseRelease();

    pa.CanResize = true;
    pa.PanelMouseMove(2, 30);
    QCOMPARE(TSPanel::appCursor(), Qt::SizeHorCursor);
    pa.PanelMouseMove(2, 2);
    QCOMPARE(TSPanel::appCursor(), Qt::SizeFDiagCursor);
    TSPanel::setAppCursor(Qt::ArrowCursor);
    QCOMPARE(pa.SlideSpeed, quint16(5));
    QCOMPARE(pa.SlideSteps, quint16(15));
    QCOMPARE(pa.SlideTo, TSides::sTopLeft);
}

void tst_Widgets::aboutOutline()
{
    TAbout about;
    QCOMPARE(about.Color(), rgbColor(0, 128, 255));
    QImage probe(4, 1, QImage::Format_RGB888);
    probe.setPixel(0, 0, qRgb(0, 128, 255));
    probe.setPixel(1, 0, qRgb(0, 128, 254));
    probe.setPixel(2, 0, qRgb(1, 128, 255));
    probe.setPixel(3, 0, qRgb(0, 128, 255));
    const QRegion r = about.BitmapToRegion(probe);
    QVERIFY(!r.contains(QPoint(0, 0)));
    QVERIFY(r.contains(QPoint(1, 0)));
    QVERIFY(r.contains(QPoint(2, 0)));
    QVERIFY(!r.contains(QPoint(3, 0)));
    const QRegion outline = about.WindowRegion();
    QVERIFY2(!outline.contains(QPoint(0, 0)), "the key-coloured corner is cut away");
    QVERIFY(outline.contains(QPoint(300, 200)));
    QVERIFY2(outline.contains(QPoint(150, 260)), "the picture's figure belongs to the outline");
    QVERIFY(outline.contains(about.btnClose->geometry().center()));
}

void tst_Widgets::aboutRings()
{
    TAbout about;
    const QImage s = about.RenderSurface();
    const int y = 200;
    for (int k = 0; k <= 12; ++k)
        QCOMPARE(s.pixel(100 + k, y), rgb(BlendColor(0x000000, 0xFFFFFF, k, 12)));
    for (int k = 12; k <= 18; ++k)
        QCOMPARE(s.pixel(100 + k, y), rgb(0xFFFFFF));
    for (int k = 18; k <= 30; ++k)
        QCOMPARE(s.pixel(100 + k, y), rgb(BlendColor(0xFFFFFF, 0x000000, k - 18, 12)));
    QCOMPARE(s.pixel(131, y), rgb(0x000000));
    QCOMPARE(s.pixel(140, y), rgb(TAboutForm::DesignColor));
    about.sh_Col = 0;
    QCOMPARE(about.RenderSurface().size(), s.size());
}

void tst_Widgets::aboutShowAndHide()
{
    QWidget main;
    main.show();
    TAbout about(&main);
    QCOMPARE(about.AppName(), QString("-  -  -"));
    QList<QUrl> opened;
    UiSeam::setUrlHandler([&](const QUrl &u) { opened << u; });
    about.show();
    QVERIFY(!main.isEnabled());
    QCOMPARE(about.AppName(), QString("Harvex"));
    QCOMPARE(about.AppDate(), QString::fromUtf8("22 мая 2004 г."));
    QCOMPARE(about.AppText(), QString::fromUtf8("   Программа предназначена для просмотра ftp-ресурсов."));
    QCOMPARE(about.windowTitle(), QString("About"));
    about.HLabel1Click();
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened[0].scheme(), QString("mailto"));
    about.btnClose->click();
    QVERIFY(about.isHidden());
    QVERIFY(main.isEnabled());
    UiSeam::setUrlHandler(nullptr);
}

// A double click is a click and a double click: the mail link runs twice, not
// three times.
void tst_Widgets::linkDoubleClickRunsTwice()
{
    THLabel label;
    label.resize(100, 20);
    int runs = 0;
    connect(&label, &THLabel::clicked, [&runs] { ++runs; });
    connect(&label, &THLabel::doubleClicked, [&runs] { ++runs; });
    const QPoint at(10, 10);
    QTest::mousePress(&label, Qt::LeftButton, {}, at);
    QTest::mouseRelease(&label, Qt::LeftButton, {}, at);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(at), label.mapToGlobal(QPointF(at)), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&label, &dbl);
    QTest::mouseRelease(&label, Qt::LeftButton, {}, at);
    QCOMPARE(runs, 2);
}

void tst_Widgets::namePanelDoesNotDrag()
{
    TAbout about;
    about.show();
    const QPoint before = about.pos();
    const QPoint inPanel = about.pa->geometry().center();
    QTest::mousePress(&about, Qt::LeftButton, {}, inPanel);
    QMouseEvent move(QEvent::MouseMove, QPointF(inPanel + QPoint(30, 20)),
                     QPointF(about.mapToGlobal(inPanel + QPoint(30, 20))), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&about, &move);
    QCOMPARE(about.pos(), before);
    QTest::mouseRelease(&about, Qt::LeftButton, {}, inPanel);
    about.hide();
}

// In a layout, a button of fixed size sits in a slot with room to rise.
void tst_Widgets::fixedButtonGrowsInItsSlot()
{
    QWidget w;
    auto *row = new QHBoxLayout(&w);
    auto *b = new TCoolBtn;
    row->addWidget(new ButtonSlot(b, QSize(75, 21), &w));
    w.show();
    const QRect rest = b->geometry();
    QCOMPARE(rest.size(), QSize(75, 21));
    enter(b);
    QCOMPARE(b->geometry(), rest.adjusted(-1, -1, 1, 1));
    leave(b);
    QCOMPARE(b->geometry(), rest);
}

QTEST_MAIN(tst_Widgets)
#include "tst_widgets.moc"
