#include "menuchannel.h"

#include "phonepath.h"
#include "shellrunner.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

QString menuChannelName()
{
    QString root = QDir::rootPath();
    if (phoneRootSet())
        root = QFileInfo(QString::fromLocal8Bit(qgetenv("EZX_ROOT"))).absoluteFilePath();
    const QByteArray hash =
        QCryptographicHash::hash(root.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QDir::tempPath() + QStringLiteral("/ezx-am-") + QString::fromLatin1(hash);
}

QByteArray askMenuChannel(const QByteArray& request, int timeoutMs)
{
    const QByteArray path = QFile::encodeName(menuChannelName());
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= int(sizeof address.sun_path))
        return QByteArray();
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return QByteArray();
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray answer;
    bool complete = false;
    const QByteArray line = request + '\n';
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
        && ::send(fd, line.constData(), size_t(line.size()), MSG_NOSIGNAL) == line.size()) {
        pollfd p{fd, POLLIN, 0};
        char buffer[64];
        // An answer is one short line; a peer that sends more is not `am`.
        while (answer.size() < 256) {
            const int left = int(deadline.remainingTime());
            if (left <= 0 || ::poll(&p, 1, left) <= 0)
                break;
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            answer.append(buffer, int(n));
            if (answer.contains('\n')) {
                complete = true;
                break;
            }
        }
    }
    ::close(fd);
    if (!complete)
        return QByteArray();
    return answer.left(answer.indexOf('\n')).trimmed();
}

bool restartPhoneMenu()
{
    if (!phoneRootSet()) {
        runShellCommand(QStringLiteral("kill $(pidof am)"));
        return true;
    }
    return askMenuChannel("quit", 2000) == "quitting";
}
