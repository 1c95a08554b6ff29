#include "WindowPlacement.h"

#include <QScreen>
#include <QWidget>

void WindowPlacement::centreOn(QWidget *window, const QWidget *owner)
{
    if (!window || !owner || !owner->isVisible())
        return;
    const QRect o = owner->frameGeometry();
    QRect r(QPoint(0, 0), window->frameGeometry().size());
    r.moveCenter(o.center());
    if (const QScreen *screen = owner->screen()) {
        const QRect avail = screen->availableGeometry();
        r.moveLeft(qBound(avail.left(), r.left(), qMax(avail.left(), avail.right() - r.width())));
        r.moveTop(qBound(avail.top(), r.top(), qMax(avail.top(), avail.bottom() - r.height())));
    }
    window->move(r.topLeft());
}
