#include "core/catalogue/SearchRequest.h"

#include <QtTest>

// A find as typed, kept as one line and read back into terms.
class tst_SearchRequest : public QObject
{
    Q_OBJECT
private slots:
    void encodedAndReadBack_data();
    void encodedAndReadBack();
    void termsFromTheTexts();
    void wrongTextsSayWhich_data();
    void wrongTextsSayWhich();
};

void tst_SearchRequest::encodedAndReadBack_data()
{
    QTest::addColumn<SearchRequest>("request");
    QTest::newRow("default") << SearchRequest();
    SearchRequest every;
    every.pattern = "a&b=c%d e\nf";
    every.regex = true;
    every.types = "iso,img";
    every.minSize = "700M";
    every.maxSize = "5G";
    every.newer = "2024-01-01";
    every.older = "30d";
    every.host = "ftp.%";
    every.under = QString::fromUtf8("h/pub/Отчет #1?");
    every.kind = SearchTerms::Kind::Folders;
    QTest::newRow("every field, hostile texts") << every;
    SearchRequest empty;
    empty.pattern.clear();
    empty.kind = SearchTerms::Kind::Files;
    QTest::newRow("empty pattern, files") << empty;
}

void tst_SearchRequest::encodedAndReadBack()
{
    QFETCH(SearchRequest, request);
    const QString line = request.encode();
    QVERIFY(!line.contains(u'\n'));
    QVERIFY(!line.contains(u';') && !line.contains(u'['));
    QVERIFY(SearchRequest::decode(line) == request);
}

void tst_SearchRequest::termsFromTheTexts()
{
    SearchRequest r;
    r.pattern = "%x%";
    r.types = "iso,img";
    r.minSize = "1K";
    r.older = "2d";
    r.host = " h ";
    r.kind = SearchTerms::Kind::Files;
    const QDateTime now(QDate(2025, 6, 10), QTime(12, 0), Qt::UTC);
    SearchTerms t;
    QCOMPARE(r.terms(t, now), QString());
    QCOMPARE(t.pattern, QString("%x%"));
    QCOMPARE(t.types, QStringList({"iso", "img"}));
    QCOMPARE(t.minSize, std::optional<qint64>(1024));
    QCOMPARE(t.maxSize, std::nullopt);
    QCOMPARE(t.older, now.addDays(-2));
    QVERIFY(!t.newer.isValid());
    QCOMPARE(t.host, QString("h"));
    QCOMPARE(t.kind, SearchTerms::Kind::Files);
    r.types = "ALL";
    QCOMPARE(r.terms(t, now), QString());
    QVERIFY(t.types.isEmpty());
}

void tst_SearchRequest::wrongTextsSayWhich_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("said");
    QTest::newRow("size") << "min" << "lots" << "\"lots\" is no size";
    QTest::newRow("time") << "newer" << "yesterday" << "\"yesterday\" is no time";
    QTest::newRow("bounds crossed") << "max" << "1K" << "smallest size is larger";
    QTest::newRow("regex") << "regex" << "(" << "regular expression is not valid";
}

void tst_SearchRequest::wrongTextsSayWhich()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, said);
    SearchRequest r;
    r.minSize = field == "max" ? "2K" : QString();
    if (field == "min")
        r.minSize = text;
    else if (field == "max")
        r.maxSize = text;
    else if (field == "newer")
        r.newer = text;
    else {
        r.regex = true;
        r.pattern = text;
    }
    SearchTerms t;
    t.pattern = "kept";
    const QString why = r.terms(t);
    QVERIFY2(why.contains(said), qPrintable(why));
    QCOMPARE(t.pattern, QString("kept"));
}

QTEST_GUILESS_MAIN(tst_SearchRequest)
#include "tst_searchrequest.moc"
