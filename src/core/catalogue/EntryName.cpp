#include "EntryName.h"

EntryName EntryName::split(const QString &listedName, quint32 attributes)
{
    EntryName e;
    e.name = listedName.left(NameSize);
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
    e.ext = withDot.mid(1).left(ExtSize);
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
