#include "HitJson.h"
#include "core/catalogue/LacTime.h"

QJsonValue HitJson::date(double lac)
{
    const QDateTime t = LacTime::toDateTime(lac);
    return t.isValid() ? QJsonValue(t.toUTC().toString(Qt::ISODate)) : QJsonValue();
}

QJsonObject HitJson::of(const PathSearch::Hit &hit, PathSearch &search)
{
    const CatalogueRecord &r = hit.row;
    const QByteArray url = search.url(hit);
    return {{"Name", r.name},
            {"ext", r.ext},
            {"Size", QJsonValue::fromVariant(r.size)},
            {"Host", r.host},
            {"Attr", r.attr},
            {"LAC", hit.lac},
            {"ID", r.id},
            {"PID", r.pid},
            {"Path", hit.path},
            {"Date", date(hit.lac)},
            {"Url", url.isEmpty() ? QJsonValue() : QJsonValue(QString::fromLatin1(url))}};
}
