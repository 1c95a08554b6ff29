#include "core/base/AppPaths.h"
#include "core/scan/FtpConnection.h"
#include "FtpTestServer.h"
#include "core/scan/HostScanner.h"
#include "app/HarvexApplication.h"
#include "app/TMainForm.h"
#include "widgets/UiSeam.h"
#include "browse/TTabForm.h"
#include "ftp/TScanForm.h"
#include "ftp/TSelHost.h"
#include "widgets/TCoolBtn.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// The connection and scan commands of the main window against real servers.
class tst_TMainForm : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void connectAndDisconnect();
    void unavailableHost();
    void scanLogsInOrderAndFillsTree();
    void cancelStopsAfterThePass();
    void scanWindowShowsHostAndUser();
    void disconnectAndExitDuringAScan();
    void hostHistory();

private:
    QStringList linesAfter(int from) const;
    QTemporaryDir m_tree;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<HarvexApplication> m_app;
    std::unique_ptr<FtpTestServer> m_server;
    QStringList m_messages;
};

void tst_TMainForm::initTestCase()
{
    for (const QString &f : QStringList{"readme.txt", "pub/a.txt", "pub/docs/b.pdf", "src/c.zip", "src/lib/d.c"})
        FtpTestServer::makeFile(m_tree.filePath(f), 10);
}

void tst_TMainForm::init()
{
    const auto kind = FtpTestServer::available(FtpTestServer::Kind::Vsftpd) ? FtpTestServer::Kind::Vsftpd
                                                                            : FtpTestServer::Kind::Pyftpdlib;
    if (!FtpTestServer::available(kind))
        QSKIP("no FTP server installed");
    m_server = std::make_unique<FtpTestServer>(kind);
    QVERIFY(m_server->start(m_tree.path()));
    m_dir = std::make_unique<QTemporaryDir>();
    AppPaths::setProgramDir(m_dir->path());
    QFile ini(AppPaths::settingsFile());
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[HOSTS]\nHost Count=1\n1=" + m_server->hostText().toUtf8() + "\n");
    ini.close();
    m_messages.clear();
    UiSeam::setMessageHandler([this](const QString &t) { m_messages << t; });
    m_app = std::make_unique<HarvexApplication>();
    QVERIFY(m_app->startUp());
}

void tst_TMainForm::cleanup()
{
    if (m_app)
        m_app->shutDown();
    m_app.reset();
    m_server.reset();
    UiSeam::setMessageHandler(nullptr);
}

QStringList tst_TMainForm::linesAfter(int from) const
{
    QStringList out;
    const QStringList all = m_app->MainForm->log().lines();
    for (int i = from; i < all.size(); ++i)
        out << all[i].section("    ", 0, 0);
    return out;
}

void tst_TMainForm::connectAndDisconnect()
{
    TMainForm *m = m_app->MainForm;
    const int start = m->log().lines().size();
    m->Disconnect1Click();
    QCOMPARE(m->log().lines().size(), start);
    m->Connectto1Click();
    QVERIFY(m->connection()->isConnected());
    QVERIFY(m->TimeConnect.isEnabled());
    m->Disconnect1Click(); // under a second: no closed line
    QVERIFY(!m->TimeConnect.isEnabled());
    m->Connectto1Click();
    m->TimeConnect.setTag(30);
    m->Connectto1Click();
    const QString host = m_server->hostText();
    QCOMPARE(linesAfter(start), (QStringList{" Connecting to " + host + "  User:\"\"", " Connecting to " + host + "  User:\"\"",
                                             " Connection to " + host + " closed.  Connected time: 30 sec",
                                             " Connecting to " + host + "  User:\"\""}));
    QVERIFY(m_messages.isEmpty());
}

void tst_TMainForm::unavailableHost()
{
    TMainForm *m = m_app->MainForm;
    const QString closed = QStringLiteral("127.0.0.1:%1").arg(FtpTestServer::freePort());
    m_app->SelHost->cbHost->setEditText(closed);
    const int start = m->log().lines().size();
    m->Connectto1Click();
    QCOMPARE(m_messages, QStringList{"Host \"" + closed + "\" is not available"});
    QCOMPARE(linesAfter(start), (QStringList{" Connecting to " + closed + "  User:\"\"",
                                             "Host \"" + closed + "\" is not available"}));
    QVERIFY(!m->connection()->isConnected());
    QVERIFY(!m->TimeConnect.isEnabled());
}

