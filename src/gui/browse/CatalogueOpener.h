#pragma once
#include <QObject>
#include <QString>

class Catalogue;
class QProgressDialog;

// Opens the program's catalogue. A catalogue from before the name index
// gains it first, off the GUI thread, behind a progress window whose Cancel
// leaves the catalogue as it was: finds read the whole table until a later
// start completes the index. A shared database made before shows its
// upgrade's progress in the same window.
class CatalogueOpener : public QObject
{
    Q_OBJECT
public:
    // where: the catalogue folder or a PostgreSQL address. Throws CatalogueError.
    void open(Catalogue &catalogue, const QString &where);
    // The name index's progress window while it is shown, else null.
    QProgressDialog *indexProgress() const { return m_indexProgress; }

signals:
    // The name index's build: rows done of total.
    void nameIndexProgress(qint64 done, qint64 total);

private:
    void openShared(Catalogue &catalogue, const QString &url);
    bool buildNameIndex(const QString &folder);

    QProgressDialog *m_indexProgress = nullptr;
};
