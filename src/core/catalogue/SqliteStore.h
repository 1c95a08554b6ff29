#pragma once
#include "WalBound.h"
#include "CatalogueStore.h"
#include "ChangeLines.h"
#include "ExactNames.h"

struct sqlite3_stmt;

// The catalogue in one SQLite file inside the folder "DB". A scan's rows go
// through SQLite's own API on QtSql's connection, without a QVariant per value:
// the insert is the hot path of a scan.
class SqliteStore final : public CatalogueStore
{
public:
    using CatalogueStore::CatalogueStore;
    ~SqliteStore() override;

    static QString fileIn(const QString &folder);

    void open(const QString &folder, const NameIndex::Progress &progress) override;
    sqlite3 *handle() const override { return m_handle; }
    bool isShared() const override { return false; }
    qint32 insertRow(const NewRow &row) override;
    void updateRow(qint32 id, qint64 size, double lac) override;
    void insertCopies(const QList<CopiedRow> &rows) override;
    // Kept back, to go out before the commit of its row.
    void addChange(const QString &host, const QByteArray &hostUtf8, const QByteArray &change, qint32 id) override;
    void writeKeptChanges() override { m_changeLines.write(); }
    void beforeCommit() override;
    void discard() override { m_changeLines.clear(); }
    // The file takes one writer at a time.
    bool lockHost(const QString &) override { return true; }
    void unlockHost(const QString &) override {}
    qint64 recordCount() override;

private:
    static constexpr int MaxIdDraws = 1000;
    void prepareStatements();
    void step(sqlite3_stmt *statement);
    bool idCollision(int rc) const;

    sqlite3 *m_handle = nullptr;
    sqlite3_stmt *m_insert = nullptr;
    sqlite3_stmt *m_update = nullptr;
    ExactNames m_exact;
    WalBound m_walBound;
    ChangeLines m_changeLines;
    QString m_countStamp; // what recordCount() last counted at
    qint64 m_count = 0;
};
