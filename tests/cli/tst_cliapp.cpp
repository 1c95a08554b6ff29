#include "core/catalogue/SavedSearches.h"
#include "FtpTestServer.h"
#include "core/base/IniFile.h"
#include "core/catalogue/Catalogue.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// harvex-cli as scripts run it: a real scan of a local server, then every
// command against that catalogue.
class tst_CliApp : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void scanFillsTheCatalogue();
    void hostsSummary();
    void treeIsIndented();
    void findByPatternTypeAndHost_data();
    void findByPatternTypeAndHost();
    void jsonAndCsv();
    void findCountsAndRefusesBadTerms();
    void findRunsASavedSearch();
    void dupesListsCopies();
    void findPrintsPaths();
    void findLongAndLimit();
    void findEscapesNamesInEveryFormat();
    void findGivesAddressesFromListedBytes();
    void oldCatalogueGainsIndexOnFirstRun();
    void pathOfARow();
    void rejectedStatement();
    void badArguments_data();
    void badArguments();
    void unreachableHost();
    void passwordIsNowhereOnDisk();
    void helpAndVersion_data();
    void helpAndVersion();
    void flagsAreForOneRunUnlessSaved();
    void unreadableListingLinesGiveExitThree();
    void rescanChangesAndRecode();

private:
    struct Result
    {
        int code;
        QString out;
        QString err;
    };
    Result cli(const QStringList &args, const QByteArray &input = QByteArray());
    QTemporaryDir m_tree;
    QTemporaryDir m_data;
    std::unique_ptr<FtpTestServer> m_server;
};

tst_CliApp::Result tst_CliApp::cli(const QStringList &args, const QByteArray &input)
{
    QProcess p;
    p.start(QStringLiteral(HARVEX_CLI), args + QStringList{"--data", m_data.path()});
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

void tst_CliApp::initTestCase()
{
    for (const QString &f : QStringList{"readme.txt", "pub/readme.txt", "pub/docs/manual.pdf", "src/lib/a.c", "notes"})
        FtpTestServer::makeFile(m_tree.filePath(f), 100);
    const auto kind = FtpTestServer::available(FtpTestServer::Kind::Vsftpd) ? FtpTestServer::Kind::Vsftpd
                                                                            : FtpTestServer::Kind::Pyftpdlib;
    if (!FtpTestServer::available(kind))
        QSKIP("no FTP server installed");
    m_server = std::make_unique<FtpTestServer>(kind);
    QVERIFY(m_server->start(m_tree.path()));
}

void tst_CliApp::scanFillsTheCatalogue()
{
    const Result r = cli({"scan", m_server->hostText()});
    QCOMPARE(r.code, 0);
    QVERIFY2(r.err.contains(" Connecting to " + m_server->hostText()), qPrintable(r.err));
    QVERIFY(r.err.contains("   Scanning complete. Scan time:"));
    QVERIFY(r.out.isEmpty());
    const Result again = cli({"scan", m_server->hostText()});
    QCOMPARE(again.code, 0);
    QCOMPARE(cli({"sql", "SELECT COUNT(*) AS n FROM DB"}).out, QString("n\n9\n"));
}

void tst_CliApp::hostsSummary()
{
    const QStringList lines = cli({"hosts"}).out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QString("Host\tRows\tTotalSize"));
    QCOMPARE(lines[1].section('\t', 0, 1), m_server->hostText() + "\t9");
    QVERIFY(lines[1].section('\t', 2).toLongLong() >= 500); // files plus what the server gives as folder sizes
}

void tst_CliApp::treeIsIndented()
{
    const Result r = cli({"tree"});
    QCOMPARE(r.code, 0);
    QStringList names;
    for (const QString &line : r.out.split('\n', Qt::SkipEmptyParts).mid(1))
        names << line.section('\t', 2);
    QVERIFY2(names.size() == 4, qPrintable(r.out));
    QVERIFY2(names.indexOf("  docs") == names.indexOf("pub") + 1, qPrintable(r.out));
    QVERIFY2(names.indexOf("    lib") == names.indexOf("  lib") + 1 || names.indexOf("  lib") == names.indexOf("src") + 1,
             qPrintable(r.out));
}

