#include "rowreaders.h"

#include "areareducer.h"

#include <QIODevice>
#include <QTransform>
#include <QtEndian>

#include <tiffio.h>

#include <cstdarg>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Sides beyond this are refused: no picture people keep is wider, and the
// row buffers stay small.
constexpr qint64 kMaxSide = 1 << 17;

// --- BMP

quint32 le32(const uchar* p) { return qFromLittleEndian<quint32>(p); }
quint16 le16(const uchar* p) { return qFromLittleEndian<quint16>(p); }

// One colour channel of a bit-field pixel: its mask's position and width,
// and the value scaled to 8 bits.
struct Channel
{
    quint32 mask = 0;
    int shift = 0;
    int bits = 0;

    explicit Channel(quint32 m = 0)
        : mask(m)
    {
        if (!m)
            return;
        while (!((m >> shift) & 1))
            ++shift;
        while (bits < 32 - shift && ((m >> (shift + bits)) & 1))
            ++bits;
    }
    int value(quint32 pixel) const
    {
        if (!mask)
            return 255;
        const quint32 v = (pixel & mask) >> shift;
        const quint32 max = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
        return int((quint64(v) * 255 + max / 2) / max);
    }
};

} // namespace

QImage readBmpReduced(QIODevice* device, QSize box, QSize* fullSize, bool* complete)
{
    if (complete)
        *complete = true;
    if (!device)
        return QImage();
    const QByteArray head = device->read(14 + 124);
    if (head.size() < 14 + 12 || !head.startsWith("BM"))
        return QImage();
    const auto* h = reinterpret_cast<const uchar*>(head.constData());
    const quint32 dataOffset = le32(h + 10);
    const quint32 infoSize = le32(h + 14);
    qint64 width, height;
    int bits;
    quint32 compression = 0, colours = 0;
    int paletteEntryBytes = 4;
    if (infoSize == 12) { // the OS/2 core header
        width = le16(h + 18);
        height = qint16(le16(h + 20));
        bits = le16(h + 24);
        paletteEntryBytes = 3;
    } else if (infoSize >= 40 && head.size() >= 14 + 40) {
        width = qint32(le32(h + 18));
        height = qint32(le32(h + 22));
        bits = le16(h + 28);
        compression = le32(h + 30);
        colours = le32(h + 46);
    } else {
        return QImage();
    }
    const bool topDown = height < 0;
    height = qAbs(height);
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
        return QImage();
    if (fullSize)
        *fullSize = QSize(int(width), int(height));

    // Bit fields: in the header from version 3 on, else right after it.
    Channel red, green, blue, alpha;
    const bool fields = compression == 3 || compression == 6;
    if (compression == 0 && bits == 16) {
        red = Channel(0x7C00);
        green = Channel(0x03E0);
        blue = Channel(0x001F);
    } else if (compression == 0 && bits == 32) {
        red = Channel(0x00FF0000);
        green = Channel(0x0000FF00);
        blue = Channel(0x000000FF);
    } else if (fields && (bits == 16 || bits == 32)) {
        QByteArray masks = head.mid(14 + 40, 16);
        if (masks.size() < 12)
            return QImage();
        const auto* m = reinterpret_cast<const uchar*>(masks.constData());
        red = Channel(le32(m));
        green = Channel(le32(m + 4));
        blue = Channel(le32(m + 8));
        if (masks.size() >= 16 && (infoSize >= 56 || compression == 6))
            alpha = Channel(le32(m + 12));
    } else if (compression != 0 || !(bits == 1 || bits == 4 || bits == 8 || bits == 24)) {
        return QImage(); // RLE, JPEG or PNG inside, or an odd depth: not here
    }

    std::vector<QRgb> palette;
    if (bits <= 8) {
        const int count = colours > 0 && colours <= (1u << bits) ? int(colours) : 1 << bits;
        if (!device->seek(14 + qint64(infoSize)))
            return QImage();
        const QByteArray table = device->read(qint64(count) * paletteEntryBytes);
        const auto* t = reinterpret_cast<const uchar*>(table.constData());
        palette.assign(size_t(1) << bits, qRgb(0, 0, 0));
        for (int i = 0; i < count && (i + 1) * paletteEntryBytes <= table.size(); ++i)
            palette[size_t(i)] = qRgb(t[i * paletteEntryBytes + 2], t[i * paletteEntryBytes + 1],
                                      t[i * paletteEntryBytes]);
    }
    const bool hasAlpha = alpha.mask != 0;

    const qint64 stride = ((width * bits + 31) / 32) * 4;
    std::vector<uchar> row(static_cast<size_t>(stride));
    std::vector<uchar> rgba(size_t(width) * 4);
    AreaReducer reducer(QSize(int(width), int(height)), fitWithin(QSize(int(width), int(height)), box), hasAlpha);
    if (reducer.isNull() || !device->seek(dataOffset))
        return QImage();
    bool whole = true;
    for (qint64 y = 0; y < height; ++y) {
        qint64 got = whole ? device->read(reinterpret_cast<char*>(row.data()), stride) : 0;
        if (got < stride) { // cut short: the rest stays black
            whole = false;
            std::fill(row.begin() + qMax<qint64>(got, 0), row.end(), uchar(0));
        }
        uchar* out = rgba.data();
        const uchar* in = row.data();
        for (qint64 x = 0; x < width; ++x) {
            QRgb c;
            quint32 pixel;
            switch (bits) {
            case 1: c = palette[(in[x >> 3] >> (7 - (x & 7))) & 1]; break;
            case 4: c = palette[(in[x >> 1] >> ((x & 1) ? 0 : 4)) & 15]; break;
            case 8: c = palette[in[x]]; break;
            case 24: c = qRgb(in[3 * x + 2], in[3 * x + 1], in[3 * x]); break;
            case 16:
                pixel = le16(in + 2 * x);
                c = qRgba(red.value(pixel), green.value(pixel), blue.value(pixel), alpha.value(pixel));
                break;
            default:
                pixel = le32(in + 4 * x);
                c = qRgba(red.value(pixel), green.value(pixel), blue.value(pixel), alpha.value(pixel));
                break;
            }
            *out++ = uchar(qRed(c));
            *out++ = uchar(qGreen(c));
            *out++ = uchar(qBlue(c));
            if (hasAlpha)
                *out++ = uchar(qAlpha(c));
        }
        reducer.addRow(rgba.data());
    }
    if (complete)
        *complete = whole;
    // Rows are stored from the bottom up: reduced as they come, then turned
    // over (the area filter's spans are the same either way up).
    const QImage reduced = reducer.result();
    return topDown ? reduced : reduced.mirrored(false, true);
}

