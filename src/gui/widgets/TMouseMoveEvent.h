#pragma once
#include <QObject>
#include <functional>

// Called with the widget as sender, an empty shift state and the pointer's
// screen position at that moment.
using TMouseMoveEvent = std::function<void(QObject *sender, Qt::KeyboardModifiers shift, int x, int y)>;
