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

// The type comes from the whole listed name and the stem is cut after it:
// a name longer than NameSize keeps its type, so find by type sees it.
EntryName EntryName::split(const QString &listedName, quint32 attributes)
{
    EntryName e;
    if (attributes == 16) {
        e.name = leftWhole(listedName, NameSize);
        e.ext = DirMarker;
        return e;
    }
    qsizetype last = -1;
    for (qsizetype i = listedName.size() - 1; i >= 0; --i) {
        const QChar c = listedName[i];
        if (c == u'.' || c == u'\\' || c == u':') {
            last = i;
            break;
        }
    }
    if (last < 0 || listedName[last] != u'.') {
        e.name = leftWhole(listedName, NameSize);
        return e;
    }
    e.name = leftWhole(listedName.left(last), NameSize);
    e.ext = leftWhole(lowerAsciiOnly(listedName.mid(last + 1)), ExtSize);
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
