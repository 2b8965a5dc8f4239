// What keeps the viewer within bounds on the folders people have: decoded
// slides only around the centre, the first frame before a slow card's files
// are read, pictures past Qt's allocation limit read reduced, and a
// thumbnail cache that stays under its limit, forgets pictures that are gone
// and never spills onto the pictures' card.
#include "framerenderer.h"
#include "phoneroot.h"
#include "slideflow.h"
#include "slideloader.h"
#include "slidemotion.h"
#include "slideviewer.h"
#include "testtime.h"
#include "thumbnailcache.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <tiffio.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

QByteArray bytesOf(const QString& path) { return QFile::encodeName(path); }

bool saveFilled(const QString& path, QSize size, QColor c, const char* format = nullptr)
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(c);
    return img.save(path, format, 90);
}

bool near(QRgb c, QColor want, int tolerance = 16)
{
    return qAbs(qRed(c) - want.red()) <= tolerance && qAbs(qGreen(c) - want.green()) <= tolerance
        && qAbs(qBlue(c) - want.blue()) <= tolerance;
}

// The colour that tells slide i of a folder from every other.
QColor colourOf(int i) { return QColor(i * 2, 255 - i * 2, (i * 37) % 256); }

std::unique_ptr<SlideFlow> loadedViewer(const QString& folder)
{
    std::unique_ptr<SlideFlow> flow(createSlideViewerFor(bytesOf(folder)));
    waitForSlides(flow.get(), scaledTimeout(60000));
    return flow;
}

// An 8-bit BMP of the given size whose pixels are all index 0 (green), but
// for the lowest `redRows` rows (index 1, red). The rest of the file is a
// hole: a picture of a hundred megabytes takes no room on the disk.
bool writeHugeBmp(const QByteArray& path, int width, int height, int redRows)
{
    const int stride = (width + 3) & ~3;
    const quint32 offset = 14 + 40 + 2 * 4;
    QByteArray head(int(offset), '\0');
    auto put32 = [&](int at, quint32 v) { qToLittleEndian<quint32>(v, head.data() + at); };
    head[0] = 'B';
    head[1] = 'M';
    put32(2, offset + quint32(stride) * quint32(height));
    put32(10, offset);
    put32(14, 40);
    put32(18, quint32(width));
    put32(22, quint32(height)); // bottom-up
    qToLittleEndian<quint16>(1, head.data() + 26);
    qToLittleEndian<quint16>(8, head.data() + 28);
    put32(46, 2);
    put32(54, qRgb(0, 200, 0) & 0xFFFFFF); // B, G, R, 0
    put32(58, qRgb(200, 0, 0) & 0xFFFFFF);
    QFile f(QFile::decodeName(path));
    if (!f.open(QIODevice::WriteOnly) || f.write(head) != head.size())
        return false;
    const QByteArray red(stride * redRows, '\1');
    return f.write(red) == red.size() && f.resize(qint64(offset) + qint64(stride) * height);
}

// A 16-bit RGB TIFF, its upper half red and its lower half blue: in strips
// of 16 rows, uncompressed, or as one LZW strip that decodes to more than
// libtiff may hold at once.
bool writeDeepTiff(const QByteArray& path, int width, int height, bool oneStrip)
{
    TIFF* tif = TIFFOpen(path.constData(), "w");
    if (!tif)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, quint32(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, quint32(height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, oneStrip ? COMPRESSION_LZW : COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, quint32(oneStrip ? height : 16));
    std::vector<quint16> row(size_t(width) * 3);
    bool ok = true;
    for (int y = 0; y < height && ok; ++y) {
        for (int x = 0; x < width; ++x) {
            row[size_t(x) * 3] = y < height / 2 ? 0xFFFF : 0;
            row[size_t(x) * 3 + 1] = 0;
            row[size_t(x) * 3 + 2] = y < height / 2 ? 0 : 0xFFFF;
        }
        ok = TIFFWriteScanline(tif, row.data(), quint32(y), 0) == 1;
    }
    TIFFClose(tif);
    return ok;
}

void setAge(const QByteArray& path, int secondsAgo)
{
    const time_t when = ::time(nullptr) - secondsAgo;
    struct utimbuf t{when, when};
    ::utime(path.constData(), &t);
}

QByteArray filler(int bytes) { return QByteArray(bytes, 'x'); }

qint64 bytesIn(const QString& folder)
{
    qint64 total = 0;
    for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden))
        total += f.size();
    return total;
}

} // namespace