// --- TIFF

namespace {

tmsize_t tiffRead(thandle_t h, void* buffer, tmsize_t size)
{
    return tmsize_t(static_cast<QIODevice*>(h)->read(static_cast<char*>(buffer), qint64(size)));
}

tmsize_t tiffWrite(thandle_t, void*, tmsize_t) { return 0; }

toff_t tiffSeek(thandle_t h, toff_t offset, int whence)
{
    auto* device = static_cast<QIODevice*>(h);
    qint64 to = qint64(offset);
    if (whence == SEEK_CUR)
        to += device->pos();
    else if (whence == SEEK_END)
        to += device->size();
    return device->seek(to) ? toff_t(to) : toff_t(-1);
}

int tiffClose(thandle_t) { return 0; }
toff_t tiffFileSize(thandle_t h) { return toff_t(static_cast<QIODevice*>(h)->size()); }
int tiffMap(thandle_t, void**, toff_t*) { return 0; }
void tiffUnmap(thandle_t, void*, toff_t) {}

// libtiff's complaints about odd files are not shown, as Qt's are not.
int tiffQuiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// No single allocation of libtiff's is larger: a strip or tile that would
// need more is not read through the band path.
constexpr tmsize_t kMaxTiffAllocation = tmsize_t(32) << 20;
// The rows read at once, at most this many bytes of 32-bit pixels.
constexpr qint64 kBandBytes = qint64(8) << 20;

struct TiffCloser
{
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

TiffHandle openTiff(QIODevice* device)
{
    if (!device || !device->seek(0))
        return nullptr;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxTiffAllocation);
    TIFFOpenOptionsSetErrorHandlerExtR(options, tiffQuiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, tiffQuiet, nullptr);
    // "C": an uncompressed picture stored as one strip is read as many.
    TIFF* tif = TIFFClientOpenExt("picture", "rC", device, tiffRead, tiffWrite, tiffSeek, tiffClose,
                                  tiffFileSize, tiffMap, tiffUnmap, options);
    TIFFOpenOptionsFree(options);
    return TiffHandle(tif);
}

// The picture as shown from the picture as stored, for each orientation tag.
QImage oriented(const QImage& stored, int orientation)
{
    switch (orientation) {
    case ORIENTATION_TOPRIGHT: return stored.mirrored(true, false);
    case ORIENTATION_BOTRIGHT: return stored.mirrored(true, true);
    case ORIENTATION_BOTLEFT: return stored.mirrored(false, true);
    case ORIENTATION_LEFTTOP: return stored.transformed(QTransform().rotate(90)).mirrored(true, false);
    case ORIENTATION_RIGHTTOP: return stored.transformed(QTransform().rotate(90));
    case ORIENTATION_RIGHTBOT: return stored.transformed(QTransform().rotate(90)).mirrored(false, true);
    case ORIENTATION_LEFTBOT: return stored.transformed(QTransform().rotate(270));
    default: return stored;
    }
}

// Band by band through libtiff's RGBA interface, which knows every colour
// model (YCbCr, CMYK, palettes, 16-bit, bilevel...). False when a strip or
// tile is too large for it.
bool readBands(TIFF* tif, AreaReducer& reducer, PixelBudget* budget, quint32 width, quint32 height, int orientation)
{
    char message[1024];
    if (!TIFFRGBAImageOK(tif, message))
        return false;
    TIFFRGBAImage image;
    if (!TIFFRGBAImageBegin(&image, tif, 0, message))
        return false;
    // As stored: the orientation is applied to the reduced picture.
    image.req_orientation = quint16(orientation);
    quint32 unit = 0;
    if (TIFFIsTiled(tif))
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &unit);
    else
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &unit);
    // Whole strips or tiles at once where they fit, so that each is decoded once.
    const quint32 most = quint32(qMax<qint64>(1, kBandBytes / (qint64(width) * 4)));
    quint32 band = unit > 0 && unit <= most ? unit * qMax<quint32>(1, most / unit) : most;
    band = qMin(band, height);
    BudgetShare share(budget, qint64(band) * width * 4 + qMin<qint64>(TIFFStripSize(tif), kMaxTiffAllocation));
    std::vector<quint32> pixels;
    pixels.resize(size_t(band) * width);
    bool ok = true;
    for (quint32 y = 0; y < height && ok; y += band) {
        const quint32 rows = qMin(band, height - y);
        image.row_offset = int(y);
        image.col_offset = 0;
        ok = TIFFRGBAImageGet(&image, pixels.data(), width, rows) == 1;
        for (quint32 r = 0; r < rows && ok; ++r)
            reducer.addRow(reinterpret_cast<const uchar*>(pixels.data() + size_t(r) * width), true);
    }
    TIFFRGBAImageEnd(&image);
    return ok;
}

