// Loading a folder into the viewer: the pictures people have (every PNG
// kind, EXIF-rotated photos, WebP, SVG and the rest) decoded reduced and
// compared with a whole decode, bad files among good ones, names that are
// not UTF-8, empty and unreadable folders, the thumbnail cache and files
// that change while they are read.
#include "framerenderer.h"
#include "picturedecoder.h"
#include "slideflow.h"
#include "slidestage.h"
#include "slideloader.h"
#include "slideviewer.h"
#include "thumbnailcache.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>
#include <zlib.h>

#include <memory>
#include <mutex>

namespace {

// --- PNG files of every kind, written chunk by chunk

QByteArray pngChunk(const char* type, const QByteArray& data)
{
    QByteArray out(4, '\0');
    qToBigEndian<quint32>(quint32(data.size()), out.data());
    const QByteArray body = QByteArray(type, 4) + data;
    out += body;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(quint32(crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()))),
                          crc.data());
    return out + crc;
}

// A PNG of the given colour type and depth; `sample(x, y, c)` gives the
// value of channel c (palette index, grey, RGB(A) or grey-alpha samples).
QByteArray makePng(int w, int h, int colorType, int depth, const std::function<int(int, int, int)>& sample,
                   const QByteArray& plte = {}, const QByteArray& trns = {})
{
    const int channels = colorType == 0 || colorType == 3 ? 1 : colorType == 4 ? 2 : colorType == 2 ? 3 : 4;
    QByteArray ihdr(13, '\0');
    qToBigEndian<quint32>(quint32(w), ihdr.data());
    qToBigEndian<quint32>(quint32(h), ihdr.data() + 4);
    ihdr[8] = char(depth);
    ihdr[9] = char(colorType);
    QByteArray raw;
    for (int y = 0; y < h; ++y) {
        raw += '\0'; // no filter
        QByteArray row;
        int bits = 0, acc = 0;
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c) {
                const int v = sample(x, y, c);
                if (depth == 16) {
                    row += char(v >> 8);
                    row += char(v & 0xFF);
                } else if (depth == 8) {
                    row += char(v);
                } else {
                    acc = (acc << depth) | v;
                    bits += depth;
                    if (bits == 8) {
                        row += char(acc);
                        acc = bits = 0;
                    }
                }
            }
        if (bits)
            row += char(acc << (8 - bits));
        raw += row;
    }
    QByteArray png("\x89PNG\r\n\x1A\n", 8);
    png += pngChunk("IHDR", ihdr);
    if (!plte.isEmpty())
        png += pngChunk("PLTE", plte);
    if (!trns.isEmpty())
        png += pngChunk("tRNS", trns);
    png += pngChunk("IDAT", qCompress(raw).mid(4)); // qCompress puts a length before the zlib stream
    png += pngChunk("IEND", {});
    return png;
}

bool writeBytes(const QByteArray& path, const QByteArray& bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && ok;
}

QByteArray encoded(const QImage& img, const char* format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, format, quality);
    return bytes;
}

QImage filled(QSize size, QColor c)
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

// A JPEG with an EXIF block that tells the viewer to turn it (orientation 6:
// a quarter turn clockwise).
QByteArray jpegWithOrientation(const QImage& img, int orientation)
{
    const QByteArray jpeg = encoded(img, "JPG", 90);
    QByteArray tiff("II*\0\x08\0\0\0", 8);
    tiff += QByteArray("\x01\0", 2);                        // one entry
    tiff += QByteArray("\x12\x01\x03\0\x01\0\0\0", 8);      // Orientation, SHORT, 1 value
    tiff += char(orientation);
    tiff += QByteArray("\0\0\0\0\0\0", 6);                  // value padding, no next IFD
    const QByteArray exif = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray app1("\xFF\xE1", 2);
    app1 += char((exif.size() + 2) >> 8);
    app1 += char((exif.size() + 2) & 0xFF);
    return jpeg.left(2) + app1 + exif + jpeg.mid(2);
}

