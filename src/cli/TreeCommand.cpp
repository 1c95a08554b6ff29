#include "TreeCommand.h"
#include "CatalogueGuard.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueQueries.h"
#include "core/catalogue/HostHistory.h"

int TreeCommand::run()
{
    QList<CatalogueQueries::Folder> folders;
    const int code = CatalogueGuard::run([&] {
        folders = CatalogueQueries(m_c.catalogue.database()).folderTree(host(), CatalogueQueries::HostMatch::Exact);
    });
    if (code != ExitCode::Ok)
        return code;
    ResultWriter out(m_c.format);
    out.header({"Depth", "ID", "Name"});
    for (const CatalogueQueries::Folder &f : folders)
        out.row({f.depth, f.id, QString(f.depth * 2, u' ') + f.name});
    return ExitCode::Ok;
}

QString TreeCommand::host() const
{
    return m_c.args.isEmpty() ? HostHistory(m_c.settings).load().value(0) : m_c.args.first();
}