void tst_CliApp::findByPatternTypeAndHost_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("rows");
    QTest::newRow("every row") << QStringList{"find", "%"} << 9;
    QTest::newRow("by type") << QStringList{"find", "%", "--type", "txt"} << 2;
    QTest::newRow("folders") << QStringList{"find", "%", "--type", "<DIR>"} << 4;
    QTest::newRow("ALL") << QStringList{"find", "read%", "--type", "ALL"} << 2;
    QTest::newRow("other host") << QStringList{"find", "%", "--host", "elsewhere"} << 0;
    QTest::newRow("types") << QStringList{"find", "%", "--type", "txt,pdf"} << 3;
    QTest::newRow("regex") << QStringList{"find", "^READ|^man", "--regex"} << 3;
    QTest::newRow("under") << QStringList{"find", "%", "--under", m_server->hostText() + "/pub"} << 3;
    QTest::newRow("under nothing") << QStringList{"find", "%", "--under", m_server->hostText() + "/nowhere"} << 0;
    QTest::newRow("files") << QStringList{"find", "%", "--files"} << 5;
    QTest::newRow("folders only") << QStringList{"find", "%", "--folders", "--host", "%"} << 4;
    QTest::newRow("sizes") << QStringList{"find", "%", "--files", "--min-size", "100", "--max-size", "1k"} << 5;
    QTest::newRow("too small") << QStringList{"find", "%", "--files", "--max-size", "99"} << 0;
}

// The two readme.txt files of the scanned tree share name and size.
void tst_CliApp::dupesListsCopies()
{
    const Result r = cli({"dupes"});
    QCOMPARE(r.code, 0);
    QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0), QString("100 bytes, 2 copies"));
    lines.removeFirst();
    lines.sort();
    QCOMPARE(lines, QStringList({"  " + m_server->hostText() + "/pub/readme.txt", "  " + m_server->hostText() + "/readme.txt"}));
    const Result json = cli({"dupes", "--by", "size", "--format", "json"});
    QCOMPARE(QJsonDocument::fromJson(json.out.toUtf8()).array().size(), 5); // every file is 100 bytes
    QCOMPARE(cli({"dupes", "--by", "name"}).code, 1);
    QCOMPARE(cli({"dupes", "--min-size", "1K"}).out, QString());
}

// --count says how many, and terms that cannot be asked are usage errors.
void tst_CliApp::findCountsAndRefusesBadTerms()
{
    const Result count = cli({"find", "%", "--files", "--count"});
    QCOMPARE(count.code, 0);
    QCOMPARE(count.out, QString("5\n"));
    for (const QStringList &bad : {QStringList{"--min-size", "lots"}, QStringList{"--newer", "yesterday"},
                                   QStringList{"--regex"}, QStringList{"--files", "--folders"}}) {
        const Result r = cli(QStringList{"find", bad.contains("--regex") ? "(unclosed" : "%"} + bad);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.startsWith("harvex-cli: "), qPrintable(r.err));
    }
}

// A search the find dialog saved runs by its name, its ages read from
// today; the output options still apply.
void tst_CliApp::findRunsASavedSearch()
{
    {
        IniFile ini(m_data.filePath("Harvex.ini"));
        SearchRequest pdfs;
        pdfs.types = "pdf";
        pdfs.under = m_server->hostText() + "/pub";
        QVERIFY(SavedSearches(ini).save("pdfs", pdfs));
        SearchRequest bad;
        bad.minSize = "lots";
        QVERIFY(SavedSearches(ini).save("bad", bad));
        QVERIFY(ini.save());
    }
    const Result r = cli({"find", "--saved", "pdfs"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, m_server->hostText() + "/pub/docs/manual.pdf\n");
    QCOMPARE(cli({"find", "--saved", "pdfs", "--count"}).out, QString("1\n"));
    for (const QStringList &wrong : {QStringList{"--saved", "none"}, QStringList{"--saved", "bad"},
                                     QStringList{"%", "--saved", "pdfs"}, QStringList{}}) {
        const Result e = cli(QStringList{"find"} + wrong);
        QCOMPARE(e.code, 1);
        QVERIFY2(e.err.startsWith("harvex-cli: "), qPrintable(e.err));
    }
}

void tst_CliApp::findByPatternTypeAndHost()
{
    QFETCH(QStringList, args);
    QFETCH(int, rows);
    const Result r = cli(args + QStringList{"--format", "tsv"});
    QCOMPARE(r.code, 0);
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.first(), QString("Name\text\tSize\tHost\tAttr\tLAC\tID\tPID\tPath\tDate"));
    QCOMPARE(lines.size() - 1, rows);
    QCOMPARE(cli(args).out.count('\n'), rows);
}

