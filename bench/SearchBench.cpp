#include "SearchBench.h"
#include "BrowserCatalogue.h"
#include "app/HarvexApplication.h"
#include "browse/SearchTermsPanel.h"
#include "browse/TSeekForm.h"
#include "browse/TTabForm.h"
#include "core/catalogue/LacTime.h"
#include "core/catalogue/PathSearch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <cstdio>

namespace {
// About what a grid shows at once.
constexpr int ScreenRows = 50;

struct Search
{
    const char *what;
    SearchRequest request;
};

// A piece of a stored name of the host of random names: what people type.
QString storedPiece(HarvexApplication &app, int length)
{
    QSqlQuery q(app.catalogue().database());
    q.prepare(QStringLiteral("SELECT Name FROM DB WHERE Host = ? AND Attr <> 16 AND length(Name) >= 10 LIMIT 1 OFFSET 4321"));
    q.addBindValue(QString::fromLatin1(BrowserCatalogue::BigHost));
    q.exec();
    return q.next() ? q.value(0).toString().mid(2, length) : QStringLiteral("abc");
}

// A tenth of the host's listed times, from its middle.
std::pair<QString, QString> middleTimes(HarvexApplication &app, const QString &host)
{
    QSqlQuery q(app.catalogue().database());
    q.prepare(QStringLiteral("SELECT MIN(LAC), MAX(LAC) FROM DB WHERE Host = ?"));
    q.addBindValue(host);
    q.exec();
    q.next();
    const QDateTime first = LacTime::toDateTime(q.value(0).toDouble());
    const qint64 span = first.secsTo(LacTime::toDateTime(q.value(1).toDouble()));
    const auto text = [](const QDateTime &t) { return t.toUTC().toString(Qt::ISODate); };
    return {text(first.addSecs(span * 45 / 100)), text(first.addSecs(span * 55 / 100))};
}

QList<Search> searches(HarvexApplication &app)
{
    Search sized{"pattern + size + type", {}};
    sized.request.pattern = u'%' + storedPiece(app, 4) + u'%';
    sized.request.types = QStringLiteral(",iso,img"); // the random names have no type
    sized.request.minSize = QStringLiteral("1M");
    sized.request.maxSize = QStringLiteral("5G");
    Search dated{"date bounds + host", {}};
    dated.request.host = QString::fromLatin1(BrowserCatalogue::MillionHost);
    std::tie(dated.request.newer, dated.request.older) = middleTimes(app, dated.request.host);
    // dir0 of the host of 100,000 folders holds 10,000 folders and 80,000 files.
    Search under{"under a folder of 90,000 entries + pattern", {}};
    under.request.under = QString::fromLatin1(BrowserCatalogue::HundredHost) + QStringLiteral("/dir0");
    under.request.pattern = QStringLiteral("%file12%");
    // Anchored and rare: the expression meets nearly every name before a screen is full.
    Search regex{"regex on names", {}};
    regex.request.pattern = u'^' + storedPiece(app, 5);
    regex.request.regex = true;
    return {sized, dated, under, regex};
}

double coreFirstScreen(HarvexApplication &app, const Search &s)
{
    SearchTerms terms;
    s.request.terms(terms);
    PathSearch search(app.catalogue().database());
    QElapsedTimer t;
    t.start();
    const qint64 rows = search.find(terms, s.request.under, ScreenRows, [](const PathSearch::Hit &) { return true; });
    const double seconds = t.nsecsElapsed() / 1e9;
    std::printf("find, %s, first %d rows with paths: %.3f s (%lld rows)\n", s.what, ScreenRows, seconds,
                static_cast<long long>(rows));
    std::fflush(stdout);
    return seconds;
}

// As the dialog runs it: the grid's first page, its paths painted, and the count.
double dialogFirstScreen(HarvexApplication &app, const Search &s)
{
    TSeekForm *seek = app.SeekForm;
    seek->showMore(true);
    seek->edName->setText(s.request.pattern);
    seek->cbType->setCurrentIndex(0);
    seek->More->show(s.request);
    QElapsedTimer t;
    t.start();
    seek->btnOkClick();
    for (int r = 0; r < ScreenRows && r < seek->Query->rowCount(); ++r)
        seek->Query->index(r, seek->Query->pathColumn()).data();
    QCoreApplication::processEvents();
    const double seconds = t.nsecsElapsed() / 1e9;
    std::printf("find dialog, %s, first screen and count: %.3f s (%lld rows)\n", s.what, seconds,
                seek->Query->recordCount());
    std::fflush(stdout);
    return seconds;
}
} // namespace

SearchBench::Figures SearchBench::run(HarvexApplication &app)
{
    const QList<Search> all = searches(app);
    Figures f;
    double *core[] = {&f.patternSizeType, &f.datesHost, &f.underPattern, &f.regex};
    double *dialog[] = {&f.patternSizeTypeDialog, &f.datesHostDialog, &f.underPatternDialog, &f.regexDialog};
    for (int i = 0; i < all.size(); ++i) {
        *core[i] = coreFirstScreen(app, all[i]);
        *dialog[i] = dialogFirstScreen(app, all[i]);
    }
    app.SeekForm->showMore(false);
    return f;
}
