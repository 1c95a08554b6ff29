#pragma once
#include "CatalogueStore.h"
#include "IdDraw.h"
#include "PgBatch.h"

// The catalogue in a shared PostgreSQL database that several writers fill at
// once. Rows gather in a batch that goes out inside the open transaction
// every SendEvery rows, before a query of the table, and at the commit.
class PgStore final : public CatalogueStore
{
public:
    // Rows gathered before they go out in the open transaction.
    static constexpr int SendEvery = 5000;

    using CatalogueStore::CatalogueStore;

    // url: a PostgreSQL address (CatalogueAddress); the schema is made on first use.
    void open(const QString &url, const NameIndex::Progress &progress) override;
    bool isShared() const override { return true; }
    qint32 insertRow(const NewRow &row) override;
    void updateRow(qint32 id, qint64 size, double lac) override { m_batch.addUpdate(id, size, lac); }
    void insertCopies(const QList<CopiedRow> &rows) override;
    // Sent with the rows' batch.
    void addChange(const QString &host, const QByteArray &hostUtf8, const QByteArray &change, qint32 id) override;
    bool gathersRows() const override { return true; }
    QHash<qint32, qint32> send() override;
    void discard() override;
    QString failure(const QString &why) override;
    // host: cut to the stored length. Claims it for this writer's scan, so that two scans of one host never
    // store an entry twice; false when another writer is scanning it.
    bool lockHost(const QString &host) override;
    void unlockHost(const QString &host) override;
    // Other writers change a shared table at any time: counted each time.
    qint64 recordCount() override;

private:
    PgBatch m_batch{QSqlDatabase()};
    IdDraw m_ids;
};
