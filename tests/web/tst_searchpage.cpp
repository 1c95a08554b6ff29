#include "FtpTestServer.h"
#include "HeadlessBrowser.h"
#include "ServeProcess.h"

#include <QDir>
#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

// The search page in a real browser: a search typed into it, the results
// read back from its DOM, and pictures of it at a desktop's and a phone's
// width. Names that are markup must show as text and never run. Pictures
// go to $HARVEX_SCREENSHOT_DIR, else beside the test.
class tst_SearchPage : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void aTypedSearchShowsNamesAsText();
    void aFolderBrowsesOnAPhone();

private:
    QString picture(const QString &name) const;
    QStringList texts(const QString &selector);

    QTemporaryDir m_tree;
    QTemporaryDir m_data;
    std::unique_ptr<FtpTestServer> m_ftp;
    ServeProcess m_serve;
    HeadlessBrowser m_browser;
};

namespace {
const QByteArray ScriptName = "<img src=x onerror=\"document.title='pwned'\">.txt";
}

QString tst_SearchPage::picture(const QString &name) const
{
    const QString dir = qEnvironmentVariable("HARVEX_SCREENSHOT_DIR", QCoreApplication::applicationDirPath());
    QDir().mkpath(dir);
    return QDir(dir).filePath(name);
}

QStringList tst_SearchPage::texts(const QString &selector)
{
    QStringList out;
    const QJsonValue v = m_browser.evaluate(
        QStringLiteral("[...document.querySelectorAll('%1')].map(e => e.textContent)").arg(selector));
    for (const QJsonValue &t : v.toArray())
        out << t.toString();
    return out;
}

void tst_SearchPage::initTestCase()
{
    if (HeadlessBrowser::program().isEmpty())
        QSKIP("chromium is not installed (apt-get install chromium): the page's browser test is skipped");
    for (const QString &f : QStringList{"pub/readme.txt", "pub/debian-12.iso", "pub/docs/manual.pdf", "notes.txt"})
        FtpTestServer::makeFile(m_tree.filePath(f), 1000 + f.size() * 1000);
    QDir().mkpath(m_tree.filePath("odd"));
    for (const QByteArray &name : {ScriptName, QByteArray("\xe2\x80\xaegnp.exe"), QByteArray("a \"b\" & 'c' onerror.txt")}) {
        FILE *f = std::fopen((QFile::encodeName(m_tree.filePath("odd")) + '/' + name).constData(), "wb");
        std::fputs("x", f);
        std::fclose(f);
    }
    const auto kind = FtpTestServer::available(FtpTestServer::Kind::Vsftpd) ? FtpTestServer::Kind::Vsftpd
                                                                            : FtpTestServer::Kind::Pyftpdlib;
    if (!FtpTestServer::available(kind))
        QSKIP("no FTP server installed");
    m_ftp = std::make_unique<FtpTestServer>(kind);
    QVERIFY(m_ftp->start(m_tree.path()));
    QProcess scan;
    scan.start(QStringLiteral(HARVEX_CLI), {"scan", m_ftp->hostText(), "--data", m_data.path()});
    QVERIFY(scan.waitForFinished(60000) && scan.exitCode() == 0);
    QVERIFY2(m_serve.start(m_data.path()), qPrintable(m_serve.log()));
    QVERIFY2(m_browser.start(m_serve.baseUrl() + "/", 1100, 700), qPrintable(m_browser.error()));
    QVERIFY(m_browser.waitFor("document.readyState === 'complete' && !!document.getElementById('q')"));
}

void tst_SearchPage::aTypedSearchShowsNamesAsText()
{
    m_browser.evaluate("document.getElementById('q').focus()");
    m_browser.type("onerror");
    QVERIFY(m_browser.waitFor("document.querySelectorAll('#results li').length === 2"));
    const QStringList paths = texts("#results .path");
    const QString host = m_ftp->hostText();
    QVERIFY2(paths.contains(host + "/odd/" + QString::fromUtf8(ScriptName)), qPrintable(paths.join('\n')));
    QVERIFY(paths.contains(host + "/odd/a \"b\" & 'c' onerror.txt"));
    // The markup stayed text: no element came of it and nothing ran.
    QCOMPARE(m_browser.evaluate("document.querySelectorAll('main img').length").toInt(), 0);
    QCOMPARE(m_browser.evaluate("document.title").toString(), QString("Harvex catalogue"));
    const QString link = m_browser.evaluate("document.querySelector('#results a.url').href").toString();
    QVERIFY2(link.startsWith("ftp://" + host + "/odd/"), qPrintable(link));
    QVERIFY(texts("#search-status").value(0).startsWith("2 found"));
    QVERIFY(m_browser.screenshot(picture("web-search.png")));
}

void tst_SearchPage::aFolderBrowsesOnAPhone()
{
    m_browser.call("Emulation.setDeviceMetricsOverride",
                   {{"width", 390}, {"height", 800}, {"deviceScaleFactor", 1}, {"mobile", true}});
    m_browser.evaluate(QStringLiteral("location.hash = '#folder=' + encodeURIComponent('%1/odd')").arg(m_ftp->hostText()));
    QVERIFY(m_browser.waitFor("document.querySelectorAll('#folder li').length === 3"));
    // A right-to-left override shows as its code: the name cannot pass for "exe.png".
    const QStringList paths = texts("#folder .path");
    QVERIFY2(paths.contains(m_ftp->hostText() + "/odd/\\u202Egnp.exe"), qPrintable(paths.join('\n')));
    QCOMPARE(m_browser.evaluate("document.querySelectorAll('main img').length").toInt(), 0);
    QCOMPARE(m_browser.evaluate("document.title").toString(), QString("Harvex catalogue"));
    // Nothing wider than the phone: long names wrap.
    QVERIFY(m_browser.evaluate("document.documentElement.scrollWidth <= 390").toBool());
    QVERIFY(m_browser.screenshot(picture("web-folder-phone.png")));
    m_browser.evaluate("location.hash = '#hosts'");
    QVERIFY(m_browser.waitFor("document.querySelectorAll('#hosts li .top a').length === 2"));
    QCOMPARE(texts("#hosts li .top a"), (QStringList{"odd", "pub"}));
    QVERIFY(m_browser.screenshot(picture("web-hosts-phone.png")));
}

QTEST_GUILESS_MAIN(tst_SearchPage)
#include "tst_searchpage.moc"
