#include "amchannel.h"

#include "phonepath.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>

QString amChannelName()
{
    QString root = QDir::rootPath();
    if (phoneRootSet())
        root = QFileInfo(QString::fromLocal8Bit(qgetenv("EZX_ROOT"))).absoluteFilePath();
    const QByteArray hash =
        QCryptographicHash::hash(root.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QDir::tempPath() + QStringLiteral("/ezx-am-") + QString::fromLatin1(hash);
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