void tst_CliApp::jsonAndCsv()
{
    const Result json = cli({"find", "%", "--type", "pdf", "--format", "json"});
    const QJsonArray rows = QJsonDocument::fromJson(json.out.toUtf8()).array();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].toObject()["Name"].toString(), QString("manual"));
    QCOMPARE(rows[0].toObject()["Path"].toString(), m_server->hostText() + "/pub/docs/manual.pdf");
    QCOMPARE(rows[0].toObject()["Size"].toDouble(), 100.0);
    const Result csv = cli({"hosts", "--format", "csv"});
    QVERIFY(csv.out.startsWith("Host,Rows,TotalSize\n"));
}

void tst_CliApp::findPrintsPaths()
{
    const Result r = cli({"find", "%"});
    QCOMPARE(r.code, 0);
    QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    lines.sort();
    const QString h = m_server->hostText();
    QCOMPARE(lines, (QStringList{h + "/notes", h + "/pub", h + "/pub/docs", h + "/pub/docs/manual.pdf",
                                 h + "/pub/readme.txt", h + "/readme.txt", h + "/src", h + "/src/lib",
                                 h + "/src/lib/a.c"}));
    QCOMPARE(cli({"find", "%", "--host", h, "--type", "<DIR>"}).out.count('\n'), 4);
}

void tst_CliApp::findLongAndLimit()
{
    const Result r = cli({"find", "manual", "--long"});
    QCOMPARE(r.code, 0);
    // Size, the listing's time in UTC, type, path.
    static const QRegularExpression line(
        "^ +100  (\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ) +pdf    (.*)\n$");
    const QRegularExpressionMatch m = line.match(r.out);
    QVERIFY2(m.hasMatch(), qPrintable(r.out));
    QCOMPARE(m.captured(2), m_server->hostText() + "/pub/docs/manual.pdf");
    // The listing gives minutes (or seconds): the file was made just now.
    const QDateTime listed = QDateTime::fromString(m.captured(1), Qt::ISODate);
    QVERIFY2(qAbs(listed.secsTo(QDateTime::currentDateTimeUtc())) < 24 * 3600, qPrintable(m.captured(1)));
    QCOMPARE(cli({"find", "%", "--limit", "2"}).out.count('\n'), 2);
    const Result json = cli({"find", "%", "--limit", "1", "--format", "json"});
    QCOMPARE(QJsonDocument::fromJson(json.out.toUtf8()).array().size(), 1);
}

// Names as a server may list them: quotes, commas and tabs survive each format.
void tst_CliApp::findEscapesNamesInEveryFormat()
{
    QTemporaryDir data;
    {
        Catalogue cat;
        cat.open(data.filePath("DB"));
        FileEntry e;
        e.name = "a \"b\", c";
        e.kind = FileEntry::Kind::Directory;
        const qint32 folder = cat.StoreEntry(e, 0, "h");
        e.name = "x\\y\tz.txt";
        e.kind = FileEntry::Kind::File;
        cat.StoreEntry(e, folder, "h");
    }
    const auto run = [&](const QStringList &args) {
        QProcess p;
        p.start(QStringLiteral(HARVEX_CLI), args + QStringList{"--data", data.path()});
        p.waitForFinished(60000);
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    const QString path = "h/a \"b\", c/x\\y\tz.txt";
    QCOMPARE(run({"find", "x%"}), path + "\n");
    const QJsonArray rows = QJsonDocument::fromJson(run({"find", "x%", "--format", "json"}).toUtf8()).array();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].toObject()["Path"].toString(), path);
    const QStringList csv = run({"find", "x%", "--format", "csv"}).split('\n');
    QVERIFY2(csv.value(1).endsWith(",\"h/a \"\"b\"\", c/x\\y\tz.txt\","), qPrintable(csv.value(1)));
    const QString tsv = run({"find", "x%", "--format", "tsv"}).section('\n', 1, 1);
    QCOMPARE(tsv.section('\t', 8, 8), QString("h/a \"b\", c/x\\y z.txt")); // a tab would split the column
}

