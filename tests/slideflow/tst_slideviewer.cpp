// The slideflow program on real folders: which files become slides and in
// what order, the centre, reduced loading of large photos, and the program
// itself started as a process.
#include "qwallpaper.h"
#include "slideflow.h"
#include "slideviewer.h"
#include "testprograms.h"
#include "testtime.h"
#include "xsession.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

bool savePicture(const QString& path, QColor c, QSize size = QSize(64, 48), const char* format = nullptr)
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(c);
    return img.save(path, format);
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A folder with mixed-case names, a hidden picture, a text file, a broken
// JPEG, a subfolder and a symbolic link among pictures.
void makeMixedFolder(const QString& dir)
{
    QVERIFY(savePicture(dir + "/b.jpg", Qt::blue));
    QVERIFY(savePicture(dir + "/A.png", Qt::red));
    QVERIFY(savePicture(dir + "/c.bmp", Qt::green));
    QVERIFY(savePicture(dir + "/.hidden.png", Qt::yellow));
    QVERIFY(savePicture(dir + "/D.ppm", Qt::cyan, QSize(64, 48), "PPM"));
    QVERIFY(writeBytes(dir + "/notes.txt", "not a picture\n"));
    QImage big(64, 48, QImage::Format_RGB32);
    big.fill(Qt::magenta);
    QByteArray jpeg;
    {
        QFile tmp(dir + "/whole.tmp");
        QVERIFY(big.save(&tmp, "JPG"));
    }
    QFile tmp(dir + "/whole.tmp");
    QVERIFY(tmp.open(QIODevice::ReadOnly));
    jpeg = tmp.readAll();
    tmp.close();
    tmp.remove();
    // Only the header survives: the decoder finds no picture data.
    QVERIFY(writeBytes(dir + "/broken.jpg", jpeg.left(20)));
    QVERIFY(QDir(dir).mkdir("sub"));
    QVERIFY(savePicture(dir + "/sub/inner.png", Qt::black));
    QVERIFY(QFile::link(dir + "/A.png", dir + "/link.png"));
}

// The viewer on a folder, once every picture has been decoded.
SlideFlow* loadedViewer(const QString& folder)
{
    SlideFlow* flow = createSlideViewer(folder);
    if (!waitForSlides(flow, 60000))
        qWarning("the pictures took more than a minute to decode");
    return flow;
}

QStringList names(const QStringList& paths)
{
    QStringList out;
    for (const QString& p : paths)
        out << QFileInfo(p).fileName();
    return out;
}

} // namespace

