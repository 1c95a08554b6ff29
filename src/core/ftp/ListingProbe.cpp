#include "ListingProbe.h"
#include "ControlChannel.h"
#include "DataChannel.h"
#include "FolderLister.h"
#include "ListingDecoder.h"
#include "ListingAgreement.h"
#include "ListingRequest.h"
#include "ServerClock.h"

#include <QCryptographicHash>

namespace {
QSet<QByteArray> namesOf(const FtpListing &l)
{
    QSet<QByteArray> names;
    for (const FileEntry &e : l.entries)
        names.insert(e.wireName + '\0' + QByteArray::number(e.attributes()));
    return names;
}

} // namespace

ListingProbe::ListingProbe(ControlChannel &control, FolderLister &lister, const DataChannel &data,
                           ListingDecoder &decoder)
    : m_control(control)
    , m_lister(lister)
    , m_data(data)
    , m_decoder(decoder)
{
}

void ListingProbe::readFeatures()
{
    m_features.clear();
    QByteArray mlstFacts;
    const FtpReply r = m_control.command("FEAT");
    m_signature = r.lines.join('\n');
    if (r.isPositive()) {
        for (qsizetype i = 1; i + 1 < r.lines.size(); ++i) {
            const QByteArrayList words = r.lines[i].trimmed().split(' ');
            const QByteArray feature = words.first().toUpper();
            m_features.insert(feature);
            if (feature == "MLST" && words.size() > 1)
                mlstFacts = words[1];
        }
    }
    if (m_features.contains("UTF8"))
        m_control.command("OPTS UTF8 ON");
    if (m_features.contains("CLNT"))
        m_control.command("CLNT Harvex");
    selectFacts(mlstFacts);
}

// Asks for only the facts a listing is read for. ProFTPD's default set adds
// owner and group names, looked up for every entry; on a 100,000-entry tree
// they cost the server more than the listing itself. A server may ignore the
// request (Pure-FTPd does) or refuse it: the listing is read the same.
void ListingProbe::selectFacts(const QByteArray &offered)
{
    static const QByteArrayList read{"type", "size", "sizd", "modify", "unique"};
    QByteArray chosen;
    for (QByteArray fact : offered.split(';')) {
        if (fact.endsWith('*'))
            fact.chop(1);
        if (read.contains(fact.toLower()))
            chosen += fact + ';';
    }
    // Without the type every folder would read as a file: the defaults stay.
    if (chosen.toLower().contains("type;"))
        m_control.command("OPTS MLST " + chosen);
}

// Only some systems' listings need the hint; the rest are read by shape.
void ListingProbe::readSystem()
{
    const FtpReply r = m_control.command("SYST");
    m_signature = QCryptographicHash::hash(m_signature + '\n' + r.lines.join('\n'), QCryptographicHash::Sha1);
    m_family = r.isPositive() ? ListingParser::familyFromSyst(r.text()) : ListingParser::Family::Any;
    m_decoder.setFamily(m_family);
}

// Plain LIST hides dot-files on most servers; "-a" shows them where it is
// understood, and is taken as a file name where it is not (an error, or an
// empty listing). VMS and the mainframes have no such flag and no STAT that
// lists like LIST: SYST decides there, without a listing.
FtpListing ListingProbe::chooseMethod(const std::optional<ListingChoice> &remembered)
{
    if (remembered && remembered->signature == m_signature) {
        FtpListing top = takeRemembered(*remembered);
        if (top.ok)
            return top;
    }
    return compareMethods();
}

// The top folder listed the remembered way is the proof it still works.
FtpListing ListingProbe::takeRemembered(const ListingChoice &c)
{
    m_method = c.method;
    m_supported = c.supported;
    m_decoder.setClockOffset(c.clockOffsetS);
    m_decoder.setFolderSizes(c.folderSizes);
    return m_lister.list({m_method, QByteArray()});
}

ListingChoice ListingProbe::choice() const
{
    return {m_method, m_supported, m_decoder.clockOffset(), m_decoder.folderSizes(), m_signature};
}

FtpListing ListingProbe::compareMethods()
{
    using M = ListingMethod;
    m_supported.clear();
    m_decoder.setClockOffset(0);
    m_decoder.setFolderSizes(true);
    if (m_features.contains("MLST"))
        return chooseBesideMlsd();
    if (m_family == ListingParser::Family::Vms || m_family == ListingParser::Family::Mvs
        || m_family == ListingParser::Family::Os400) {
        m_method = M::List;
        m_supported = {M::List};
        return {};
    }
    FtpListing all = m_lister.list({M::ListA, QByteArray()});
    if (all.ok && !all.entries.isEmpty()) {
        m_method = M::ListA;
        m_supported = {M::ListA};
        // Servers differ in what STAT shows; use it only where it gives
        // exactly the data-connection listing's entries.
        learnClock(all);
        const FtpListing viaStat = m_lister.list({M::StatA, QByteArray()});
        if (!sameEntries(viaStat, all))
            return all;
        m_supported.append(M::StatA);
        m_method = M::StatA;
        return viaStat;
    }
    // Refused, or empty: "-a" may have been taken for a name. Without a
    // listing with "-a" to compare, STAT is not tried.
    FtpListing plain = m_lister.list({M::List, QByteArray()});
    const bool dashA = all.ok && plain.entries.isEmpty();
    m_method = dashA ? M::ListA : M::List;
    m_supported = {m_method};
    FtpListing &chosen = dashA ? all : plain;
    learnClock(chosen);
    return chosen;
}