// Ready for wget -i: every name percent-encoded from the bytes the server
// listed, so a byte that is not UTF-8 travels as itself.
void tst_CliApp::findGivesAddressesFromListedBytes()
{
    QTemporaryDir data;
    {
        Catalogue cat;
        cat.open(data.filePath("DB"));
        FileEntry e;
        e.name = "50% off #1?";
        e.kind = FileEntry::Kind::Directory;
        const qint32 folder = cat.StoreEntry(e, 0, "h:2121");
        e.wireName = "caf\xe9 [x].txt";
        e.name = QString::fromLatin1(e.wireName);
        e.kind = FileEntry::Kind::File;
        cat.StoreEntry(e, folder, "h:2121");
    }
    QProcess p;
    p.start(QStringLiteral(HARVEX_CLI), {"find", "%", "--format", "urls", "--data", data.path()});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    QStringList urls = QString::fromLatin1(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    urls.sort();
    QCOMPARE(urls, QStringList({"ftp://h:2121/50%25%20off%20%231%3F/", "ftp://h:2121/50%25%20off%20%231%3F/caf%E9%20%5Bx%5D.txt"}));
}

// A catalogue from before the name index: the first run builds it and says
// so on standard error, the next runs say nothing.
void tst_CliApp::oldCatalogueGainsIndexOnFirstRun()
{
    QTemporaryDir data;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "old");
        db.setDatabaseName(data.filePath("DB/DB.sqlite"));
        QVERIFY(QDir().mkpath(data.filePath("DB")) && db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec("CREATE TABLE DB (Name VARCHAR(80), ext VARCHAR(5), Size DOUBLE, Host VARCHAR(255), "
                       "Attr INTEGER, LAC DOUBLE, ID INTEGER, PID INTEGER)"));
        QVERIFY(q.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                       "INSERT INTO DB SELECT 'name' || i, 'dat', i, 'old', 128, 0, i, 0 FROM n"));
    }
    QSqlDatabase::removeDatabase("old");
    const auto run = [&](const QStringList &args) {
        QProcess p;
        p.start(QStringLiteral(HARVEX_CLI), args + QStringList{"--data", data.path()});
        p.waitForFinished(60000);
        return Result{p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    };
    const Result first = run({"find", "%me299%"});
    QCOMPARE(first.code, 0);
    QVERIFY2(first.err.contains("Indexing the names of 3000 rows"), qPrintable(first.err));
    QVERIFY2(first.err.contains("Names indexed in"), qPrintable(first.err));
    QCOMPARE(first.out.count('\n'), 11);
    const Result second = run({"find", "%me299%"});
    QCOMPARE(second.err, QString());
    QCOMPARE(second.out, first.out);
}

void tst_CliApp::pathOfARow()
{
    const Result found = cli({"find", "manual", "--type", "pdf", "--format", "tsv"});
    const QString id = found.out.split('\n', Qt::SkipEmptyParts).value(1).section('\t', 6, 6);
    const Result r = cli({"path", id});
    QCOMPARE(r.code, 0);
    const QString host = m_server->hostText();
    QCOMPARE(r.out, QString("Path\tSize\tAddress\n//%1/pub/docs/manual.pdf\t100.000 \tftp://%1/pub/docs/manual.pdf\n")
                        .arg(host));
    QCOMPARE(cli({"path", "12345"}).code, 1);
}

void tst_CliApp::rejectedStatement()
{
    const Result r = cli({"sql", "DELETE FROM NoSuchTable"});
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains("NoSuchTable"));
    QCOMPARE(cli({"sql", "SELECT COUNT(*) AS n FROM DB"}).out, QString("n\n9\n"));
}

void tst_CliApp::badArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no command") << QStringList{};
    QTest::newRow("unknown command") << QStringList{"frobnicate"};
    QTest::newRow("scan without host") << QStringList{"scan"};
    QTest::newRow("unknown option") << QStringList{"hosts", "--colour"};
    QTest::newRow("bad format") << QStringList{"hosts", "--format", "xml"};
    QTest::newRow("path of nothing") << QStringList{"path", "abc"};
    QTest::newRow("IPv6 port out of range") << QStringList{"scan", "[::1]:99999"};
    QTest::newRow("port out of range") << QStringList{"scan", "127.0.0.1:65536"};
    QTest::newRow("fingerprint too short") << QStringList{"scan", "127.0.0.1", "--trust", "AB:CD"};
    QTest::newRow("unknown TLS mode") << QStringList{"scan", "127.0.0.1", "--tls", "maybe"};
    QTest::newRow("no entry limit") << QStringList{"scan", "127.0.0.1", "--max-entries", "0"};
    QTest::newRow("no find limit") << QStringList{"find", "%", "--limit", "0"};
    QTest::newRow("connections out of range") << QStringList{"scan", "127.0.0.1", "--connections", "17"};
}

