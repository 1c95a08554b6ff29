#pragma once
#include "HostScanner.h"
#include "HostSnapshot.h"
#include "ScanView.h"
#include "core/base/UserMessages.h"

#include <QElapsedTimer>
#include <QObject>
#include <atomic>
#include <memory>

class Catalogue;
class ElapsedCounter;
class FtpConnection;
class IniFile;
class RelayedLog;
class ActivityLog;
class ScanSetup;
class TrustPrompt;

// Scans and log-ons on a thread of their own: the FTP connection, the scanner
// and the catalogue's writing connection are made on that thread and used
// only there. Everything the window shows leaves as a signal; connect them
// queued. Move the worker to its thread before the first call.
class ScanWorker : public QObject, public ScanView, public UserMessages
{
    Q_OBJECT
public:
    // Progress reaches the window at most this often (ms); the last values always do.
    static constexpr int ProgressEveryMs = 50;

    ScanWorker(const QString &catalogueDir, const QString &settingsFile);
    ~ScanWorker() override;

    // Any thread: ends the scan or the log-on under way within a fraction of
    // a second, keeping what was stored.
    void cancel();
    // Any thread, when a scan is asked for: forgets the last scan's Cancel.
    void prepareScan() { m_cancelScan.store(false); }
    void setRetryPause(int ms) { m_retryPauseMs = ms; }
    // Asked, from this worker's thread, about certificates nobody vouches for. Not owned.
    void setTrustPrompt(TrustPrompt *prompt) { m_prompt = prompt; }

    void showView() override;
    void hideView() override;
    void setProgress(qint64 position) override;
    void setCounts(int directories, qint64 records) override;
    void setCurrentFolder(const QString &path) override;
    void repaintView() override {}
    void pumpEvents() override {}
    void showMessage(const QString &text) override { emit message(text); }
    // Any thread, on logLinesWaiting() and before a scan's end is handled:
    // the scan's waiting log lines go to log.
    void deliverLog(ActivityLog &log);

public slots:
    // resume: a scan of host that was cut short carries on where it stopped.
    void scan(const QString &host, const QString &user, const QString &password, bool resume = true);
    void connectToHost(const QString &host, const QString &user, const QString &password);
    void closeConnection();

signals:
    void logLinesWaiting();
    void message(const QString &text);
    void walkStarted();
    void progress(qint64 position);
    void counts(int directories, qint64 records);
    void currentFolder(const QString &path);
    void scanEnded(const HostScanner::Stats &stats);
    void connectEnded(bool connected);
    void failed(const QString &why);

private:
    bool ensureParts();
    void readSettings();
    void sendProgress(bool force);

    QString m_catalogueDir;
    QString m_settingsFile;
    int m_retryPauseMs = 500;
    TrustPrompt *m_prompt = nullptr;
    std::atomic_bool m_cancelLogOn{false};
    std::atomic_bool m_cancelScan{false};
    HostSnapshot m_host;
    std::unique_ptr<RelayedLog> m_log; // made at once: deliverLog() may come from the window first
    std::unique_ptr<ElapsedCounter> m_timeConnect;
    std::unique_ptr<IniFile> m_settings;
    std::unique_ptr<ScanSetup> m_setup; // reads m_settings: declared after it, gone before it
    std::unique_ptr<Catalogue> m_catalogue;
    std::unique_ptr<FtpConnection> m_connection;
    std::unique_ptr<HostScanner> m_scanner;
    QElapsedTimer m_lastProgress;
    qint64 m_position = -1;
    int m_directories = 0;
    qint64 m_records = 0;
    QString m_folder;
    bool m_progressDue = false;
};

Q_DECLARE_METATYPE(HostScanner::Stats)
