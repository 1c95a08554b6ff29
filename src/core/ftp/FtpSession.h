#pragma once
#include "ControlChannel.h"
#include "DataChannel.h"
#include "FolderLister.h"
#include "FtpListing.h"
#include "FtpLogon.h"
#include "FtpNotice.h"
#include "FtpReply.h"
#include "FtpTls.h"
#include "ListingDecoder.h"
#include "ListingMethod.h"
#include "ListingProbe.h"
#include "SlicedWait.h"

#include <QByteArray>
#include <QList>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class TrustPrompt;

// One logged-on FTP control connection, reused for every listing until it is
// closed. Blocking: each call returns when the server has answered or a
// time-out has passed (log-on 30 s, any connection idle for 60 s, a whole
// listing 10 min). Waits run in slices of at most 50 ms so a cancel is seen.
class FtpSession
{
public:
    using Method = ListingMethod;
    using Listing = FtpListing;

    static constexpr qsizetype MaxReplyLine = ControlChannel::MaxReplyLine;
    static constexpr qsizetype MaxControlListing = ControlChannel::MaxControlListing;

    FtpSession();
    ~FtpSession();
    FtpSession(const FtpSession &) = delete;
    FtpSession &operator=(const FtpSession &) = delete;

    // Connects, logs on and picks the listing method; false with lastError().
    bool open(const FtpLogon &logon);
    // What another connection to the same server needs to log on and list as
    // this one does, without asking about the certificate or probing the
    // listing methods again: plain data, safe to hand to another thread.
    struct Likeness
    {
        FtpLogon logon; // with the certificate trusted here pinned
        Method method = Method::List;
        QList<Method> supported;
        bool passive = false;
        int clockOffsetS = 0; // the server's clock ahead of UTC, as ls times show it
        bool folderSizes = true;
        // Shared, not copied: what one connection learns, the others use.
        std::shared_ptr<PathFormVerdict> pathForm;
    };
    Likeness likeness() const;
    bool openLike(const Likeness &like);
    // Why the last open(), openLike() or reopen() failed, as a scan that opens
    // several connections tells a full server from a broken one.
    enum class Refusal { None, Busy /* 421 */, LogonRefused /* 530 */, ConnectionRefused, Other };
    Refusal lastRefusal() const { return m_refusal; }
    // The same in a few words: "connection refused", "timed out", ...
    QString failureReason() const { return m_failure; }
    // Opens again with the same log-on, keeping the listing method and the
    // data connection mode in use.
    bool reopen();
    void close();
    bool isOpen() const { return m_control.isOpen(); }
    // No round trip: the socket is up and the server has not said goodbye.
    bool isAlive() { return m_control.isAlive(); }
    QString lastError() const { return m_control.error(); }
    // The server's greeting at the last connection, as sent; empty when none came.
    QByteArray greeting() const { return m_control.greeting(); }
    Method method() const { return m_probe.method(); }
    static QString methodName(Method m) { return QString::fromLatin1(listingCommand(m)); }
    void setMethod(Method m) { m_probe.setMethod(m); }
    QList<Method> supportedMethods() const { return m_probe.supported(); }
    // How this server lists, for the next log-on to it (FtpLogon::listing).
    ListingChoice listingChoice() const { return m_probe.choice(); }
    int logonCount() const { return m_logons; }

    // Every wait gives up within 50 ms once *cancel is true. Not owned.
    void setCancelFlag(const std::atomic_bool *cancel) { m_waits.setCancelFlag(cancel); }
    // Asked about a certificate that fails the checks and is not pinned. Not owned.
    void setTrustPrompt(TrustPrompt *prompt) { m_tls.setTrustPrompt(prompt); }
    // Lines for the activity log: TLS in use, the data connection mode, fallbacks.
    void setNoticeHandler(std::function<void(const QString &)> h) { m_notice.setHandler(std::move(h)); }
    // The fingerprint the prompt accepted during open(), for the caller to pin; else empty.
    QByteArray newlyTrusted() const { return m_tls.newlyTrusted(); }
    bool isEncrypted() const { return m_control.socket().isEncrypted(); }
    bool passiveInUse() const { return m_data.passive(); }
    // For the rest of the session (the stored setting stays the user's).
    void setPassive(bool on) { m_data.setPassive(on); }

    // path: the names' original bytes joined by "/", "" for the top level.
    // The first list() of the top after open() is the listing the method
    // probe made, without a round trip.
    Listing list(const QByteArray &path);
    // That listing, for a walk that lists by other means; once.
    std::optional<Listing> takeProbed(const QByteArray &path);
    void prefetch(const QByteArray &path);
    // The classic pair: the first entry, then each next; false at the end.
    bool findFirstFile(const QByteArray &path, FileEntry &entry);
    bool findNextFile(FileEntry &entry);
    QString decodeName(const QByteArray &raw) const { return m_decoder.decodeName(raw); }
    FileEntry toEntry(const ListedEntry &e) const { return m_decoder.toEntry(e); }
    // Whether a listed folder name may become a step of a path: never one
    // that holds "/", NUL, CR or LF, nor "." or "..".
    static bool safeInPath(const QByteArray &name);
    // Control bytes shown as visible symbols (U+2400 + byte); the exact bytes stay in wireName.
    static QString visibleName(const QString &name) { return ListingDecoder::visibleName(name); }

    // For StatPipeline, which keeps several listings in flight: the logon to
    // open again, the listing command, commands written without waiting and
    // their replies read back in order.
    const FtpLogon &logon() const { return m_logon; }
    bool listsOnControl() const { return listingOnControl(m_probe.method()); }
    QByteArray listCommand() const { return listingCommand(m_probe.method()); }
    // The commands change folders: where the server now is, is not known.
    void sendAhead(const QByteArray &commands) { m_control.sendAhead(commands); }
    // Each line of a reply waits at most idleMs, and none outlasts the
    // listing deadline once startListingDeadline() has set it running.
    FtpReply nextReply(int idleMs) { return m_control.readReply(idleMs); }
    void startListingDeadline();
    // Stops the deadline; true when it had passed.
    bool endListingDeadline() { return m_waits.endDeadline(); }
    // A wait since startListingDeadline() ran out (the connection was cut then).
    bool waitTimedOut() const { return m_control.timedOut(); }
    Listing listingFrom(const FtpReply &r) const { return m_decoder.controlListing(r, m_probe.method(), m_control); }

private:
    void startOver(const FtpLogon &logon, bool passive, bool modeNoted);
    bool establish();
    Refusal refusal() const;
    bool connectControl();
    bool login();
    Listing listNow(const QByteArray &path);

    // Every part below reads the log-on in use from here.
    FtpLogon m_logon;
    FtpNotice m_notice;
    SlicedWait m_waits;
    ControlChannel m_control{m_logon, m_waits};
    FtpTls m_tls{m_logon, m_control, m_waits, m_notice};
    ListingDecoder m_decoder{m_logon};
    DataChannel m_data{m_logon, m_control, m_waits, m_tls, m_decoder, m_notice};
    FolderLister m_lister{m_control, m_data, m_decoder};
    ListingProbe m_probe{m_control, m_lister, m_data, m_decoder};
    Refusal m_refusal = Refusal::None;
    QString m_failure;
    int m_logons = 0;
    // The top's listing that choosing the method made, with the method it
    // was made with: the scan's listing of the top.
    std::optional<Listing> m_probed;
    Method m_probedWith = Method::List;
    QList<FileEntry> m_find;
    qsizetype m_findNext = 0;
};
