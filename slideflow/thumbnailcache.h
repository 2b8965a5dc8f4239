#pragma once
// The disk cache of reduced pictures, in the freedesktop.org thumbnail
// layout that desktop file managers share: the "large" size (within 256 by
// 256, about four times a slide's pixels), one compressed PNG per picture
// named by the MD5 of the picture's file URI, carrying "Thumb::URI" and
// "Thumb::MTime" text chunks that tie it to the picture and its
// modification time.
//
// The cache lives under $XDG_CACHE_HOME/thumbnails (~/.cache/thumbnails
// without it) and is held to a size limit, the thumbnails used longest ago
// going first. Only where that folder cannot be written at all do
// thumbnails go beside the pictures, in the folder's ".sh_thumbnails" (the
// shared layout: named by the MD5 of the file's name alone); a cache that is
// merely full takes no more, and the pictures' card stays as it was. A
// thumbnail is used only when its URI and time match; a broken or foreign
// one is ignored and written anew.

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <atomic>
#include <functional>

class ThumbnailCache
{
public:
    // Thumbnails for the pictures of `folder` (an absolute host path).
    explicit ThumbnailCache(const QByteArray& folder);

    static constexpr int kSide = 256;
    static QSize box() { return QSize(kSide, kSide); }

    // "file://" and the path, its bytes percent-encoded where a URI needs it.
    static QByteArray fileUri(const QByteArray& absolutePath);

    // The thumbnail of a file of the folder (its name as bytes) with the
    // given modification time, reduced to fit within `box` (each side on its
    // own when `keepAspect` is false); null when none is valid. A thumbnail
    // used is marked as used now, for the size limit.
    QImage load(const QByteArray& name, qint64 mtime, QSize box, bool keepAspect = true) const;

    // Stores a thumbnail; false when it was not kept (the cache is full, or
    // neither place could be written).
    bool store(const QByteArray& name, qint64 mtime, const QImage& thumbnail) const;

    // Upkeep for a folder being shown, meant for a background thread: takes
    // away temporary files left by writes cut short more than a minute ago,
    // the thumbnails of this folder's pictures that `present` (a file name)
    // no longer finds, and, while the cache is over its limit, the
    // thumbnails used longest ago. Stops early once `cancel` is set.
    void tidy(const std::function<bool(const QByteArray&)>& present,
              const std::atomic<bool>* cancel = nullptr) const;

    // Where the thumbnail of a file is looked for first, and second.
    QByteArray personalPath(const QByteArray& name) const;
    QByteArray sharedPath(const QByteArray& name) const;

    // The personal cache ($XDG_CACHE_HOME/thumbnails) and its folder of
    // this size ($XDG_CACHE_HOME/thumbnails/large).
    static QByteArray personalRoot();
    static QByteArray personalFolder();

    // Bytes the personal cache may hold, all sizes together: 64 MB, or the
    // megabytes that SLIDEFLOW_CACHE_MB gives (0: the viewer keeps no
    // thumbnails, and leaves the cache as it is).
    static qint64 sizeLimit();

    // Brings the personal cache under its limit now, the thumbnails used
    // longest ago going first; the bytes it holds afterwards.
    static qint64 trimToLimit();

private:
    QByteArray m_folder;
};
