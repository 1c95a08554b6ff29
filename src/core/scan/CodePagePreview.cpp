#include "CodePagePreview.h"
#include "ScanOptions.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/ExactNames.h"
#include "core/catalogue/SqlStatement.h"

#include <QStringDecoder>

namespace {
// Most ExactName rows of a host are cut UTF-8 names: reading this many
// bounds the time on a large host and still finds names to show.
constexpr int RowsRead = 2000;
} // namespace

CodePagePreview::CodePagePreview(Catalogue &catalogue, const QString &hostKey)
{
    for (const QString &stored : ExactNames::notedHosts(catalogue))
        if (m_bytes.size() < MaxNames && ScanOptions::hostKey(stored).compare(hostKey, Qt::CaseInsensitive) == 0)
            read(catalogue, stored);
}

void CodePagePreview::read(Catalogue &catalogue, const QString &storedHost)
{
    QSqlQuery rows = SqlStatement::run(catalogue.database(),
                                       QStringLiteral("SELECT x.Bytes FROM ExactName x JOIN DB d ON d.ID = x.ID "
                                                      "WHERE d.Host = ? ORDER BY x.ID LIMIT %1")
                                           .arg(RowsRead),
                                       {storedHost});
    while (m_bytes.size() < MaxNames && rows.next()) {
        const QByteArray bytes = rows.value(0).toByteArray();
        if (!ExactNames::isUtf8(bytes))
            m_bytes << bytes;
    }
}

bool CodePagePreview::isKnown(const QByteArray &codePage)
{
    return !codePage.isEmpty() && QStringDecoder(codePage.constData()).isValid();
}

QStringList CodePagePreview::decoded(const QByteArray &codePage) const
{
    if (!isKnown(codePage))
        return {};
    QStringList names;
    for (const QByteArray &bytes : m_bytes)
        names << ExactNames::decode(bytes, codePage);
    return names;
}
