#include "core/base/AppPaths.h"
#include "app/HarvexApplication.h"
#include "app/TMainForm.h"
#include "app/ScanOptionsPage.h"
#include "app/TOptionsForm.h"
#include "browse/TQueryForm.h"
#include "browse/TSeekForm.h"
#include "browse/TTabForm.h"
#include "ftp/TSelHost.h"
#include "widgets/TAbout.h"
#include "widgets/TCoolBtn.h"
#include "widgets/UiSeam.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QWindow>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// The program's dialogs as a keyboard user meets them: Return submits,
// Escape cancels, each opens centred on the main window.
class tst_DialogWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void centredOnTheMainWindow();
    void belongsToTheMainWindow_data();
    void belongsToTheMainWindow();
    void mainWindowActivatedBringsTheDialogBack();
    void hostDialogReturnSubmits();
    void hostDialogEscapeAndCancelRestore();
    void passwordHiddenUntilShown();
    void findDialogReturnAndEscape();
    void aboutClosesWithEscape();
    void mnemonicsOnlyUnderline();

private:
    DialogWindow *dialog(const QString &name) const;
    QTemporaryDir m_dir;
    std::unique_ptr<HarvexApplication> m_app;
    QStringList m_messages;
};

void tst_DialogWindow::initTestCase()
{
    AppPaths::setProgramDir(m_dir.path());
    QFile ini(AppPaths::settingsFile());
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[HOSTS]\nHost Count=1\n1=H\n[FORM]\nLeft=300\nTop=200\nWidth=500\nHeight=400\n");
    ini.close();
    UiSeam::setMessageHandler([this](const QString &t) { m_messages << t; });
    m_app = std::make_unique<HarvexApplication>();
    QVERIFY(m_app->startUp());
}

void tst_DialogWindow::cleanupTestCase()
{
    m_app->shutDown();
    m_app.reset();
    UiSeam::setMessageHandler(nullptr);
}

void tst_DialogWindow::centredOnTheMainWindow()
{
    const QPoint centre = m_app->MainForm->frameGeometry().center();
    for (QWidget *w : std::initializer_list<QWidget *>{m_app->SelHost, m_app->SeekForm, m_app->QueryForm, m_app->About,
                                                       m_app->Options}) {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        const QPoint d = w->frameGeometry().center() - centre;
        QVERIFY2(d.manhattanLength() <= 4, qPrintable(w->windowTitle()));
        w->hide();
        QVERIFY(m_app->MainForm->isEnabled());
    }
}

DialogWindow *tst_DialogWindow::dialog(const QString &name) const
{
    const QMap<QString, DialogWindow *> all{{"host", m_app->SelHost}, {"find", m_app->SeekForm},
                                            {"SQL", m_app->QueryForm}, {"About", m_app->About},
                                            {"Options", m_app->Options}};
    return all.value(name);
}

// Opened from the menu, each dialog is the main window's: the window
// manager keeps it above it, and the keyboard is in its first field.
void tst_DialogWindow::belongsToTheMainWindow_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"host", "find", "SQL", "About", "Options"})
        QTest::newRow(name) << QString(name);
}

void tst_DialogWindow::belongsToTheMainWindow()
{
    QFETCH(QString, name);
    TMainForm *main = m_app->MainForm;
    main->activateWindow();
    QTRY_VERIFY(main->isActiveWindow());
    const QMap<QString, QAction *> actions{{"host", main->SelectHost1}, {"find", main->Find1}, {"SQL", main->Query1},
                                           {"About", main->About1}, {"Options", main->Options1}};
    // About's one field is its Close button.
    const QMap<QString, QWidget *> fields{{"host", m_app->SelHost->cbHost}, {"find", m_app->SeekForm->edName},
                                          {"SQL", m_app->QueryForm->Memo1}, {"About", m_app->About->btnClose},
                                          {"Options", m_app->Options->ScanPage->cbPassive}};
    actions.value(name)->trigger();
    DialogWindow *d = dialog(name);
    QVERIFY(d->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(d));
    QVERIFY(d->windowHandle());
    QCOMPARE(d->windowHandle()->transientParent(), main->windowHandle());
    QVERIFY(!main->isEnabled());
    QTRY_VERIFY(d->isActiveWindow());
    QTRY_COMPARE(QApplication::focusWidget(), fields.value(name));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(d->isHidden());
    QVERIFY(main->isEnabled());
}

