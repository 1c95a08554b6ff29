#include "CatalogueOpener.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueAddress.h"
#include "core/catalogue/NameIndexBuild.h"
#include "widgets/UiSeam.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QScopeGuard>

void CatalogueOpener::open(Catalogue &catalogue, const QString &where)
{
    if (buildNameIndex(where))
        catalogue.open(where);
    else
        catalogue.open(where, [](qint64, qint64) { return false; }); // a later start goes on with it
}

namespace {
// Shown at once, and kept up until the build ends, whatever its value.
void setUpIndexProgress(QProgressDialog &dialog)
{
    dialog.setWindowTitle(QStringLiteral("Harvex"));
    dialog.setMinimumDuration(0);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
}
} // namespace

// False when the index is not complete.
bool CatalogueOpener::buildNameIndex(const QString &folder)
{
    // A shared database keeps its trigram index itself.
    if (CatalogueAddress::isUrl(folder) || !NameIndexBuild::needed(Catalogue::fileIn(folder)))
        return true;
    NameIndexBuild build(Catalogue::fileIn(folder));
    QProgressDialog dialog(QStringLiteral("Indexing names for fast finds..."), QStringLiteral("Cancel"), 0, 1000);
    setUpIndexProgress(dialog);
    m_indexProgress = &dialog;
    auto forget = qScopeGuard([this] { m_indexProgress = nullptr; });
    bool complete = false;
    QString error;
    QEventLoop loop;
    connect(&build, &NameIndexBuild::progress, &dialog, [&](qint64 done, qint64 total) {
        dialog.setMaximum(total > 0 ? 1000 : 0); // none: busy while the other indexes are made
        dialog.setValue(total > 0 ? int(1000 * done / total) : 0);
        emit nameIndexProgress(done, total);
    });
    connect(&dialog, &QProgressDialog::canceled, &build, &NameIndexBuild::cancel);
    connect(&build, &NameIndexBuild::finished, &loop, [&](bool done, const QString &why) {
        complete = done;
        error = why;
        loop.quit();
    });
    build.start();
    dialog.show();
    loop.exec();
    if (!error.isEmpty())
        UiSeam::message(error);
    return complete;
}
