#pragma once
#include "core/base/UserMessages.h"

#include <QStringList>
#include <cstdio>

// Messages the user must see go to standard error.
class StderrMessages : public UserMessages
{
public:
    QStringList shown;
    void showMessage(const QString &text) override
    {
        shown << text;
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }
};
