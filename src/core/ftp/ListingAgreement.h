#pragma once
#include "FtpListing.h"

// Whether an ls-style listing of a folder (STAT on the control connection)
// tells everything MLSD tells of it: the same names, each the same kind
// (where MLSD tells a link, ls does too), files the same size, and times that agree to the
// precision ls gave them once the server's clock offset is taken off. Only
// then may a scan list the server's other folders the faster way and keep
// a catalogue as true as MLSD's.
namespace ListingAgreement {
// local was read with no clock offset; offsetS is the server's.
bool agrees(const FtpListing &mlsd, const FtpListing &local, int offsetS);
// Whether MLSD gave its folders a size (Pure-FTPd's "sizd"; ProFTPD gives none).
bool sizesFolders(const FtpListing &mlsd);
} // namespace ListingAgreement
