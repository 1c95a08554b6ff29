#pragma once
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QWidget>

class ActivityLog;
class ElapsedCounter;
class TCoolBtn;
class QTimer;

// The panel that covers the browser while a scan runs: shown as soon as the
// scan is asked for, before the log-on, so that a slow log-on can be
// cancelled. The scan's start and end steps log its lines and run the scan
// counter. Hiding it during a scan, in any way, is Cancel.
class TScanForm : public QWidget
{
    Q_OBJECT
public:
    TScanForm(ActivityLog &log, ElapsedCounter &timeScan, QWidget *parent = nullptr);

    QProgressBar *pb;
    QLabel *Label5, *Label1, *laHost, *Label2, *laUser, *Label3, *laDir, *Label4, *laRec;
    // Below the box: what this scan has stored, how fast, and where it is.
    QLabel *laStored, *laRate, *laFolder;
    TCoolBtn *btnCancel;
    // Shown only while offerResume() waits for an answer.
    TCoolBtn *btnResume, *btnStartOver;

    // The panel for a scan of host by user, over the browser.
    void beginScan(const QString &host, const QString &user);
    // Before a scan of a host whose last scan was cut short with folders
    // left: the panel asks whether to carry on from them or list the whole
    // tree again, and says so with resumeChosen(); Cancel asks nothing more.
    void offerResume(const QString &host, const QString &user, qint64 folders);
    // The log-on is done and the walk starts: the start line and the counter.
    void walkStarted() { FormShow(); }
    // The scan has ended, however: the end line, and the panel goes.
    void endScan();
    bool isScanning() const { return m_scanning; }
    void setProgress(qint64 position);
    qint64 progressPosition() const { return m_position; }
    void setCounts(int directories, qint64 records);
    void setVisible(bool visible) override;
    void setCurrentFolder(const QString &path);
    // Shows the latest counts; runs at most every RefreshMs while scanning.
    void refreshProgress();
    static constexpr int RefreshMs = 100;
    // Nothing heard for this long: the folder line says what the scan waits for.
    static constexpr int StallMs = 2000;

signals:
    void cancelRequested();
    void resumeChosen(bool resume);

public slots:
    void btnCancelClick() { hide(); }

protected:
    void resizeEvent(QResizeEvent *) override;

private:
    void FormShow();
    void FormHide();
    QLabel *label(const QString &text, int x, int y);
    void placeProgressLabels();
    QString folderLine() const;
    void choose(bool resume);
    TCoolBtn *button(const QString &text, int x);

    ActivityLog &m_log;
    ElapsedCounter &m_timeScan;
    QString m_host;
    bool m_scanning = false;
    bool m_ending = false;
    bool m_stepsShown = false;
    qint64 m_position = 50;
    int m_directories = 0;
    qint64 m_records = 0;
    qint64 m_recordsAtStart = -1; // the first count of this scan
    QString m_folder;
    QElapsedTimer m_sinceStart;
    QElapsedTimer m_sinceNews; // since the counts or the folder last moved
    QTimer *m_refresh;
};
