#include "thumbnailcache.h"

#include "picturedecoder.h"

#include <QCryptographicHash>
#include <QFile>
#include <QtEndian>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

QByteArray md5Hex(const QByteArray& text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex();
}

// Bytes a path keeps as they are in a URI; all others are written %XX.
constexpr char kPathSafe[] = "/-_.~!$&'()*+,;=:@";

// The folders of the personal cache that count toward its limit: every size
// of the layout, whoever wrote them.
constexpr const char* kSizeFolders[] = {"normal", "large", "x-large", "xx-large"};

// A temporary file older than this is what a write cut short left behind.
constexpr time_t kStaleTemporary = 60;
// A thumbnail is marked as used at most this often, to spare writes.
constexpr time_t kUseMarkInterval = 3600;

// Writes beside the final name: "<md5>.png.XXXXXX".
bool isTemporaryName(const char* name)
{
    const char* png = strstr(name, ".png.");
    return png && strlen(png) == 11;
}

QImage loadFrom(const QByteArray& path, const QByteArray& uri, qint64 mtime, QSize box, bool keepAspect)
{
    // Only a plain file is read: never a FIFO put where a thumbnail should be.
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return QImage();
    struct stat st;
    QFile file;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return QImage();
    }
    const QByteArray time = QByteArray::number(mtime);
    const QImage image = readPngReduced(&file, box, &PixelBudget::shared(), [&](const PngTexts& texts) {
        return texts.value("Thumb::URI") == uri && texts.value("Thumb::MTime") == time;
    }, nullptr, keepAspect);
    // Used now: the size limit takes the thumbnails used longest ago first.
    if (!image.isNull() && st.st_mtime + kUseMarkInterval < ::time(nullptr))
        ::futimens(fd, nullptr);
    return image;
}

// Creates a folder and the folders above it, by their bytes (a picture
// folder's name need not be UTF-8); new ones for the owner alone. errno
// tells why it failed.
bool makeFolders(const QByteArray& folder)
{
    struct stat st;
    if (::stat(folder.constData(), &st) == 0) {
        errno = S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
        return S_ISDIR(st.st_mode);
    }
    const int cut = folder.lastIndexOf('/');
    if (cut > 0 && !makeFolders(folder.left(cut)))
        return false;
    return ::mkdir(folder.constData(), 0700) == 0 || errno == EEXIST;
}

// A write that failed because the disk is full, not because the place
// cannot be written at all.
bool isFull(int error)
{
    return error == ENOSPC || error == EDQUOT;
}

// Whether the file system of `folder` keeps room to spare once the thumbnail
// is written: a cache must never be what fills a phone's card or memory, and
// the registries and installs that share them.
bool roomFor(const QByteArray& folder, const QImage& thumbnail)
{
    constexpr quint64 kKeepFree = 64ull * 1024 * 1024;
    struct statvfs fs;
    if (::statvfs(folder.constData(), &fs) != 0)
        return false;
    const quint64 needed = quint64(thumbnail.width()) * quint64(thumbnail.height())
                               * (thumbnail.hasAlphaChannel() ? 4 : 3)
                           + 4096;
    return quint64(fs.f_bavail) * quint64(fs.f_frsize) >= needed + kKeepFree;
}

enum class Write { Stored, Full, Unwritable };

// Writes the thumbnail beside its final name and renames it into place, so
// that a reader sees either no thumbnail or a whole one. (No sync to disk: a
// thumbnail lost in a crash is only made again.) `written` gets its size.
Write storeAt(const QByteArray& folder, const QByteArray& path, const QByteArray& uri, qint64 mtime,
              const QImage& thumbnail, qint64* written)
{
    if (!makeFolders(folder))
        return isFull(errno) ? Write::Full : Write::Unwritable;
    struct statvfs fs;
    if (::access(folder.constData(), W_OK) != 0 || (::statvfs(folder.constData(), &fs) == 0 && (fs.f_flag & ST_RDONLY)))
        return Write::Unwritable;
    if (!roomFor(folder, thumbnail))
        return Write::Full;
    QByteArray temp = path + ".XXXXXX";
    // Thumbnails tell which pictures someone has: readable by the owner alone.
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC); // mode 0600
    if (fd < 0)
        return isFull(errno) || errno == EMFILE || errno == ENFILE ? Write::Full : Write::Unwritable;
    PngTexts texts;
    texts.insert("Thumb::URI", uri);
    texts.insert("Thumb::MTime", QByteArray::number(mtime));
    texts.insert("Software", "slideflow");
    bool ok;
    {
        QFile file;
        ok = file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)
          && writePng(&file, thumbnail, texts) && file.flush();
        *written = file.pos();
        if (!file.isOpen())
            ::close(fd);
    }
    ok = ok && ::rename(temp.constData(), path.constData()) == 0;
    if (!ok)
        ::unlink(temp.constData());
    // A write that failed once the file was made: the disk filled meanwhile.
    return ok ? Write::Stored : Write::Full;
}

