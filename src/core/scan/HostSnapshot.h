#pragma once
#include "HostSource.h"

// The host, user and password as read once when a scan or log-on starts:
// a scan on another thread never asks the window, and never sees a host
// typed while it runs.
class HostSnapshot : public HostSource
{
public:
    HostSnapshot() = default;
    HostSnapshot(const QString &h, const QString &u, const QString &p)
        : host(h)
        , user(u)
        , password(p)
    {
    }
    QString host;
    QString user;
    QString password;
    QString CurrentHost() override { return host; }
    QString CurrentUser() override { return user; }
    QString CurrentPassword() override { return password; }
};
