#pragma once
#include "UiSeam.h"
#include "core/base/UserMessages.h"

// The core's messages, shown through the seam.
class GuiMessages : public UserMessages
{
public:
    void showMessage(const QString &text) override { UiSeam::message(text); }
};
