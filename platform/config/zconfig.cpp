#include "zconfig.h"

#include "phonepath.h"
#include "zconfig_document.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTextCodec>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <limits>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
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
// once a save has succeeded, further changes are kept in memory and saved by
// flush() or the destructor, as long as the file system has room for the new
// file; without room a change is saved at once, so that a card that filled
// up meanwhile answers false instead of losing the change later. A failed
// save leaves the changes pending, and the next change tries again at once.
//
// Before saving, the file is checked against the version this object read
// (inode, size, mtime); when another writer has replaced or changed it in the
// meantime, the object's changes are made again on the file as it is now, so
// that the other writer's changes are not lost.

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

// What identifies one version of a file: a save replaces the file (new
// inode), and a writer that rewrites it in place changes size or mtime.
struct FileStamp
{
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    qint64 mtimeNs = 0;

    static FileStamp of(const struct stat& st)
    {
        FileStamp s;
        s.exists = true;
        s.dev = st.st_dev;
        s.ino = st.st_ino;
        s.size = st.st_size;
        s.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        return s;
    }
    static FileStamp ofPath(const QString& path)
    {
        struct stat st;
        if (::stat(QFile::encodeName(path).constData(), &st) != 0)
            return FileStamp();
        return of(st);
    }
    static FileStamp ofFd(int fd)
    {
        struct stat st;
        if (::fstat(fd, &st) != 0)
            return FileStamp();
        return of(st);
    }
    bool operator==(const FileStamp& o) const
    {
        if (exists != o.exists)
            return false;
        return !exists || (dev == o.dev && ino == o.ino && size == o.size && mtimeNs == o.mtimeNs);
    }
    bool operator!=(const FileStamp& o) const { return !(*this == o); }
};

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

// Whether a host path lies inside EZX_ROOT, in one of the phone's trees,
// once the links of its folder are followed.
bool insidePhone(const QString& hostPath)
{
    const QFileInfo info(hostPath);
    const QString dir = QFileInfo(info.absolutePath()).canonicalFilePath();
    const QString root = QFileInfo(QString::fromLocal8Bit(qgetenv("EZX_ROOT"))).canonicalFilePath();
    if (dir.isEmpty() || root.isEmpty() || !dir.startsWith(root + QLatin1Char('/')))
        return false;
    return isPhoneTreePath(dir.mid(root.size()) + QLatin1Char('/') + info.fileName());
}

