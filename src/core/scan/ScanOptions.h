#pragma once
#include "core/ftp/FtpLogon.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class IniFile;

// The scan settings as the Options dialog edits them: read through
// ScanSetup, so the defaults are the ones a scan uses, and written back
// only where they differ from what the file holds, so that a key the user
// never set stays absent and keeps following the program's default.
class ScanOptions
{
public:
    // [FTP] and [SCAN]: one value for every host.
    struct Program
    {
        bool passive = false;
        int connections = 0;
        int maxDepth = 0;
        qint64 maxEntries = 0; // 0: no cap
        int listingDeadlineS = 0;
    };
    // [TLS], [TRUST] and [ENCODING], keyed by the host name without port.
    struct Host
    {
        FtpLogon::Tls tls = FtpLogon::Tls::Try;
        QByteArray pinnedSha256; // empty: none
        QByteArray codePage;
    };
    struct Pin
    {
        QString host;
        QByteArray sha256;
    };

    explicit ScanOptions(IniFile &settings); // not owned; outlives this

    Program program() const;
    void setProgram(const Program &p);
    Host host(const QString &hostText) const;
    // The pin is not written here: only the prompt pins, forget() unpins.
    void setHost(const QString &hostText, const Host &h);
    void forget(const QString &hostText);
    QList<Pin> pins() const;
    // The hosts of more, then those the per-host sections name, each once
    // and without port or scheme.
    QStringList hosts(const QStringList &more) const;
    static QString hostKey(const QString &hostText);

private:
    IniFile &m_settings;
};