class TestSlideBounds : public QObject
{
    Q_OBJECT
    QTemporaryDir cacheHome; // thumbnails go here, never into the real home

    void useCache(const QString& home) { qputenv("XDG_CACHE_HOME", bytesOf(home)); }

private slots:
    void initTestCase()
    {
        QVERIFY(cacheHome.isValid());
        useCache(cacheHome.path());
        qunsetenv("EZX_ROOT");
        qunsetenv("SLIDEFLOW_CACHE_MB");
    }
    void init() { useCache(cacheHome.path()); }

    // Only the slides around the centre hold their pictures, wherever the
    // flow has been; the others are placeholders, decoded again on return.
    void windowOfDecodedSlides_data()
    {
        QTest::addColumn<QList<int>>("stops");
        QTest::newRow("as opened") << QList<int>{};
        QTest::newRow("stepped to the far end") << QList<int>{115};
        QTest::newRow("far and back to the start") << QList<int>{115, 2};
    }
    void windowOfDecodedSlides()
    {
        QFETCH(QList<int>, stops);
        QTemporaryDir dir;
        const int count = 120;
        for (int i = 0; i < count; ++i)
            QVERIFY(saveFilled(dir.path() + QString("/p%1.png").arg(i, 3, 10, QLatin1Char('0')), QSize(16, 12), colourOf(i)));
        std::unique_ptr<SlideFlow> flow = loadedViewer(dir.path());
        SlideLoader* loader = slideLoaderOf(flow.get());
        QCOMPARE(flow->slideCount(), count);
        for (int stop : stops) {
            flow->showSlide(stop);
            QTRY_VERIFY_WITH_TIMEOUT(!flow->motion().isMoving() && loader->isFinished(), scaledTimeout(30000));
        }
        const int centre = flow->centerIndex();
        QCOMPARE(centre, stops.isEmpty() ? count / 2 : stops.last());
        int held = 0;
        for (int i = 0; i < count; ++i) {
            const QImage slide = flow->slideImage(i);
            const bool inWindow = qAbs(i - centre) <= SlideLoader::kWindowRadius;
            QVERIFY2(slide.isNull() != inWindow, qPrintable(QString("slide %1").arg(i)));
            if (!slide.isNull()) {
                QVERIFY2(near(slide.pixel(0, 0), colourOf(i), 4), qPrintable(QString("slide %1").arg(i)));
                ++held;
            }
        }
        QCOMPARE(loader->decodedSlideCount(), held);
        QVERIFY(held <= 2 * SlideLoader::kWindowRadius + 1);
    }

