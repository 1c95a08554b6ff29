// Any bytes as a listing; the first byte picks the server family and the
// listing command. Beyond not crashing: every entry has a name, its time never
// becomes a NaN in the catalogue, and Name/ext never end in half a character.
#include "core/catalogue/EntryName.h"
#include "core/ftp/ListingParser.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {
void check(bool ok)
{
    if (!ok)
        std::abort();
}

bool endsWhole(const QString &s)
{
    return s.isEmpty() || !s.back().isHighSurrogate();
}

void checkEntry(const ListedEntry &e)
{
    check(!e.name.isEmpty());
    const quint64 bits = e.fileTime();
    double stored;
    std::memcpy(&stored, &bits, sizeof stored);
    check(!std::isnan(stored));
    const EntryName n = EntryName::split(QString::fromUtf8(e.name), e.attributes());
    check(n.name.size() <= EntryName::NameSize && n.ext.size() <= EntryName::DirMarker.size());
    check(endsWhole(n.name) && endsWhole(n.ext));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QDateTime now(QDate(2026, 12, 8), QTime(23, 0), Qt::UTC);
    using Family = ListingParser::Family;
    static const Family families[] = {Family::Any, Family::Vms, Family::Mvs, Family::Os400, Family::WindowsNt};
    if (size == 0)
        return 0;
    const Family family = families[data[0] % 5];
    const auto format = data[0] & 0x80 ? ListingParser::Format::Mlsd : ListingParser::Format::List;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QByteArrayList lines = bytes.split('\n');
    ListingParser::familyFromSyst(bytes);
    const ListingParser parser(format, family, now);
    const ListingParser::Parsed p = parser.parseListing(lines);
    check(p.entries.size() + p.unreadable <= lines.size());
    check(p.samples.size() <= ListingParser::SampleCount);
    for (const ListedEntry &e : p.entries)
        checkEntry(e);
    return 0;
}
