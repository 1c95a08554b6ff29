#pragma once
#include <QString>

// The current host, user and password. The desktop program reads them from
// its host dialog, which may ask the user when no host is set; every read is
// fresh, since the user can change the host at any time.
class HostSource
{
public:
    virtual ~HostSource() = default;
    virtual QString CurrentHost() = 0;
    virtual QString CurrentUser() = 0;
    virtual QString CurrentPassword() = 0;
};
