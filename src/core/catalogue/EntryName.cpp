#include "EntryName.h"

namespace {
// At most n UTF-16 units, never half a surrogate pair: an emoji at the cut
// goes whole, or not at all.
QString leftWhole(const QString &s, qsizetype n)
{
    if (n >= s.size())
        return s;
    if (n > 0 && s[n - 1].isHighSurrogate())
        --n;
    return s.left(n);
}
} // namespace

EntryName EntryName::split(const QString &listedName, quint32 attributes)
{
    EntryName e;
    e.name = leftWhole(listedName, NameSize);
    if (attributes == 16) {
        e.ext = DirMarker;
        return e;
    }
    qsizetype last = -1;
    for (qsizetype i = e.name.size() - 1; i >= 0; --i) {
        const QChar c = e.name[i];
        if (c == u'.' || c == u'\\' || c == u':') {
            last = i;
            break;
        }
    }
    if (last < 0 || e.name[last] != u'.')
        return e;
    const QString withDot = lowerAsciiOnly(e.name.mid(last));
    e.name.chop(withDot.size());
    e.ext = leftWhole(withDot.mid(1), ExtSize);
    return e;
}

QString EntryName::lowerAsciiOnly(QString s)
{
    for (QChar &c : s) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    }
    return s;
}

QString EntryName::fileName() const
{
    if (ext == DirMarker || ext.isEmpty())
        return name;
    return name + u'.' + ext;
}
