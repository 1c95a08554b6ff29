// Opens every window of the program, one after the other, on a sample
// catalogue and saves a picture of the screen for each into the folder given
// as the first argument. Run under a display (scripts/screenshots.sh starts
// Xvfb), so the pictures show the windows as placed on the screen.
#include "core/base/AppPaths.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/ScanRuns.h"
#include "app/HarvexApplication.h"
#include "app/TMainForm.h"
#include "app/TOptionsForm.h"
#include "browse/HostListBox.h"
#include "browse/TChangesForm.h"
#include "core/catalogue/ScanChanges.h"
#include "ftp/GuiTrustPrompt.h"
#include "browse/TQueryForm.h"
#include "browse/TSeekForm.h"
#include "browse/TStatsForm.h"
#include "browse/TTabForm.h"
#include "ftp/TScanForm.h"
#include "ftp/TSelHost.h"
#include "widgets/TAbout.h"
#include "widgets/UiSeam.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QEventLoop>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>

namespace {
QString g_out;

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void shoot(const QString &name)
{
    wait(400);
    const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
    const QString file = QDir(g_out).filePath(name + QStringLiteral(".png"));
    screen.save(file);
    std::printf("%s\n", qPrintable(file));
}

qint32 store(Catalogue &cat, const QString &name, quint32 attr, qint32 pid, quint64 size, int day)
{
    FileEntry e;
    e.name = name;
    e.kind = FileEntry::kindOf(attr);
    e.size = size;
    // Noon of a day in 2026, as a FILETIME.
    const qint64 secs = QDateTime(QDate(2026, 1, 1).addDays(day), QTime(12, 0), Qt::UTC).toSecsSinceEpoch();
    e.time = quint64(secs + 11644473600LL) * 10000000ull;
    return cat.StoreEntry(e, pid, QStringLiteral("ftp.example.org"));
}

// A few hundred entries in folders of several sizes and types.
void fillSample(Catalogue &cat)
{
    const char *tops[] = {"pub", "mirror", "incoming", "Docs", "video", "archive"};
    const char *exts[] = {"iso", "tar.gz", "pdf", "txt", "mp4", "jpg", "zip", "deb", "html", "c", "h", "png",
                          "mkv", "doc", "xls", "csv", "log", "json"};
    int n = 0;
    for (int t = 0; t < 6; ++t) {
        const qint32 top = store(cat, QString::fromLatin1(tops[t]), 16, 0, 0, t);
        for (int s = 0; s < 4 + t; ++s) {
            const qint32 sub = store(cat, QStringLiteral("release-%1.%2").arg(t).arg(s), 16, top, 0, s);
            for (int f = 0; f < 12; ++f, ++n) {
                const quint64 size = quint64((n * 7919) % 997 + 1) * (t == 4 ? 40000000ull : 300000ull);
                store(cat, QStringLiteral("file-%1.%2").arg(n).arg(QLatin1String(exts[n % 18])), 128, sub, size, n % 300);
            }
        }
    }
    store(cat, QStringLiteral("README"), 128, 0, 2048, 3);
    cat.flush();
}

void showMessage(const QString &text, const QString &name = QStringLiteral("message"),
                 QMessageBox::Icon icon = QMessageBox::Information)
{
    auto *box = new QMessageBox(icon, QStringLiteral("Harvex"), text, icon == QMessageBox::Question
                                    ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                                QApplication::activeWindow());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
    shoot(name);
    box->close();
}

// What a rescan of the sample would have logged: a file added, one grown,
// one gone.
void recordRescan(Catalogue &cat)
{
    QSqlQuery files(cat.database());
    files.exec(QStringLiteral("SELECT ID, Size, LAC FROM DB WHERE Attr <> 16 ORDER BY ID LIMIT 3"));
    QList<std::tuple<qint32, qint64, double>> rows;
    while (files.next())
        rows.append({files.value(0).toInt(), files.value(1).toLongLong(), files.value(2).toDouble()});
    files.finish();
    ScanChanges changes(cat);
    changes.begin(QStringLiteral("ftp.example.org"));
    changes.added(std::get<0>(rows[0]));
    changes.changed(std::get<0>(rows[1]), std::get<1>(rows[1]) / 2, std::get<2>(rows[1]));
    changes.removeSubtrees({std::get<0>(rows[2])}, QByteArray("pub"));
    cat.flush();
}

// The windows this program added to the browser: the host list, the
// changes of the last scan, the options and the prompt for a changed certificate.
void shootDailyUse(HarvexApplication &app)
{
    TTabForm *tab = app.TabForm;
    tab->hostList->refresh();
    tab->hostList->showPopup();
    shoot(QStringLiteral("host-list"));
    tab->hostList->hidePopup();
    recordRescan(app.catalogue());
    app.MainForm->showChanges(QStringLiteral("ftp.example.org"));
    shoot(QStringLiteral("changes"));
    app.MainForm->changesForm()->hide();
    app.Options->show();
    shoot(QStringLiteral("options"));
    if (auto *pages = app.Options->findChild<QTabWidget *>()) {
        pages->setCurrentIndex(1);
        shoot(QStringLiteral("options-host"));
    }
    app.Options->hide();
    showMessage(GuiTrustPrompt::question(QStringLiteral("ftp.example.org"),
                                         QStringLiteral("3F:0A:9C:5E:11:D2:84:7B:C6:20:E9:45:AA:13:F8:6D:"
                                                        "02:B7:59:C1:7E:34:98:DF:60:2A:E5:0C:B3:71:4F:8E"),
                                         QStringLiteral("self-signed certificate"),
                                         QStringLiteral("A1:B2:C3:D4:E5:F6:07:18:29:3A:4B:5C:6D:7E:8F:90:"
                                                        "01:12:23:34:45:56:67:78:89:9A:AB:BC:CD:DE:EF:F0")),
                QStringLiteral("certificate-changed"), QMessageBox::Question);
}
} // namespace

