#include "ScanWorker.h"
#include "FtpConnection.h"
#include "RelayedLog.h"
#include "ScanSetup.h"
#include "core/base/ElapsedCounter.h"
#include "core/base/IniFile.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueError.h"

ScanWorker::ScanWorker(const QString &catalogueDir, const QString &settingsFile)
    : m_catalogueDir(catalogueDir)
    , m_settingsFile(settingsFile)
    , m_log(std::make_unique<RelayedLog>(this)) // a child: it moves to the worker's thread with it
{
    qRegisterMetaType<HostScanner::Stats>();
    connect(m_log.get(), &RelayedLog::linesWaiting, this, &ScanWorker::logLinesWaiting);
}

void ScanWorker::deliverLog(ActivityLog &log)
{
    m_log->deliverTo(log);
}

// The parts go in reverse order of their making: the scanner uses the
// connection and the catalogue.
ScanWorker::~ScanWorker()
{
    m_scanner.reset();
    m_connection.reset();
    m_catalogue.reset();
}

void ScanWorker::cancel()
{
    m_cancelLogOn.store(true);
    m_cancelScan.store(true);
    if (m_scanner)
        m_scanner->cancel();
}

// Made on first use, so that they belong to the worker's thread.
bool ScanWorker::ensureParts()
{
    if (m_scanner)
        return true;
    m_timeConnect = std::make_unique<ElapsedCounter>();
    m_catalogue = std::make_unique<Catalogue>();
    try {
        m_catalogue->open(m_catalogueDir);
    } catch (const CatalogueError &e) {
        m_catalogue.reset();
        emit message(e.message());
        return false;
    }
    m_connection = std::make_unique<FtpConnection>(*m_log, *m_timeConnect, m_host, *this);
    m_connection->setTrustPrompt(m_prompt);
    m_scanner = std::make_unique<HostScanner>(*m_connection, *m_catalogue, *m_log, m_host, *this, *this);
    m_scanner->setRetryPause(m_retryPauseMs);
    m_scanner->setDeferClosingLines(true);
    return true;
}

void ScanWorker::scan(const QString &host, const QString &user, const QString &password, bool resume)
{
    if (!ensureParts()) {
        emit scanEnded(HostScanner::Stats());
        return;
    }
    m_host = HostSnapshot(host, user, password);
    readSettings();
    m_scanner->setResume(resume);
    // Cleared first, then a Cancel that came before the scan started is
    // passed on: one arriving in between reaches the scanner itself.
    m_scanner->resetCancel();
    if (m_cancelScan.load())
        m_scanner->cancel();
    m_scanner->ScanHost();
    emit scanEnded(m_scanner->stats());
    // A shared database lost under the scan is opened again by the next one.
    if (m_scanner->stats().catalogueFailed && m_catalogue->isShared()) {
        m_scanner.reset();
        m_connection.reset();
        m_catalogue.reset();
    }
}

void ScanWorker::connectToHost(const QString &host, const QString &user, const QString &password)
{
    if (!ensureParts()) {
        emit connectEnded(false);
        return;
    }
    m_cancelLogOn.store(false);
    m_connection->setCancelFlag(&m_cancelLogOn);
    m_connection->CloseConnection();
    m_host = HostSnapshot(host, user, password);
    readSettings();
    m_connection->ConnectToHost();
    emit connectEnded(m_connection->isConnected());
}

// Read afresh for each scan and log-on: the window may have changed the file.
void ScanWorker::readSettings()
{
    m_settings = std::make_unique<IniFile>(m_settingsFile);
    m_setup = std::make_unique<ScanSetup>(*m_settings);
    m_setup->applyTo(*m_connection, *m_scanner);
}

void ScanWorker::closeConnection()
{
    if (m_connection)
        m_connection->CloseConnection();
}

void ScanWorker::showView()
{
    m_position = -1;
    m_folder.clear(); // the panel starts without one
    m_lastProgress.start();
    emit walkStarted();
}

void ScanWorker::hideView()
{
    sendProgress(true);
}

void ScanWorker::setProgress(qint64 position)
{
    m_position = position;
    m_progressDue = true;
    sendProgress(false);
}

void ScanWorker::setCounts(int directories, qint64 records)
{
    m_directories = directories;
    m_records = records;
    m_progressDue = true;
    sendProgress(false);
}

// Sent at once, not with the counts: the listing that follows may be the
// one that stalls, and the window tells which folder it waits for. One
// queued call per folder costs little beside the folder's round trip.
void ScanWorker::setCurrentFolder(const QString &path)
{
    if (path == m_folder)
        return;
    m_folder = path;
    emit currentFolder(m_folder);
}

// A fast scan lists hundreds of folders a second: the window needs a few
// updates a second, not one per folder.
void ScanWorker::sendProgress(bool force)
{
    if (!m_progressDue || (!force && m_lastProgress.isValid() && m_lastProgress.elapsed() < ProgressEveryMs))
        return;
    m_progressDue = false;
    m_lastProgress.restart();
    if (m_position >= 0)
        emit progress(m_position);
    emit counts(m_directories, m_records);
}
