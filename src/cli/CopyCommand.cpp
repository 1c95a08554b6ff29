#include "CopyCommand.h"
#include "CommandContext.h"
#include "CommandLine.h"
#include "ConsoleLine.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueCopy.h"
#include "core/catalogue/CatalogueError.h"

#include <QElapsedTimer>

int CopyCommand::fromCommandLine(const CommandContext &c)
{
    if (c.line.isSet("to") == c.line.isSet("from"))
        return CommandLine::usageError(QStringLiteral("copy takes --to URL or --from URL"));
    const bool to = c.line.isSet("to");
    return CopyCommand(c.catalogue).run(c.line.value(to ? "to" : "from"), to, c.line.values("host"));
}

int CopyCommand::run(const QString &url, bool toUrl, const QStringList &hosts)
{
    try {
        Catalogue other;
        other.open(url);
        CatalogueCopy copy(toUrl ? m_local : other, toUrl ? other : m_local);
        copy.setHosts(hosts);
        QElapsedTimer sinceLine;
        sinceLine.start();
        // A line a second at most: a terminal or a log file reads it alike.
        const CatalogueCopy::Result r = copy.run([&sinceLine](qint64 done, qint64 total) {
            if (done < total && sinceLine.elapsed() < 1000)
                return;
            sinceLine.restart();
            ConsoleLine::err(QStringLiteral("Copied %1 of %2 rows").arg(done).arg(total));
        });
        ConsoleLine::err(QStringLiteral("%1 rows copied; %2 took a new ID, their children following").arg(r.rows).arg(r.redrawn));
    } catch (const CatalogueError &e) {
        ConsoleLine::err(e.message());
        return 1;
    }
    return 0;
}
