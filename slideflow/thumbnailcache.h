#pragma once
// The disk cache of reduced pictures, in the freedesktop.org thumbnail
// layout that desktop file managers share: the "x-large" size (within 512 by
// 512), one PNG per picture named by the MD5 of the picture's file URI,
// carrying "Thumb::URI" and "Thumb::MTime" text chunks that tie it to the
// picture and its modification time.
//
// The cache lives under $XDG_CACHE_HOME/thumbnails (~/.cache/thumbnails
// without it). Where that cannot be written, thumbnails go beside the
// pictures, in the folder's ".sh_thumbnails" (the shared layout: named by the
// MD5 of the file's name alone). A thumbnail is used only when its URI and
// time match; a broken or foreign one is ignored and written anew.

#include <QByteArray>
#include <QImage>
#include <QSize>

class ThumbnailCache
{
public:
    // Thumbnails for the pictures of `folder` (an absolute host path).
    explicit ThumbnailCache(const QByteArray& folder);

    static constexpr int kSide = 512;
    static QSize box() { return QSize(kSide, kSide); }

    // "file://" and the path, its bytes percent-encoded where a URI needs it.
    static QByteArray fileUri(const QByteArray& absolutePath);

    // The thumbnail of a file of the folder (its name as bytes) with the
    // given modification time, reduced to fit within `box` (each side on its
    // own when `keepAspect` is false); null when none is valid.
    QImage load(const QByteArray& name, qint64 mtime, QSize box, bool keepAspect = true) const;

    // Stores a thumbnail; false when neither place could take it.
    bool store(const QByteArray& name, qint64 mtime, const QImage& thumbnail) const;

    // Where the thumbnail of a file is looked for first, and second.
    QByteArray personalPath(const QByteArray& name) const;
    QByteArray sharedPath(const QByteArray& name) const;

    // The personal cache's x-large folder ($XDG_CACHE_HOME/thumbnails/x-large).
    static QByteArray personalFolder();

private:
    QByteArray m_folder;
};
