#include "FtpTestServer.h"
#include "PgTestServer.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// harvex-cli on a shared catalogue: --db and [DB] Url choose it, a scan
// fills it, copy moves hosts between it and the data folder's file.
class tst_CopyCommand : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void scanShareAndCopyBack();
    void settingsChooseTheDatabase();
    void failuresSayWhy();

private:
    struct Result
    {
        int code;
        QString out;
        QString err;
    };
    Result cli(const QStringList &args, const QString &data);
    PgTestServer m_pg;
    QString m_url;
    QTemporaryDir m_tree, m_local, m_back;
    std::unique_ptr<FtpTestServer> m_ftp;
};

tst_CopyCommand::Result tst_CopyCommand::cli(const QStringList &args, const QString &data)
{
    QProcess p;
    p.start(QStringLiteral(HARVEX_CLI), args + QStringList{"--data", data});
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

void tst_CopyCommand::initTestCase()
{
    if (PgTestServer::binDir().isEmpty())
        QSKIP("PostgreSQL is not installed (Debian package postgresql): nothing to test against");
    QVERIFY2(m_pg.start(), qPrintable(m_pg.error()));
    QVERIFY2(m_pg.createDatabase("shared"), qPrintable(m_pg.error()));
    m_url = m_pg.url("shared");
    for (const QString &f : QStringList{"readme.txt", "pub/Readme.TXT", "pub/docs/manual.pdf"})
        FtpTestServer::makeFile(m_tree.filePath(f), 100);
    const auto kind = FtpTestServer::available(FtpTestServer::Kind::Vsftpd) ? FtpTestServer::Kind::Vsftpd
                                                                            : FtpTestServer::Kind::Pyftpdlib;
    if (!FtpTestServer::available(kind))
        QSKIP("no FTP server installed");
    m_ftp = std::make_unique<FtpTestServer>(kind);
    QVERIFY(m_ftp->start(m_tree.path()));
}

void tst_CopyCommand::scanShareAndCopyBack()
{
    const QString host = m_ftp->hostText();
    Result r = cli({"scan", host, "--db", m_url}, m_local.path());
    QVERIFY2(r.code == 0, qPrintable(r.err));
    r = cli({"hosts", "--db", m_url}, m_local.path());
    QCOMPARE(r.out.split('\n').value(1).section('\t', 0, 1), host + "\t5");
    r = cli({"find", "%readme%", "--db", m_url}, m_local.path());
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(r.out.count(QLatin1Char('\n')), 2); // both, whatever their case
    QVERIFY(!QFile::exists(m_local.filePath("DB/DB.sqlite"))); // the data folder's file is not touched

    r = cli({"copy", "--from", m_url, "--host", host}, m_back.path());
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY2(r.err.contains("Copied 5 of 5 rows") && r.err.contains("5 rows copied"), qPrintable(r.err));
    QCOMPARE(cli({"tree", host}, m_back.path()).out, cli({"tree", host, "--db", m_url}, m_local.path()).out);

    r = cli({"copy", "--to", m_url}, m_back.path());
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains("holds host " + host + " already"), qPrintable(r.err));
}

void tst_CopyCommand::settingsChooseTheDatabase()
{
    QTemporaryDir data;
    QFile ini(data.filePath("Harvex.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[DB]\nUrl=" + m_url.toUtf8() + "\n");
    ini.close();
    const Result r = cli({"sql", "SELECT COUNT(*) FROM DB"}, data.path());
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(r.out.split('\n').value(1), "5");
    QVERIFY(!QFile::exists(data.filePath("DB/DB.sqlite")));
}

void tst_CopyCommand::failuresSayWhy()
{
    QTemporaryDir data;
    Result r = cli({"hosts", "--db", "postgresql://harvex@/shared?host=" + data.path()}, data.path());
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains("Cannot open the catalogue database"), qPrintable(r.err));
    r = cli({"copy"}, data.path());
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains("copy takes --to URL or --from URL"));
}

QTEST_GUILESS_MAIN(tst_CopyCommand)
#include "tst_copycommand.moc"
