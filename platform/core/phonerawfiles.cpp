#include "phonerawfiles.h"

#include "phonepath.h"

#include <QString>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace {

bool isValidUtf8(const QByteArray& bytes)
{
    const QString s = QString::fromUtf8(bytes);
    return s.toUtf8() == bytes;
}

// "." and ".." resolved in an absolute path, byte by byte.
QByteArray cleanAbsoluteRaw(const QByteArray& path)
{
    QList<QByteArray> parts;
    for (const QByteArray& comp : path.split('/')) {
        if (comp.isEmpty() || comp == ".")
            continue;
        if (comp == "..") {
            if (!parts.isEmpty())
                parts.removeLast();
        } else {
            parts << comp;
        }
    }
    return '/' + parts.join('/');
}

} // namespace

QByteArray phoneHostPathRaw(const QByteArray& phonePath)
{
    if (isValidUtf8(phonePath))
        return phoneHostPath(QString::fromUtf8(phonePath)).toUtf8();
    if (!phoneRootSet() || !phonePath.startsWith('/'))
        return phonePath;
    const QByteArray clean = cleanAbsoluteRaw(phonePath);
    // The tree test only looks at the leading ASCII components.
    if (!isPhoneTreePath(QString::fromUtf8(clean)))
        return phonePath;
    return qgetenv("EZX_ROOT") + clean;
}

QList<QByteArray> phoneListFilesRaw(const QByteArray& phoneDir, bool* readable)
{
    QList<QByteArray> names;
    if (readable)
        *readable = false;
    const QByteArray host = phoneHostPathRaw(phoneDir);
    const int dfd = ::open(host.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0)
        return names;
    DIR* dir = ::fdopendir(dfd);
    if (!dir) {
        ::close(dfd);
        return names;
    }
    if (readable)
        *readable = true;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        // The entry's type as the folder gives it: asking the file system
        // about each name costs a lookup that a FAT card's driver answers by
        // searching the folder again (seconds for a thousand photos).
        if (entry->d_type == DT_REG) {
            names << name;
            continue;
        }
        struct stat st;
        if (entry->d_type == DT_UNKNOWN && ::fstatat(dfd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0
            && S_ISREG(st.st_mode))
            names << name;
    }
    ::closedir(dir); // closes dfd as well
    return names;
}

int phoneOpenReadRaw(const QByteArray& phonePath)
{
    const QByteArray host = phoneHostPathRaw(phonePath);
    const int fd = ::open(host.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd); // a FIFO or device where a file was listed: never read
        return -1;
    }
    // Plain files never block; reads go back to the ordinary mode.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

QByteArray phoneCurrentFolderRaw()
{
    char buf[PATH_MAX];
    if (!::getcwd(buf, sizeof buf))
        return QByteArray();
    return QByteArray(buf);
}
