#include "ListingProbe.h"
#include "ControlChannel.h"
#include "DataChannel.h"
#include "FolderLister.h"
#include "ListingDecoder.h"
#include "ListingRequest.h"

namespace {
QSet<QByteArray> namesOf(const FtpListing &l)
{
    QSet<QByteArray> names;
    for (const FileEntry &e : l.entries)
        names.insert(e.wireName + '\0' + QByteArray::number(e.attributes()));
    return names;
}

// Tells two folders apart where their names agree (a mirror of the same
// layout at every level): the inode-like "unique" fact and the times.
QSet<QByteArray> factsOf(const FtpListing &l)
{
    QSet<QByteArray> facts;
    for (const FileEntry &e : l.entries)
        facts.insert(e.wireName + '\0' + e.unique + '\0' + QByteArray::number(e.time));
    return facts;
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
    m_decoder.setFamily(r.isPositive() ? ListingParser::familyFromSyst(r.text()) : ListingParser::Family::Any);
}

void ListingProbe::chooseMethod()
{
    using M = ListingMethod;
    m_supported.clear();
    if (m_features.contains("MLST")) {
        m_method = M::Mlsd;
        m_supported = {M::Mlsd, M::List};
        return;
    }
    // Plain LIST hides dot-files on most servers; "-a" shows them where it is
    // understood, and is taken as a file name where it is not.
    const FtpListing plain = m_lister.list({M::List, QByteArray()});
    const FtpListing all = m_lister.list({M::ListA, QByteArray()});
    const bool dashA = all.ok && all.entries.size() >= plain.entries.size();
    const FtpListing &reference = dashA ? all : plain;
    m_method = dashA ? M::ListA : M::List;
    m_supported = {m_method};
    const M stat = dashA ? M::StatA : M::Stat;
    if (reference.ok && probeStat(reference, stat)) {
        m_supported.append(stat);
        m_method = stat;
    }
}

// Servers differ in what STAT shows; use it only where it gives exactly the
// data-connection listing's entries.
bool ListingProbe::probeStat(const FtpListing &reference, ListingMethod statMethod)
{
    const FtpListing viaStat = m_lister.list({statMethod, QByteArray()});
    return viaStat.ok && viaStat.badLines == reference.badLines && namesOf(viaStat) == namesOf(reference);
}

void ListingProbe::probePathForm()
{
    m_pathProbed = true;
    m_pathForm = pathFormLists();
}

void ListingProbe::forgetPathForm()
{
    m_pathForm = false;
    m_pathProbed = false;
}

// "MLSD /a/b" spares the server a CWD per folder: a tenth of a scan's
// processor time on ProFTPD. A server that ignored the argument would list
// its current folder everywhere, so each connection lists one subfolder both
// ways first, the path form from the top, where such a server would list the
// top. Only passive listings that go out with EPSV take the path form.
bool ListingProbe::pathFormLists()
{
    m_pathForm = false;
    const FtpListing top = m_lister.list({ListingMethod::Mlsd, QByteArray()});
    QByteArray sub;
    for (const FileEntry &e : top.entries) {
        if (e.opensAsFolder() && ListingRequest::plainPath(e.wireName)) {
            sub = e.wireName;
            break;
        }
    }
    if (!top.ok || sub.isEmpty())
        return false;
    const FtpListing viaPath = m_lister.list({ListingMethod::Mlsd, sub, true});
    const bool sent = m_data.pathFormSent();
    const FtpListing viaCwd = m_lister.list({ListingMethod::Mlsd, sub, false});
    return sent && viaPath.ok && viaCwd.ok && namesOf(viaPath) == namesOf(viaCwd)
        && factsOf(viaPath) == factsOf(viaCwd) && factsOf(viaPath) != factsOf(top);
}
