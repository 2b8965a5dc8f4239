#pragma once
// Reading pictures already reduced, in bounded memory.
//
// Every format is decoded by a library that can reduce while it decodes:
// libjpeg (through Qt's reader) scales in the DCT, libwebp scales row by row,
// SVG is drawn at the size wanted, and PNG is read row by row through libpng
// and averaged down as the rows arrive. Formats whose reader can only give the
// whole picture (GIF, BMP, TIFF, interlaced PNG, animated WebP) are decoded
// whole under a budget of decoded bytes that every decoding thread shares, so
// that however many threads decode, only a bounded amount of whole pictures
// is in memory at once. A BMP or TIFF too large for that budget is read row
// by row or strip by strip and reduced as it is read (rowreaders.h); any
// other picture that large only where its reader can reduce, else not at all.

#include <QByteArray>
#include <QImage>
#include <QMap>
#include <QSize>

#include <condition_variable>
#include <functional>
#include <mutex>

class QIODevice;

// Other: a format of the older kinds that Qt's readers recognise by their
// content (the netpbm family, XPM, XBM, icons), decoded whole.
enum class PictureFormat { None, Jpeg, Png, Gif, Bmp, Webp, Svg, Tiff, Other };

// The format of a file from its first bytes (64 are enough; fewer may do).
// `name` is only consulted to tell a gzip-compressed SVG (".svgz") from
// other gzip data. PictureFormat::None for anything else.
PictureFormat sniffPictureFormat(const QByteArray& head, const QByteArray& name = QByteArray());

// The Qt image format name of a format ("jpeg", "png", ...).
QByteArray pictureFormatName(PictureFormat format);

// `size` made to fit within `box`, keeping its aspect ratio (at least 1 by
// 1); a size that fits already is kept.
QSize fitWithin(QSize size, QSize box);

// Bytes of whole decoded pictures that may be held at once, shared by all
// decoding threads. A request larger than the whole budget waits until the
// budget is unused and then takes all of it.
class PixelBudget
{
public:
    explicit PixelBudget(qint64 bytes);
    PixelBudget(const PixelBudget&) = delete;
    PixelBudget& operator=(const PixelBudget&) = delete;

    // Blocks until `bytes` (held to the total) are free; returns what was taken.
    qint64 acquire(qint64 bytes);
    void release(qint64 taken);
    qint64 total() const { return m_total; }
    // The most ever held at once.
    qint64 peak() const;

    // The budget of the viewer: 64 MB, room for one whole 2048 x 2048
    // picture of 16-bit samples with its conversion, or 4096 x 2048 of
    // 8-bit ones.
    static PixelBudget& shared();

private:
    const qint64 m_total;
    qint64 m_free;
    qint64 m_peak = 0;
    mutable std::mutex m_mutex;
    std::condition_variable m_freed;
};

// Text chunks of a PNG (key, value), as the file holds them.
using PngTexts = QMap<QByteArray, QByteArray>;

// Reads a PNG with libpng row by row, averaging it down to fit within `box`
// as the rows arrive: palette, grey, 1- to 16-bit and transparent pictures
// alike, with no more than a few rows held (an interlaced PNG is read whole
// under `budget`). When `accept` is given it sees the text chunks before any
// pixel is read, and a false answer stops the read (a null image). Null for
// a file that is not a PNG or is cut short. `fullSize` gets the file's size.
// With `keepAspect` false each side is reduced on its own to at most the
// box's (a picture bound for a slide of exactly that size).
QImage readPngReduced(QIODevice* device, QSize box, PixelBudget* budget = nullptr,
                      const std::function<bool(const PngTexts&)>& accept = {},
                      QSize* fullSize = nullptr, bool keepAspect = true);

// Writes a picture as an 8-bit PNG (RGB, or RGBA when it has transparent
// parts) with the given text chunks (tEXt), filtered and compressed. False
// when writing failed.
bool writePng(QIODevice* device, const QImage& image, const PngTexts& texts);

// Reads a still WebP with libwebp's scaled decode to fit within `box`. Null
// for an animated WebP (left to Qt's reader) or a broken file.
QImage readWebpReduced(const QByteArray& data, QSize box, QSize* fullSize = nullptr);

// Reads the picture that `device` holds in `format`, reduced to fit within
// `box` keeping its aspect ratio (the box is meant for the picture as it is
// shown: the EXIF orientation is applied, and a quarter turn swaps the box).
// The result is 32-bit: Format_RGB32, or Format_ARGB32_Premultiplied when the
// picture has transparent parts. Null when the data does not decode.
// `enough`, when given, is a smaller box that would serve as well: a JPEG
// is then decoded at the smallest of libjpeg's own reductions (1/8, 1/4,
// 1/2) that still covers it, which spares a second scaling.
// `complete` (when given) is false for a picture whose file ended before its
// last row (a JPEG, BMP or TIFF cut short): it may be shown, but is only
// part of the picture.
QImage decodePictureReduced(QIODevice* device, PictureFormat format, QSize box,
                            PixelBudget* budget = nullptr, QSize* fullSize = nullptr,
                            QSize enough = QSize(), bool* complete = nullptr);
