#pragma once
#include "FtpListing.h"
#include "ListingRequest.h"

class ControlChannel;
class DataChannel;
class ListingDecoder;

// Lists one folder the way a request says: in a STAT reply on the control
// connection, or over a data connection.
class FolderLister
{
public:
    // All outlive this: the session owns them.
    FolderLister(ControlChannel &control, DataChannel &data, const ListingDecoder &decoder);

    FtpListing list(const ListingRequest &request);
    // The listing the control channel asked for ahead, read with method m.
    FtpListing takePrefetched(ListingMethod m);

private:
    ControlChannel &m_control;
    DataChannel &m_data;
    const ListingDecoder &m_decoder;
};
