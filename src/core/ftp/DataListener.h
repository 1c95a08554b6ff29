#pragma once
#include <QTcpServer>

// The listening port of active mode. Hands out QSslSockets, so a protected
// data connection can start TLS on what the server opened (we are the TLS
// client on data connections whichever side connects).
class DataListener : public QTcpServer
{
protected:
    void incomingConnection(qintptr handle) override;
};
