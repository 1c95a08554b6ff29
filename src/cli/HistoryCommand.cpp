#include "HistoryCommand.h"
#include "CatalogueGuard.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueHosts.h"
#include "core/catalogue/ScanRuns.h"

#include <QSet>

// UTC as stored: the same text on every machine that shares a catalogue.
QString HistoryCommand::timeText(const QDateTime &utc)
{
    return utc.isValid() ? utc.toUTC().toString(Qt::ISODate) : QString();
}

QString HistoryCommand::duration(const ScanRun &run)
{
    return run.started.isValid() && run.ended.isValid() ? QString::number(run.started.secsTo(run.ended)) : QString();
}

int HistoryCommand::history()
{
    return CatalogueGuard::run([this] {
        const QString host = m_c.args.first().left(Catalogue::HostSize);
        m_c.catalogue.flush();
        ResultWriter out(m_c.format);
        out.header({"Run", "Started", "Seconds", "Result", "Entries", "Folders", "Added", "Changed", "Removed",
                    "UnreadLines", "Method", "Greeting"});
        for (const ScanRun &r : ScanRuns(m_c.catalogue.database()).history(host))
            out.row({r.run, timeText(r.started), duration(r), ScanRun::resultText(r.result), r.entries, r.folders,
                     r.added, r.changed, r.removed, r.unreadLines, r.method, r.greeting});
    });
}

// Hosts with rows, and hosts with runs only (never reached, or emptied):
// both are hosts a rescan takes.
int HistoryCommand::hostsLong()
{
    return CatalogueGuard::run([this] {
        m_c.catalogue.flush();
        const QHash<QString, ScanRuns::Status> status = ScanRuns(m_c.catalogue.database()).statusByHost();
        QMap<QString, CatalogueHosts::Host> hosts;
        for (const CatalogueHosts::Host &h : CatalogueHosts::all(m_c.catalogue))
            hosts.insert(h.name, h);
        for (auto it = status.cbegin(); it != status.cend(); ++it)
            hosts[it.key()].name = it.key();
        ResultWriter out(m_c.format);
        out.header({"Host", "Rows", "TotalSize", "LastRun", "LastStarted", "LastResult", "LastAnswered", "LastComplete"});
        for (const CatalogueHosts::Host &h : std::as_const(hosts)) {
            const auto s = status.constFind(h.name);
            if (s == status.cend()) {
                out.row({h.name, h.entries, h.bytes, QVariant(), QString(), QString(), QString(), QString()});
                continue;
            }
            out.row({h.name, h.entries, h.bytes, s->last.run, timeText(s->last.started),
                     ScanRun::resultText(s->last.result), timeText(s->lastAnswered), timeText(s->lastComplete)});
        }
    });
}