// The value of a PNG's "Thumb::URI" text, from the chunks before its pixels;
// empty when it has none there.
QByteArray thumbnailUri(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0)
        return QByteArray();
    QByteArray head(8192, '\0');
    const ssize_t got = ::read(fd, head.data(), size_t(head.size()));
    ::close(fd);
    head.truncate(qMax<ssize_t>(got, 0));
    if (!head.startsWith("\x89PNG\r\n\x1A\n"))
        return QByteArray();
    for (qsizetype at = 8; at + 12 <= head.size();) {
        const quint32 length = qFromBigEndian<quint32>(head.constData() + at);
        const QByteArray type = head.mid(at + 4, 4);
        if (type == "IDAT" || length > quint32(head.size() - at - 12))
            break;
        const QByteArray data = head.mid(at + 8, qsizetype(length));
        if ((type == "tEXt" || type == "iTXt") && data.startsWith("Thumb::URI\0")) {
            QByteArray value = data.mid(11);
            if (type == "iTXt") { // compression flag, method, language, key
                if (value.isEmpty() || value[0] != 0)
                    return QByteArray();
                const qsizetype language = value.indexOf('\0', 2);
                const qsizetype key = language < 0 ? -1 : value.indexOf('\0', language + 1);
                value = key < 0 ? QByteArray() : value.mid(key + 1);
            }
            return value;
        }
        at += 12 + qsizetype(length);
    }
    return QByteArray();
}

struct CacheFile
{
    time_t used;
    qint64 bytes;
    QByteArray path;
};

// What the personal cache holds, as far as this process knows: summed by
// the last trim and kept up to date by the stores since.
std::mutex g_ledgerMutex;
qint64 g_ledgerBytes = -1; // unknown until the cache has been summed
std::mutex g_trimMutex;

void noteStored(qint64 bytes)
{
    bool over;
    {
        std::lock_guard<std::mutex> lock(g_ledgerMutex);
        if (g_ledgerBytes >= 0)
            g_ledgerBytes += bytes;
        over = g_ledgerBytes < 0 || g_ledgerBytes > ThumbnailCache::sizeLimit();
    }
    if (over)
        ThumbnailCache::trimToLimit();
}

// Removes the temporary files of a cache folder that writes cut short left.
void removeStaleTemporaries(const QByteArray& folder, time_t now)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        struct stat st;
        if (isTemporaryName(entry->d_name)
            && ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)
            && st.st_mtime + kStaleTemporary < now)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

// Removes the thumbnails of a cache folder whose URI starts with `prefix`
// and names, after it, a file that `present` does not find.
void removeGone(const QByteArray& folder, const QByteArray& prefix,
                const std::function<bool(const QByteArray&)>& present, const std::atomic<bool>* cancel)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        if (cancel && *cancel)
            break;
        const QByteArray name(entry->d_name);
        if (!name.endsWith(".png"))
            continue;
        const QByteArray uri = thumbnailUri(folder + '/' + name);
        if (!uri.startsWith(prefix))
            continue;
        const QByteArray rest = uri.mid(prefix.size());
        if (rest.isEmpty() || rest.contains('/'))
            continue; // a picture of a folder inside this one
        if (!present(QByteArray::fromPercentEncoding(rest)))
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

} // namespace

ThumbnailCache::ThumbnailCache(const QByteArray& folder)
    : m_folder(folder)
{
    while (m_folder.size() > 1 && m_folder.endsWith('/'))
        m_folder.chop(1);
}

QByteArray ThumbnailCache::fileUri(const QByteArray& absolutePath)
{
    return "file://" + absolutePath.toPercentEncoding(kPathSafe);
}

QByteArray ThumbnailCache::personalRoot()
{
    QByteArray base = qgetenv("XDG_CACHE_HOME");
    if (!base.startsWith('/')) // unset, empty or relative: the default
        base = qgetenv("HOME") + "/.cache";
    return base + "/thumbnails";
}

