#include "amchannel.h"

#include "menuchannel.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace {
// The longest request line read; requests are single words.
const qint64 kRequestBytes = 256;
} // namespace

QString amChannelName()
{
    return menuChannelName();
}

QByteArray askAm(const QByteArray& request, int timeoutMs)
{
    return askMenuChannel(request, timeoutMs);
}

AmChannelServer::AmChannelServer(Serve serve, QObject* parent)
    : QObject(parent), m_serve(std::move(serve))
{
}

bool AmChannelServer::listen()
{
    m_server = new QLocalServer(this);
    const QString name = amChannelName();
    // A socket left by an `am` that was killed would refuse the new one.
    QLocalServer::removeServer(name);
    if (!m_server->listen(name))
        return false;
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = m_server->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] { readRequests(client); });
            if (client->canReadLine())
                readRequests(client);
        }
    });
    return true;
}

void AmChannelServer::readRequests(QLocalSocket* client)
{
    while (client->canReadLine())
        m_serve(client->readLine(kRequestBytes).trimmed(), client);
    if (client->bytesAvailable() > kRequestBytes)
        client->abort();
}