int main(int argc, char **argv)
{
    QApplication qapp(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: harvex_screenshots OUTPUT_DIR\n");
        return 1;
    }
    g_out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_out);
    QTemporaryDir data;
    AppPaths::setProgramDir(data.path());
    QFile ini(AppPaths::settingsFile());
    ini.open(QIODevice::WriteOnly);
    ini.write("[HOSTS]\nHost Count=1\n1=ftp.example.org\n[FORM]\nLeft=150\nTop=100\nWidth=760\nHeight=520\n");
    ini.close();
    HarvexApplication app;
    if (!app.startUp())
        return 1;
    TTabForm *tab = app.TabForm;
    shoot(QStringLiteral("first-start")); // the empty catalogue's hint
    fillSample(app.catalogue());
    tab->BuildFolderTree();
    tab->showFolder(TTabForm::nodeId(tab->TV->model()->index(1, 0)));
    ScanRuns(app.catalogue().database()).record(QStringLiteral("ftp.example.org"), QDateTime::currentDateTime(), QDateTime::currentDateTime());
    shoot(QStringLiteral("main"));
    tab->btnAllClick();
    tab->gridHeaderClicked(tab->DS()->record().indexOf(QStringLiteral("Size")));
    tab->gridHeaderClicked(tab->DS()->record().indexOf(QStringLiteral("Size")));
    shoot(QStringLiteral("main-sorted"));
    for (auto [window, name] : {std::pair<QWidget *, const char *>{app.SelHost, "host"}, {app.SeekForm, "find"},
                                {app.QueryForm, "query"}, {app.About, "about"}}) {
        window->show();
        shoot(QString::fromLatin1(name));
        window->hide();
    }
    app.SelHost->edPsw->setText(QStringLiteral("secret"));
    app.SelHost->show();
    app.SelHost->cbShowPsw->setChecked(true);
    shoot(QStringLiteral("host-password-shown"));
    app.SelHost->cbShowPsw->setChecked(false);
    app.SelHost->hide();
    app.ScanForm->show();
    app.ScanForm->raise();
    app.ScanForm->setCounts(37, 1204);
    app.ScanForm->setCurrentFolder(QStringLiteral("/pub/release-0.2/some/rather/long/folder/name/to/see/it/elided"));
    wait(1200);
    app.ScanForm->refreshProgress();
    shoot(QStringLiteral("scan"));
    app.ScanForm->hide();
    showMessage(QStringLiteral("No program on this computer opens ftp:// addresses.\n\nftp://ftp.example.org/pub/"
                               "release-0.1/file-13.c\n\nThe address has been copied to the clipboard."));
    tab->showStatistics();
    shoot(QStringLiteral("statistics"));
    tab->statsForm()->enterFolder(TTabForm::nodeId(tab->TV->model()->index(5, 0)));
    shoot(QStringLiteral("statistics-folder"));
    tab->statsForm()->close();
    shootDailyUse(app);
    app.shutDown();
    return 0;
}
