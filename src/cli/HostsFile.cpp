#include "HostsFile.h"

#include <QFile>
#include <QRegularExpression>

QStringList HostsFile::parse(const QString &text)
{
    static const QRegularExpression trailingComment(QStringLiteral("\\s#.*$"));
    QStringList addresses;
    for (QString line : text.split(u'\n')) {
        line.remove(trailingComment);
        line = line.trimmed();
        if (!line.isEmpty() && !line.startsWith(u'#'))
            addresses << line;
    }
    return addresses;
}

std::optional<QStringList> HostsFile::read(const QString &path, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("Cannot read the hosts file %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    const QStringList addresses = parse(QString::fromUtf8(file.readAll()));
    if (addresses.isEmpty()) {
        error = QStringLiteral("The hosts file %1 names no host").arg(path);
        return std::nullopt;
    }
    return addresses;
}
