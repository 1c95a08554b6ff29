#include "CatalogueAddress.h"
#include "CatalogueError.h"
#include "core/base/IniFile.h"

#include <QUrl>
#include <QUrlQuery>

bool CatalogueAddress::isUrl(const QString &where)
{
    return where.startsWith(QLatin1String("postgresql://")) || where.startsWith(QLatin1String("postgres://"));
}

QString CatalogueAddress::chosen(const IniFile &settings, const QString &folder)
{
    const QString url = settings.readString(QStringLiteral("DB"), QStringLiteral("Url"), QString()).trimmed();
    return url.isEmpty() ? folder : url;
}

QString CatalogueAddress::shown(const QString &url)
{
    return QUrl(url).toString(QUrl::RemovePassword);
}

QSqlDatabase CatalogueAddress::connection(const QString &url, const QString &connectionName)
{
    const QUrl u(url, QUrl::StrictMode);
    if (!u.isValid() || !isUrl(url))
        throw CatalogueError(QStringLiteral("\"%1\" is not a PostgreSQL address (postgresql://user@host:5432/database)")
                                 .arg(shown(url)));
    if (!u.password().isEmpty())
        throw CatalogueError(QStringLiteral("The database address holds a password: put it in ~/.pgpass or "
                                            "PGPASSWORD instead"));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
    // libpq's URI form: a socket folder may come as ?host=/path.
    QUrlQuery query(u);
    const QString host = query.hasQueryItem(QStringLiteral("host"))
        ? query.queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded) : u.host(QUrl::FullyDecoded);
    query.removeAllQueryItems(QStringLiteral("host"));
    db.setHostName(host);
    const int port = query.hasQueryItem(QStringLiteral("port")) ? query.queryItemValue(QStringLiteral("port")).toInt() : u.port();
    query.removeAllQueryItems(QStringLiteral("port"));
    if (port > 0)
        db.setPort(port);
    db.setUserName(u.userName(QUrl::FullyDecoded));
    const QString name = u.path(QUrl::FullyDecoded).mid(1);
    db.setDatabaseName(name.isEmpty() ? u.userName(QUrl::FullyDecoded) : name);
    // Any other libpq keyword (sslmode, connect_timeout) goes through as given.
    QStringList options;
    for (const auto &item : query.queryItems(QUrl::FullyDecoded))
        options << item.first + u'=' + item.second;
    if (!query.hasQueryItem(QStringLiteral("connect_timeout")))
        options << QStringLiteral("connect_timeout=10");
    db.setConnectOptions(options.join(u';'));
    return db;
}
