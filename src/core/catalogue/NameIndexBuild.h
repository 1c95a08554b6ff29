#pragma once
#include <QObject>
#include <QString>
#include <atomic>

class QThread;

// The trigram index's build for a catalogue from before it (or from before
// its names were folded: NameIndex, CatalogueUpgrade), on a thread and
// a connection of its own, so that a window stays live while it runs (tens
// of seconds on ten million rows). Progress and the end arrive as signals
// on the thread that made the object. Cancel stops it after the batch in
// hand; what was indexed stays, and a later build goes on from there.
class NameIndexBuild : public QObject
{
    Q_OBJECT
public:
    // Rows a transaction: how long Cancel may take, about a fifth of a second.
    static constexpr qint64 Batch = 50000;

    explicit NameIndexBuild(const QString &file, QObject *parent = nullptr);
    // Cancels a build still running and waits for its batch to end.
    ~NameIndexBuild() override;

    // True when the catalogue file holds rows the index does not, and can
    // be written. Throws CatalogueError.
    static bool needed(const QString &file);
    void start();
    void cancel() { m_cancel = true; }

signals:
    // Rows done of total; total 0 while the table's other indexes are made.
    void progress(qint64 done, qint64 total);
    // complete: every row indexed; error: why the build failed, else empty.
    void finished(bool complete, const QString &error);

private:
    void prepareSchema();
    void work();

    QString m_file;
    std::atomic_bool m_cancel{false};
    QThread *m_thread = nullptr;
};
