#pragma once
#include <QString>
#include <QStringList>
#include <optional>

// The addresses of a --hosts-file: one a line, as `scan` takes them
// ([ftp://|ftps://][user@]host[:port][/start/folder]); blank lines and
// those that start with "#" are skipped, as is a " #" comment after one.
class HostsFile
{
public:
    // Nothing, with error set, when the file cannot be read or holds no address.
    static std::optional<QStringList> read(const QString &path, QString &error);
    static QStringList parse(const QString &text);
};