// Mean difference per channel, in percent of full scale, after both are
// shown on the same background.
double meanErrorPercent(const QImage& a, const QImage& b, QRgb bg)
{
    auto flat = [bg](const QImage& img) {
        QImage out(img.size(), QImage::Format_RGB32);
        out.fill(bg);
        QPainter p(&out);
        p.drawImage(0, 0, img);
        p.end();
        return out;
    };
    const QImage fa = flat(a), fb = flat(b);
    double sum = 0;
    for (int y = 0; y < fa.height(); ++y)
        for (int x = 0; x < fa.width(); ++x) {
            const QRgb p = fa.pixel(x, y), q = fb.pixel(x, y);
            sum += qAbs(qRed(p) - qRed(q)) + qAbs(qGreen(p) - qGreen(q)) + qAbs(qBlue(p) - qBlue(q));
        }
    return 100.0 * sum / (3.0 * 255.0 * fa.width() * fa.height());
}

bool near(QRgb c, QColor want, int tolerance = 16)
{
    return qAbs(qRed(c) - want.red()) <= tolerance && qAbs(qGreen(c) - want.green()) <= tolerance
        && qAbs(qBlue(c) - want.blue()) <= tolerance;
}

QRgb middleOf(const QImage& img)
{
    return img.pixel(img.width() / 2, img.height() / 2);
}

QByteArray bytesOf(const QString& path)
{
    return QFile::encodeName(path);
}

SlideFlow* loadedViewer(const QByteArray& folder)
{
    SlideFlow* flow = createSlideViewerFor(folder);
    waitForSlides(flow, 60000);
    return flow;
}

void setMtime(const QByteArray& path, time_t when)
{
    struct utimbuf t{when, when};
    ::utime(path.constData(), &t);
}

} // namespace

class TestSlideLoading : public QObject
{
    Q_OBJECT
    QTemporaryDir cacheHome; // thumbnails go here, never into the real home

private slots:
    void initTestCase()
    {
        QVERIFY(cacheHome.isValid());
        qputenv("XDG_CACHE_HOME", bytesOf(cacheHome.path()));
        qunsetenv("EZX_ROOT");
    }

