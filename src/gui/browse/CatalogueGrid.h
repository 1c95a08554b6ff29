#pragma once
#include <QImage>
#include <QTableView>

// The browser's grid of catalogue rows. While the catalogue holds no row it
// shows a hint in its empty area, saying how to fill it.
class CatalogueGrid : public QTableView
{
    Q_OBJECT
public:
    explicit CatalogueGrid(QWidget *parent = nullptr);

    // Empty: no hint.
    void setHint(const QString &text);
    QString hint() const { return m_hint; }
    // The hint as painted over an empty grid of that size, on the grid's
    // background; a null image when there is none to paint.
    QImage hintImage(const QSize &size) const;

protected:
    void paintEvent(QPaintEvent *e) override;

private:
    QString m_hint;
};
