#include "core/ftp/DosListing.h"
#include "core/ftp/MainframeListing.h"
#include "core/ftp/UnixListing.h"
#include "core/ftp/VmsListing.h"

#include <QDir>
#include <QFile>
#include <QtTest>
#include <functional>

// Every fixture line, its fields shifted, cut short and doubled, through
// every reader: whatever a reader makes of it, the name never holds a word
// of the line's date, time or size (a word with a digit that was not part
// of the listed name).
class tst_ListingMutations : public QObject
{
    Q_OBJECT
private slots:
    void noNameHoldsAnotherField();
};

namespace {
using Reader = std::function<std::optional<ListedEntry>(const QByteArray &)>;

QList<Reader> readers()
{
    const QDateTime now(QDate(2026, 12, 8), QTime(23, 0), Qt::UTC);
    QList<Reader> r;
    for (auto dated : {UnixListing::ls, UnixListing::numericMode, UnixListing::netware, DosListing::vshell})
        r << [dated, now](const QByteArray &l) { return dated(l, now); };
    for (auto plain : {DosListing::dos, DosListing::os2, DosListing::vxWorks, DosListing::os9, VmsListing::parse,
                       MainframeListing::mvsDataSet, MainframeListing::mvsMember, MainframeListing::zvm,
                       MainframeListing::os400, MainframeListing::nonStop})
        r << Reader(plain);
    return r;
}

QByteArrayList words(const QByteArray &text)
{
    return text.simplified().split(' ');
}

// The line's words joined back with two blanks, after one change.
QList<QByteArray> mutations(const QByteArray &line)
{
    const QByteArrayList w = words(line);
    QList<QByteArray> out;
    for (qsizetype i = 0; i < w.size(); ++i) {
        QByteArrayList cut = w, doubled = w, shifted = w;
        cut.removeAt(i);
        doubled.insert(i, w[i]);
        if (i + 1 < w.size())
            shifted.swapItemsAt(i, i + 1);
        out << cut.join("  ") << doubled.join("  ") << shifted.join("  ");
        // Cut to its first word a line is a bare PDS member name, which no
        // reader can tell from one.
        if (i > 0)
            out << w.mid(0, i + 1).join("  ");
    }
    return out;
}

// A link's target after " -> " is neither date, size nor time: a line cut
// before the arrow may rightly read it as part of the name.
QByteArrayList otherFieldWords(const QByteArray &line, const QByteArray &name)
{
    const QByteArrayList nameWords = words(name);
    const qsizetype arrow = line.indexOf(" -> ");
    QByteArrayList forbidden;
    for (const QByteArray &w : words(arrow < 0 ? line : line.left(arrow))) {
        const bool digit = std::any_of(w.begin(), w.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (digit && !nameWords.contains(w) && !name.contains(w))
            forbidden << w;
    }
    return forbidden;
}
} // namespace

void tst_ListingMutations::noNameHoldsAnotherField()
{
    const QDir dir(QStringLiteral(HARVEX_TEST_DATA "/listings"));
    const QList<Reader> all = readers();
    int checked = 0;
    QByteArrayList wrong;
    for (const QString &file : dir.entryList({"*.txt"})) {
        QFile t(dir.filePath(file)), x(dir.filePath(QString(file).replace(".txt", ".expected")));
        QVERIFY(t.open(QIODevice::ReadOnly) && x.open(QIODevice::ReadOnly));
        const QByteArrayList lines = t.readAll().split('\n'), expected = x.readAll().split('\n');
        for (qsizetype i = 0; i < lines.size() && i < expected.size(); ++i) {
            const QByteArray name = expected[i].split('|').first();
            if (!expected[i].contains('|'))
                continue;
            const QByteArrayList forbidden = otherFieldWords(lines[i], name);
            for (const QByteArray &m : mutations(lines[i])) {
                for (const Reader &read : all) {
                    const std::optional<ListedEntry> e = read(m);
                    if (!e)
                        continue;
                    ++checked;
                    for (const QByteArray &w : words(e->name)) {
                        if (forbidden.contains(w))
                            wrong << file.toUtf8() + ": " + m + " -> " + e->name;
                    }
                }
            }
        }
    }
    QVERIFY(checked > 0);
    // One per line: a failure message joined whole is cut short by the
    // test runner, and hid all but the first few.
    for (const QByteArray &w : wrong.mid(0, 40))
        qWarning("%s", w.constData());
    QVERIFY2(wrong.isEmpty(), qPrintable(QString::number(wrong.size()) + " mutated lines gave a wrong name"));
}

QTEST_GUILESS_MAIN(tst_ListingMutations)
#include "tst_listingmutations.moc"