// Line by line for a strip too large to decode at once: plain 8- or 16-bit
// grey or RGB samples (alpha after them), or an 8-bit palette.
bool readLines(TIFF* tif, AreaReducer& reducer, quint32 width, quint32 height, bool* complete)
{
    quint16 bits = 0, samples = 0, photometric = 0, planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric) || planar != PLANARCONFIG_CONTIG
        || TIFFIsTiled(tif) || !(bits == 8 || bits == 16))
        return false;
    const bool grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
    const bool rgb = photometric == PHOTOMETRIC_RGB;
    const bool indexed = photometric == PHOTOMETRIC_PALETTE && bits == 8;
    const int colourSamples = rgb ? 3 : 1;
    if (!(grey || rgb || indexed) || samples < colourSamples || samples > colourSamples + 1)
        return false;
    const bool alpha = samples > colourSamples;
    quint16 *mapR = nullptr, *mapG = nullptr, *mapB = nullptr;
    if (indexed && !TIFFGetField(tif, TIFFTAG_COLORMAP, &mapR, &mapG, &mapB))
        return false;
    quint16 extraCount = 0;
    quint16* extra = nullptr;
    const bool associated = alpha && TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra)
                         && extraCount > 0 && extra[0] == EXTRASAMPLE_ASSOCALPHA;

    std::vector<uchar> line(size_t(TIFFScanlineSize(tif)));
    std::vector<uchar> rgba(size_t(width) * 4);
    auto sample = [&](quint32 i) -> int {
        return bits == 8 ? line[i] : (reinterpret_cast<const quint16*>(line.data())[i] + 128) / 257;
    };
    for (quint32 y = 0; y < height; ++y) {
        if (TIFFReadScanline(tif, line.data(), y, 0) != 1) {
            if (y == 0)
                return false;
            *complete = false; // cut short: the rest stays black
            std::fill(line.begin(), line.end(), uchar(0));
        }
        uchar* out = rgba.data();
        for (quint32 x = 0; x < width; ++x) {
            const quint32 at = x * samples;
            int r, g, b;
            if (indexed) {
                const int i = line[at];
                r = mapR[i] >> 8;
                g = mapG[i] >> 8;
                b = mapB[i] >> 8;
            } else if (grey) {
                r = g = b = photometric == PHOTOMETRIC_MINISWHITE ? 255 - sample(at) : sample(at);
            } else {
                r = sample(at);
                g = sample(at + 1);
                b = sample(at + 2);
            }
            const int a = alpha ? sample(at + colourSamples) : 255;
            if (associated && a > 0) { // back to plain colours for the reducer
                r = qMin(255, r * 255 / a);
                g = qMin(255, g * 255 / a);
                b = qMin(255, b * 255 / a);
            }
            *out++ = uchar(r);
            *out++ = uchar(g);
            *out++ = uchar(b);
            if (alpha)
                *out++ = uchar(a);
        }
        reducer.addRow(rgba.data());
    }
    return true;
}

} // namespace

