#include "core/base/IniFile.h"
#include "core/catalogue/SavedSearches.h"

#include <QTemporaryDir>
#include <QtTest>

// The searches both programs keep in the settings file.
class tst_SavedSearches : public QObject
{
    Q_OBJECT
private slots:
    void recentOnTopOnceAndBounded();
    void namedSearchesSurviveTheFile();
    void namesTheFileCannotKeep_data();
    void namesTheFileCannotKeep();

private:
    static SearchRequest request(const QString &pattern);
    QTemporaryDir m_dir;
};

SearchRequest tst_SavedSearches::request(const QString &pattern)
{
    SearchRequest r;
    r.pattern = pattern;
    return r;
}

void tst_SavedSearches::recentOnTopOnceAndBounded()
{
    IniFile ini(m_dir.filePath("recent.ini"));
    SavedSearches s(ini);
    for (int i = 0; i < SavedSearches::MaxRecent + 5; ++i)
        s.remember(request(QString::number(i)));
    QList<SearchRequest> list = s.recent();
    QCOMPARE(list.size(), SavedSearches::MaxRecent);
    QCOMPARE(list.first().pattern, QString("24"));
    QCOMPARE(list.last().pattern, QString("5"));
    s.remember(request("10"));
    list = s.recent();
    QCOMPARE(list.size(), SavedSearches::MaxRecent);
    QCOMPARE(list.first().pattern, QString("10"));
    QCOMPARE(std::count(list.cbegin(), list.cend(), request("10")), 1);
    QVERIFY(ini.save());
    IniFile again(ini.path());
    QCOMPARE(SavedSearches(again).recent(), list);
    QVERIFY(!again.hasKey("FIND HISTORY", QString::number(SavedSearches::MaxRecent + 1)));
}

void tst_SavedSearches::namedSearchesSurviveTheFile()
{
    IniFile ini(m_dir.filePath("saved.ini"));
    SavedSearches s(ini);
    SearchRequest isos = request("%linux%");
    isos.types = "iso";
    isos.minSize = "700M";
    QVERIFY(s.save("big isos", isos));
    QVERIFY(s.save("all", request("%")));
    QVERIFY(s.save("big isos", request("%debian%")));
    QVERIFY(ini.save());
    IniFile again(ini.path());
    SavedSearches read(again);
    QCOMPARE(read.names(), QStringList({"big isos", "all"}));
    QCOMPARE(read.saved("big isos")->pattern, QString("%debian%"));
    QCOMPARE(read.saved("none"), std::nullopt);
    read.remove("all");
    QCOMPARE(read.names(), QStringList({"big isos"}));
}

void tst_SavedSearches::namesTheFileCannotKeep_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("kept");
    QTest::newRow("plain") << "isos 2024" << true;
    QTest::newRow("other script") << QString::fromUtf8("отчеты") << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("spaces around") << " x " << false;
    QTest::newRow("equals") << "a=b" << false;
    QTest::newRow("section") << "[x]" << false;
    QTest::newRow("line end") << "a\nb" << false;
}

void tst_SavedSearches::namesTheFileCannotKeep()
{
    QFETCH(QString, name);
    QFETCH(bool, kept);
    IniFile ini(m_dir.filePath("names.ini"));
    SavedSearches s(ini);
    QCOMPARE(s.save(name, request("%")), kept);
    QCOMPARE(s.saved(name).has_value(), kept);
}

QTEST_GUILESS_MAIN(tst_SavedSearches)
#include "tst_savedsearches.moc"
