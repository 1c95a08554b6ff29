#include "core/catalogue/NameFold.h"

#include <QtTest>

class tst_NameFold : public QObject
{
    Q_OBJECT
private slots:
    void fold_data();
    void fold();
    void utf8FoldsAsText_data() { fold_data(); }
    void utf8FoldsAsText();
    void bytesThatAreNotUtf8();
    void matchesAll_data();
    void matchesAll();
};

void tst_NameFold::fold_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("folded");
    QTest::newRow("ASCII") << "Report_2024 %.TXT" << "report_2024 %.txt";
    QTest::newRow("Cyrillic") << "ДОКУМЕНТЫ Документы Ёж" << "документы документы ёж";
    QTest::newRow("Greek, final sigma as sigma") << "ΣΊΣΥΦΟΣ σίσυφος" << "σίσυφοσ σίσυφοσ";
    QTest::newRow("Greek, iota subscript") << "ᾼ ᾳ" << "αι αι";
    QTest::newRow("sharp s") << "Straße STRAẞE" << "strasse strasse";
    QTest::newRow("ligatures") << "ﬁle ﬀ ﬆ" << "file ff st";
    QTest::newRow("dotted capital I") << "İ" << QStringLiteral("i\u0307");
    QTest::newRow("Kelvin sign") << "\u212A" << "k";
    QTest::newRow("outside 16 bits") << QString::fromUcs4(U"\U00010400\U0001F600", 2)
                                     << QString::fromUcs4(U"\U00010428\U0001F600", 2);
    QTest::newRow("empty") << "" << "";
}

void tst_NameFold::fold()
{
    QFETCH(QString, text);
    QFETCH(QString, folded);
    QCOMPARE(NameFold::fold(text), folded);
    QCOMPARE(NameFold::fold(folded), folded);
}

// The SQL function's fold, on UTF-8 into a reused buffer, is the same fold.
void tst_NameFold::utf8FoldsAsText()
{
    QFETCH(QString, text);
    QFETCH(QString, folded);
    QByteArray out("left over from a longer name");
    NameFold::foldUtf8(text.toUtf8(), out);
    QCOMPARE(QString::fromUtf8(out), folded);
}

void tst_NameFold::bytesThatAreNotUtf8()
{
    for (const QByteArray &bytes : {QByteArray("ABC\xC4\xE4"), QByteArray("\xC3"), QByteArray("\xED\xA0\x80X"),
                                    QByteArray("\xC0\xAF"), QByteArray("\xF4\x90\x80\x80")}) {
        QByteArray out;
        NameFold::foldUtf8(bytes, out);
        QCOMPARE(out, NameFold::fold(QString::fromUtf8(bytes)).toUtf8());
    }
}

void tst_NameFold::matchesAll_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("all");
    QTest::newRow("empty") << "" << true;
    QTest::newRow("percent") << "%" << true;
    QTest::newRow("percents") << "%%%" << true;
    QTest::newRow("one character") << "_" << false;
    QTest::newRow("text") << "%a%" << false;
}

void tst_NameFold::matchesAll()
{
    QFETCH(QString, pattern);
    QFETCH(bool, all);
    QCOMPARE(NameFold::matchesAll(pattern), all);
}

QTEST_GUILESS_MAIN(tst_NameFold)
#include "tst_namefold.moc"
