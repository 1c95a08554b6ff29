#pragma once

// The program's local time zone, read once.
class LocalZone
{
public:
    // Without TZ, the C library checks /etc/localtime again at each local
    // time conversion: measured at about 8 file checks per listed entry and
    // a third of a scan's time on a fast server. Pointing TZ at the same
    // file keeps the zone the system gives, read once. Call before any
    // thread starts; does nothing where TZ is already set.
    static void pin();
};
