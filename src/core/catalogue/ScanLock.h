#pragma once
#include <QDateTime>
#include <QSqlDatabase>
#include <QString>

// One scan of a host at a time in a catalogue, whichever program or machine
// runs it: a row of table ScanLock names the machine, its boot, the process
// and a heartbeat the scan refreshes. A row whose process died does not
// block: on the same machine and boot the process is gone; elsewhere its
// heartbeat is older than StaleAfterSecs. Each statement commits on its own
// or in the catalogue's open transaction, so call it between a scan's writes.
class ScanLock
{
public:
    // The heartbeat is refreshed every HeartbeatSecs; a lock not refreshed
    // for StaleAfterSecs is taken over (a wide margin for a stalled listing).
    static constexpr int HeartbeatSecs = 15;
    static constexpr int StaleAfterSecs = 180;

    explicit ScanLock(const QSqlDatabase &db);

    // True when this process now holds host's lock. Throws CatalogueError.
    bool claim(const QString &host);
    // Keeps a held lock alive. Throws CatalogueError.
    void refresh(const QString &host);
    void release(const QString &host);

    // Who a lock names, and whether that scan can no longer be running.
    struct Holder
    {
        QString machine;
        QString boot;
        qint64 pid = 0;
        QDateTime heartbeat; // UTC
        QString host;
    };
    bool isDead(const Holder &h, const QDateTime &nowUtc) const;

private:
    bool insert(const QString &host);
    bool takeOver(const QString &host, const Holder &h);

    QSqlDatabase m_db;
};