    // Every kind of PNG, read row by row and averaged down, against Qt's
    // whole decode scaled down smoothly: within 1 % mean error, so no noise
    // from a dropped palette and no aliasing from skipped pixels.
    void pngKindsMatchWholeDecode_data()
    {
        QTest::addColumn<QByteArray>("png");
        const int w = 1001, h = 701;
        QByteArray twoColours("\xC8\x1E\x1E\x1E\x1E\xC8", 6); // red, blue
        QTest::newRow("1-bit palette, one-pixel stripes")
            << makePng(w, h, 3, 1, [](int x, int, int) { return x & 1; }, twoColours);
        QByteArray palette;
        for (int i = 0; i < 256; ++i)
        {
            palette += char(i);
            palette += char(255 - i);
            palette += char((i * 7) & 255);
        }
        QTest::newRow("8-bit palette, fine checker over a ramp")
            << makePng(w, h, 3, 8, [](int x, int y, int) { return ((x + y) & 1) ? (x * 255 / 1000) : 255 - (y * 255 / 700); },
                       palette);
        QTest::newRow("4-bit palette with transparent entries")
            << makePng(w, h, 3, 4, [](int x, int y, int) { return (x / 3 + y / 5) & 15; },
                       palette.left(48), QByteArray("\x00\x40\x80\xFF\x00\x20", 6));
        QTest::newRow("2-bit grey") << makePng(w, h, 0, 2, [](int x, int y, int) { return (x ^ y) & 3; });
        QTest::newRow("16-bit colour")
            << makePng(w, h, 2, 16, [](int x, int y, int c) { return c == 0 ? x * 65 : c == 1 ? y * 93 : (x * y) & 0xFFFF; });
        QTest::newRow("16-bit grey") << makePng(w, h, 0, 16, [](int x, int y, int) { return (x * 40 + y * 37) & 0xFFFF; });
        QTest::newRow("grey with alpha")
            << makePng(w, h, 4, 8, [](int x, int y, int c) { return c == 0 ? (x * 255 / 1000) : ((y / 7) & 1 ? 255 : (x & 1) * 255); });
        QTest::newRow("16-bit grey with alpha")
            << makePng(w, h, 4, 16, [](int x, int y, int c) { return c == 0 ? x * 65 : y * 93; });
        QTest::newRow("transparent colour")
            << makePng(w, h, 6, 8, [](int x, int y, int c) {
                   if (c == 3)
                       return (x / 50 + y / 50) & 1 ? 255 : 0; // squares of nothing
                   return c == 0 ? 255 : c == 1 ? (y & 1) * 255 : 0; // colour under alpha 0 is never seen
               });
    }
    void pngKindsMatchWholeDecode()
    {
        QFETCH(QByteArray, png);
        QBuffer buffer(&png);
        buffer.open(QIODevice::ReadOnly);
        QSize full;
        const QImage reduced = decodePictureReduced(&buffer, PictureFormat::Png, QSize(300, 356), nullptr, &full);
        QCOMPARE(full, QSize(1001, 701));
        QCOMPARE(reduced.size(), QSize(300, 210));
        const QImage whole = QImage::fromData(png, "PNG");
        QVERIFY(!whole.isNull());
        const QImage reference = whole.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                     .scaled(reduced.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const double error = meanErrorPercent(reduced, reference, qRgb(40, 120, 200));
        QVERIFY2(error < 1.0, qPrintable(QString("mean error %1 %").arg(error)));
    }

    // Each format the viewer claims, found by its first bytes whatever the
    // file is called, shown in its own colour.
    void formats_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QColor>("colour");
        const QImage green = filled(QSize(640, 480), QColor(30, 160, 60));
        QTest::newRow("JPEG") << encoded(green, "JPG", 90) << QColor(30, 160, 60);
        QTest::newRow("WebP") << encoded(green, "WEBP", 90) << QColor(30, 160, 60);
        QTest::newRow("TIFF") << encoded(green, "TIFF") << QColor(30, 160, 60);
        QTest::newRow("BMP") << encoded(green, "BMP") << QColor(30, 160, 60);
        QTest::newRow("PPM") << encoded(green, "PPM") << QColor(30, 160, 60);
        // A 1 by 1 GIF of one red pixel.
        QTest::newRow("GIF") << QByteArray::fromHex("47494638396101000100800000ff00000000002c00000000010001000002024401003b")
                             << QColor(255, 0, 0);
        QTest::newRow("SVG") << QByteArray("<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
                                           "width=\"40\" height=\"30\"><rect width=\"40\" height=\"30\" fill=\"#2040c0\"/></svg>\n")
                             << QColor(0x20, 0x40, 0xc0);
        QImage clear(200, 200, QImage::Format_ARGB32);
        clear.fill(Qt::transparent);
        QTest::newRow("transparent PNG on the background") << encoded(clear, "PNG") << QColor(Qt::white);
    }
    void formats()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QColor, colour);
        QTemporaryDir dir;
        QVERIFY(writeBytes(bytesOf(dir.path() + "/picture.dat"), bytes));
        std::unique_ptr<SlideFlow> flow(loadedViewer(bytesOf(dir.path())));
        QCOMPARE(flow->slideCount(), 1);
        const QImage slide = flow->slideImage(0);
        QVERIFY(slide.width() <= 150 && slide.height() <= 178);
        // What is shown: the slide's surface, on the white background.
        flow->setBackgroundColor(Qt::white);
        std::unique_ptr<QImage> surface(RasterRenderer::buildSurface(slide, 150, 178, 0xFFFFFFFFu));
        const QRgb shown = surface->pixel(178 / 3 + 89, 75);
        QVERIFY2(near(shown, colour), qPrintable(QColor(shown).name()));
    }

    // A camera's portrait photo, stored sideways with an EXIF orientation,
    // stands upright: its stored left half (red) on top.
    void exifOrientation_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QColor>("top");
        QTest::addColumn<QColor>("bottom");
        QTest::newRow("none") << 1 << QColor(Qt::red) << QColor(Qt::red);
        QTest::newRow("quarter turn clockwise") << 6 << QColor(Qt::red) << QColor(Qt::blue);
        QTest::newRow("quarter turn counter-clockwise") << 8 << QColor(Qt::blue) << QColor(Qt::red);
    }
    void exifOrientation()
    {
        QFETCH(int, orientation);
        QFETCH(QColor, top);
        QFETCH(QColor, bottom);
        QImage photo(2000, 1000, QImage::Format_RGB32);
        photo.fill(Qt::red);
        for (int y = 0; y < 1000; ++y)
            for (int x = 1000; x < 2000; ++x)
                photo.setPixel(x, y, qRgb(0, 0, 255));
        QTemporaryDir dir;
        QVERIFY(writeBytes(bytesOf(dir.path() + "/photo.jpg"), jpegWithOrientation(photo, orientation)));
        std::unique_ptr<SlideFlow> flow(loadedViewer(bytesOf(dir.path())));
        QCOMPARE(flow->slideCount(), 1);
        const QImage s = flow->slideImage(0);
        QVERIFY2(near(s.pixel(2, 2), top, 40), qPrintable(QColor(s.pixel(2, 2)).name()));
        QVERIFY2(near(s.pixel(2, s.height() - 3), bottom, 40), qPrintable(QColor(s.pixel(2, s.height() - 3)).name()));
        // The thumbnail kept for it is upright too, within 256 by 256.
        const ThumbnailCache cache(bytesOf(dir.path()));
        QImageReader thumb(QFile::decodeName(cache.personalPath("photo.jpg")));
        QCOMPARE(thumb.size(), orientation == 1 ? QSize(256, 128) : QSize(128, 256));
    }

    // Bad files among good ones drop out without a gap, and the picture in
    // the centre stays in the centre.
    void badFilesAmongPictures()
    {
        QTemporaryDir dir;
        const QList<QColor> colours = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan};
        for (int i = 0; i < colours.size(); ++i)
            QVERIFY(writeBytes(bytesOf(dir.path() + QString("/p%1.png").arg(i * 2)), encoded(filled(QSize(60, 40), colours[i]), "PNG")));
        const QByteArray jpeg = encoded(filled(QSize(64, 48), Qt::magenta), "JPG");
        QVERIFY(writeBytes(bytesOf(dir.path() + "/p1.jpg"), jpeg.left(jpeg.size() / 3)));   // cut short
        QVERIFY(writeBytes(bytesOf(dir.path() + "/p3.jpg"), QByteArray()));                 // empty
        QVERIFY(writeBytes(bytesOf(dir.path() + "/p5.jpg"), "not a picture at all\n"));      // text
        QVERIFY(writeBytes(bytesOf(dir.path() + "/p7.png"), QByteArray("\x89PNG\r\n\x1A\n", 8) + "garbage"));
        SlideFlow* raw = createSlideViewerFor(bytesOf(dir.path()));
        std::unique_ptr<SlideFlow> flow(raw);
        // Laid out at once, before any file is opened: every file a
        // placeholder until decoded, centred on the middle one.
        QCOMPARE(flow->slideCount(), 9);
        QCOMPARE(flow->centerIndex(), 4);
        QVERIFY(flow->slideImage(4).isNull());
        QVERIFY(waitForSlides(raw));
        QCOMPARE(flow->slideCount(), colours.size());
        for (int i = 0; i < colours.size(); ++i)
            QVERIFY2(near(middleOf(flow->slideImage(i)), colours[i]), qPrintable(QString::number(i)));
        QCOMPARE(flow->centerIndex(), 2); // p4.png, the middle picture, stayed in the centre
        QVERIFY(flow->notice().isEmpty());
    }

    // Names in GB2312 or Latin-1 bytes are listed, sorted and opened by
    // their bytes.
    void namesThatAreNotUtf8()
    {
        QTemporaryDir dir;
        const QByteArray folder = bytesOf(dir.path());
        const QByteArray gb = "\xD5\xD5\xC6\xAC.jpg";   // 照片.jpg in GB2312
        const QByteArray latin = "caf\xE9.jpg";         // café.jpg in Latin-1
        QVERIFY(writeBytes(folder + '/' + gb, encoded(filled(QSize(64, 48), Qt::red), "JPG")));
        QVERIFY(writeBytes(folder + '/' + latin, encoded(filled(QSize(64, 48), Qt::green), "JPG")));
        QVERIFY(writeBytes(folder + "/B.jpg", encoded(filled(QSize(64, 48), Qt::blue), "JPG")));
        QCOMPARE(listFolderFileNames(folder), QList<QByteArray>({"B.jpg", latin, gb}));
        std::unique_ptr<SlideFlow> flow(loadedViewer(folder));
        QCOMPARE(flow->slideCount(), 3);
        QVERIFY(near(middleOf(flow->slideImage(0)), Qt::blue));
        QVERIFY(near(middleOf(flow->slideImage(1)), Qt::green));
        QVERIFY(near(middleOf(flow->slideImage(2)), Qt::red));
        // QTemporaryDir removes names by their decoded text: these by bytes.
        ::unlink((folder + '/' + gb).constData());
        ::unlink((folder + '/' + latin).constData());
    }

    // A folder without pictures, or one that cannot be read, says so in the
    // phone's language.
    void emptyOrUnreadableFolder_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("notice");
        QTest::newRow("only text, no language set") << "text" << "" << "此文件夹中没有图片";
        QTest::newRow("only text, English") << "text" << "en-us" << "No pictures in this folder";
        QTest::newRow("empty, Chinese") << "none" << "zh-cn" << "此文件夹中没有图片";
        QTest::newRow("only broken pictures") << "broken" << "en-us" << "No pictures in this folder";
        QTest::newRow("a file, not a folder") << "file" << "en-us" << "This folder cannot be read";
        QTest::newRow("missing, Chinese") << "missing" << "" << "无法读取此文件夹";
    }
    void emptyOrUnreadableFolder()
    {
        QFETCH(QString, content);
        QFETCH(QString, language);
        QTemporaryDir root;
        QDir(root.path()).mkpath("phone/ezx_user/download/appwrite/setup");
        if (!language.isEmpty())
            QVERIFY(writeBytes(bytesOf(root.path() + "/phone/ezx_user/download/appwrite/setup/ezx_system.cfg"),
                               "[SYS_SYSTEM_SET]\nLanguageType = " + language.toUtf8() + "\n"));
        qputenv("EZX_ROOT", bytesOf(root.path() + "/phone"));
        auto unset = qScopeGuard([] { qunsetenv("EZX_ROOT"); });
        QString folder = root.path() + "/pics";
        QDir(root.path()).mkdir("pics");
        if (content == "text")
            QVERIFY(writeBytes(bytesOf(folder + "/notes.txt"), "hello\n"));
        if (content == "broken")
            QVERIFY(writeBytes(bytesOf(folder + "/a.jpg"), "\xFF\xD8\xFF\xE0 nothing more"));
        if (content == "file") {
            folder = root.path() + "/plain";
            QVERIFY(writeBytes(bytesOf(folder), "x"));
        }
        if (content == "missing")
            folder = root.path() + "/nowhere";
        std::unique_ptr<SlideFlow> flow(loadedViewer(bytesOf(folder)));
        QCOMPARE(flow->slideCount(), 0);
        QTEST(flow->notice(), "notice");
        // The line is drawn on the background.
        flow->renderer().prepare();
        flow->renderer().drawAllSlides();
        const QImage frame = flow->renderer().frame();
        int marked = 0;
        for (int x = 0; x < frame.width(); ++x)
            marked += frame.pixel(x, frame.height() / 2) != frame.pixel(0, 0) ? 1 : 0;
        QVERIFY(marked > 0);
    }

    // The thumbnail cache: written on the first open, used on the second,
    // and a broken, foreign or stale one ignored and written anew.
    void thumbnailCache_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("fromCache");
        QTest::newRow("valid") << "none" << true;
        QTest::newRow("cut short") << "truncate" << false;
        QTest::newRow("another file's") << "foreign" << false;
        QTest::newRow("picture changed since") << "mtime" << false;
        QTest::newRow("not a PNG") << "garbage" << false;
    }
    void thumbnailCache()
    {
        QFETCH(QString, change);
        QFETCH(bool, fromCache);
        QTemporaryDir dir;
        const QByteArray folder = bytesOf(dir.path());
        const QByteArray picture = folder + "/photo.jpg";
        QVERIFY(writeBytes(picture, encoded(filled(QSize(1200, 900), Qt::red), "JPG")));
        setMtime(picture, 1600000000);
        delete loadedViewer(folder);

        const ThumbnailCache cache(folder);
        const QByteArray thumbPath = cache.personalPath("photo.jpg");
        // (QImage, not QImageReader: the reader's text lookup splits keys at
        // their first colon.)
        const QImage first(QFile::decodeName(thumbPath));
        QCOMPARE(first.size(), QSize(256, 192));
        QCOMPARE(first.text("Thumb::URI"), QString("file://" + dir.path() + "/photo.jpg"));
        QCOMPARE(first.text("Thumb::MTime"), QString("1600000000"));
        struct stat st;
        QVERIFY(::stat(thumbPath.constData(), &st) == 0);
        QCOMPARE(int(st.st_mode & 0777), 0600);

        // The cache entry is replaced by a blue one with the right texts, so
        // that a slide taken from the cache can be told by its colour.
        QImage blue = filled(QSize(256, 192), Qt::blue);
        blue.setText("Thumb::URI", first.text("Thumb::URI"));
        blue.setText("Thumb::MTime", "1600000000");
        if (change == "foreign")
            blue.setText("Thumb::URI", "file:///somewhere/else.jpg");
        QVERIFY(blue.save(QFile::decodeName(thumbPath), "PNG"));
        if (change == "truncate") {
            QFile f(QFile::decodeName(thumbPath));
            QVERIFY(f.resize(f.size() / 2));
        }
        if (change == "garbage")
            QVERIFY(writeBytes(thumbPath, "GIF89a no thumbnail"));
        if (change == "mtime")
            setMtime(picture, 1600000100);

        std::unique_ptr<SlideFlow> flow(loadedViewer(folder));
        QCOMPARE(flow->slideCount(), 1);
        QVERIFY(near(middleOf(flow->slideImage(0)), fromCache ? QColor(Qt::blue) : QColor(Qt::red)));
        // What was not valid has been written anew from the picture.
        const QImage again(QFile::decodeName(thumbPath));
        QVERIFY(near(middleOf(again), fromCache ? QColor(Qt::blue) : QColor(Qt::red)));
        QCOMPARE(again.text("Thumb::MTime"),
                 change == "mtime" ? QString("1600000100") : QString("1600000000"));
    }

    // A card nearly full gets no thumbnails: the picture shows, decoded, and
    // the card keeps its room for what matters more.
    void noThumbnailOnANearlyFullCard()
    {
        QTemporaryDir dir;
        const QByteArray card = bytesOf(dir.path() + "/card");
        QCOMPARE(::mkdir(card.constData(), 0755), 0);
        if (::mount("tmpfs", card.constData(), "tmpfs", 0, "size=16m") != 0)
            QSKIP("a small tmpfs cannot be mounted here");
        auto unmount = qScopeGuard([&] { ::umount2(card.constData(), MNT_DETACH); });
        QVERIFY(writeBytes(bytesOf(dir.path() + "/blocked"), "a file where the cache folder would be"));
        qputenv("XDG_CACHE_HOME", bytesOf(dir.path() + "/blocked"));
        auto restore = qScopeGuard([this] { qputenv("XDG_CACHE_HOME", bytesOf(cacheHome.path())); });
        QVERIFY(writeBytes(card + "/big.png", encoded(filled(QSize(1600, 1000), Qt::green), "PNG")));
        std::unique_ptr<SlideFlow> flow(loadedViewer(card));
        QCOMPARE(flow->slideCount(), 1);
        QVERIFY(near(middleOf(flow->slideImage(0)), QColor(Qt::green)));
        flow.reset();
        QVERIFY(!QFileInfo::exists(QFile::decodeName(ThumbnailCache(card).sharedPath("big.png"))));
    }

    // Where the personal cache cannot be written, the thumbnails go beside
    // the pictures.
    void thumbnailsBesideTheFolder()
    {
        QTemporaryDir dir;
        QVERIFY(writeBytes(bytesOf(dir.path() + "/blocked"), "a file where the cache folder would be"));
        qputenv("XDG_CACHE_HOME", bytesOf(dir.path() + "/blocked"));
        auto restore = qScopeGuard([this] { qputenv("XDG_CACHE_HOME", bytesOf(cacheHome.path())); });
        // A folder named in Latin-1 bytes, as on an old card.
        const QByteArray folder = bytesOf(dir.path()) + "/pics\xE9";
        QCOMPARE(::mkdir(folder.constData(), 0755), 0);
        QVERIFY(writeBytes(folder + "/big.png", encoded(filled(QSize(1600, 1000), Qt::green), "PNG")));
        delete loadedViewer(folder);
        const QByteArray shared = ThumbnailCache(folder).sharedPath("big.png");
        QVERIFY(shared.startsWith(folder + "/.sh_thumbnails/large/"));
        QImage thumb;
        {
            QFile file;
            const int fd = ::open(shared.constData(), O_RDONLY);
            QVERIFY(fd >= 0);
            QVERIFY(file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
            thumb.load(&file, "PNG");
        }
        QCOMPARE(thumb.size(), QSize(256, 160));
        QCOMPARE(thumb.text("Thumb::URI"), QString("big.png"));
        // ... and are used from there.
        std::unique_ptr<SlideFlow> flow(loadedViewer(folder));
        QCOMPARE(flow->slideCount(), 1);
        QVERIFY(near(middleOf(flow->slideImage(0)), Qt::green));
        // Nothing was written under a decoded (mangled) form of the name.
        QVERIFY(!QFileInfo::exists(QFile::decodeName(folder)));
        QVERIFY(::access(folder.constData(), F_OK) == 0);
        // QTemporaryDir removes names by their decoded text: these by bytes.
        ::unlink(shared.constData());
        ::rmdir((folder + "/.sh_thumbnails/large").constData());
        ::rmdir((folder + "/.sh_thumbnails").constData());
        ::unlink((folder + "/big.png").constData());
        QCOMPARE(::rmdir(folder.constData()), 0);
    }

    // A file replaced while it is decoded: the slide shows one whole
    // picture, and no thumbnail of the old one is taken for the new one.
    void fileReplacedWhileDecoding_data()
    {
        QTest::addColumn<bool>("inPlace");
        QTest::newRow("another file renamed over it") << false;
        QTest::newRow("rewritten in place") << true;
    }
    void fileReplacedWhileDecoding()
    {
        QFETCH(bool, inPlace);
        QTemporaryDir dir;
        const QByteArray folder = bytesOf(dir.path());
        const QByteArray path = folder + "/photo.jpg";
        QVERIFY(writeBytes(path, encoded(filled(QSize(1200, 900), Qt::red), "JPG")));
        setMtime(path, 1600000000);
        const QByteArray fresh = encoded(filled(QSize(1200, 900), Qt::blue), "JPG");

        SlideFlow flow;
        flow.setSlideSize(QSize(150, 178));
        auto* loader = new SlideLoader(&flow);
        loader->setDecodeHook([&](const QByteArray&) {
            if (inPlace) {
                writeBytes(path, fresh);
            } else {
                writeBytes(folder + "/.new", fresh);
                ::rename((folder + "/.new").constData(), path.constData());
            }
            setMtime(path, 1600000100);
        });
        QCOMPARE(loader->start(folder, {"photo.jpg"}), 1);
        QVERIFY(loader->waitForFinished());
        QCOMPARE(flow.slideCount(), 1);
        const QRgb shown = middleOf(flow.slideImage(0));
        QVERIFY2(near(shown, inPlace ? QColor(Qt::blue) : QColor(Qt::red)), qPrintable(QColor(shown).name()));

        // The next open shows the new picture.
        std::unique_ptr<SlideFlow> next(loadedViewer(folder));
        QCOMPARE(next->slideCount(), 1);
        QVERIFY(near(middleOf(next->slideImage(0)), Qt::blue));
    }

    // Decoding starts in the centre and goes outward, both sides in turn.
    void centreFirst()
    {
        QTemporaryDir dir;
        QList<QByteArray> names;
        for (int i = 0; i < 7; ++i) {
            names << QByteArray("p") + QByteArray::number(i) + ".png";
            QVERIFY(writeBytes(bytesOf(dir.path()) + '/' + names.last(), encoded(filled(QSize(20, 20), Qt::gray), "PNG")));
        }
        SlideFlow flow;
        auto* loader = new SlideLoader(&flow);
        loader->setThreadCount(1);
        loader->setCacheEnabled(false);
        QStringList order;
        std::mutex m;
        loader->setDecodeHook([&](const QByteArray& path) {
            std::lock_guard<std::mutex> lock(m);
            order << QFileInfo(QFile::decodeName(path)).baseName();
        });
        QCOMPARE(loader->start(bytesOf(dir.path()), names), 7);
        QVERIFY(loader->waitForFinished());
        QCOMPARE(order, QStringList({"p3", "p4", "p2", "p5", "p1", "p6", "p0"}));
    }

    // Taking a slide out keeps what stands in the centre.
    void removeSlideKeepsTheCentre_data()
    {
        QTest::addColumn<int>("centre");
        QTest::addColumn<int>("removed");
        QTest::addColumn<int>("centreAfter");
        QTest::addColumn<int>("pictureAfter"); // the slide's number before removal
        QTest::newRow("left of the centre") << 4 << 1 << 3 << 4;
        QTest::newRow("right of the centre") << 4 << 6 << 4 << 4;
        QTest::newRow("the centre, left of the middle") << 2 << 2 << 2 << 3;
        QTest::newRow("the centre, right of the middle") << 6 << 6 << 5 << 5;
        QTest::newRow("the last, in the centre") << 9 << 9 << 8 << 8;
        QTest::newRow("outside the list") << 4 << 10 << 4 << 4;
    }
    void removeSlideKeepsTheCentre()
    {
        QFETCH(int, centre);
        QFETCH(int, removed);
        SlideFlow flow;
        for (int i = 0; i < 10; ++i)
            flow.addSlide(filled(QSize(4, 4), QColor(i * 20, 0, 0)));
        flow.setCenterIndex(centre);
        flow.removeSlide(removed);
        QCOMPARE(flow.slideCount(), removed < 10 ? 9 : 10);
        QTEST(flow.centerIndex(), "centreAfter");
        QFETCH(int, pictureAfter);
        QCOMPARE(qRed(flow.slideImage(flow.centerIndex()).pixel(0, 0)), pictureAfter * 20);
        QCOMPARE(flow.stage().centerPose.index, flow.centerIndex());
    }
};

QTEST_MAIN(TestSlideLoading)
#include "tst_slideloading.moc"