void tst_CliApp::badArguments()
{
    QFETCH(QStringList, args);
    const Result r = cli(args);
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains("usage: harvex-cli"), qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
}

void tst_CliApp::unreachableHost()
{
    const QString host = QStringLiteral("127.0.0.1:%1").arg(FtpTestServer::freePort());
    const Result r = cli({"scan", host});
    QCOMPARE(r.code, 2);
    QVERIFY(r.err.contains("is not available"));
    QFile ini(m_data.filePath("Harvex.ini"));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QVERIFY2(!ini.readAll().contains(host.toUtf8()), "a host that could not be reached is not offered again");
}

void tst_CliApp::passwordIsNowhereOnDisk()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Pyftpdlib))
        QSKIP("pyftpdlib not installed");
    FtpTestServer server(FtpTestServer::Kind::Pyftpdlib);
    const QByteArray password = "Pa55-word-7731";
    QVERIFY(server.start(m_tree.path(), "alice", QString::fromLatin1(password)));
    const Result r = cli({"scan", server.hostText(), "--user", "alice", "--password-stdin"}, password + "\n");
    QCOMPARE(r.code, 0);
    QVERIFY(!r.err.contains(QString::fromLatin1(password)));
    QDirIterator it(m_data.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY2(!f.readAll().contains(password), qPrintable(it.filePath()));
    }
}

void tst_CliApp::helpAndVersion_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("says");
    QTest::newRow("--help") << QStringList{"--help"} << "usage: harvex-cli COMMAND";
    QTest::newRow("scan --help") << QStringList{"scan", "--help"} << "--trust FINGERPRINT";
    QTest::newRow("find --help") << QStringList{"find", "--help"} << "find PATTERN";
    QTest::newRow("--version") << QStringList{"--version"} << "harvex-cli 0.";
}

void tst_CliApp::helpAndVersion()
{
    QFETCH(QStringList, args);
    QFETCH(QString, says);
    const Result r = cli(args);
    QCOMPARE(r.code, 0);
    QVERIFY2(r.out.contains(says), qPrintable(r.out));
}

// harvex-cli runs while the desktop program holds the same settings file:
// flags stay out of it unless --save, and neither program loses the other's keys.
void tst_CliApp::flagsAreForOneRunUnlessSaved()
{
    QTemporaryDir data;
    const QString ini = data.filePath("Harvex.ini");
    IniFile desktop(ini);
    const QStringList scan{"scan", m_server->hostText(), "--passive", "--tls", "off", "--data", data.path()};
    QProcess once;
    once.start(QStringLiteral(HARVEX_CLI), scan);
    QVERIFY(once.waitForFinished(60000));
    QCOMPARE(once.exitCode(), 0);
    QVERIFY(!IniFile(ini).hasKey("FTP", "Passive"));
    QVERIFY(!IniFile(ini).hasKey("TLS", "127.0.0.1"));
    QProcess saved;
    saved.start(QStringLiteral(HARVEX_CLI), scan + QStringList{"--save"});
    QVERIFY(saved.waitForFinished(60000));
    QCOMPARE(saved.exitCode(), 0);
    desktop.writeInt("FORM", "Left Panel", 180);
    desktop.writeInt("HOSTS", "Host Count", 0);
    QVERIFY(desktop.save());
    const IniFile after(ini);
    QCOMPARE(after.readBool("FTP", "Passive", false), true);
    QCOMPARE(after.readString("TLS", "127.0.0.1", ""), QString("off"));
    QCOMPARE(after.readInt("FORM", "Left Panel", 0), 180);
}

