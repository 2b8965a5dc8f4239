#include "picturedecoder.h"

#include "areareducer.h"
#include "rowreaders.h"

#include <QBuffer>
#include <QImageReader>
#include <QIODevice>

#include <png.h>
#include <webp/decode.h>

#include <algorithm>
#include <csetjmp>
#include <memory>
#include <vector>

namespace {

bool startsWith(const QByteArray& data, const char* magic, int length)
{
    return data.size() >= length && memcmp(data.constData(), magic, size_t(length)) == 0;
}

quint32 littleEndian32(const QByteArray& data, int at)
{
    const auto* p = reinterpret_cast<const uchar*>(data.constData()) + at;
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

bool looksLikeSvg(const QByteArray& head)
{
    QByteArray text = head;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    text = text.trimmed();
    if (text.startsWith("<svg"))
        return true;
    if (!text.startsWith("<?xml") && !text.startsWith("<!--") && !text.startsWith("<!DOCTYPE"))
        return false;
    // An XML file: an SVG names its root element early, after the
    // declaration, a comment or a document type.
    return text.contains("<svg") || text.contains("<!DOCTYPE svg");
}

} // namespace

PictureFormat sniffPictureFormat(const QByteArray& head, const QByteArray& name)
{
    if (startsWith(head, "\xFF\xD8\xFF", 3))
        return PictureFormat::Jpeg;
    if (startsWith(head, "\x89PNG\r\n\x1A\n", 8))
        return PictureFormat::Png;
    if (startsWith(head, "GIF87a", 6) || startsWith(head, "GIF89a", 6))
        return PictureFormat::Gif;
    if (startsWith(head, "RIFF", 4) && head.size() >= 12 && head.mid(8, 4) == "WEBP")
        return PictureFormat::Webp;
    if (startsWith(head, "II*\0", 4) || startsWith(head, "MM\0*", 4))
        return PictureFormat::Tiff;
    if (startsWith(head, "BM", 2) && head.size() >= 18) {
        // The size of the header that follows the file header tells the
        // known BMP versions from any text that begins with "BM".
        const quint32 dib = littleEndian32(head, 14);
        if (dib == 12 || dib == 40 || dib == 52 || dib == 56 || dib == 64 || dib == 108 || dib == 124)
            return PictureFormat::Bmp;
    }
    if (startsWith(head, "\x1F\x8B", 2) && name.toLower().endsWith(".svgz"))
        return PictureFormat::Svg;
    if (looksLikeSvg(head))
        return PictureFormat::Svg;
    QBuffer buffer;
    buffer.setData(head);
    buffer.open(QIODevice::ReadOnly);
    static const QList<QByteArray> older = {"ppm", "pgm", "pbm", "xpm", "xbm", "ico", "cur"};
    if (older.contains(QImageReader::imageFormat(&buffer)))
        return PictureFormat::Other;
    return PictureFormat::None;
}

QByteArray pictureFormatName(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Jpeg: return "jpeg";
    case PictureFormat::Png: return "png";
    case PictureFormat::Gif: return "gif";
    case PictureFormat::Bmp: return "bmp";
    case PictureFormat::Webp: return "webp";
    case PictureFormat::Svg: return "svg";
    case PictureFormat::Tiff: return "tiff";
    case PictureFormat::None:
    case PictureFormat::Other: break;
    }
    return QByteArray();
}

QSize fitWithin(QSize size, QSize box)
{
    if (!size.isValid() || size.isEmpty())
        return size;
    if (size.width() <= box.width() && size.height() <= box.height())
        return size;
    return size.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

// --- the shared budget of whole decodes

PixelBudget::PixelBudget(qint64 bytes)
    : m_total(qMax<qint64>(bytes, 1))
    , m_free(m_total)
{
}

qint64 PixelBudget::acquire(qint64 bytes)
{
    const qint64 want = qBound<qint64>(0, bytes, m_total);
    std::unique_lock<std::mutex> lock(m_mutex);
    m_freed.wait(lock, [&] { return m_free >= want; });
    m_free -= want;
    m_peak = std::max(m_peak, m_total - m_free);
    return want;
}

void PixelBudget::release(qint64 taken)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_free = std::min(m_total, m_free + taken);
    }
    m_freed.notify_all();
}

qint64 PixelBudget::peak() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_peak;
}

PixelBudget& PixelBudget::shared()
{
    static PixelBudget budget(qint64(64) << 20);
    return budget;
}