// A click on the disabled main window puts the dialog back on top.
void tst_DialogWindow::mainWindowActivatedBringsTheDialogBack()
{
    TMainForm *main = m_app->MainForm;
    TSeekForm *seek = m_app->SeekForm;
    seek->show();
    QTRY_VERIFY(seek->isActiveWindow());
    QSignalSpy focus(qApp, &QGuiApplication::focusWindowChanged);
    // As the window manager does on a click.
    main->windowHandle()->requestActivate();
    QTRY_VERIFY(!focus.isEmpty() && focus.first().first().value<QWindow *>() == main->windowHandle());
    QTRY_VERIFY(seek->isActiveWindow());
    seek->hide();
    QVERIFY(main->isEnabled());
}

void tst_DialogWindow::hostDialogReturnSubmits()
{
    TSelHost *h = m_app->SelHost;
    h->show();
    QVERIFY(QTest::qWaitForWindowExposed(h));
    h->edName->setFocus();
    QTest::keyClicks(h->edName, "me");
    QTest::keyClick(h->edName, Qt::Key_Return);
    QVERIFY(h->isHidden());
    QCOMPARE(h->CurrentUser(), QString("me"));
    h->show();
    h->cbHost->lineEdit()->setFocus();
    QTest::keyClick(h->cbHost->lineEdit(), Qt::Key_Enter, Qt::KeypadModifier);
    QVERIFY(h->isHidden());
}

void tst_DialogWindow::hostDialogEscapeAndCancelRestore()
{
    TSelHost *h = m_app->SelHost;
    h->edName->setText("kept");
    h->show();
    h->edName->setText("typed");
    h->edPsw->setText("secret");
    QTest::keyClick(h->edPsw, Qt::Key_Escape);
    QVERIFY(h->isHidden());
    QCOMPARE(h->edName->text(), QString("kept"));
    QCOMPARE(h->edPsw->text(), QString());
    h->show();
    h->edName->setText("typed");
    h->btnCancel->click();
    QVERIFY(h->isHidden());
    QCOMPARE(h->edName->text(), QString("kept"));
    QVERIFY(m_app->MainForm->isEnabled());
}

void tst_DialogWindow::passwordHiddenUntilShown()
{
    TSelHost *h = m_app->SelHost;
    QCOMPARE(h->edPsw->echoMode(), QLineEdit::Password);
    h->cbShowPsw->setChecked(true);
    QCOMPARE(h->edPsw->echoMode(), QLineEdit::Normal);
    h->cbShowPsw->setChecked(false);
    QCOMPARE(h->edPsw->echoMode(), QLineEdit::Password);
    h->edPsw->setText("secret");
    QCOMPARE(h->CurrentPassword(), QString("secret"));
    h->edPsw->clear();
}

void tst_DialogWindow::findDialogReturnAndEscape()
{
    TSeekForm *seek = m_app->SeekForm;
    seek->show();
    QVERIFY(QTest::qWaitForWindowExposed(seek));
    seek->edName->setFocus();
    seek->edName->setText("%");
    QTest::keyClick(seek->edName, Qt::Key_Return);
    QVERIFY(seek->isHidden());
    QCOMPARE(m_app->TabForm->DS(), seek->Query);
    m_app->TabForm->btnAllClick();
    seek->show();
    seek->edName->setText("nothing-like-this");
    QTest::keyClick(seek->edName, Qt::Key_Escape);
    QVERIFY(seek->isHidden());
    QCOMPARE(m_app->TabForm->DS(), m_app->TabForm->qAll);
}

void tst_DialogWindow::aboutClosesWithEscape()
{
    TAbout *about = m_app->About;
    about->show();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    QTest::keyClick(about, Qt::Key_Escape);
    QVERIFY(about->isHidden());
    about->show();
    QTest::keyClick(about, Qt::Key_Return);
    QVERIFY(about->isHidden());
    QVERIFY(m_app->MainForm->isEnabled());
}

// The captions stay; an "&" only marks the underlined letter.
void tst_DialogWindow::mnemonicsOnlyUnderline()
{
    QCOMPARE(m_app->SelHost->btnOk->text().remove('&'), QString("Ok"));
    QCOMPARE(m_app->SelHost->Label2->text().remove('&'), QString("Host Name"));
    QCOMPARE(m_app->MainForm->SelectHost1->text().remove('&'), QString("Select Host"));
    QCOMPARE(m_app->MainForm->SelectHost1->shortcut(), QKeySequence("Ctrl+H"));
    QCOMPARE(m_app->MainForm->ScanHost1->shortcut(), QKeySequence("F5"));
    QCOMPARE(m_app->MainForm->Find1->shortcut(), QKeySequence("Ctrl+F"));
    QCOMPARE(m_app->MainForm->Query1->shortcut(), QKeySequence("Ctrl+E"));
    QCOMPARE(m_app->MainForm->AllRecords1->shortcut(), QKeySequence("Ctrl+L"));
}

QTEST_MAIN(tst_DialogWindow)
#include "tst_dialogwindow.moc"