// A listing line no parser reads is a possibly missing entry: it is counted,
// shown with its folder, and the scan is incomplete.
void tst_CliApp::unreadableListingLinesGiveExitThree()
{
    FtpTestServer server(FtpTestServer::Kind::Scripted);
    if (!FtpTestServer::available(FtpTestServer::Kind::Scripted) || !server.startScripted("scan-bad-lines"))
        QSKIP("the scripted server cannot run");
    QTemporaryDir data;
    QProcess p;
    p.start(QStringLiteral(HARVEX_CLI), {"scan", server.hostText(), "--data", data.path()});
    QVERIFY(p.waitForFinished(60000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QCOMPARE(p.exitCode(), 3);
    QVERIFY2(err.contains("2 listing lines could not be read in /x"), qPrintable(err));
    QVERIFY(err.contains("      this is not a listing line"));
    QVERIFY(err.contains("      neither is this one"));
    QVERIFY(err.contains("   Listing lines that could not be read: 2 in 1 folders"));
    QVERIFY(err.contains("3 entries in 2 folders; 0 folders could not be listed; "
                         "2 listing lines could not be read in 1 folders"));
}

// What a rescan changed, paths with the names as listed, and names decoded
// again after the host's code page is set.
void tst_CliApp::rescanChangesAndRecode()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Vsftpd))
        QSKIP("vsftpd serves names that are not UTF-8; needs root");
    QTemporaryDir tree, data;
    for (const char *f : {"keep.txt", "gone.txt", "dir/old.txt"})
        FtpTestServer::makeFile(tree.filePath(f), 10);
    FtpTestServer server(FtpTestServer::Kind::Vsftpd);
    QVERIFY(server.start(tree.path()));
    auto run = [&](const QStringList &args) {
        QProcess p;
        p.start(QStringLiteral(HARVEX_CLI), args + QStringList{"--data", data.path()});
        p.waitForFinished(60000);
        return Result{p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                      QString::fromUtf8(p.readAllStandardError())};
    };
    const QString host = server.hostText();
    QCOMPARE(run({"scan", host}).code, 0);

    QFile::remove(tree.filePath("gone.txt"));
    FtpTestServer::makeFile(tree.filePath("keep.txt"), 20);
    FtpTestServer::makeFile(tree.filePath("Report.TXT"), 5);
    const QByteArray cp1251 = QFile::encodeName(tree.path()) + "/\xce\xf2\xf7\xe5\xf2.txt"; // top level: no folder row whose time changes
    FILE *f = std::fopen(cp1251.constData(), "w");
    QVERIFY(f);
    std::fclose(f);
    const Result rescan = run({"scan", host});
    QVERIFY2(rescan.code == 0, qPrintable(rescan.err));
    QVERIFY2(rescan.err.contains("; 2 added, 1 changed, 1 removed"), qPrintable(rescan.err));
    QStringList lines = run({"changes", host}).out.split('\n', Qt::SkipEmptyParts);
    for (QString &l : lines)
        l = l.section('\t', 0, 0) + ' ' + l.section('\t', 2);
    lines.sort();
    QCOMPARE(lines, (QStringList{"Change Path", "added /Report.TXT", QString::fromUtf8("added /\u00ce\u00f2\u00f7\u00e5\u00f2.txt"),
                                 "changed /keep.txt", "removed /gone.txt"}));

    const QString id = run({"find", "Report", "--format", "tsv"}).out.split('\n', Qt::SkipEmptyParts).value(1).section('\t', 6, 6);
    QCOMPARE(run({"path", id}).out, QString("Path\tSize\tAddress\n//%1/Report.TXT\t5.000 \tftp://%1/Report.TXT\n").arg(host));

    IniFile ini(data.filePath("Harvex.ini"));
    ini.writeString("ENCODING", "127.0.0.1", "cp1251");
    QVERIFY(ini.save());
    const Result recoded = run({"recode", host});
    QCOMPARE(recoded.code, 0);
    QCOMPARE(recoded.err, QString("1 names decoded again as cp1251\n"));
    QVERIFY(run({"find", "%", "--format", "tsv"}).out.contains(QString::fromUtf8("Отчет\ttxt")));
    const QString cyrId = run({"find", QString::fromUtf8("Отчет"), "--format", "tsv"}).out.split('\n', Qt::SkipEmptyParts).value(1).section('\t', 6, 6);
    QCOMPARE(run({"path", cyrId}).out.section('\n', 1, 1),
             QString::fromUtf8("//%1/Отчет.txt\t0.000 \tftp://%1/%CE%F2%F7%E5%F2.txt").arg(host));
}

QTEST_GUILESS_MAIN(tst_CliApp)
#include "tst_cliapp.moc"