QByteArray ThumbnailCache::personalFolder()
{
    return personalRoot() + "/large";
}

qint64 ThumbnailCache::sizeLimit()
{
    bool ok = false;
    const qint64 mb = qEnvironmentVariable("SLIDEFLOW_CACHE_MB").toLongLong(&ok);
    return (ok && mb >= 0 ? mb : 64) << 20;
}

QByteArray ThumbnailCache::personalPath(const QByteArray& name) const
{
    return personalFolder() + '/' + md5Hex(fileUri(m_folder + '/' + name)) + ".png";
}

QByteArray ThumbnailCache::sharedPath(const QByteArray& name) const
{
    return m_folder + "/.sh_thumbnails/large/" + md5Hex(name.toPercentEncoding(kPathSafe)) + ".png";
}

QImage ThumbnailCache::load(const QByteArray& name, qint64 mtime, QSize box, bool keepAspect) const
{
    QImage image = loadFrom(personalPath(name), fileUri(m_folder + '/' + name), mtime, box, keepAspect);
    if (image.isNull())
        image = loadFrom(sharedPath(name), name.toPercentEncoding(kPathSafe), mtime, box, keepAspect);
    return image;
}

bool ThumbnailCache::store(const QByteArray& name, qint64 mtime, const QImage& thumbnail) const
{
    if (thumbnail.isNull() || sizeLimit() == 0)
        return false;
    // Pictures in the cache itself get no thumbnails of their own.
    if (m_folder.startsWith(personalRoot() + '/') || m_folder.endsWith("/.sh_thumbnails/large"))
        return false;
    qint64 written = 0;
    switch (storeAt(personalFolder(), personalPath(name), fileUri(m_folder + '/' + name), mtime, thumbnail, &written)) {
    case Write::Stored:
        noteStored(written);
        return true;
    case Write::Full:
        return false; // never onto the pictures' card for want of room here
    case Write::Unwritable:
        break;
    }
    return storeAt(m_folder + "/.sh_thumbnails/large", sharedPath(name), name.toPercentEncoding(kPathSafe),
                   mtime, thumbnail, &written) == Write::Stored;
}

qint64 ThumbnailCache::trimToLimit()
{
    std::lock_guard<std::mutex> trimming(g_trimMutex);
    const QByteArray root = personalRoot();
    const time_t now = ::time(nullptr);
    std::vector<CacheFile> files;
    qint64 total = 0;
    for (const char* size : kSizeFolders) {
        const QByteArray folder = root + '/' + size;
        removeStaleTemporaries(folder, now);
        DIR* dir = ::opendir(folder.constData());
        if (!dir)
            continue;
        while (const dirent* entry = ::readdir(dir)) {
            struct stat st;
            if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
                continue;
            total += st.st_size;
            if (!isTemporaryName(entry->d_name)) // one being written is not taken away
                files.push_back(CacheFile{st.st_mtime, st.st_size, folder + '/' + entry->d_name});
        }
        ::closedir(dir);
    }
    const qint64 limit = sizeLimit();
    // A limit of 0 turns the viewer's thumbnails off; it does not empty the
    // cache that other programs share.
    if (limit > 0 && total > limit) {
        // Down to nine tenths of the limit, so that the next stores do not
        // each start a trim of their own.
        std::sort(files.begin(), files.end(), [](const CacheFile& a, const CacheFile& b) { return a.used < b.used; });
        const qint64 goal = limit - limit / 10;
        for (const CacheFile& f : files) {
            if (total <= goal)
                break;
            if (::unlink(f.path.constData()) == 0)
                total -= f.bytes;
        }
    }
    std::lock_guard<std::mutex> lock(g_ledgerMutex);
    g_ledgerBytes = total;
    return total;
}

void ThumbnailCache::tidy(const std::function<bool(const QByteArray&)>& present,
                          const std::atomic<bool>* cancel) const
{
    const QByteArray prefix = fileUri(m_folder) + '/';
    // This size, and the larger one earlier versions wrote.
    removeGone(personalFolder(), prefix, present, cancel);
    removeGone(personalRoot() + "/x-large", prefix, present, cancel);
    const QByteArray shared = m_folder + "/.sh_thumbnails/large";
    struct stat st;
    if (::stat(shared.constData(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(shared.constData(), W_OK) == 0) {
        removeStaleTemporaries(shared, ::time(nullptr));
        removeGone(shared, QByteArray(), present, cancel);
    }
    if (!cancel || !*cancel)
        trimToLimit();
}
