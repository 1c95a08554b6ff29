#include "FolderLister.h"
#include "ControlChannel.h"
#include "DataChannel.h"
#include "ListingDecoder.h"

FolderLister::FolderLister(ControlChannel &control, DataChannel &data, const ListingDecoder &decoder)
    : m_control(control)
    , m_data(data)
    , m_decoder(decoder)
{
}

FtpListing FolderLister::list(const ListingRequest &request)
{
    if (!m_control.isOpen()) {
        FtpListing failed;
        failed.error = QStringLiteral("Not connected");
        return failed;
    }
    // The walk never builds such a path; a caller that did would list
    // another folder than the one it names.
    if (!ListingRequest::enterablePath(request.path)) {
        FtpListing failed;
        failed.error = QStringLiteral("The folder's path holds a name that cannot be sent to the server");
        return failed;
    }
    if (!listingOnControl(request.method))
        return m_data.list(request);
    if (!m_control.changeDir(request.path)) {
        FtpListing failed;
        failed.error = m_control.error();
        failed.code = m_control.errorCode();
        return failed;
    }
    return m_decoder.controlListing(m_control.command(listingCommand(request.method)), request.method, m_control);
}

FtpListing FolderLister::takePrefetched(ListingMethod m)
{
    FtpReply cwd;
    FtpReply listing;
    m_control.takePrefetched(cwd, listing);
    if (cwd.isPositive())
        return m_decoder.controlListing(listing, m, m_control);
    // The listing that followed was of the previous folder: dropped.
    FtpListing failed;
    failed.error = m_control.replyError(cwd);
    failed.code = cwd.code;
    return failed;
}
