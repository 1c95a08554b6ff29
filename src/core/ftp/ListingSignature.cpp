#include "ListingSignature.h"

#include <QCryptographicHash>
#include <QtEndian>
#include <cstring>

namespace {
void addNumber(QCryptographicHash &hash, quint64 n)
{
    const quint64 le = qToLittleEndian(n);
    hash.addData(QByteArrayView(reinterpret_cast<const char *>(&le), sizeof le));
}

// Each field with its length first, so that no two listings run together
// into the same bytes ("ab" + "c" against "a" + "bc").
void addBytes(QCryptographicHash &hash, const QByteArray &bytes)
{
    addNumber(hash, quint64(bytes.size()));
    hash.addData(bytes);
}
} // namespace

ListingSignature ListingSignature::of(const QList<FileEntry> &entries)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    addNumber(hash, quint64(entries.size()));
    for (const FileEntry &e : entries) {
        addBytes(hash, e.wireName);
        addNumber(hash, quint64(e.kind) | (e.sizeKnown ? 0x100 : 0));
        addNumber(hash, e.size);
        addNumber(hash, e.time);
        addBytes(hash, e.unique);
    }
    const QByteArray digest = hash.result();
    ListingSignature s;
    std::memcpy(&s.m_high, digest.constData(), sizeof s.m_high);
    std::memcpy(&s.m_low, digest.constData() + sizeof s.m_high, sizeof s.m_low);
    s.m_valid = true;
    return s;
}
