#pragma once
#include "FtpListing.h"
#include "FtpReply.h"
#include "ListedEntry.h"
#include "ListingMethod.h"
#include "ListingParser.h"

class ControlChannel;
struct FtpLogon;

// Turns a listing's lines into entries: the parser that fits the method
// and the server's system, names decoded from the wire and made safe to
// show, each entry as the catalogue's record.
class ListingDecoder
{
public:
    // logon gives the code page of names that are not UTF-8; it outlives this.
    explicit ListingDecoder(const FtpLogon &logon);

    // From SYST: only some systems' listings need the hint.
    void setFamily(ListingParser::Family family) { m_family = family; }
    // How far the server's clock, in which ls prints times, runs ahead of
    // UTC, in seconds (negative west of Greenwich); learned per server.
    void setClockOffset(int seconds) { m_clockOffsetS = seconds; }
    int clockOffset() const { return m_clockOffsetS; }
    // Whether folders keep the size their listing gives. ls prints a
    // folder's blocks where ProFTPD's MLSD gives no size: a server listed
    // both ways stores what MLSD stores, so that a rescan by the other
    // way finds no change.
    void setFolderSizes(bool kept) { m_folderSizes = kept; }
    bool folderSizes() const { return m_folderSizes; }

    FtpListing parseLines(QByteArrayList lines, ListingMethod m) const;
    // A listing that came as a reply's inner lines (STAT); a failed reply
    // gives a failed listing with the text control makes of it.
    FtpListing controlListing(const FtpReply &r, ListingMethod m, const ControlChannel &control) const;
    QString decodeName(const QByteArray &raw) const;
    FileEntry toEntry(const ListedEntry &e) const;
    // Control bytes shown as visible symbols (U+2400 + byte); the exact bytes stay in wireName.
    static QString visibleName(const QString &name);

private:
    const FtpLogon &m_logon;
    ListingParser::Family m_family = ListingParser::Family::Any;
    int m_clockOffsetS = 0;
    bool m_folderSizes = true;
};
