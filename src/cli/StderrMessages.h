#pragma once
#include "ConsoleLine.h"
#include "core/base/UserMessages.h"

#include <QStringList>

// Messages the user must see go to standard error.
class StderrMessages : public UserMessages
{
public:
    QStringList shown;
    void showMessage(const QString &text) override
    {
        shown << text;
        ConsoleLine::err(text);
    }
};
