#pragma once
#include "HostSource.h"
#include "UserMessages.h"

#include <cstdio>

// The host, user and password given on the command line (the password read
// from standard input, never from the arguments).
class CliHost : public HostSource
{
public:
    QString host;
    QString user;
    QString password;
    QString CurrentHost() override { return host; }
    QString CurrentUser() override { return user; }
    QString CurrentPassword() override { return password; }
};

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
