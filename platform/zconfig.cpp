#include "zconfig.h"

#include "phonepath.h"
#include "zconfig_document.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <csignal>
#include <limits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Saving. The new content goes to a temporary file beside the file, named
//   "." + <file name> + ".zconfig-tmp-" + <writer's pid> + "-" + <number>
// which is written, flushed to the disk and renamed over the file; the folder
// is then flushed too. A crash or a full card leaves the old file or the new
// one, never a cut one. A writer killed in the middle leaves its temporary
// file behind; the name carries the writer's pid, so every later open or
// save of the same file removes the temporary files of writers that no
// longer run (a running writer's file is left alone).
//
// When it saves: the first change made through an object is saved at once, so
// that its writeEntry/removeGroup can answer whether the file can be written;
// once a save has succeeded, further changes are only kept in memory and saved
// by flush() or the destructor. A failed save leaves the changes pending, and
// the next change tries again at once.

namespace {

const QLatin1String kTempMarker(".zconfig-tmp-");

bool processRuns(qint64 pid)
{
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    if (pid == qint64(::getpid()))
        return false;  // our own leftovers: no save of ours is under way
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

// Removes the temporary files that killed writers left beside `target`.
void removeStaleTemporaries(const QString& target)
{
    const QFileInfo info(target);
    QDir dir = info.dir();
    const QString prefix = QLatin1Char('.') + info.fileName() + kTempMarker;
    const QStringList names = dir.entryList({prefix + QLatin1Char('*')},
                                            QDir::Files | QDir::Hidden | QDir::System);
    static const QRegularExpression tail(QStringLiteral("^(\\d+)-\\d+$"));
    for (const QString& name : names) {
        const QRegularExpressionMatch m = tail.match(name.mid(prefix.size()));
        if (!m.hasMatch())
            continue;
        if (!processRuns(m.captured(1).toLongLong()))
            QFile::remove(dir.filePath(name));
    }
}

bool writeAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

// Writes `bytes` to `target` atomically; true when the new file is in place.
bool saveAtomically(const QString& target, const QByteArray& bytes)
{
    static unsigned counter = 0;

    // Save through a symbolic link to the file it points at, as editors do,
    // so that the link stays.
    QString path = target;
    const QFileInfo linkInfo(target);
    if (linkInfo.isSymLink()) {
        const QString resolved = linkInfo.symLinkTarget();
        if (!resolved.isEmpty())
            path = resolved;
    }

    const QFileInfo info(path);
    const QString dirPath = info.absolutePath();
    removeStaleTemporaries(path);

    const QByteArray tmp = QFile::encodeName(
        dirPath + QLatin1String("/.") + info.fileName() + kTempMarker +
        QString::number(qint64(::getpid())) + QLatin1Char('-') + QString::number(++counter));
    const QByteArray dest = QFile::encodeName(path);

    int fd = ::open(tmp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) {
        ::unlink(tmp.constData());
        fd = ::open(tmp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    }
    if (fd < 0)
        return false;

    // The new file keeps the mode and, where allowed, the owner of the old one.
    struct stat old;
    if (::stat(dest.constData(), &old) == 0) {
        if (S_ISDIR(old.st_mode)) {
            ::close(fd);
            ::unlink(tmp.constData());
            return false;
        }
        (void)::fchmod(fd, old.st_mode & 07777);
        struct stat now;
        if (::fstat(fd, &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid))
            (void)!::fchown(fd, old.st_uid, old.st_gid);
    }

    bool ok = writeAll(fd, bytes.constData(), bytes.size());
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(tmp.constData(), dest.constData()) == 0;
    if (!ok) {
        ::unlink(tmp.constData());
        return false;
    }
    const int dfd = ::open(QFile::encodeName(dirPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        (void)::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

} // namespace

class ZConfigData
{
public:
    QString path;
    QString hostPath;
    ZConfigDocument doc;
    bool unreadable = false;  // the file exists but could not be read: never overwrite it
    bool dirty = false;       // changes not yet in the file
    bool saveWorked = false;  // a save through this object has succeeded

    void load()
    {
        if (hostPath.isEmpty())
            return;
        removeStaleTemporaries(hostPath);
        QFile file(hostPath);
        const QFileInfo info(hostPath);
        if (!info.exists() && !info.isSymLink())
            return;  // reads as empty
        if (info.isDir() || !file.open(QIODevice::ReadOnly)) {
            unreadable = true;
            return;
        }
        if (!doc.parse(&file) || file.error() != QFileDevice::NoError)
            unreadable = true;
    }

    bool save()
    {
        if (unreadable || hostPath.isEmpty())
            return false;
        if (!saveAtomically(hostPath, doc.toByteArray()))
            return false;
        dirty = false;
        saveWorked = true;
        return true;
    }

    // After a change of the document: saves now or later (see above).
    bool changed()
    {
        dirty = true;
        if (saveWorked)
            return true;
        return save();
    }
};

ZConfig::ZConfig(const QString& path, bool /*flag*/) : d(new ZConfigData)
{
    d->path = path;
    d->hostPath = phoneHostPath(path);
    d->load();
}

ZConfig::~ZConfig()
{
    if (d->dirty)
        d->save();
    delete d;
}

QString ZConfig::readEntry(const QString& group, const QString& key,
                           const QString& defaultValue) const
{
    const QString v = d->doc.value(group, key);
    return v.isNull() ? defaultValue : v;
}

bool ZConfig::writeEntry(const QString& group, const QString& key, const QString& value)
{
    if (d->unreadable)
        return false;
    if (!d->doc.setValue(group, key, value.isNull() ? QStringLiteral("") : value))
        return true;  // the file already holds it
    return d->changed();
}

bool ZConfig::writeEntry(const QString& group, const QString& key, const char* value)
{
    return writeEntry(group, key, QString::fromUtf8(value ? value : ""));
}

bool ZConfig::groupExists(const QString& group) const
{
    return d->doc.hasGroup(group);
}

void ZConfig::getGroupsKeyList(QStringList& list) const
{
    list = d->doc.groups();
}

bool ZConfig::removeGroup(const QString& group)
{
    if (d->unreadable)
        return false;
    if (!d->doc.removeGroup(group))
        return true;  // nothing to remove
    return d->changed();
}

bool ZConfig::flush()
{
    if (!d->dirty)
        return true;
    return d->save();
}

QString ZConfig::path() const
{
    return d->path;
}
