#pragma once
class QWidget;

namespace WindowPlacement {
// Moves a top-level window so that its centre is the owner's centre, kept
// on the owner's screen.
void centreOn(QWidget *window, const QWidget *owner);
}
