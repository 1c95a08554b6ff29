#include "NameCommands.h"
#include "CatalogueGuard.h"
#include "CommandContext.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/ExactNames.h"
#include "core/catalogue/ChangeReport.h"
#include "core/catalogue/ScanChanges.h"
#include "core/scan/ScanSetup.h"

#include <cstdio>
#include <limits>

int NameCommands::recodeCommand(const CommandContext &c)
{
    return CatalogueGuard::run([&] { NameCommands(c.catalogue, c.settings, c.format).recode(c.args.first()); });
}

int NameCommands::changesCommand(const CommandContext &c)
{
    return CatalogueGuard::run([&] { NameCommands(c.catalogue, c.settings, c.format).changes(c.args.first()); });
}

void NameCommands::recode(const QString &host)
{
    const QByteArray codePage = ScanSetup::codePageFor(m_settings, host);
    const int n = ExactNames::recode(m_catalogue, host.left(Catalogue::HostSize), codePage);
    std::fprintf(stderr, "%s\n",
                 qPrintable(QStringLiteral("%1 names decoded again as %2").arg(n).arg(QString::fromLatin1(codePage))));
}

// Every line, however many: the output goes to a file or a pipe.
void NameCommands::changes(const QString &host)
{
    ChangeReport report;
    report.read(m_catalogue, host, ScanSetup::codePageFor(m_settings, host), std::numeric_limits<int>::max());
    ResultWriter out(m_format);
    out.header({"Change", "ID", "Path"});
    for (const ChangeReport::Line &line : report.lines())
        out.row({ScanChanges::kindText(line.kind), line.id, line.path});
}
