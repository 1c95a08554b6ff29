#pragma once
#include <QImage>
#include <QList>
#include <QWidget>

// A treemap: one block per item, its area in proportion to the item's value,
// laid out squarified; an item's own children show inside its block, one
// level deep. Painted into a QImage. A click on a block reports its id, a
// double click the id of the block clicked first (the click has already
// acted on it).
class TTreeMap : public QWidget
{
    Q_OBJECT
public:
    struct Item
    {
        qint32 id = 0; // 0: not a folder, clicks pass it by
        QString label;
        QString detail; // second line, for example the size
        double value = 0;
        QList<Item> children;
    };

    explicit TTreeMap(QWidget *parent = nullptr);

    void setItems(const QList<Item> &items);
    const QList<Item> &items() const { return m_items; }
    // Pixel rectangles of the top items, in the order given; adjacent blocks
    // share no pixel.
    QList<QRect> blockRects(const QSize &size) const;
    QImage render(const QSize &size) const;
    // The top item under a point, -1 for none.
    int itemAt(const QPoint &pos) const;
    static QColor colourOf(const Item &item, int index);

    QSize sizeHint() const override { return {480, 320}; }
    QSize minimumSizeHint() const override { return {160, 120}; }

signals:
    void blockClicked(qint32 id);
    void blockDoubleClicked(qint32 id);

protected:
    void paintEvent(QPaintEvent *) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;

private:
    static QList<QRect> pixelRects(const QList<Item> &items, const QRect &area);
    void paintBlock(QPainter &p, const Item &item, const QRect &r, const QColor &c, bool top) const;

    QList<Item> m_items;
    qint32 m_lastClicked = 0;
    bool m_inDoubleClick = false;
};
