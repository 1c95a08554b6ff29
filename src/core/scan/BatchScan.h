#pragma once
#include "BatchHost.h"
#include "ScanSetup.h"

#include <QMutex>
#include <functional>
#include <memory>

class IniFile;
class WriterTurns;

// The scan of one host of several, run on a thread of its own: its own
// catalogue connection (taking turns with the others to write), its own
// FTP connections, its lines handed on with its host's name.
class BatchScan
{
public:
    // What every scan of a batch shares; all of it outlives the scans.
    struct Shared
    {
        QString catalogue; // the folder or PostgreSQL address every scan opens
        IniFile *settings = nullptr; // only read while scans run
        ScanSetup::Overrides flags;
        std::shared_ptr<WriterTurns> turns;
        // Called from the scans' threads, one at a time.
        std::function<void(const QString &host, const QString &line)> line;
        QMutex *lineLock = nullptr;
        QMutex *openLock = nullptr; // catalogues are opened one at a time
    };

    BatchScan(const Shared &shared, BatchHost &host) : m_shared(shared), m_host(host) {}
    // On the scan's thread; fills the host's outcome.
    void run();
    // Any thread.
    void cancel();

private:
    void tell(const QString &line);
    void scan(Catalogue &catalogue);

    const Shared &m_shared;
    BatchHost &m_host;
    QMutex m_scannerLock;
    HostScanner *m_scanner = nullptr; // while it runs
    bool m_cancelled = false;
};
