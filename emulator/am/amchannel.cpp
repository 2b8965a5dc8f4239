#include "amchannel.h"

#include "am_global.h"

#include <QElapsedTimer>
#include <QLocalSocket>

QString amChannelName()
{
    return AM_Global::menuChannelName();
}

QByteArray askAm(const QByteArray& request, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QLocalSocket socket;
    socket.connectToServer(amChannelName());
    if (!socket.waitForConnected(timeoutMs))
        return QByteArray();
    socket.write(request + '\n');
    while (!socket.canReadLine()) {
        const int left = timeoutMs - int(clock.elapsed());
        if (left <= 0 || !socket.waitForReadyRead(left))
            return QByteArray();
    }
    return socket.readLine().trimmed();
}
