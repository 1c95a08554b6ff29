#pragma once
#include <QString>
#include <QStringList>
#include <functional>

class Catalogue;
class IniFile;

// File > "Rescan Due Hosts": the hosts of the catalogue whose last complete
// scan is older than [SCAN] "Rescan After" days (7 unless set), or that
// never completed one, or whose scan was cut short, scanned one after
// another. Log-ons come from ~/.netrc, else anonymous. The scan window runs
// each; its end, unless cancelled, starts the next.
class DueRescans
{
public:
    static constexpr int DefaultRescanAfterDays = 7;
    using Scan = std::function<void(const QString &host, const QString &user, const QString &password)>;

    explicit DueRescans(Scan scan) : m_scan(std::move(scan)) {}

    // Reads the due hosts and scans the first; false, with the reason told
    // through the GUI seam, when there is none or the catalogue failed.
    bool start(Catalogue &catalogue, const IniFile &settings);
    // After a scan: the next one, unless the user cancelled. False when none is left.
    bool next(bool cancelled);
    bool isRunning() const { return !m_left.isEmpty() || m_running; }
    const QStringList &left() const { return m_left; }

private:
    void scanFirstLeft();

    Scan m_scan;
    QStringList m_left;
    bool m_running = false;
};
