#include "DataListener.h"

#include <QSslSocket>

void DataListener::incomingConnection(qintptr handle)
{
    auto *socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(handle)) {
        delete socket;
        return;
    }
    addPendingConnection(socket);
}
