#include "core/catalogue/LikeMatch.h"

#include <QtTest>

class tst_LikeMatch : public QObject
{
    Q_OBJECT
private slots:
    void matches_data();
    void matches();
};

void tst_LikeMatch::matches_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("match");
    QTest::newRow("exact") << "report" << "report" << true;
    QTest::newRow("exact is whole") << "report" << "reports" << false;
    QTest::newRow("no case folding of its own") << "report" << "Report" << false;
    QTest::newRow("prefix") << "rep%" << "report" << true;
    QTest::newRow("suffix") << "%ort" << "report" << true;
    QTest::newRow("inside") << "%po%" << "report" << true;
    QTest::newRow("percent matches nothing too") << "re%port" << "report" << true;
    QTest::newRow("only percent, empty text") << "%" << "" << true;
    QTest::newRow("empty pattern, empty text") << "" << "" << true;
    QTest::newRow("empty pattern") << "" << "a" << false;
    QTest::newRow("one character") << "r_port" << "report" << true;
    QTest::newRow("one character, not none") << "rep_ort" << "report" << false;
    QTest::newRow("one character of two bytes") << "д_кумент" << "документ" << true;
    QTest::newRow("one character of four bytes") << "a_b" << QString::fromUcs4(U"a\U0001F600b", 3) << true;
    QTest::newRow("after percent, whole characters") << "%_ж" << "ёж" << true;
    QTest::newRow("two characters at the end") << "%__" << "ж" << false;
    QTest::newRow("backtracking") << "%aab%" << "aaaab" << true;
    QTest::newRow("backtracking, several percents") << "%a%b%c" << "xaxbxbxc" << true;
    QTest::newRow("backtracking fails") << "%a%b%c" << "xaxcxb" << false;
    QTest::newRow("backslash is plain") << "a\\%" << "a\\b" << true;
    QTest::newRow("trailing percents") << "ab%%%" << "ab" << true;
}

void tst_LikeMatch::matches()
{
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QFETCH(bool, match);
    QCOMPARE(LikeMatch::matches(pattern.toUtf8(), text.toUtf8()), match);
}

QTEST_GUILESS_MAIN(tst_LikeMatch)
#include "tst_likematch.moc"
