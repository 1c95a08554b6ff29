#include "DueRescans.h"
#include "core/base/IniFile.h"
#include "core/base/NetrcFile.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/RescanChoice.h"
#include "core/ftp/FtpLogon.h"
#include "widgets/UiSeam.h"

bool DueRescans::start(Catalogue &catalogue, const IniFile &settings)
{
    RescanChoice choice;
    const int days = settings.readInt(QStringLiteral("SCAN"), QStringLiteral("Rescan After"), DefaultRescanAfterDays);
    choice.olderThanSecs = qint64(qMax(0, days)) * 86400;
    m_left.clear();
    try {
        for (const RescanChoice::Due &d : choice.due(catalogue))
            m_left << d.host;
    } catch (const CatalogueError &e) {
        UiSeam::message(e.message());
        return false;
    }
    if (m_left.isEmpty()) {
        UiSeam::message(QStringLiteral("No host is due for a rescan"));
        return false;
    }
    scanFirstLeft();
    return true;
}

bool DueRescans::next(bool cancelled)
{
    m_running = false;
    if (cancelled)
        m_left.clear();
    if (m_left.isEmpty())
        return false;
    scanFirstLeft();
    return true;
}

// A .netrc that others can read gives no password: the host is tried anonymously, and the log tells why it failed.
void DueRescans::scanFirstLeft()
{
    const QString host = m_left.takeFirst();
    QString error;
    const auto logon = NetrcFile::find(NetrcFile::defaultPath(), FtpLogon::fromHostText(host).host, QString(), error);
    if (!error.isEmpty())
        UiSeam::message(error);
    m_running = true;
    m_scan(host, logon ? logon->user : QString(), logon ? logon->password : QString());
}
