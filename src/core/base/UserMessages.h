#pragma once
#include <QString>

// How the core tells the user something they must see. The desktop program
// shows a message box (through its one replaceable seam); the command-line
// twin writes to standard error. The core itself never shows anything.
class UserMessages
{
public:
    virtual ~UserMessages() = default;
    // Returns once the user has seen it (a modal box is dismissed).
    virtual void showMessage(const QString &text) = 0;
};
