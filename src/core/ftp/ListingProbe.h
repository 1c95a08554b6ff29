#pragma once
#include "FtpListing.h"
#include "ListingMethod.h"

#include <QList>
#include <QSet>

class ControlChannel;
class DataChannel;
class FolderLister;
class ListingDecoder;

// Learns how a server lists: its features (FEAT, with OPTS for UTF-8 names
// and the MLST facts), its system (SYST), which listing method shows every
// entry, and whether "MLSD /path" lists what CWD and MLSD list.
class ListingProbe
{
public:
    // All outlive this: the session owns them.
    ListingProbe(ControlChannel &control, FolderLister &lister, const DataChannel &data, ListingDecoder &decoder);

    // After each log-on.
    void readFeatures();
    void readSystem();
    // Once per server: lists the top folder to compare methods.
    void chooseMethod();
    ListingMethod method() const { return m_method; }
    void setMethod(ListingMethod m) { m_method = m; }
    QList<ListingMethod> supported() const { return m_supported; }
    void setSupported(const QList<ListingMethod> &supported) { m_supported = supported; }

    // The path form is tried once per connection to a server; a new server
    // forgets the answer.
    bool pathFormProbed() const { return m_pathProbed; }
    bool pathForm() const { return m_pathForm; }
    void probePathForm();
    void forgetPathForm();

private:
    void selectFacts(const QByteArray &offered);
    bool probeStat(const FtpListing &reference, ListingMethod statMethod);
    bool pathFormLists();

    ControlChannel &m_control;
    FolderLister &m_lister;
    const DataChannel &m_data;
    ListingDecoder &m_decoder;
    QSet<QByteArray> m_features;
    ListingMethod m_method = ListingMethod::List;
    QList<ListingMethod> m_supported;
    bool m_pathForm = false;
    bool m_pathProbed = false;
};
