#include "NameCommands.h"
#include "CatalogueGuard.h"
#include "CommandContext.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/ExactNames.h"
#include "core/catalogue/LineageWalk.h"
#include "core/catalogue/ScanChanges.h"
#include "core/scan/ScanSetup.h"

#include <cstdio>

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

void NameCommands::changes(const QString &host)
{
    const QByteArray codePage = ScanSetup::codePageFor(m_settings, host);
    LineageWalk walk(m_catalogue);
    walk.setCodePage(codePage);
    ResultWriter out(m_format);
    out.header({"Change", "ID", "Path"});
    for (const ScanChanges::Change &c : ScanChanges::last(m_catalogue, host.left(Catalogue::HostSize))) {
        QString path;
        if (c.kind == ScanChanges::Kind::Removed) {
            path = u'/' + LineageWalk::decodePath(c.path, codePage);
        } else {
            const auto row = m_catalogue.recordById(c.id);
            if (!row)
                continue; // removed since by hand (the SQL window)
            path = u'/' + LineageWalk::decodePath(walk.exactPathBytes(*row), codePage);
        }
        out.row({ScanChanges::kindText(c.kind), c.id, path});
    }
}
