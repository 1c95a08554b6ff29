#include "RescanCommand.h"
#include "BatchCommand.h"
#include "CatalogueGuard.h"
#include "CommandLine.h"
#include "ConsoleLine.h"
#include "ExitCode.h"
#include "ScanCommand.h"
#include "ScanFlags.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/RescanChoice.h"
#include "core/catalogue/RescanClaims.h"
#include "core/ftp/FtpAddress.h"

#include <QRegularExpression>

std::optional<qint64> RescanCommand::ageSeconds(const QString &text)
{
    static const QRegularExpression age(QStringLiteral("^(\\d{1,9})([smhdw]?)$"));
    const QRegularExpressionMatch m = age.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    static const QHash<QString, qint64> unit{{"s", 1}, {"m", 60}, {"h", 3600}, {"", 86400}, {"d", 86400}, {"w", 604800}};
    return m.captured(1).toLongLong() * unit.value(m.captured(2));
}

// The logons from ~/.netrc, the flags checked as scan checks them.
std::optional<QList<BatchHost>> RescanCommand::hostsFor(const QList<RescanChoice::Due> &due, ScanSetup::Overrides &flags) const
{
    const ScanCommand single(m_c);
    QList<BatchHost> hosts;
    for (const RescanChoice::Due &d : due) {
        const std::optional<ScanSetup::Overrides> read = ScanFlags::read(m_c.line, d.host);
        const std::optional<HostSnapshot> logon = read ? single.hostToScan(FtpAddress::parse(d.host)) : std::nullopt;
        if (!logon)
            return std::nullopt;
        flags = *read;
        BatchHost host;
        host.logon = *logon;
        host.startPath = d.startPath;
        hosts << host;
    }
    return hosts;
}

int RescanCommand::run()
{
    RescanChoice choice;
    choice.failedOnly = m_c.line.isSet("failed");
    if (m_c.line.isSet("older-than")) {
        choice.olderThanSecs = ageSeconds(m_c.line.value("older-than"));
        if (!choice.olderThanSecs)
            return CommandLine::usageError(QStringLiteral("--older-than takes an age: 7d, 12h, 30m, 2w"));
    }
    if (m_c.line.isSet("password-stdin"))
        return CommandLine::usageError(QStringLiteral("rescan takes the hosts' passwords from ~/.netrc"));
    QList<RescanChoice::Due> due;
    if (const int code = CatalogueGuard::run([&] { due = choice.due(m_c.catalogue); }); code != ExitCode::Ok)
        return code;
    if (due.isEmpty()) {
        ConsoleLine::err(QStringLiteral("No host is due for a rescan"));
        return ExitCode::Ok;
    }
    ScanSetup::Overrides flags;
    std::optional<QList<BatchHost>> hosts = hostsFor(due, flags);
    if (!hosts)
        return ExitCode::Failed;
    RescanClaims claims(m_c.catalogue);
    return BatchCommand(m_c).scan(*hosts, flags, [&](const BatchHost &h) {
        const qsizetype i = &h - hosts->constData();
        bool take = false;
        CatalogueGuard::run([&] { take = claims.claim(due[i].host) && choice.stillDue(m_c.catalogue, due[i]); });
        return take;
    });
}
