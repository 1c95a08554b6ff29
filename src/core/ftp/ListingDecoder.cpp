#include "ListingDecoder.h"
#include "ControlChannel.h"
#include "FtpLogon.h"

#include <QStringDecoder>
#include <algorithm>

ListingDecoder::ListingDecoder(const FtpLogon &logon)
    : m_logon(logon)
{
}

FtpListing ListingDecoder::parseLines(QByteArrayList lines, ListingMethod m) const
{
    const ListingParser parser(m == ListingMethod::Mlsd ? ListingParser::Format::Mlsd : ListingParser::Format::List,
                               m_family);
    const ListingParser::Parsed parsed = parser.parseListing(std::move(lines));
    FtpListing l;
    l.entries.reserve(parsed.entries.size());
    for (const ListedEntry &e : parsed.entries)
        l.entries.append(toEntry(e));
    l.badLines = parsed.unreadable;
    l.badSamples = parsed.samples;
    l.partLines = parsed.partial;
    return l;
}

FtpListing ListingDecoder::controlListing(const FtpReply &r, ListingMethod m, const ControlChannel &control) const
{
    if (!r.isPositive()) {
        FtpListing failed;
        failed.error = control.replyError(r);
        failed.code = r.code;
        return failed;
    }
    // The listing is the reply's inner lines.
    FtpListing l = parseLines(r.lines.mid(1, qMax<qsizetype>(0, r.lines.size() - 2)), m);
    l.ok = true;
    l.code = r.code;
    return l;
}

QString ListingDecoder::decodeName(const QByteArray &raw) const
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString asUtf8 = utf8.decode(raw);
    if (!utf8.hasError())
        return asUtf8;
    // Servers that announce UTF8 still serve old names in a local code page.
    QStringDecoder local(m_logon.codePage.constData());
    if (local.isValid())
        return local.decode(raw);
    return QString::fromLatin1(raw);
}

// Control bytes would break lines in the log and the grid, and stored
// catalogues hold the symbols in their place; the exact bytes stay in wireName.
// A TAB too becomes U+2409: a display choice only, since ExactName and
// wireName keep the byte that commands send back.
QString ListingDecoder::visibleName(const QString &name)
{
    const auto control = [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; };
    if (std::none_of(name.begin(), name.end(), control))
        return name; // shared, not copied: nearly every name
    QString shown = name;
    for (QChar &c : shown) {
        if (c.unicode() < 0x20)
            c = QChar(0x2400 + c.unicode());
        else if (c.unicode() == 0x7f)
            c = QChar(0x2421);
    }
    return shown;
}

FileEntry ListingDecoder::toEntry(const ListedEntry &e) const
{
    FileEntry f;
    f.name = visibleName(decodeName(e.name));
    f.wireName = e.name;
    f.unique = e.unique;
    f.kind = e.kind;
    const bool sized = m_folderSizes || e.kind != FileEntry::Kind::Directory;
    f.size = sized ? e.size : 0;
    f.sizeKnown = sized ? e.sizeKnown : false;
    f.time = ListedTime::marked(e.fileTime(), e.precision);
    if (e.onServerClock && f.time != 0)
        f.time -= qint64(m_clockOffsetS) * 1000 * ListedTime::TicksPerMs;
    return f;
}
