#include "BatchScan.h"
#include "BatchView.h"
#include "FtpConnection.h"
#include "core/base/ActivityLog.h"
#include "core/base/ElapsedCounter.h"
#include "core/base/UserMessages.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueError.h"

#include <QElapsedTimer>

namespace {
// What the scan tells the user: kept for the summary, and said at once.
class HostMessages : public UserMessages
{
public:
    HostMessages(QStringList &kept, std::function<void(const QString &)> tell)
        : m_kept(kept)
        , m_tell(std::move(tell))
    {
    }
    void showMessage(const QString &text) override
    {
        m_kept << text;
        m_tell(text);
    }

private:
    QStringList &m_kept;
    std::function<void(const QString &)> m_tell;
};
} // namespace

void BatchScan::tell(const QString &line)
{
    QMutexLocker lock(m_shared.lineLock);
    m_shared.line(m_host.logon.host, line);
}

void BatchScan::run()
{
    QElapsedTimer clock;
    clock.start();
    Catalogue catalogue;
    try {
        QMutexLocker lock(m_shared.openLock);
        catalogue.open(m_shared.catalogue);
    } catch (const CatalogueError &e) {
        m_host.messages << e.message();
        tell(e.message());
        return;
    }
    catalogue.shareWriterTurns(m_shared.turns);
    scan(catalogue);
    m_host.elapsedMs = clock.elapsed();
}

void BatchScan::scan(Catalogue &catalogue)
{
    ActivityLog log;
    QObject::connect(&log, &ActivityLog::lineAdded, [this](const QString &line) { tell(line); });
    ElapsedCounter timeConnect;
    HostMessages messages(m_host.messages, [this](const QString &text) { tell(text); });
    BatchView view(log, m_host.logon.host);
    FtpConnection connection(log, timeConnect, m_host.logon, messages);
    HostScanner scanner(connection, catalogue, log, m_host.logon, messages, view);
    ScanSetup setup(*m_shared.settings, m_shared.flags);
    setup.applyTo(connection, scanner);
    scanner.setStartFolder(m_host.startPath);
    {
        QMutexLocker lock(&m_scannerLock);
        if (m_cancelled)
            return;
        m_scanner = &scanner;
    }
    m_host.scanned = true;
    scanner.ScanHost();
    {
        QMutexLocker lock(&m_scannerLock);
        m_scanner = nullptr;
    }
    m_host.stats = scanner.stats();
    m_host.run = scanner.lastRun();
    m_host.lastError = connection.lastError();
}

void BatchScan::cancel()
{
    QMutexLocker lock(&m_scannerLock);
    m_cancelled = true;
    if (m_scanner)
        m_scanner->cancel();
}
