#pragma once
#include "core/scan/HostSource.h"

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
