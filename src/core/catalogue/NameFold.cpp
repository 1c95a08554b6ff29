#include "NameFold.h"

#include <algorithm>
#include <iterator>

namespace {
struct FullFolding
{
    char16_t from;
    char16_t to[3]; // 0 past the end
};

// Unicode 14's CaseFolding.txt, status F: every key is in the 16-bit range
// and what Qt's simple folding gives for its upper-case forms (ẞ to ß, ᾼ to ᾳ).
constexpr FullFolding Expansions[] = {
    {0x00DF, {0x0073, 0x0073, 0}},
    {0x0130, {0x0069, 0x0307, 0}},
    {0x0149, {0x02BC, 0x006E, 0}},
    {0x01F0, {0x006A, 0x030C, 0}},
    {0x0390, {0x03B9, 0x0308, 0x0301}},
    {0x03B0, {0x03C5, 0x0308, 0x0301}},
    {0x0587, {0x0565, 0x0582, 0}},
    {0x1E96, {0x0068, 0x0331, 0}},
    {0x1E97, {0x0074, 0x0308, 0}},
    {0x1E98, {0x0077, 0x030A, 0}},
    {0x1E99, {0x0079, 0x030A, 0}},
    {0x1E9A, {0x0061, 0x02BE, 0}},
    {0x1F50, {0x03C5, 0x0313, 0}},
    {0x1F52, {0x03C5, 0x0313, 0x0300}},
    {0x1F54, {0x03C5, 0x0313, 0x0301}},
    {0x1F56, {0x03C5, 0x0313, 0x0342}},
    {0x1F80, {0x1F00, 0x03B9, 0}},
    {0x1F81, {0x1F01, 0x03B9, 0}},
    {0x1F82, {0x1F02, 0x03B9, 0}},
    {0x1F83, {0x1F03, 0x03B9, 0}},
    {0x1F84, {0x1F04, 0x03B9, 0}},
    {0x1F85, {0x1F05, 0x03B9, 0}},
    {0x1F86, {0x1F06, 0x03B9, 0}},
    {0x1F87, {0x1F07, 0x03B9, 0}},
    {0x1F90, {0x1F20, 0x03B9, 0}},
    {0x1F91, {0x1F21, 0x03B9, 0}},
    {0x1F92, {0x1F22, 0x03B9, 0}},
    {0x1F93, {0x1F23, 0x03B9, 0}},
    {0x1F94, {0x1F24, 0x03B9, 0}},
    {0x1F95, {0x1F25, 0x03B9, 0}},
    {0x1F96, {0x1F26, 0x03B9, 0}},
    {0x1F97, {0x1F27, 0x03B9, 0}},
    {0x1FA0, {0x1F60, 0x03B9, 0}},
    {0x1FA1, {0x1F61, 0x03B9, 0}},
    {0x1FA2, {0x1F62, 0x03B9, 0}},
    {0x1FA3, {0x1F63, 0x03B9, 0}},
    {0x1FA4, {0x1F64, 0x03B9, 0}},
    {0x1FA5, {0x1F65, 0x03B9, 0}},
    {0x1FA6, {0x1F66, 0x03B9, 0}},
    {0x1FA7, {0x1F67, 0x03B9, 0}},
    {0x1FB2, {0x1F70, 0x03B9, 0}},
    {0x1FB3, {0x03B1, 0x03B9, 0}},
    {0x1FB4, {0x03AC, 0x03B9, 0}},
    {0x1FB6, {0x03B1, 0x0342, 0}},
    {0x1FB7, {0x03B1, 0x0342, 0x03B9}},
    {0x1FC2, {0x1F74, 0x03B9, 0}},
    {0x1FC3, {0x03B7, 0x03B9, 0}},
    {0x1FC4, {0x03AE, 0x03B9, 0}},
    {0x1FC6, {0x03B7, 0x0342, 0}},
    {0x1FC7, {0x03B7, 0x0342, 0x03B9}},
    {0x1FD2, {0x03B9, 0x0308, 0x0300}},
    {0x1FD3, {0x03B9, 0x0308, 0x0301}},
    {0x1FD6, {0x03B9, 0x0342, 0}},
    {0x1FD7, {0x03B9, 0x0308, 0x0342}},
    {0x1FE2, {0x03C5, 0x0308, 0x0300}},
    {0x1FE3, {0x03C5, 0x0308, 0x0301}},
    {0x1FE4, {0x03C1, 0x0313, 0}},
    {0x1FE6, {0x03C5, 0x0342, 0}},
    {0x1FE7, {0x03C5, 0x0308, 0x0342}},
    {0x1FF2, {0x1F7C, 0x03B9, 0}},
    {0x1FF3, {0x03C9, 0x03B9, 0}},
    {0x1FF4, {0x03CE, 0x03B9, 0}},
    {0x1FF6, {0x03C9, 0x0342, 0}},
    {0x1FF7, {0x03C9, 0x0342, 0x03B9}},
    {0xFB00, {0x0066, 0x0066, 0}},
    {0xFB01, {0x0066, 0x0069, 0}},
    {0xFB02, {0x0066, 0x006C, 0}},
    {0xFB03, {0x0066, 0x0066, 0x0069}},
    {0xFB04, {0x0066, 0x0066, 0x006C}},
    {0xFB05, {0x0073, 0x0074, 0}},
    {0xFB06, {0x0073, 0x0074, 0}},
    {0xFB13, {0x0574, 0x0576, 0}},
    {0xFB14, {0x0574, 0x0565, 0}},
    {0xFB15, {0x0574, 0x056B, 0}},
    {0xFB16, {0x057E, 0x0576, 0}},
    {0xFB17, {0x0574, 0x056D, 0}}
};

const FullFolding *expansionOf(char16_t c)
{
    if (c < Expansions[0].from)
        return nullptr;
    const auto *at = std::lower_bound(std::begin(Expansions), std::end(Expansions), c,
                                      [](const FullFolding &f, char16_t key) { return f.from < key; });
    return at != std::end(Expansions) && at->from == c ? at : nullptr;
}

constexpr char32_t Invalid = 0xFFFFFFFF;

// One multi-byte UTF-8 sequence; Invalid when it is malformed, overlong or
// a surrogate.
char32_t decode(const uchar *&at, const uchar *end)
{
    const uchar lead = *at;
    const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : -1;
    if (extra < 0 || lead > 0xF4 || end - at <= extra)
        return Invalid;
    char32_t c = lead & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) {
        if ((at[i] & 0xC0) != 0x80)
            return Invalid;
        c = (c << 6) | (at[i] & 0x3F);
    }
    constexpr char32_t Least[] = {0, 0x80, 0x800, 0x10000};
    if (c < Least[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return Invalid;
    at += extra + 1;
    return c;
}

char *encode(char32_t c, char *to)
{
    if (c < 0x80) {
        *to++ = char(c);
    } else if (c < 0x800) {
        *to++ = char(0xC0 | (c >> 6));
        *to++ = char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *to++ = char(0xE0 | (c >> 12));
        *to++ = char(0x80 | ((c >> 6) & 0x3F));
        *to++ = char(0x80 | (c & 0x3F));
    } else {
        *to++ = char(0xF0 | (c >> 18));
        *to++ = char(0x80 | ((c >> 12) & 0x3F));
        *to++ = char(0x80 | ((c >> 6) & 0x3F));
        *to++ = char(0x80 | (c & 0x3F));
    }
    return to;
}

// A character folded simply, expanded where its full folding is longer.
char *appendFolded(char32_t simple, char *to)
{
    const FullFolding *f = simple <= 0xFFFF ? expansionOf(char16_t(simple)) : nullptr;
    if (!f)
        return encode(simple, to);
    for (char16_t c : f->to)
        if (c)
            to = encode(c, to);
    return to;
}
} // namespace

QString NameFold::fold(const QString &text)
{
    QString simple = text.toCaseFolded();
    qsizetype first = 0;
    while (first < simple.size() && !expansionOf(simple[first].unicode()))
        ++first;
    if (first == simple.size())
        return simple;
    QString full = simple.left(first);
    for (qsizetype i = first; i < simple.size(); ++i) {
        const FullFolding *f = expansionOf(simple[i].unicode());
        if (!f) {
            full += simple[i];
            continue;
        }
        for (char16_t c : f->to)
            if (c)
                full += QChar(c);
    }
    return full;
}

void NameFold::foldUtf8(QByteArrayView utf8, QByteArray &out)
{
    // A folded character takes at most three times the bytes (ΐ: 2 to 6).
    out.resize(utf8.size() * 3);
    char *to = out.data();
    const auto *at = reinterpret_cast<const uchar *>(utf8.data());
    const auto *end = at + utf8.size();
    while (at < end) {
        if (*at < 0x80) {
            const uchar c = *at++;
            *to++ = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
            continue;
        }
        const char32_t c = decode(at, end);
        if (c == Invalid) {
            // Bytes that are not UTF-8 fold as QString reads them.
            out = fold(QString::fromUtf8(utf8)).toUtf8();
            return;
        }
        to = appendFolded(QChar::toCaseFolded(c), to);
    }
    out.resize(to - out.constData());
}

bool NameFold::matchesAll(const QString &pattern)
{
    return std::all_of(pattern.begin(), pattern.end(), [](QChar c) { return c == u'%'; });
}
