#include "thumbnailcache.h"

#include "picturedecoder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

QByteArray md5Hex(const QByteArray& text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex();
}

// Bytes a path keeps as they are in a URI; all others are written %XX.
constexpr char kPathSafe[] = "/-_.~!$&'()*+,;=:@";

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
    return readPngReduced(&file, box, &PixelBudget::shared(), [&](const PngTexts& texts) {
        return texts.value("Thumb::URI") == uri && texts.value("Thumb::MTime") == time;
    }, nullptr, keepAspect);
}

// Creates a folder and the folders above it, by their bytes (a picture
// folder's name need not be UTF-8); new ones for the owner alone.
bool makeFolders(const QByteArray& folder)
{
    struct stat st;
    if (::stat(folder.constData(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const int cut = folder.lastIndexOf('/');
    if (cut > 0 && !makeFolders(folder.left(cut)))
        return false;
    return ::mkdir(folder.constData(), 0700) == 0 || errno == EEXIST;
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

// Writes the thumbnail beside its final name and renames it into place, so
// that a reader sees either no thumbnail or a whole one. (No sync to disk: a
// thumbnail lost in a crash is only made again.)
bool storeAt(const QByteArray& folder, const QByteArray& path, const QByteArray& uri, qint64 mtime,
             const QImage& thumbnail)
{
    if (!makeFolders(folder) || !roomFor(folder, thumbnail))
        return false;
    QByteArray temp = path + ".XXXXXX";
    // Thumbnails tell which pictures someone has: readable by the owner alone.
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC); // mode 0600
    if (fd < 0)
        return false;
    PngTexts texts;
    texts.insert("Thumb::URI", uri);
    texts.insert("Thumb::MTime", QByteArray::number(mtime));
    texts.insert("Software", "slideflow");
    bool ok;
    {
        QFile file;
        ok = file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)
          && writePng(&file, thumbnail, texts) && file.flush();
        if (!file.isOpen())
            ::close(fd);
    }
    ok = ok && ::rename(temp.constData(), path.constData()) == 0;
    if (!ok)
        ::unlink(temp.constData());
    return ok;
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

QByteArray ThumbnailCache::personalFolder()
{
    QByteArray base = qgetenv("XDG_CACHE_HOME");
    if (!base.startsWith('/')) // unset, empty or relative: the default
        base = qgetenv("HOME") + "/.cache";
    return base + "/thumbnails/x-large";
}

QByteArray ThumbnailCache::personalPath(const QByteArray& name) const
{
    return personalFolder() + '/' + md5Hex(fileUri(m_folder + '/' + name)) + ".png";
}

QByteArray ThumbnailCache::sharedPath(const QByteArray& name) const
{
    return m_folder + "/.sh_thumbnails/x-large/" + md5Hex(name.toPercentEncoding(kPathSafe)) + ".png";
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
    if (thumbnail.isNull())
        return false;
    // Pictures in the cache itself get no thumbnails of their own.
    if (m_folder.startsWith(personalFolder().chopped(8)) || m_folder.endsWith("/.sh_thumbnails/x-large"))
        return false;
    if (storeAt(personalFolder(), personalPath(name), fileUri(m_folder + '/' + name), mtime, thumbnail))
        return true;
    return storeAt(m_folder + "/.sh_thumbnails/x-large", sharedPath(name),
                   name.toPercentEncoding(kPathSafe), mtime, thumbnail);
}
