#pragma once
#include "FtpListing.h"
#include "ListingChoice.h"
#include "ListingMethod.h"
#include "ListingParser.h"
#include "ListingSignature.h"
#include "PathFormVerdict.h"

#include <QList>
#include <QSet>
#include <memory>
#include <optional>

class ControlChannel;
class DataChannel;
class FolderLister;
class ListingDecoder;

// Learns how a server lists: its features (FEAT, with OPTS for UTF-8 names
// and the MLST facts), its system (SYST), which listing method shows every
// entry, and whether "MLSD /path" lists what CWD and MLSD list. Learning
// costs a scan at most one listing more than it makes anyway: the listings
// the probe makes are the scan's own.
class ListingProbe
{
public:
    // All outlive this: the session owns them.
    ListingProbe(ControlChannel &control, FolderLister &lister, const DataChannel &data, ListingDecoder &decoder);

    // After each log-on.
    void readFeatures();
    void readSystem();
    // Once per server. Where FEAT or SYST do not tell, the top folder is
    // listed with the methods compared; the listing of the method chosen is
    // returned, for the top's listing. Not ok when none was made. A choice
    // remembered from the server, signed by the same FEAT and SYST, is
    // taken as it is while it lists the top folder.
    FtpListing chooseMethod(const std::optional<ListingChoice> &remembered = std::nullopt);
    // What was chosen, to remember for the host.
    ListingChoice choice() const;
    ListingMethod method() const { return m_method; }
    void setMethod(ListingMethod m) { m_method = m; }
    QList<ListingMethod> supported() const { return m_supported; }
    void setSupported(const QList<ListingMethod> &supported) { m_supported = supported; }

    // The path form's answer, shared by every connection to the server that
    // is opened like this one; a new server starts a new one.
    std::shared_ptr<PathFormVerdict> pathFormVerdict() const { return m_verdict; }
    void shareVerdict(std::shared_ptr<PathFormVerdict> verdict) { m_verdict = std::move(verdict); }
    void forgetPathForm();
    bool pathForm() const { return m_verdict->pathFormLists(); }

    // Lists path with the method chosen. The first folder where the path
    // form can be told from the current folder is listed both ways, and the
    // CWD way's listing is returned.
    FtpListing list(const QByteArray &path);

private:
    void selectFacts(const QByteArray &offered);
    FtpListing compareMethods();
    FtpListing takeRemembered(const ListingChoice &c);
    FtpListing chooseBesideMlsd();
    void learnClock(FtpListing &listing);
    bool sameEntries(const FtpListing &a, const FtpListing &b) const;
    bool pathFormDue(const QByteArray &path) const;
    FtpListing tryPathForm(const QByteArray &path);
    void noteCurrent(const QByteArray &path, const FtpListing &listing);

    ControlChannel &m_control;
    FolderLister &m_lister;
    const DataChannel &m_data;
    ListingDecoder &m_decoder;
    QSet<QByteArray> m_features;
    QByteArray m_signature; // of this log-on's FEAT and SYST replies
    ListingParser::Family m_family = ListingParser::Family::Any;
    ListingMethod m_method = ListingMethod::List;
    QList<ListingMethod> m_supported;
    std::shared_ptr<PathFormVerdict> m_verdict = std::make_shared<PathFormVerdict>();
    // The folder the server is in, as the last listing that changed there
    // found it: what a server that ignores the path in "MLSD /path" lists.
    QByteArray m_current;
    ListingSignature m_currentSignature;
};
