#include "CatalogueOpener.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueAddress.h"
#include "core/catalogue/NameIndexBuild.h"
#include "widgets/UiSeam.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QScopeGuard>
#include <memory>

void CatalogueOpener::open(Catalogue &catalogue, const QString &where)
{
    if (CatalogueAddress::isUrl(where)) {
        openShared(catalogue, where);
        return;
    }
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

// A shared database made before folds its names once, inside the open's
// transaction on this thread (PgSchema): the window tells how far it has
// got and has no Cancel, as that upgrade cannot stop half way. A database
// that is current never calls progress, and shows nothing.
void CatalogueOpener::openShared(Catalogue &catalogue, const QString &url)
{
    std::unique_ptr<QProgressDialog> dialog;
    auto forget = qScopeGuard([this] { m_indexProgress = nullptr; });
    catalogue.open(url, [&](qint64 done, qint64 total) {
        if (!dialog) {
            dialog = std::make_unique<QProgressDialog>(QStringLiteral("Folding names for finds..."), QString(), 0, 1000);
            dialog->setCancelButton(nullptr);
            setUpIndexProgress(*dialog);
            dialog->show();
            m_indexProgress = dialog.get();
        }
        dialog->setValue(total > 0 ? int(1000 * done / total) : 0);
        emit nameIndexProgress(done, total);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return true;
    });
}

// False when the index is not complete.
bool CatalogueOpener::buildNameIndex(const QString &folder)
{
    if (!NameIndexBuild::needed(Catalogue::fileIn(folder)))
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