// MLSD costs three round trips a folder (the passive reply, the data
// connection, the listing), STAT one, and STATs pipeline. ProFTPD and
// Pure-FTPd answer "STAT -a ." with the whole folder, pyftpdlib "STAT .",
// in ls lines: times to the minute or the day, on the server's clock. STAT
// is taken only where the top folder's ls lines tell what its MLSD tells;
// the top keeps MLSD's listing, to the second.
FtpListing ListingProbe::chooseBesideMlsd()
{
    using M = ListingMethod;
    m_method = M::Mlsd;
    m_supported = {M::Mlsd, M::List};
    const FtpListing mlsd = m_lister.list({M::Mlsd, QByteArray()});
    if (!mlsd.ok)
        return {};
    for (const M m : {M::StatA, M::Stat}) {
        if (mlsd.entries.isEmpty())
            break; // nothing to compare with
        const FtpListing local = m_lister.list({m, QByteArray()});
        const int offset = ServerClock::offsetFrom(mlsd, local).value_or(0);
        if (ListingAgreement::agrees(mlsd, local, offset)) {
            m_decoder.setClockOffset(offset);
            m_decoder.setFolderSizes(ListingAgreement::sizesFolders(mlsd));
            m_supported.append(m);
            m_method = m;
            break;
        }
    }
    return mlsd;
}

// One MDTM of a file the listing gave to the minute tells how the server's
// clock stands to UTC; without such a file, or MDTM, times are read as
// UTC. The listing is set to the offset learned.
void ListingProbe::learnClock(FtpListing &listing)
{
    const FileEntry *file = m_features.contains("MDTM") ? ServerClock::mdtmCandidate(listing) : nullptr;
    if (!file)
        return;
    const std::optional<int> offset = ServerClock::offsetFromMdtm(m_control.command("MDTM " + file->wireName), file->time);
    if (!offset || *offset == 0)
        return;
    m_decoder.setClockOffset(*offset);
    ServerClock::shift(listing, *offset);
}

bool ListingProbe::sameEntries(const FtpListing &a, const FtpListing &b) const
{
    return a.ok && b.ok && a.badLines == b.badLines && namesOf(a) == namesOf(b);
}

void ListingProbe::forgetPathForm()
{
    m_verdict = std::make_shared<PathFormVerdict>();
    m_current = QByteArray();
    m_currentSignature = ListingSignature();
}

FtpListing ListingProbe::list(const QByteArray &path)
{
    if (pathFormDue(path) && m_verdict->claim())
        return tryPathForm(path);
    FtpListing l = m_lister.list({m_method, path, pathForm()});
    noteCurrent(path, l);
    return l;
}

// "MLSD /a/b" spares the server a CWD per folder: a tenth of a scan's
// processor time on ProFTPD. A server that ignored the argument would list
// its current folder everywhere, so the trial asks for a folder other than
// the current one, whose listing is known. Only passive listings that go
// out with EPSV take the path form.
bool ListingProbe::pathFormDue(const QByteArray &path) const
{
    return m_method == ListingMethod::Mlsd && m_data.passive() && !m_verdict->isKnown() && !path.isEmpty()
        && ListingRequest::plainPath(path) && m_currentSignature.isValid() && path != m_current
        && m_control.inFolder(m_current);
}

// One listing more, once per server: the path form from the current
// folder, then the CWD way, whose listing is the one returned.
FtpListing ListingProbe::tryPathForm(const QByteArray &path)
{
    const ListingSignature current = m_currentSignature;
    const FtpListing viaPath = m_lister.list({ListingMethod::Mlsd, path, true});
    const bool sent = m_data.pathFormSent();
    FtpListing viaCwd = m_lister.list({ListingMethod::Mlsd, path, false});
    noteCurrent(path, viaCwd);
    if (!viaPath.ok || !viaCwd.ok) {
        m_verdict->giveBack();
        return viaCwd;
    }
    const ListingSignature listed = ListingSignature::of(viaCwd.entries);
    m_verdict->settle(sent && ListingSignature::of(viaPath.entries) == listed && listed != current);
    return viaCwd;
}

// Only while the path form is not known. A listing by path leaves the
// server where it was, and the folder noted stays current.
void ListingProbe::noteCurrent(const QByteArray &path, const FtpListing &listing)
{
    if (m_method != ListingMethod::Mlsd || m_verdict->isKnown() || !listing.ok || !m_control.inFolder(path))
        return;
    m_current = path;
    m_currentSignature = ListingSignature::of(listing.entries);
}
