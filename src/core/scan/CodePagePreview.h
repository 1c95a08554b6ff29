#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class Catalogue;

// A few of a host's stored names that are not UTF-8, as listed, so that a
// code page can be tried on them before the catalogue is decoded again.
class CodePagePreview
{
public:
    static constexpr int MaxNames = 20;

    // Reads the names of the catalogue's hosts whose host name (port and
    // scheme aside) is hostKey, once. Throws CatalogueError.
    CodePagePreview(Catalogue &catalogue, const QString &hostKey);
    CodePagePreview() = default;

    bool isEmpty() const { return m_bytes.isEmpty(); }
    // The names as codePage reads them; empty when the code page is unknown.
    QStringList decoded(const QByteArray &codePage) const;
    static bool isKnown(const QByteArray &codePage);

private:
    void read(Catalogue &catalogue, const QString &storedHost);

    QList<QByteArray> m_bytes;
};
