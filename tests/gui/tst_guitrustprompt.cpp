#include "ftp/GuiTrustPrompt.h"
#include "widgets/UiSeam.h"

#include <QThread>
#include <QtTest>

// The scan may run off the GUI thread; the question must still be asked on it.
class tst_GuiTrustPrompt : public QObject
{
    Q_OBJECT
private slots:
    void asksOnTheGuiThread_data();
    void asksOnTheGuiThread();
};

void tst_GuiTrustPrompt::asksOnTheGuiThread_data()
{
    QTest::addColumn<bool>("fromWorker");
    QTest::addColumn<bool>("answer");
    QTest::newRow("GUI thread, yes") << false << true;
    QTest::newRow("worker thread, no") << true << false;
    QTest::newRow("worker thread, yes") << true << true;
}

void tst_GuiTrustPrompt::asksOnTheGuiThread()
{
    QFETCH(bool, fromWorker);
    QFETCH(bool, answer);
    QString asked;
    QThread *askedOn = nullptr;
    UiSeam::setQuestionHandler([&](const QString &text) {
        asked = text;
        askedOn = QThread::currentThread();
        return answer;
    });
    GuiTrustPrompt prompt;
    bool said = !answer;
    std::unique_ptr<QThread> worker(QThread::create([&] { said = prompt.trustCertificate("ftp.example.org", "AB:CD", "self-signed"); }));
    if (fromWorker) {
        worker->start();
        QTRY_VERIFY(worker->isFinished());
    } else {
        said = prompt.trustCertificate("ftp.example.org", "AB:CD", "self-signed");
    }
    QCOMPARE(said, answer);
    QCOMPARE(askedOn, qApp->thread());
    QVERIFY(asked.contains("AB:CD") && asked.contains("ftp.example.org") && asked.contains("self-signed"));
    UiSeam::setQuestionHandler({});
}

QTEST_MAIN(tst_GuiTrustPrompt)
#include "tst_guitrustprompt.moc"
