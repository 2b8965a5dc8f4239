#include "phonewriter.h"

#include "phonepath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

const char kLockFile[] = "/ezx_user/download/appwrite/am/.writer.lock";
const int kDefaultWaitMs = 10000;

// The process's hold on the lock: one descriptor, shared by every
// PhoneWriterLock alive in the process.
struct ProcessHold
{
    int fd = -1;
    int count = 0;
};

ProcessHold& processHold()
{
    static ProcessHold hold;
    return hold;
}

QByteArray hostBytes(const QString& phonePath)
{
    return QFile::encodeName(phoneHostPath(phonePath));
}

// The lock file, opened (and made when missing, folders included). Where
// phone memory is too full to make the file, the folder it would stand in
// is locked instead: every writer that cannot make the file does the same.
int openLockFile()
{
    const QByteArray path = hostBytes(QLatin1String(kLockFile));
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0 && errno == ENOENT) {
        // A phone always has the folder; a new phone root may not yet.
        QDir().mkpath(QFileInfo(QFile::decodeName(path)).absolutePath());
        fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    }
    if (fd < 0)
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        const QByteArray folder = QFile::encodeName(QFileInfo(QFile::decodeName(path)).absolutePath());
        fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    return fd;
}

void pause(int ms)
{
    struct timespec t = {ms / 1000, long(ms % 1000) * 1000000L};
    while (::nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

qint64 monotonicMs()
{
    struct timespec t;
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

bool fsyncPath(const QByteArray& path, int flags)
{
    const int fd = ::open(path.constData(), flags | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
    ::close(fd);
    return ok;
}

QByteArray folderOf(const QByteArray& path)
{
    const int slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

// fsync of every file and folder below the folder open at `fd`, never
// following a link (the fallback where syncfs is not available).
bool fsyncTreeAt(int fd)
{
    DIR* d = ::fdopendir(fd);
    if (!d) {
        ::close(fd);
        return false;
    }
    bool ok = true;
    for (;;) {
        errno = 0;
        dirent* e = ::readdir(d);
        if (!e) {
            ok = ok && errno == 0;
            break;
        }
        if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, ".."))
            continue;
        struct stat st;
        if (::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            ok = false;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            const int child = ::openat(::dirfd(d), e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            ok = child >= 0 && fsyncTreeAt(child) && ok;
        } else if (S_ISREG(st.st_mode)) {
            const int file = ::openat(::dirfd(d), e->d_name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
            ok = file >= 0 && ::fsync(file) == 0 && ok;
            if (file >= 0)
                ::close(file);
        }
    }
    ok = (::fsync(::dirfd(d)) == 0 || errno == EINVAL) && ok;
    ::closedir(d);
    return ok;
}

// The nearest existing folder at or above the host path.
QByteArray existingFolder(QByteArray path)
{
    struct stat st;
    while (!path.isEmpty() && path != "/" && (::stat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode)))
        path = folderOf(path);
    return path.isEmpty() ? QByteArray("/") : path;
}

// How long a writer waits for the lock: EZX_WRITER_WAIT (seconds, a decimal
// number) when set, else 10 s.
int writerWaitMs()
{
    bool ok = false;
    const double seconds = qEnvironmentVariable("EZX_WRITER_WAIT").toDouble(&ok);
    if (!ok || seconds < 0)
        return kDefaultWaitMs;
    return int(qMin(seconds, 3600.0) * 1000);
}

} // namespace

PhoneWriterLock::PhoneWriterLock(int waitMs)
{
    ProcessHold& hold = processHold();
    if (hold.count > 0) {
        ++hold.count;
        m_held = true;
        return;
    }
    const int fd = openLockFile();
    if (fd < 0)
        return;
    if (waitMs < 0)
        waitMs = writerWaitMs();
    const qint64 deadline = monotonicMs() + waitMs;
    // flock() cannot wait for a limited time: it is asked without blocking,
    // a little more patiently as the wait goes on.
    int step = 10;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            break;
        if (errno != EWOULDBLOCK && errno != EINTR) {
            ::close(fd);
            return;
        }
        const qint64 left = deadline - monotonicMs();
        if (left <= 0) {
            ::close(fd);
            m_busy = true;
            return;
        }
        pause(int(qMin<qint64>(step, left)));
        step = qMin(step * 2, 200);
    }
    hold.fd = fd;
    hold.count = 1;
    m_held = true;
    m_first = true;
}

PhoneWriterLock::~PhoneWriterLock()
{
    if (!m_held)
        return;
    ProcessHold& hold = processHold();
    if (--hold.count == 0) {
        ::close(hold.fd);   // releases the flock
        hold.fd = -1;
    }
}

bool phoneRemoveFileDurably(const QString& phonePath)
{
    const QByteArray path = hostBytes(phonePath);
    if (::unlink(path.constData()) != 0)
        return errno == ENOENT;
    fsyncPath(folderOf(path), O_RDONLY | O_DIRECTORY);
    return true;
}

bool phoneFlushTree(const QString& phonePath)
{
    const QByteArray path = hostBytes(phonePath);
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    // One call flushes the whole file system: far cheaper than a flush per
    // file for a package of hundreds of files.
    if (::syncfs(fd) == 0) {
        ::close(fd);
        return true;
    }
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode))
        return fsyncTreeAt(fd) && fsyncPath(folderOf(path), O_RDONLY | O_DIRECTORY);
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

qint64 phoneFreeBytes(const QString& phonePath)
{
    struct statvfs vfs;
    if (::statvfs(existingFolder(hostBytes(phonePath)).constData(), &vfs) != 0)
        return -1;
    return qint64(vfs.f_bavail) * qint64(vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize);
}

qint64 phoneBlockBytes(const QString& phonePath)
{
    struct statvfs vfs;
    if (::statvfs(existingFolder(hostBytes(phonePath)).constData(), &vfs) != 0)
        return 4096;
    const qint64 unit = qint64(vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize);
    return unit > 0 ? unit : 4096;
}

bool phoneCanReplaceFile(const QString& phonePath)
{
    const QByteArray path = hostBytes(phonePath);
    if (::access(folderOf(path).constData(), W_OK | X_OK) != 0)
        return false;
    return ::access(path.constData(), F_OK) != 0 || ::access(path.constData(), W_OK) == 0;
}