    // A folder on a FAT card (fusefat, where each file takes milliseconds
    // to find): laid out and drawn before any of its files has been read,
    // then filled in.
    void firstFrameBeforeTheCardIsRead()
    {
        const QByteArray previous = qgetenv("EZX_TEST_CARD");
        qputenv("EZX_TEST_CARD", "fat");
        PhoneRoot root;
        qputenv("EZX_TEST_CARD", previous);
        if (!root.cardReady())
            QSKIP("no FAT card image can be mounted here (mkfs.vfat, fusefat)");
        const QString folder = root.host("/mmc/mmca1/DCIM");
        QVERIFY(QDir().mkpath(folder));
        const int count = 30;
        for (int i = 0; i < count; ++i)
            QVERIFY(saveFilled(folder + QString("/IMG_%1.png").arg(i, 2, 10, QLatin1Char('0')), QSize(16, 12), colourOf(i)));
        // Told from the pictures only once it is read.
        QVERIFY(root.writeFile("/mmc/mmca1/DCIM/notes.txt", "not a picture\n"));

        SlideFlow flow;
        flow.setSlideSize(QSize(150, 178));
        flow.resize(240, 320);
        auto* loader = new SlideLoader(&flow);
        // Every decoding thread waits at its first file until the frame is drawn.
        std::mutex m;
        std::condition_variable cv;
        bool open = false;
        loader->setDecodeHook([&](const QByteArray&) {
            std::unique_lock<std::mutex> lock(m);
            cv.wait_for(lock, std::chrono::seconds(60), [&] { return open; });
        });
        auto openGate = [&] {
            std::lock_guard<std::mutex> lock(m);
            open = true;
            cv.notify_all();
        };
        auto release = qScopeGuard(openGate); // never leaves a thread waiting
        const QByteArray where = bytesOf(folder);
        QCOMPARE(loader->start(where, listFolderFileNames(where)), count + 1);
        QCOMPARE(flow.slideCount(), count + 1);
        QCOMPARE(flow.centerIndex(), (count + 1) / 2);
        flow.renderer().prepare();
        flow.renderer().drawAllSlides();
        QVERIFY(!flow.renderer().frame().isNull());
        QVERIFY(flow.slideImage(count / 2).isNull()); // a placeholder
        openGate();
        QVERIFY(loader->waitForFinished(scaledTimeout(60000)));
        QCOMPARE(flow.slideCount(), count);
        QCOMPARE(flow.centerIndex(), count / 2);
        for (int i = 0; i < count; ++i)
            QVERIFY2(near(flow.slideImage(i).pixel(0, 0), colourOf(i), 4), qPrintable(QString::number(i)));
    }

