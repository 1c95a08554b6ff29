#include "ListingChoice.h"

#include <QStringList>

namespace {
constexpr ListingMethod Methods[] = {ListingMethod::Mlsd, ListingMethod::ListA, ListingMethod::List,
                                     ListingMethod::Stat, ListingMethod::StatA};

std::optional<ListingMethod> methodNamed(const QString &name)
{
    for (const ListingMethod m : Methods) {
        if (name == QLatin1String(listingCommand(m)))
            return m;
    }
    return std::nullopt;
}
} // namespace

QString ListingChoice::text() const
{
    QStringList names;
    for (const ListingMethod m : supported)
        names << QString::fromLatin1(listingCommand(m));
    return QStringList{QString::fromLatin1(listingCommand(method)), names.join(u','), QString::number(clockOffsetS),
                       folderSizes ? QStringLiteral("1") : QStringLiteral("0"), QString::fromLatin1(signature.toHex())}
        .join(u'|');
}

std::optional<ListingChoice> ListingChoice::fromText(const QString &text)
{
    const QStringList parts = text.split(u'|');
    if (parts.size() != 5)
        return std::nullopt;
    ListingChoice c;
    const std::optional<ListingMethod> method = methodNamed(parts[0]);
    bool offsetOk = false;
    c.clockOffsetS = parts[2].toInt(&offsetOk);
    c.folderSizes = parts[3] == QLatin1String("1");
    c.signature = QByteArray::fromHex(parts[4].toLatin1());
    if (!method || !offsetOk || c.signature.isEmpty())
        return std::nullopt;
    c.method = *method;
    for (const QString &name : parts[1].split(u',', Qt::SkipEmptyParts)) {
        const std::optional<ListingMethod> m = methodNamed(name);
        if (!m)
            return std::nullopt;
        c.supported << *m;
    }
    return c.supported.contains(c.method) ? std::optional<ListingChoice>(c) : std::nullopt;
}
