#include "LineageWalk.h"
#include "Catalogue.h"
#include "CatalogueError.h"
#include "EntryName.h"
#include "ExactNames.h"

#include <QLocale>
#include <QSet>

CatalogueRecord LineageWalk::lookUp(qint32 id)
{
    const auto row = m_catalogue.recordById(id);
    if (!row)
        throw CatalogueError(QStringLiteral("Record Not Found"));
    return *row;
}

QList<CatalogueRecord> LineageWalk::ancestors(qint32 pid)
{
    QList<CatalogueRecord> chain;
    QSet<qint32> visited;
    while (pid != 0) {
        if (visited.contains(pid))
            throw CatalogueError(QStringLiteral("Record Not Found"));
        visited.insert(pid);
        const CatalogueRecord row = lookUp(pid);
        chain.prepend(row);
        pid = row.pid;
    }
    return chain;
}

QString LineageWalk::recordPathText(qint32 pid)
{
    QString text;
    for (const CatalogueRecord &r : ancestors(pid))
        text += u'\\' + r.name + u'\r';
    return QStringLiteral("Record path:\r") + text;
}

QUrl LineageWalk::explorerUrl(const CatalogueRecord &row)
{
    QByteArray path;
    for (const QByteArray &name : exactPathBytes(row).split('/'))
        path += '/' + name.toPercentEncoding();
    if (row.ext == EntryName::DirMarker)
        path += '/';
    // The host text may carry a port ("host:2121") or be a bracketed IPv6 address.
    return QUrl::fromEncoded("ftp://" + row.host.toUtf8() + path, QUrl::StrictMode);
}

QByteArray LineageWalk::exactPathBytes(const CatalogueRecord &row)
{
    QByteArray path;
    for (const CatalogueRecord &r : ancestors(row.pid))
        path += r.exact + '/';
    return path + ownBytes(row);
}

// A row read from a grid carries only the table's fields: its listed bytes
// are looked up by ID, or else taken from Name and ext.
QByteArray LineageWalk::ownBytes(const CatalogueRecord &row)
{
    if (!row.exact.isEmpty())
        return row.exact;
    if (row.id != 0) {
        if (const auto stored = m_catalogue.recordById(row.id); stored && stored->name == row.name)
            return stored->exact;
    }
    return ExactNames::fromFields(row.name, row.ext);
}

QString LineageWalk::exactPath(const CatalogueRecord &row)
{
    const QList<CatalogueRecord> chain = ancestors(row.pid);
    const QString host = chain.isEmpty() ? row.host : chain.first().host;
    return QStringLiteral("//") + host + u'/' + decodePath(exactPathBytes(row), m_codePage);
}

QString LineageWalk::decodePath(const QByteArray &path, const QByteArray &codePage)
{
    QStringList names;
    for (const QByteArray &name : path.split('/'))
        names << ExactNames::decode(name, codePage);
    return names.join(u'/');
}

LineageWalk::Summary LineageWalk::recordSummary(qint32 id)
{
    const CatalogueRecord row = lookUp(id);
    QString path = u'/' + row.name + u'.' + row.ext;
    const QList<CatalogueRecord> chain = ancestors(row.pid);
    for (auto it = chain.crbegin(); it != chain.crend(); ++it)
        path = u'/' + it->name + path;
    const QString host = chain.isEmpty() ? row.host : chain.first().host;
    return {QStringLiteral("//") + host + path, sizeText(row.size.toDouble())};
}

QString LineageWalk::sizeText(double size)
{
    QString unit;
    for (const char *u : {"k", "M", "G"}) {
        if (!(size > 1024))
            break;
        size /= 1024;
        unit = QString::fromLatin1(u);
    }
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(size, 'f', 3) + u' ' + unit;
}
