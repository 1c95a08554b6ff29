#pragma once
#include <QString>
#include <optional>

// Log-ons kept in a .netrc file, as ftp, curl and lftp read it: "machine
// NAME login USER password PASS" in any layout of words, a "default" entry
// for every other machine, "macdef" macros (skipped to their blank line) and
// "#" comments. A password is never taken from a file that others can read
// or write: such a file is refused, as ftp refuses it.
class NetrcFile
{
public:
    struct Logon
    {
        QString user;
        QString password;
    };

    // ~/.netrc.
    static QString defaultPath();

    // The log-on for host, the first entry that names it (or the default
    // one); with user given, only an entry for that user. Nothing when the
    // file is missing or holds no entry; error is set (and nothing given)
    // when the file cannot be read, or gives a password and others can read it.
    static std::optional<Logon> find(const QString &path, const QString &host, const QString &user, QString &error);
    // The same on the file's text, for a file already checked.
    static std::optional<Logon> findIn(const QByteArray &text, const QString &host, const QString &user);
};
