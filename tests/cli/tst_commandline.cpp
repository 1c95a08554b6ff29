#include "CommandLine.h"

#include <QtTest>

class tst_CommandLine : public QObject
{
    Q_OBJECT
private slots:
    void arguments_data();
    void arguments();
};

void tst_CommandLine::arguments_data()
{
    QTest::addColumn<QStringList>("given");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("format");

    QTest::newRow("options anywhere") << QStringList{"--format", "csv", "find", "%", "--long"}
                                      << QStringList{"find", "%"} << "csv";
    // Stored IDs go below zero: "-5" is a record, not a short option.
    QTest::newRow("a negative ID") << QStringList{"path", "-5"} << QStringList{"path", "-5"} << "tsv";
    QTest::newRow("negatives come last") << QStringList{"-7", "sql", "x"} << QStringList{"sql", "x", "-7"} << "tsv";
}

void tst_CommandLine::arguments()
{
    QFETCH(QStringList, given);
    CommandLine line;
    QVERIFY(line.parse(QStringList{"harvex-cli"} + given));
    QTEST(line.arguments(), "arguments");
    QTEST(line.value("format"), "format");
}

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
