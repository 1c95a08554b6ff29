#include "RescanClaims.h"
#include "Catalogue.h"
#include "SqlStatement.h"

namespace {
// Advisory lock class ("Harx"): apart from the scans' own host locks
// ("Harv"), which the scan takes on its own connection of this process.
constexpr int ClaimClass = 0x48617278;
} // namespace

bool RescanClaims::claim(const QString &host)
{
    if (!m_catalogue.isShared())
        return true;
    QSqlQuery q = SqlStatement::run(m_catalogue.database(),
                                    QStringLiteral("SELECT pg_try_advisory_lock(%1, hashtext(?))").arg(ClaimClass), {host});
    return q.next() && q.value(0).toBool();
}