// Writes `bytes` to `target` atomically; true when the new file is in place,
// whose stamp is then in `written`.
bool saveAtomically(const QString& target, const QByteArray& bytes, FileStamp* written)
{
    static std::atomic<unsigned> counter{0};

    // Save through a symbolic link to the file it points at, as editors do,
    // so that the link stays.
    QString path = target;
    const QFileInfo linkInfo(target);
    if (linkInfo.isSymLink()) {
        QString resolved = linkInfo.canonicalFilePath();   // the whole chain
        if (resolved.isEmpty())
            resolved = linkInfo.symLinkTarget();
        if (!resolved.isEmpty())
            path = resolved;
        // With a phone root, a registry that is a link out of the phone must
        // not make a save write on the host.
        if (phoneRootSet() && !insidePhone(path))
            return false;
    }

    const QFileInfo info(path);
    const QString dirPath = info.absolutePath();
    removeStaleTemporaries(path);

    const QByteArray tmp = QFile::encodeName(
        dirPath + QLatin1String("/.") + info.fileName() + kTempMarker +
        QString::number(qint64(::getpid())) + QLatin1Char('-') + QString::number(++counter));
    const QByteArray dest = QFile::encodeName(path);

    // A file that may not be written keeps its content (for root only an
    // immutable file or a read-only mount stop this; the rename is then
    // refused as well).
    if (::access(dest.constData(), F_OK) == 0 && ::access(dest.constData(), W_OK) != 0)
        return false;

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
    *written = FileStamp::ofFd(fd);
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
    // A change made through the object, kept until it is in the file so that
    // it can be made again on a newer version of the file (see save()).
    struct Change
    {
        ZConfig::GroupEntries groups;  // what is written, group by group
        bool remove = false;           // removeGroup(the one group named)

        // At most what the change adds to the file (UTF-8, escapes).
        qint64 size() const
        {
            qint64 n = 0;
            for (const auto& [group, entries] : groups) {
                n += 4 * group.size() + 4;
                for (const auto& [key, value] : entries)
                    n += 4 * (key.size() + value.size()) + 4;
            }
            return n;
        }
    };

    QString path;
    QString hostPath;
    ZConfigDocument doc;
    FileStamp known;          // the version of the file that `doc` was read from or saved as
    std::vector<Change> pending;
    bool unreadable = false;  // the file exists but could not be read: never overwrite it
    ZConfig::Encoding encoding = ZConfig::Utf8;
    bool saveWorked = false;   // a save through this object has succeeded
    mutable qint64 savedBytes = 0;   // the size of the file as last read or saved
    qint64 pendingBytes = 0;   // roughly what the pending changes add

    bool hasRoomFor(qint64 bytes) const
    {
        struct statvfs fs;
        const QByteArray dir = QFile::encodeName(QFileInfo(hostPath).absolutePath());
        return ::statvfs(dir.constData(), &fs) == 0
               && qint64(fs.f_bavail) * qint64(fs.f_frsize) >= bytes;
    }

    // Reads the file into `into`; false when it exists but cannot be read.
    bool read(ZConfigDocument& into, FileStamp& stamp) const
    {
        into.parse(QByteArray());
        stamp = FileStamp();
        const QFileInfo info(hostPath);
        if (!info.exists() && !info.isSymLink())
            return true;  // reads as empty
        // Only a regular file is read: a FIFO would block the program in
        // open(), a device or folder is no registry.
        QFile file(hostPath);
        if (!info.isFile() || !file.open(QIODevice::ReadOnly))
            return false;
        // A file from the card may be of any size: one past what any phone's
        // registries come to is not read at all (nor ever overwritten).
        if (file.size() > ZConfig::kLargestFile)
            return false;
        stamp = FileStamp::ofFd(file.handle());
        savedBytes = file.size();
        if (encoding == ZConfig::Utf8)
            return into.parse(&file) && file.error() == QFileDevice::NoError;
        QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return false;
        into.parse(legacyToUtf8(bytes));
        return true;
    }

    // Files written on Chinese systems are often GB2312 (or its supersets
    // GBK and GB18030), never valid UTF-8 when they hold Chinese text.
    static QByteArray legacyToUtf8(const QByteArray& bytes)
    {
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8.decode(bytes);   // decoding is lazy: the string makes it happen
        if (!utf8.hasError())
            return bytes;
        QTextCodec* gb = QTextCodec::codecForName("GB18030");
        return gb ? gb->toUnicode(bytes).toUtf8() : bytes;
    }

    void load()
    {
        if (hostPath.isEmpty())
            return;
        removeStaleTemporaries(hostPath);
        unreadable = !read(doc, known);
    }

    // Applies the change to `target`; false when it already said so.
    static bool apply(ZConfigDocument& target, const Change& c)
    {
        if (c.remove)
            return target.removeGroup(c.groups.first().first);
        bool changed = false;
        for (const auto& [group, entries] : c.groups)
            for (const auto& [key, value] : entries)
                changed = target.setValue(group, key, value) || changed;
        return changed;
    }

    bool save()
    {
        if (unreadable || hostPath.isEmpty())
            return false;
        // Someone else (another object, another program) replaced or changed
        // the file since it was read: make this object's changes again on
        // what is there now, instead of writing back the old version.
        if (FileStamp::ofPath(hostPath) != known) {
            ZConfigDocument fresh;
            FileStamp freshStamp;
            if (!read(fresh, freshStamp))
                return false;
            for (const Change& c : pending)
                apply(fresh, c);
            doc = std::move(fresh);
            known = freshStamp;
        }
        FileStamp written;
        const QByteArray bytes = doc.toByteArray();
        if (!saveAtomically(hostPath, bytes, &written))
            return false;
        savedBytes = bytes.size();
        known = written;
        pending.clear();
        saveWorked = true;
        pendingBytes = 0;
        return true;
    }

    // Makes a change: saves now or later (see above).
    bool change(Change c)
    {
        if (unreadable)
            return false;
        if (!apply(doc, c))
            return true;  // nothing to write: the file already says so
        pendingBytes += c.size();
        pending.push_back(std::move(c));
        // After a first save worked, changes wait for flush() or the
        // destructor, as long as the file system has room for the new file
        // (twice over: it is written beside the old one). Without that room
        // the change is saved at once, so that a full card answers false
        // here instead of losing the change later.
        if (saveWorked && hasRoomFor(2 * (savedBytes + pendingBytes) + 65536))
            return true;
        return save();
    }
};

ZConfig::ZConfig(const QString& path, bool /*flag*/, Encoding encoding) : d(new ZConfigData)
{
    d->encoding = encoding;
    d->path = path;
    d->hostPath = phoneHostPath(path);
    d->load();
}

ZConfig::~ZConfig()
{
    if (!d->pending.empty())
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
    return writeEntries(group, {{key, value}});
}

bool ZConfig::writeEntries(const QString& group, const Entries& entries)
{
    return writeGroups({{group, entries}});
}

bool ZConfig::writeGroups(const GroupEntries& groups)
{
    GroupEntries stored = groups;
    for (auto& group : stored)
        for (auto& entry : group.second)
            if (entry.second.isNull())
                entry.second = QStringLiteral("");
    return d->change({std::move(stored), false});
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
    return d->change({{{group, {}}}, true});
}

bool ZConfig::flush()
{
    if (d->pending.empty())
        return true;
    return d->save();
}

bool ZConfig::readable() const
{
    return !d->unreadable;
}

QString ZConfig::path() const
{
    return d->path;
}