    // Pictures whose whole decode Qt refuses (past 128 MB) are read row by
    // row or strip by strip, reduced as they come: shown, right way up.
    void pictureBeyondTheAllocationLimit_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QColor>("top");
        QTest::addColumn<QColor>("bottom");
        // Qt would need 144 MB (8-bit pixels) and 134 MB (16-bit samples).
        QTest::newRow("BMP 12000 x 12000, 8-bit") << "bmp" << QColor(0, 200, 0) << QColor(200, 0, 0);
        QTest::newRow("TIFF 4200 x 4000, 16-bit, strips") << "tiff" << QColor(Qt::red) << QColor(Qt::blue);
        // One strip of 36 MB, more than libtiff is let hold: read line by line.
        QTest::newRow("TIFF 3000 x 2000, 16-bit, one LZW strip") << "tiff-one-strip" << QColor(Qt::red) << QColor(Qt::blue);
    }
    void pictureBeyondTheAllocationLimit()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QByteArray path = bytesOf(dir.path() + "/huge.pic");
        if (kind == "bmp")
            QVERIFY(writeHugeBmp(path, 12000, 12000, 3000));
        else
            QVERIFY(kind == "tiff" ? writeDeepTiff(path, 4200, 4000, false) : writeDeepTiff(path, 3000, 2000, true));
        std::unique_ptr<SlideFlow> flow = loadedViewer(dir.path());
        QCOMPARE(flow->slideCount(), 1);
        const QImage s = flow->slideImage(0);
        QVERIFY(s.width() <= 150 && s.height() <= 178);
        QFETCH(QColor, top);
        QFETCH(QColor, bottom);
        QVERIFY2(near(s.pixel(s.width() / 2, 2), top, 24), qPrintable(QColor(s.pixel(s.width() / 2, 2)).name()));
        const QRgb low = s.pixel(s.width() / 2, s.height() - 3);
        QVERIFY2(near(low, bottom, 24), qPrintable(QColor(low).name()));
    }

    // The cache stays under its limit: what was used longest ago goes first
    // (0 keeps no thumbnails at all).
    void cacheLimit_data()
    {
        QTest::addColumn<int>("limitMb");
        QTest::newRow("1 MB") << 1;
        QTest::newRow("none kept") << 0;
    }
    void cacheLimit()
    {
        QFETCH(int, limitMb);
        QTemporaryDir home;
        useCache(home.path());
        qputenv("SLIDEFLOW_CACHE_MB", QByteArray::number(limitMb));
        auto unset = qScopeGuard([] { qunsetenv("SLIDEFLOW_CACHE_MB"); });
        const QString large = home.path() + "/thumbnails/large";
        QVERIFY(QDir().mkpath(large));
        // Forty thumbnails of other pictures, 40 KB each, the first used
        // longest ago.
        auto old = [&](int i) { return bytesOf(large + QString("/other%1.png").arg(i, 2, 10, QLatin1Char('0'))); };
        for (int i = 0; i < 40; ++i) {
            QFile f(QFile::decodeName(old(i)));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(filler(40 << 10)) == 40 << 10);
            f.close();
            setAge(old(i), 7200 - i * 60);
        }
        QTemporaryDir dir;
        QVERIFY(saveFilled(dir.path() + "/photo.jpg", QSize(1600, 1200), Qt::red, "JPG"));
        loadedViewer(dir.path()).reset(); // and its upkeep done
        const bool stored = QFile::exists(QFile::decodeName(ThumbnailCache(bytesOf(dir.path())).personalPath("photo.jpg")));
        QCOMPARE(stored, limitMb > 0);
        if (limitMb > 0) {
            QVERIFY2(bytesIn(large) <= qint64(limitMb) << 20, qPrintable(QString::number(bytesIn(large))));
            QVERIFY(!QFile::exists(QFile::decodeName(old(0))));
            QVERIFY(QFile::exists(QFile::decodeName(old(39))));
        } else {
            QCOMPARE(bytesIn(large), qint64(40) * (40 << 10));
        }
    }

    // Seeing a folder again takes away the thumbnails of its pictures that
    // are gone, and temporary files that writes cut short left behind.
    void cacheCleanUp_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<bool>("kept");
        QTest::newRow("a picture still there") << "kept" << true;
        QTest::newRow("a picture deleted") << "deleted" << false;
        QTest::newRow("a picture renamed") << "renamed" << false;
        QTest::newRow("a picture of another folder") << "other" << true;
        QTest::newRow("a temporary file two minutes old") << "stale" << false;
        QTest::newRow("a temporary file being written") << "fresh" << true;
    }
    void cacheCleanUp()
    {
        QFETCH(QString, what);
        QTemporaryDir home, dir, otherDir;
        useCache(home.path());
        for (const char* name : {"kept.jpg", "deleted.jpg", "renamed.jpg"})
            QVERIFY(saveFilled(dir.path() + '/' + name, QSize(1200, 1000), Qt::blue, "JPG"));
        QVERIFY(saveFilled(otherDir.path() + "/other.jpg", QSize(1200, 1000), Qt::blue, "JPG"));
        loadedViewer(dir.path()).reset();
        loadedViewer(otherDir.path()).reset();
        const ThumbnailCache cache(bytesOf(dir.path()));
        QByteArray path = what == "other" ? ThumbnailCache(bytesOf(otherDir.path())).personalPath("other.jpg")
                                          : cache.personalPath(what.toUtf8() + ".jpg");
        if (what == "stale" || what == "fresh") {
            path = ThumbnailCache::personalFolder() + "/0123456789abcdef0123456789abcdef.png.Ab12Cd";
            QFile f(QFile::decodeName(path));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(filler(100)) == 100);
            f.close();
            setAge(path, what == "stale" ? 120 : 0);
        }
        QVERIFY(QFile::exists(QFile::decodeName(path)));
        QVERIFY(QFile::remove(dir.path() + "/deleted.jpg"));
        QVERIFY(QFile::rename(dir.path() + "/renamed.jpg", dir.path() + "/now-named.jpg"));
        loadedViewer(dir.path()).reset();
        QFETCH(bool, kept);
        QCOMPARE(QFile::exists(QFile::decodeName(path)), kept);
        QVERIFY(QFile::exists(QFile::decodeName(cache.personalPath("now-named.jpg"))));
    }

    // A cache on a partition too full to take more leaves the pictures'
    // folder alone; only one that cannot be written at all sends the
    // thumbnails beside the pictures.
    void cachePartitionFullOrReadOnly_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("nearly full (a 16 MB tmpfs)") << false;
        QTest::newRow("read-only") << true;
    }
    void cachePartitionFullOrReadOnly()
    {
        QFETCH(bool, readOnly);
        QTemporaryDir dir;
        const QByteArray cache = bytesOf(dir.path() + "/cache");
        QCOMPARE(::mkdir(cache.constData(), 0700), 0);
        if (::mount("tmpfs", cache.constData(), "tmpfs", readOnly ? MS_RDONLY : 0, "size=16m") != 0)
            QSKIP("a small tmpfs cannot be mounted here (needs root)");
        auto unmount = qScopeGuard([&] { ::umount2(cache.constData(), MNT_DETACH); });
        useCache(QFile::decodeName(cache));
        const QString pictures = dir.path() + "/pictures";
        QVERIFY(QDir().mkpath(pictures));
        QVERIFY(saveFilled(pictures + "/big.jpg", QSize(1600, 1200), Qt::green, "JPG"));
        std::unique_ptr<SlideFlow> flow = loadedViewer(pictures);
        QCOMPARE(flow->slideCount(), 1);
        QVERIFY(near(flow->slideImage(0).pixel(10, 10), Qt::green, 24));
        flow.reset();
        const ThumbnailCache thumbnails(bytesOf(pictures));
        QVERIFY(!QFile::exists(QFile::decodeName(thumbnails.personalPath("big.jpg"))));
        QCOMPARE(QFile::exists(QFile::decodeName(thumbnails.sharedPath("big.jpg"))), readOnly);
    }

    // A JPEG cut short shows as far as it goes, but its thumbnail is never
    // kept: a grey lower half must not outlive the download that finishes.
    void truncatedPictureNotKept()
    {
        QTemporaryDir dir;
        QImage photo(1600, 1200, QImage::Format_RGB32);
        photo.fill(Qt::red);
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(photo.save(&buffer, "JPG", 90));
        QFile f(dir.path() + "/cut.jpg");
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(jpeg.left(jpeg.size() / 2)) > 0);
        f.close();
        QVERIFY(photo.save(dir.path() + "/whole.jpg", "JPG", 90));
        std::unique_ptr<SlideFlow> flow = loadedViewer(dir.path());
        QCOMPARE(flow->slideCount(), 2);
        QVERIFY(near(flow->slideImage(0).pixel(10, 2), Qt::red, 24));
        const ThumbnailCache cache(bytesOf(dir.path()));
        QVERIFY(!QFile::exists(QFile::decodeName(cache.personalPath("cut.jpg"))));
        QVERIFY(QFile::exists(QFile::decodeName(cache.personalPath("whole.jpg"))));
    }

    // A light logo on nothing would vanish on the white flow: it is laid on
    // grey. A dark one keeps its transparency, which shows the background.
    void logoOnNothing_data()
    {
        QTest::addColumn<QColor>("ink");
        QTest::addColumn<bool>("onGrey");
        QTest::newRow("white") << QColor(Qt::white) << true;
        QTest::newRow("dark blue") << QColor(20, 20, 120) << false;
    }
    void logoOnNothing()
    {
        QFETCH(QColor, ink);
        QFETCH(bool, onGrey);
        QTemporaryDir dir;
        QImage logo(200, 200, QImage::Format_ARGB32);
        logo.fill(Qt::transparent);
        QPainter p(&logo);
        p.fillRect(60, 60, 80, 80, ink);
        p.end();
        QVERIFY(logo.save(dir.path() + "/logo.png"));
        std::unique_ptr<SlideFlow> flow = loadedViewer(dir.path());
        const QImage s = flow->slideImage(0);
        QVERIFY(near(s.pixel(s.width() / 2, s.height() / 2), ink, 8));
        const QRgb corner = s.pixel(2, 2);
        if (onGrey)
            QVERIFY2(qAlpha(corner) == 255 && near(corner, QColor(128, 128, 128), 8), qPrintable(QColor(corner).name()));
        else
            QCOMPARE(qAlpha(corner), 0);
    }
};

QTEST_MAIN(TestSlideBounds)
#include "tst_slidebounds.moc"
