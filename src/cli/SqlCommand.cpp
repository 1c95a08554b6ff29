#include "SqlCommand.h"
#include "ConsoleLine.h"
#include "ExitCode.h"
#include "core/catalogue/Catalogue.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

int SqlCommand::run()
{
    QSqlQuery q(m_c.catalogue.database());
    q.setForwardOnly(true);
    if (!q.exec(m_c.args.first())) {
        ConsoleLine::err(q.lastError().text());
        return ExitCode::Failed;
    }
    if (!q.isSelect()) {
        ConsoleLine::err(QStringLiteral("%1 rows affected").arg(q.numRowsAffected()));
        return ExitCode::Ok;
    }
    return writeRows(q);
}

int SqlCommand::runStatement(const CatalogueQueries::Statement &st)
{
    QSqlQuery q(m_c.catalogue.database());
    q.setForwardOnly(true);
    q.prepare(st.sql);
    for (const QVariant &v : st.params)
        q.addBindValue(v);
    if (!q.exec()) {
        ConsoleLine::err(q.lastError().text());
        return ExitCode::Failed;
    }
    return writeRows(q);
}

int SqlCommand::writeRows(QSqlQuery &q) const
{
    ResultWriter out(m_c.format);
    const QSqlRecord rec = q.record();
    QStringList fields;
    for (int i = 0; i < rec.count(); ++i)
        fields << rec.fieldName(i);
    out.header(fields);
    while (q.next()) {
        QVariantList values;
        for (int i = 0; i < rec.count(); ++i)
            values << q.value(i);
        out.row(values);
    }
    return ExitCode::Ok;
}
