#include "am_global.h"

#include "phonelanguage.h"
#include "phonepath.h"
#include "shellrunner.h"
#include "stockicons.h"
#include "zmessagebox.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Sends one request line to the phone's `am` and waits at most `waitMs` for
// its answer line; true when it answered `expected`.
bool askMenu(const QByteArray& request, const QByteArray& expected, int waitMs)
{
    const QByteArray path = QFile::encodeName(AM_Global::menuChannelName());
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= int(sizeof address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    QByteArray answer;
    const QByteArray line = request + '\n';
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
        && ::send(fd, line.constData(), size_t(line.size()), MSG_NOSIGNAL) == line.size()) {
        pollfd p{fd, POLLIN, 0};
        char buffer[64];
        while (!answer.contains('\n') && answer.size() < 256 && ::poll(&p, 1, waitMs) > 0) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            answer.append(buffer, int(n));
        }
    }
    ::close(fd);
    return answer.trimmed() == expected;
}

} // namespace

QString AM_Global::menuChannelName()
{
    QString root = QDir::rootPath();
    if (phoneRootSet())
        root = QFileInfo(QString::fromLocal8Bit(qgetenv("EZX_ROOT"))).absoluteFilePath();
    const QByteArray hash =
        QCryptographicHash::hash(root.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QDir::tempPath() + QStringLiteral("/ezx-am-") + QString::fromLatin1(hash);
}

bool AM_Global::restartMenu()
{
    if (!phoneRootSet()) {
        runShellCommand(QStringLiteral("kill $(pidof am)"));
        return true;
    }
    return askMenu("quit", "quitting", 2000);
}

void AM_Global::installCompleteMessageBox(QWidget* parent)
{
    ZMessageBox::information(parent, stockIcon(QStringLiteral("AM_InstallComplete")),
                             platformText(PlatformText::InstallComplete),
                             platformText(PlatformText::Ok));
}
