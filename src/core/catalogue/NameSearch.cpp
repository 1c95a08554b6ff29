#include "NameSearch.h"
#include "CatalogueError.h"
#include "NameFold.h"
#include "NameIndex.h"
#include "PgFoldedNames.h"
#include "SqlDialect.h"

#include <QSqlError>

namespace {
bool isWildcard(char32_t c)
{
    return c == U'%' || c == U'_';
}

// One FTS5 string: quotes inside are doubled.
QString quoted(const QList<char32_t> &run, qsizetype from)
{
    QString s = QString::fromUcs4(run.constData() + from, NameSearch::MinRun);
    return QLatin1Char('"') + s.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

void addTrigrams(const QList<char32_t> &run, QStringList &terms)
{
    for (qsizetype i = 0; i + NameSearch::MinRun <= run.size(); ++i) {
        const QString t = quoted(run, i);
        if (!terms.contains(t))
            terms << t;
    }
}
} // namespace

NameSearch::NameSearch(QSqlDatabase db)
    : m_db(db)
    , m_hasIndex(NameIndex::exists(db))
{
}

QString NameSearch::trigramQuery(const QString &pattern)
{
    // Code points, not UTF-16 units: the tokenizer counts characters.
    const QList<uint> ucs4 = NameFold::fold(pattern).toUcs4();
    QStringList terms;
    QList<char32_t> run;
    for (uint c : ucs4) {
        if (isWildcard(c)) {
            addTrigrams(run, terms);
            run.clear();
        } else {
            run << c;
        }
    }
    addTrigrams(run, terms);
    return terms.join(QLatin1String(" AND "));
}

NameSearch::Condition NameSearch::condition(const QString &pattern) const
{
    // Nothing but "%" matches every name alike: folding would only cost.
    if (NameFold::matchesAll(pattern))
        return {u'(' + SqlDialect::like(m_db, QStringLiteral("Name")) + u')', {pattern}, false};
    const QString folded = NameFold::fold(pattern);
    // PostgreSQL's planner takes the candidates from the folded names' index and checks each.
    if (SqlDialect::plannerUsesNameIndex(m_db))
        return {PgFoldedNames::condition(), {folded}, m_hasIndex};
    return sqliteCondition(folded);
}

NameSearch::Condition NameSearch::sqliteCondition(const QString &folded) const
{
    // SQLite's LIKE folds A to Z only: the folded name is matched against
    // the folded pattern by the program's own function.
    const QString like = QStringLiteral("(harvex_match(?, Name))");
    const QString trigrams = m_hasIndex ? trigramQuery(folded) : QString();
    if (trigrams.isEmpty())
        return {like, {folded}, false};
    // The index gives the candidates, harvex_match keeps exactly the
    // matching ones. Rows above the index's mark (a build not finished,
    // rows added through the SQL window) and rows renamed by another
    // program, not folded yet, are all candidates.
    return {QStringLiteral("(DB.rowid IN (SELECT rowid FROM DB_FoldedNames WHERE DB_FoldedNames MATCH ? "
                           "UNION ALL SELECT rowid FROM DB WHERE rowid > (SELECT indexedTo FROM DB_FoldedNamesState) "
                           "UNION ALL SELECT ID FROM DB_FoldedNamesStale) AND harvex_match(?, Name))"),
            {trigrams, folded},
            true};
}

QSqlQuery NameSearch::find(const QString &pattern, const QString &extPattern) const
{
    const Condition c = condition(pattern);
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    const QString ext = u'(' + SqlDialect::like(m_db, QStringLiteral("Ext")) + u')';
    if (!q.prepare(QStringLiteral("SELECT * FROM DB WHERE %1 AND %2").arg(c.sql, ext)))
        throw CatalogueError(q.lastError().text());
    for (const QVariant &v : c.values)
        q.addBindValue(v);
    q.addBindValue(extPattern);
    if (!q.exec())
        throw CatalogueError(q.lastError().text());
    return q;
}
