#include "NameCommands.h"
#include "CatalogueGuard.h"
#include "CommandContext.h"
#include "CommandLine.h"
#include "ExitCode.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/ExactNames.h"
#include "core/catalogue/ChangeReport.h"
#include "core/catalogue/ScanChanges.h"
#include "core/catalogue/ScanRuns.h"
#include "core/scan/ScanSetup.h"

#include <cstdio>
#include <limits>

int NameCommands::recodeCommand(const CommandContext &c)
{
    return CatalogueGuard::run([&] { NameCommands(c.catalogue, c.settings, c.format).recode(c.args.first()); });
}

int NameCommands::changesCommand(const CommandContext &c)
{
    qint64 run = 0;
    if (c.line.isSet("run")) {
        bool ok = false;
        run = c.line.value("run").toLongLong(&ok);
        if (!ok || run < 1)
            return CommandLine::usageError(QStringLiteral("--run takes a run number, as harvex-cli history lists them"));
    }
    int code = ExitCode::Ok;
    const int guarded = CatalogueGuard::run([&] {
        NameCommands commands(c.catalogue, c.settings, c.format);
        if (run > 0 && !commands.runKept(c.args.first(), run))
            code = ExitCode::Failed;
        else
            commands.changes(c.args.first(), run);
    });
    return guarded != ExitCode::Ok ? guarded : code;
}

// Told on standard error when the run's lines are not there to read.
bool NameCommands::runKept(const QString &host, qint64 run)
{
    const QString stored = host.left(Catalogue::HostSize);
    const std::optional<ScanRun> last = ScanRuns(m_catalogue.database()).last(stored);
    if (!last || run > last->run) {
        std::fprintf(stderr, "%s\n", qPrintable(QStringLiteral("%1 has no run %2").arg(host).arg(run)));
        return false;
    }
    const int keep = ScanSetup(m_settings).keepRuns();
    if (run <= last->run - keep) {
        std::fprintf(stderr, "%s\n",
                     qPrintable(QStringLiteral("The changes of run %1 of %2 are no longer kept: the last %3 runs keep "
                                               "theirs ([SCAN] Keep Runs)").arg(run).arg(host).arg(keep)));
        return false;
    }
    return true;
}

void NameCommands::recode(const QString &host)
{
    const QByteArray codePage = ScanSetup::codePageFor(m_settings, host);
    const int n = ExactNames::recode(m_catalogue, host.left(Catalogue::HostSize), codePage);
    std::fprintf(stderr, "%s\n",
                 qPrintable(QStringLiteral("%1 names decoded again as %2").arg(n).arg(QString::fromLatin1(codePage))));
}

// Every line, however many: the output goes to a file or a pipe.
void NameCommands::changes(const QString &host, qint64 run)
{
    ChangeReport report;
    report.read(m_catalogue, host, ScanSetup::codePageFor(m_settings, host), std::numeric_limits<int>::max(), run);
    ResultWriter out(m_format);
    out.header({"Change", "ID", "Path"});
    for (const ChangeReport::Line &line : report.lines())
        out.row({ScanChanges::kindText(line.kind), line.id, line.path});
}
