#pragma once
#include "FtpListing.h"
#include "FtpReply.h"

#include <optional>

// A server's clock as its ls-style listings show it. ls prints local times
// without a zone, where MLSD and MDTM give UTC: the difference, learned
// once per server, turns the one into the other. Offsets are whole
// quarter hours, as every zone's are.
namespace ServerClock {
// From the same folder listed both ways: exact holds MLSD's times, local
// the ls lines' (read with no offset). None when no entry of local is
// listed to the minute, or when they disagree on the offset.
std::optional<int> offsetFrom(const FtpListing &exact, const FtpListing &local);
// From the MDTM reply ("213 20261211135229") for a file whose ls line
// gave localTime (a LAC value, to the minute, read with no offset).
std::optional<int> offsetFromMdtm(const FtpReply &reply, quint64 localTime);
// A file of listing whose time is given to the minute, for MDTM; none if
// no such file's name is safe to send.
const FileEntry *mdtmCandidate(const FtpListing &listing);
// Shifts the times listing's ls lines gave (those listed to the minute or
// the day) by the offset, as if read with it.
void shift(FtpListing &listing, int offsetS);
} // namespace ServerClock
