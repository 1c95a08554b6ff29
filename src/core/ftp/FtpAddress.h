#pragma once
#include <QByteArray>
#include <QString>

// A server and where on it to start, as a user writes it for a scan:
// [ftp://|ftps://][user@]host[:port][/start/folder], with %XX for bytes a
// name holds that the address cannot (a space, a "/", a byte not UTF-8).
struct FtpAddress
{
    // The address without the user and the folder: what FtpLogon reads and
    // what the catalogue names the host by, so that a scan of a folder and
    // one of the whole server fill the same tree.
    QString hostText;
    QString user; // empty when not given
    // The folder's names as the server lists them, joined by "/", no
    // leading "/"; "" is the top.
    QByteArray startPath;
    bool valid = true;
    QString error;

    static FtpAddress parse(const QString &text);

private:
    void readFolder(const QString &path);
};
