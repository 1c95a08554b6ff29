#include "LocalZone.h"

#include <QFile>
#include <QtGlobal>

void LocalZone::pin()
{
    const char *const zoneFile = "/etc/localtime";
    if (qEnvironmentVariableIsSet("TZ") || !QFile::exists(QString::fromLatin1(zoneFile)))
        return;
    qputenv("TZ", QByteArray(":") + zoneFile);
}