namespace {

// --- libpng

struct PngSource
{
    QIODevice* device = nullptr;
};

void pngRead(png_structp png, png_bytep data, png_size_t length)
{
    auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
    if (src->device->read(reinterpret_cast<char*>(data), qint64(length)) != qint64(length))
        png_error(png, "cut short");
}

void pngError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

// What a PNG read holds, kept out of the frame that calls setjmp so that a
// jump back leaves nothing in an undefined state.
struct PngRead
{
    PngSource source;
    std::unique_ptr<AreaReducer> reducer;
    std::vector<png_byte> row;
    std::vector<png_byte> whole;
    std::unique_ptr<BudgetShare> share;
    PngTexts texts;
    QSize size;
};

// Wider or taller pictures are refused; an interlaced one must also fit in
// this many bytes when decoded whole.
constexpr png_uint_32 kMaxPngSide = 1u << 16;
constexpr qint64 kMaxInterlacedBytes = qint64(256) << 20; // as Qt's own readers allow

} // namespace

QImage readPngReduced(QIODevice* device, QSize box, PixelBudget* budget,
                      const std::function<bool(const PngTexts&)>& accept, QSize* fullSize,
                      bool keepAspect)
{
    if (!device)
        return QImage();
    auto state = std::make_unique<PngRead>();
    state->source.device = device;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    if (!png)
        return QImage();
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return QImage();
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        if (fullSize)
            *fullSize = state->size;
        return QImage();
    }
    png_set_read_fn(png, &state->source, pngRead);
    png_set_user_limits(png, kMaxPngSide, kMaxPngSide);
    png_read_info(png, info);

    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    state->size = QSize(int(width), int(height));
    png_textp text = nullptr;
    int textCount = 0;
    png_get_text(png, info, &text, &textCount);
    for (int i = 0; i < textCount; ++i)
        state->texts.insert(QByteArray(text[i].key),
                            QByteArray(text[i].text, int(text[i].itxt_length ? text[i].itxt_length
                                                                             : text[i].text_length)));
    if (accept && !accept(state->texts))
        png_longjmp(png, 1);

    // Every kind of PNG is brought to 8-bit RGB(A) rows: palettes and grey
    // expanded (1-, 2- and 4-bit samples too), transparency chunks made
    // into alpha, 16-bit samples rounded to 8.
    const int colorType = png_get_color_type(png, info);
    const bool alpha = (colorType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
    png_set_expand(png);
    png_set_scale_16(png);
    if (!(colorType & PNG_COLOR_MASK_COLOR))
        png_set_gray_to_rgb(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const int channels = alpha ? 4 : 3;
    if (png_get_rowbytes(png, info) != png_size_t(width) * channels)
        png_longjmp(png, 1);

    const QSize target = keepAspect ? fitWithin(state->size, box)
                                    : QSize(qMax(1, qMin(state->size.width(), box.width())),
                                            qMax(1, qMin(state->size.height(), box.height())));
    state->reducer = std::make_unique<AreaReducer>(state->size, target, alpha);
    if (state->reducer->isNull())
        png_longjmp(png, 1);
    if (passes == 1) {
        state->row.resize(size_t(width) * channels);
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(png, state->row.data(), nullptr);
            state->reducer->addRow(state->row.data());
        }
    } else {
        // Interlaced: each pass refines the whole picture, so it is read
        // whole, under the shared budget.
        const qint64 bytes = qint64(width) * height * channels;
        if (bytes > kMaxInterlacedBytes)
            png_longjmp(png, 1);
        state->share = std::make_unique<BudgetShare>(budget, bytes);
        state->whole.resize(size_t(bytes));
        std::vector<png_bytep> rows(height);
        for (png_uint_32 y = 0; y < height; ++y)
            rows[y] = state->whole.data() + size_t(y) * width * channels;
        png_read_image(png, rows.data());
        for (png_uint_32 y = 0; y < height; ++y)
            state->reducer->addRow(rows[y]);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (fullSize)
        *fullSize = state->size;
    return state->reducer->result();
}

namespace {

void pngWrite(png_structp png, png_bytep data, png_size_t length)
{
    auto* device = static_cast<QIODevice*>(png_get_io_ptr(png));
    if (device->write(reinterpret_cast<const char*>(data), qint64(length)) != qint64(length))
        png_error(png, "write failed");
}

void pngFlush(png_structp) {}

// What a PNG write holds, outside the frame that calls setjmp.
struct PngWrite
{
    QImage rows;
    std::vector<png_text> text;
    std::vector<QByteArray> keep;
};

} // namespace

bool writePng(QIODevice* device, const QImage& image, const PngTexts& texts)
{
    if (!device || image.isNull())
        return false;
    auto state = std::make_unique<PngWrite>();
    const bool alpha = image.hasAlphaChannel();
    state->rows = image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
        state->keep.push_back(it.key());
        state->keep.push_back(it.value());
    }
    for (size_t i = 0; i < state->keep.size(); i += 2) {
        png_text t{};
        t.compression = PNG_TEXT_COMPRESSION_NONE;
        t.key = state->keep[i].data();
        t.text = state->keep[i + 1].data();
        t.text_length = size_t(state->keep[i + 1].size());
        state->text.push_back(t);
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, device, pngWrite, pngFlush);
    // Filtered (each row as libpng finds best) and deflated at zlib's usual
    // level: a 256 px photo thumbnail takes about a third of its raw bytes,
    // and inflating one costs little next to decoding the photo.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
    png_set_compression_level(png, 6);
    png_set_IHDR(png, info, png_uint_32(state->rows.width()), png_uint_32(state->rows.height()), 8,
                 alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    if (!state->text.empty())
        png_set_text(png, info, state->text.data(), int(state->text.size()));
    png_write_info(png, info);
    for (int y = 0; y < state->rows.height(); ++y)
        png_write_row(png, state->rows.constScanLine(y));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

QImage readWebpReduced(const QByteArray& data, QSize box, QSize* fullSize)
{
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return QImage();
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.constData());
    if (WebPGetFeatures(bytes, size_t(data.size()), &config.input) != VP8_STATUS_OK)
        return QImage();
    const QSize size(config.input.width, config.input.height);
    if (fullSize)
        *fullSize = size;
    if (config.input.has_animation || size.isEmpty())
        return QImage();
    const QSize target = fitWithin(size, box);
    const bool alpha = config.input.has_alpha;
    // BGRA bytes are QImage's 32-bit layout on a little-endian machine; the
    // premultiplied form matches Format_ARGB32_Premultiplied.
    QImage out(target, alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (out.isNull())
        return QImage();
    config.output.colorspace = alpha ? MODE_bgrA : MODE_BGRA;
    if (QSysInfo::ByteOrder == QSysInfo::BigEndian)
        config.output.colorspace = alpha ? MODE_Argb : MODE_ARGB;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = out.bits();
    config.output.u.RGBA.stride = int(out.bytesPerLine());
    config.output.u.RGBA.size = size_t(out.sizeInBytes());
    if (target != size) {
        config.options.use_scaling = 1;
        config.options.scaled_width = target.width();
        config.options.scaled_height = target.height();
    }
    const VP8StatusCode status = WebPDecode(bytes, size_t(data.size()), &config);
    WebPFreeDecBuffer(&config.output);
    return status == VP8_STATUS_OK ? out : QImage();
}

namespace {

QImage toSlideFormat(const QImage& image)
{
    if (image.isNull())
        return image;
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
}

} // namespace

namespace {

// A file read through Qt's JPEG reader, telling whether the reader ever asked
// for bytes past the end: libjpeg does so only for a file cut short, whose
// missing rows it then fills with grey.
class EndWatch : public QIODevice
{
public:
    explicit EndWatch(QIODevice* inner)
        : m_inner(inner)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool ranOut() const { return m_ranOut; }
    bool isSequential() const override { return false; }
    qint64 size() const override { return m_inner->size(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (!m_inner->seek(pos()))
            return -1;
        const qint64 got = m_inner->read(data, maxSize);
        if (got == 0 && maxSize > 0)
            m_ranOut = true;
        return got;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QIODevice* m_inner;
    bool m_ranOut = false;
};

// Whole decodes through Qt cost the picture once for the decode and once
// more for a conversion or scaling.
qint64 wholeDecodeCost(QSize size, int bytesPerPixel)
{
    return qint64(size.width()) * size.height() * bytesPerPixel * 2;
}

} // namespace

QImage decodePictureReduced(QIODevice* device, PictureFormat format, QSize box,
                            PixelBudget* budget, QSize* fullSize, QSize enough, bool* complete)
{
    if (complete)
        *complete = true;
    if (!device || format == PictureFormat::None || !box.isValid() || box.isEmpty())
        return QImage();
    if (format == PictureFormat::Png)
        return readPngReduced(device, box, budget, {}, fullSize);
    const qint64 budgetBytes = budget ? budget->total() : PixelBudget::shared().total();

    QByteArray webpData;
    QBuffer webpBuffer;
    if (format == PictureFormat::Webp) {
        // A WebP is compressed: holding the file's bytes costs little.
        webpData = device->readAll();
        QImage still = readWebpReduced(webpData, box, fullSize);
        if (!still.isNull())
            return still;
        // An animated WebP: its first frame, from Qt's reader below.
        webpBuffer.setData(webpData);
        webpBuffer.open(QIODevice::ReadOnly);
        device = &webpBuffer;
    }
    std::unique_ptr<EndWatch> watch;
    if (format == PictureFormat::Jpeg) {
        watch = std::make_unique<EndWatch>(device);
        device = watch.get();
    }
    const qint64 start = device->pos();

    QImageReader reader(device, pictureFormatName(format));
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (fullSize)
        *fullSize = size;

    // 4 bytes a pixel decoded whole; a TIFF may hold 16-bit samples: 8.
    const int bytesPerPixel = format == PictureFormat::Tiff ? 8 : 4;
    // Pictures too large to decode whole: BMP rows and TIFF strips reduced
    // as they are read.
    if (format == PictureFormat::Bmp || format == PictureFormat::Tiff) {
        const QSize declared = size.isValid() ? size : (format == PictureFormat::Tiff ? tiffSize(device) : size);
        if (!declared.isValid() || wholeDecodeCost(declared, bytesPerPixel) > budgetBytes) {
            device->seek(start);
            QImage reduced = format == PictureFormat::Bmp ? readBmpReduced(device, box, fullSize, complete)
                                                          : readTiffReduced(device, box, budget, fullSize, complete);
            // Kinds the row readers do not take (an RLE-compressed BMP, say)
            // go to Qt below, within the budget.
            if (!reduced.isNull() || !size.isValid())
                return toSlideFormat(reduced);
            device->seek(start);
            reader.setDevice(device); // a fresh handler, from the start
            if (complete)
                *complete = true;
        }
    }

    // The box is meant for the picture as shown; the reader scales before it
    // turns, so a quarter turn swaps the box.
    QSize fileBox = box;
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        fileBox.transpose();

    std::unique_ptr<BudgetShare> share;
    if (format == PictureFormat::Svg && size.isValid() && !size.isEmpty()) {
        // Drawn at the size wanted: small drawings come out sharp as well.
        reader.setScaledSize(size.scaled(fileBox, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    } else if (format == PictureFormat::Jpeg && size.isValid()) {
        QSize target = fitWithin(size, fileBox);
        if (enough.isValid()) {
            if (reader.transformation() & QImageIOHandler::TransformationRotate90)
                enough.transpose();
            const QSize least = fitWithin(size, enough);
            for (int d : {8, 4, 2}) {
                // libjpeg's reduction by d, rounded up as libjpeg rounds.
                const QSize reduced((size.width() + d - 1) / d, (size.height() + d - 1) / d);
                if (reduced.width() >= least.width() && reduced.height() >= least.height()
                    && reduced.width() <= target.width() && reduced.height() <= target.height()) {
                    target = reduced;
                    break;
                }
            }
        }
        if (target != size)
            reader.setScaledSize(target);
        // Qt scales what libjpeg gives in the decoded picture's size.
        share = std::make_unique<BudgetShare>(budget, wholeDecodeCost(target, 4));
    } else {
        // Decoded whole, under the budget: one whose decode and conversion
        // together need more than all of it takes all of it, alone. A
        // picture whose decode alone would not fit is read only where the
        // reader itself can reduce.
        const qint64 cost = size.isValid() ? wholeDecodeCost(size, bytesPerPixel) : budgetBytes;
        if (cost / 2 > budgetBytes) {
            if (!size.isValid() || !reader.supportsOption(QImageIOHandler::ScaledSize))
                return QImage();
            reader.setScaledSize(fitWithin(size, fileBox));
        } else {
            share = std::make_unique<BudgetShare>(budget, cost);
        }
    }
    QImage image = reader.read();
    if (image.isNull())
        return image;
    if (watch && complete)
        *complete = !watch->ranOut();
    const QSize shown = fitWithin(image.size(), box);
    if (shown != image.size())
        image = image.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return toSlideFormat(image);
}
