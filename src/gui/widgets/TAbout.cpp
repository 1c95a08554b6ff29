#include "TAbout.h"

TAbout::TAbout(QWidget *mainWindow)
    : TAboutForm(mainWindow)
{
    setWindowTitle(QStringLiteral("About"));
}

void TAbout::FormShow()
{
    setAppName(QStringLiteral("Harvex"));
    setAppDate(QString::fromUtf8("22 мая 2004 г."));
    setAppText(QString::fromUtf8("   Программа предназначена для просмотра ftp-ресурсов."));
}