class TestSlideViewer : public QObject
{
    Q_OBJECT
    // Thumbnails go here, never into the real home folder.
    QTemporaryDir cacheHome;
private slots:
    void initTestCase()
    {
        QVERIFY(cacheHome.isValid());
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cacheHome.path()));
    }

    void listing()
    {
        QTemporaryDir dir;
        makeMixedFolder(dir.path());
        const QStringList files = listFolderFiles(dir.path());
        // By name without regard to case; hidden files too; no folders, no links.
        QCOMPARE(names(files), QStringList({".hidden.png", "A.png", "b.jpg", "broken.jpg", "c.bmp",
                                            "D.ppm", "notes.txt"}));
        for (const QString& f : files)
            QCOMPARE(f, QDir(dir.path()).absoluteFilePath(QFileInfo(f).fileName()));
    }

    void currentFolderWithoutPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("null") << QString();
        QTest::newRow("empty") << QString("");
    }
    void currentFolderWithoutPath()
    {
        QFETCH(QString, path);
        QTemporaryDir dir;
        QVERIFY(savePicture(dir.path() + "/z.png", Qt::red));
        QVERIFY(savePicture(dir.path() + "/Y.png", Qt::red));
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        const QStringList files = listFolderFiles(path);
        QDir::setCurrent(before);
        QCOMPARE(names(files), QStringList({"Y.png", "z.png"}));
    }

    void unreadableFolders_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::newRow("missing") << "nowhere";
        QTest::newRow("parent is a file") << "plain.txt/inside";
        QTest::newRow("a file") << "plain.txt";
    }
    void unreadableFolders()
    {
        QFETCH(QString, relative);
        QTemporaryDir dir;
        QVERIFY(writeBytes(dir.path() + "/plain.txt", "x"));
        const QString path = dir.path() + '/' + relative;
        QVERIFY(listFolderFiles(path).isEmpty());
        std::unique_ptr<SlideFlow> flow(loadedViewer(path));
        QCOMPARE(flow->slideCount(), 0);
        QCOMPARE(flow->centerIndex(), 0);
    }

    void slidesFromMixedFolder()
    {
        QTemporaryDir dir;
        makeMixedFolder(dir.path());
        std::unique_ptr<SlideFlow> flow(loadedViewer(dir.path()));
        // The text file and the broken JPEG are skipped without a gap.
        QCOMPARE(flow->slideCount(), 5);
        const QList<QColor> order = {Qt::yellow, Qt::red, Qt::blue, Qt::green, Qt::cyan};
        for (int i = 0; i < order.size(); ++i) {
            const QColor got = flow->slideImage(i).pixelColor(10, 10);
            QVERIFY2(qAbs(got.red() - order[i].red()) < 8 && qAbs(got.green() - order[i].green()) < 8
                         && qAbs(got.blue() - order[i].blue()) < 8,
                     qPrintable(QString("slide %1 is %2").arg(i).arg(got.name())));
        }
        QCOMPARE(flow->centerIndex(), 2);
        QCOMPARE(flow->slideSize(), QSize(150, 178));
        QCOMPARE(flow->size(), QSize(240, 320));
    }

    void centreOnTheMiddlePicture_data()
    {
        QTest::addColumn<int>("pictures");
        QTest::addColumn<int>("centre");
        QTest::newRow("seven") << 7 << 3;
        QTest::newRow("two") << 2 << 1;
        QTest::newRow("one") << 1 << 0;
        QTest::newRow("none") << 0 << 0;
    }
    void centreOnTheMiddlePicture()
    {
        QFETCH(int, pictures);
        QTemporaryDir dir;
        for (int i = 0; i < pictures; ++i)
            QVERIFY(savePicture(dir.path() + QString("/p%1.png").arg(i), Qt::gray));
        std::unique_ptr<SlideFlow> flow(loadedViewer(dir.path()));
        QCOMPARE(flow->slideCount(), pictures);
        QTEST(flow->centerIndex(), "centre");
    }

    void reducedLoading_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("slide");
        // A slide keeps no more pixels than the 150 x 178 slide shows, on
        // each side; the picture is decoded to fit within 256 x 256 first
        // (the thumbnail's size), keeping its aspect ratio.
        QTest::newRow("camera photo") << QSize(4000, 3000) << QSize(150, 178);
        QTest::newRow("portrait photo") << QSize(3000, 4000) << QSize(150, 178);
        QTest::newRow("tall strip") << QSize(200, 4000) << QSize(12, 178);
        QTest::newRow("small stays") << QSize(100, 80) << QSize(100, 80);
        QTest::newRow("twice the slide") << QSize(300, 356) << QSize(150, 178);
        QTest::newRow("thin line") << QSize(4000, 2) << QSize(150, 1);
    }
    void reducedLoading()
    {
        QFETCH(QSize, picture);
        QTemporaryDir dir;
        QImage img(picture, QImage::Format_RGB32);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                img.setPixel(x, y, qRgb(x * 255 / img.width(), y * 255 / img.height(), 90));
        QVERIFY(img.save(dir.path() + "/photo.jpg", "JPG", 85));
        std::unique_ptr<SlideFlow> flow(loadedViewer(dir.path()));
        QCOMPARE(flow->slideCount(), 1);
        QTEST(flow->slideImage(0).size(), "slide");
        // Still the same picture: the left edge dark red, the right edge bright.
        const QImage s = flow->slideImage(0);
        QVERIFY(qRed(s.pixel(0, 0)) < 60);
        if (s.width() > 10)
            QVERIFY(qRed(s.pixel(s.width() - 1, 0)) > 190);
    }

    // A folder of large photos in several formats: every one reduced, in
    // folder order (told apart by colour), whether its decoder can reduce
    // while decoding (JPEG) or only afterwards (PNG, BMP).
    void folderOfLargePhotos()
    {
        QTemporaryDir dir;
        struct Photo { const char* name; QSize size; QRgb colour; };
        const Photo photos[] = {{"a.jpg", {4000, 3000}, qRgb(200, 30, 30)},
                                {"B.png", {3000, 4000}, qRgb(30, 200, 30)},
                                {"c.bmp", {2400, 1800}, qRgb(30, 30, 200)},
                                {"d.JPG", {4000, 3000}, qRgb(220, 220, 30)}};
        for (const Photo& p : photos) {
            QImage img(p.size, QImage::Format_RGB32);
            img.fill(p.colour);
            QVERIFY(img.save(dir.path() + '/' + p.name));
        }
        std::unique_ptr<SlideFlow> flow(loadedViewer(dir.path()));
        QCOMPARE(flow->slideCount(), 4);
        for (int i = 0; i < 4; ++i) {
            const QImage s = flow->slideImage(i);
            QCOMPARE(s.size(), QSize(150, 178));
            const QRgb c = s.pixel(s.width() / 2, s.height() / 2);
            QVERIFY2(qAbs(qRed(c) - qRed(photos[i].colour)) < 12
                         && qAbs(qGreen(c) - qGreen(photos[i].colour)) < 12
                         && qAbs(qBlue(c) - qBlue(photos[i].colour)) < 12,
                     photos[i].name);
        }
    }

    void programRunsQuietlyOnAnyFolder_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("pictures") << "pics";
        QTest::newRow("missing") << "nowhere";
        QTest::newRow("no argument") << "";
    }
    void programRunsQuietlyOnAnyFolder()
    {
        QFETCH(QString, folder);
        QTemporaryDir dir;
        QDir(dir.path()).mkdir("pics");
        makeMixedFolder(dir.path() + "/pics");
        QProcess p;
        p.setWorkingDirectory(dir.path() + "/pics");
        QStringList args;
        if (!folder.isEmpty())
            args << dir.path() + '/' + folder;
        p.start(testProgram("slideflow"), args);
        QVERIFY(p.waitForStarted());
        // It waits for the user; nothing is printed meanwhile.
        QVERIFY(!p.waitForFinished(1500));
        QCOMPARE(p.state(), QProcess::Running);
        p.kill();
        p.waitForFinished();
        QCOMPARE(p.readAllStandardOutput(), QByteArray());
        // Not even the decoder speaks of the broken JPEG.
        const QByteArray err = p.readAllStandardError();
        QVERIFY2(!err.contains("jpeg") && !err.contains("JPEG"), err.constData());
    }

    void programClosesOnUserInput_data()
    {
        QTest::addColumn<QStringList>("xdotool");
        QTest::newRow("Return") << QStringList({"key", "Return"});
        QTest::newRow("Enter") << QStringList({"key", "KP_Enter"});
        QTest::newRow("corner tap") << QStringList({"mousemove", "5", "5", "click", "1"});
    }
    void programClosesOnUserInput()
    {
        // A real X server of the phone's size, and real key presses and taps.
        QFETCH(QStringList, xdotool);
        XSession x;
        if (!x.start())
            QSKIP(qPrintable(x.error()));

        QTemporaryDir dir;
        for (int i = 0; i < 3; ++i)
            QVERIFY(savePicture(dir.path() + QString("/p%1.png").arg(i), Qt::darkCyan));
        QProcess viewer;
        x.prepare(viewer);
        viewer.start(testProgram("slideflow"), {dir.path()});
        QVERIFY(viewer.waitForStarted());
        // Up and waiting, with the keyboard.
        QVERIFY2(x.pressKeysOnWindowOf(viewer.processId(), {}), qPrintable(x.error()));
        QVERIFY2(x.run(xdotool), qPrintable(x.error()));
        QVERIFY2(viewer.waitForFinished(scaledTimeout(10000)), "the viewer did not close");
        QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
        QCOMPARE(viewer.exitCode(), 0);
        QCOMPARE(viewer.readAllStandardOutput(), QByteArray());
    }

    void wallpaperModeIsKept()
    {
        const int before = QWallpaper::modeChanges();
        QWallpaper::setAppWallpaperMode(QWallpaper::NoWallpaper);
        QCOMPARE(int(QWallpaper::appWallpaperMode()), 2);
        QCOMPARE(QWallpaper::modeChanges(), before + 1);
    }
};

QTEST_MAIN(TestSlideViewer)
#include "tst_slideviewer.moc"