QSize tiffSize(QIODevice* device)
{
    const qint64 at = device ? device->pos() : 0;
    TiffHandle tif = openTiff(device);
    QSize size;
    quint32 width = 0, height = 0;
    if (tif && TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) && TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height))
        size = QSize(int(qMin<quint32>(width, INT_MAX)), int(qMin<quint32>(height, INT_MAX)));
    tif.reset();
    if (device)
        device->seek(at);
    return size;
}

QImage readTiffReduced(QIODevice* device, QSize box, PixelBudget* budget, QSize* fullSize, bool* complete)
{
    bool whole = true;
    if (complete)
        *complete = true;
    TiffHandle tif = openTiff(device);
    if (!tif)
        return QImage();
    quint32 width = 0, height = 0;
    quint16 orientation = ORIENTATION_TOPLEFT;
    quint16 extraCount = 0;
    quint16* extra = nullptr;
    if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height)
        || width == 0 || height == 0 || width > kMaxSide || height > kMaxSide)
        return QImage();
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_ORIENTATION, &orientation);
    const bool alpha = TIFFGetField(tif.get(), TIFFTAG_EXTRASAMPLES, &extraCount, &extra) && extraCount > 0;
    const QSize stored{int(width), int(height)};
    const bool turned = orientation >= ORIENTATION_LEFTTOP && orientation <= ORIENTATION_LEFTBOT;
    if (fullSize)
        *fullSize = turned ? stored.transposed() : stored;
    const QSize target = fitWithin(stored, turned ? box.transposed() : box);

    auto reducer = std::make_unique<AreaReducer>(stored, target, alpha);
    if (reducer->isNull())
        return QImage();
    if (!readBands(tif.get(), *reducer, budget, width, height, orientation)) {
        // Too large a strip for the band path: line by line, from the start.
        tif = openTiff(device);
        reducer = std::make_unique<AreaReducer>(stored, target, alpha);
        if (!tif || !readLines(tif.get(), *reducer, width, height, &whole))
            return QImage();
    }
    if (complete)
        *complete = whole;
    return oriented(reducer->result(), orientation);
}
