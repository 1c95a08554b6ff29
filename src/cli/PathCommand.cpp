#include "PathCommand.h"
#include "CatalogueGuard.h"
#include "CommandLine.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/LineageWalk.h"
#include "core/scan/ScanSetup.h"

int PathCommand::run()
{
    bool ok = false;
    const qint32 id = m_c.args.first().toInt(&ok);
    if (!ok)
        return CommandLine::usageError(QStringLiteral("\"%1\" is not a record ID").arg(m_c.args.first()));
    return CatalogueGuard::run([&] { write(id); });
}

// Throws CatalogueError.
void PathCommand::write(qint32 id)
{
    LineageWalk walk(m_c.catalogue);
    const auto row = m_c.catalogue.recordById(id);
    if (!row)
        throw CatalogueError(QStringLiteral("Record Not Found"));
    const LineageWalk::Summary s = walk.recordSummary(id);
    const QString path = walk.exactPath(*row);
    // The path starts "//host/": its host decides the code page of the names.
    walk.setCodePage(ScanSetup::codePageFor(m_c.settings, path.mid(2).section(u'/', 0, 0)));
    ResultWriter out(m_c.format);
    out.header({"Path", "Size", "Address"});
    out.row({walk.exactPath(*row), s.size, walk.explorerUrl(*row).toString(QUrl::FullyEncoded)});
}
