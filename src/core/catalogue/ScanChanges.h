#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <optional>

class Catalogue;

// What the scans of each host added, changed and removed, in table
// ScanChange: added and changed rows by ID (their paths are walked when
// asked for), removed ones by their path, since their rows are gone. The
// lines of a scan that runs have no run; its end gives them the number of
// its ScanRun row (closeRun), and the lines of runs older than the last few
// go then. A resumed scan takes over the lines of the part it carries on.
class ScanChanges
{
public:
    enum class Kind { Added, Changed, Removed };
    struct Change
    {
        Kind kind;
        qint32 id;
        QByteArray path; // removed rows only: listed bytes joined by "/"
        // Changed and removed rows: what the row held before the scan.
        // Null when unknown (added rows, catalogues of earlier versions).
        QVariant oldSize;
        double oldLac = 0;
    };

    explicit ScanChanges(Catalogue &catalogue);
    ScanChanges(const ScanChanges &) = delete;
    ScanChanges &operator=(const ScanChanges &) = delete;

    static QString kindText(Kind k);

    // Forgets the lines of a scan of the host that ended unrecorded.
    // Throws CatalogueError.
    void begin(const QString &host);
    // A resumed scan keeps what its earlier parts found. Throws CatalogueError.
    void carryOn(const QString &host);
    // The lines of the scan that ran become run's; those of runs before
    // the last keepRuns go. Throws CatalogueError.
    static void closeRun(const QSqlDatabase &db, const QString &host, qint64 run, int keepRuns);
    void added(qint32 id);
    // The row's size (none: NULL) and LAC before the scan changed them.
    void changed(qint32 id, std::optional<qint64> oldSize, double oldLac);
    // Removes the rows of ids and everything below them; folder is the path
    // of the folder that holds them ("" for the top level). Returns the rows removed.
    qint64 removeSubtrees(const QList<qint32> &ids, const QByteArray &folder);

    qint64 addedCount() const { return m_added; }
    qint64 changedCount() const { return m_changed; }
    qint64 removedCount() const { return m_removed; }

    // In the order they were met: those of the scan running, else of the
    // latest run that has lines. Throws CatalogueError.
    static QList<Change> last(Catalogue &catalogue, const QString &host);
    // Those of the host's run numbered run (ScanRun's Run).
    static QList<Change> ofRun(Catalogue &catalogue, const QString &host, qint64 run);

private:
    void restart(const QString &host);
    void log(Kind k, qint32 id);
    // run: none for the lines of the scan running.
    static QList<Change> read(Catalogue &catalogue, const QString &host, std::optional<qint64> run);
    // ScanChange gains OldSize and OldLAC at the first scan that writes
    // them, in new catalogues as in those made before: one schema for both.
    static bool hasOldValues(const QSqlDatabase &db);
    void addOldValueColumns();

    Catalogue &m_catalogue;
    // Prepared at the first changed row of a scan, run for each.
    std::optional<QSqlQuery> m_changedLine;
    QString m_host;
    QByteArray m_hostUtf8;
    qint64 m_added = 0;
    qint64 m_changed = 0;
    qint64 m_removed = 0;
};