void tst_TMainForm::scanLogsInOrderAndFillsTree()
{
    TMainForm *m = m_app->MainForm;
    m->FormActivate();
    const int start = m->log().lines().size();
    m->ScanHost();
    const QString host = m_server->hostText();
    QCOMPARE(linesAfter(start), (QStringList{" Connecting to " + host + "  User:\"\"",
                                             "   Scanning of Host " + host + " started:",
                                             "   Scanning complete. Scan time:0 sec",
                                             "   Added " + QString::number(m->scanner()->stats().added)
                                                 + ", changed 0, removed 0"}));
    QCOMPARE(m->scanner()->stats().entries, 9);
    QVERIFY(m->scanForm()->isHidden());
    QVERIFY(!m->connection()->isConnected());
    QCOMPARE(m_app->TabForm->TV->topLevelItemCount(), 2);
    QVERIFY(m->ScanHost1->isEnabled());
    QVERIFY(m_messages.isEmpty());
}

void tst_TMainForm::cancelStopsAfterThePass()
{
    TMainForm *m = m_app->MainForm;
    m->FormActivate();
    // Cancel served at the first pump: the top level is still listed and stored.
    QTimer::singleShot(0, m->scanForm()->btnCancel, &QPushButton::click);
    const int start = m->log().lines().size();
    m->ScanHost();
    QCOMPARE(m->scanner()->stats().listed, 1);
    QCOMPARE(m->scanner()->stats().entries, 3);
    const QStringList lines = linesAfter(start);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[2], QString("   Scanning complete. Scan time:0 sec"));
    QVERIFY(lines[3].startsWith("   Added ")); // the closing count
}

void tst_TMainForm::scanWindowShowsHostAndUser()
{
    TMainForm *m = m_app->MainForm;
    m->FormActivate();
    m_app->SelHost->edName->setText("anonymous");
    QString shownHost, shownUser;
    QTimer::singleShot(0, [&] {
        shownHost = m->scanForm()->laHost->text();
        shownUser = m->scanForm()->laUser->text();
        QVERIFY(!m->ScanHost1->isEnabled());
        QVERIFY(!m->Connectto1->isEnabled());
    });
    m->ScanHost();
    QCOMPARE(shownHost, m_server->hostText());
    QCOMPARE(shownUser, QString("anonymous"));
    QCOMPARE(m->scanForm()->Label5->text(), QString("Saning in progress ..."));
    QVERIFY(m->scanForm()->progressPosition() >= 100);
}

void tst_TMainForm::disconnectAndExitDuringAScan()
{
    TMainForm *m = m_app->MainForm;
    m->FormActivate();
    QTimer::singleShot(0, m, &TMainForm::Disconnect1Click);
    m->ScanHost();
    QCOMPARE(m->scanner()->stats().listed, 1);
    QVERIFY(!m->connection()->isConnected());

    QTimer::singleShot(0, m, &QWidget::close);
    m->ScanHost();
    QCOMPARE(m->scanner()->stats().listed, 1);
    QVERIFY2(!m->isVisible(), "the window closes once the scan has ended");
}

void tst_TMainForm::hostHistory()
{
    TSelHost *s = m_app->SelHost;
    s->cbHost->setEditText("new.example.org");
    s->cbExit();
    QCOMPARE(s->history().first(), QString("new.example.org"));
    s->cbExit();
    QCOMPARE(s->history().count("new.example.org"), 1);
    for (int i = 0; i < 150; ++i)
        s->cbHost->addItem(QStringLiteral("h%1").arg(i));
    s->edPsw->setText("secret-password");
    m_app->shutDown();
    m_app.reset();
    QFile ini(AppPaths::settingsFile());
    QVERIFY(ini.open(QIODevice::ReadOnly));
    const QByteArray text = ini.readAll();
    QVERIFY(text.contains("Host Count=100"));
    QVERIFY(text.contains("100=h97"));
    QVERIFY(!text.contains("101="));
    QVERIFY(!text.contains("secret-password"));
}

QTEST_MAIN(tst_TMainForm)
#include "tst_tmainform.moc"
