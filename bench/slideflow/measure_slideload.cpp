// Time to the first frame, time to the last slide, peak memory and the
// thumbnail cache's size of the viewer opening a folder, against the load
// the viewer had before (every file decoded on up to eight threads, PNG and
// WebP whole, before the first frame), on folders the program makes itself.
//
//   measure_slideload [--count N] [--keep DIR]     the usual folders, a table
//   measure_slideload --set large [--keep DIR]     the folders people have: 10,000
//       small JPEGs, 1,000 photos, a 150 MB BMP, a 16-bit TIFF, and 933 pictures
//       on a FAT card image mounted with fusefat (made with mtools' mcopy)
//   measure_slideload --make KIND N DIR            one folder (jpeg, png16, mix, mix-png,
//                                                  small, bmp-150mb, tiff-16bit)
//   measure_slideload --open DIR viewer|previous   one open, one result line
//
// Each open runs in a process of its own, so that its peak resident memory
// (VmHWM) is its own. Thumbnails go to a temporary XDG_CACHE_HOME of each
// folder's own, which the second open of the folder reads; the cache's size
// is taken after each open. Built against another version of the viewer's
// library, the same program measures that version.
#include "framerenderer.h"
#include "peakmemory.h"
#include "slideflow.h"
#include "slideloader.h"
#include "slideviewer.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace {

// A photo-like picture: gradients with a little grain, as a sensor gives.
QImage photo(QSize size, int seedBase)
{
    QImage img(size, QImage::Format_RGB32);
    uint seed = 12345u + uint(seedBase);
    for (int y = 0; y < img.height(); ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            seed = seed * 1103515245u + 12345u;
            const int n = int(seed >> 29);
            row[x] = qRgb((x / 16 + n + seedBase * 40) & 255, (y / 12 + n) & 255, ((x + y) / 28 + n) & 255);
        }
    }
    return img;
}

// A 16-bit PNG of 4096 x 4096 (smooth, so that the file stays small).
QImage deepPicture()
{
    QImage img(4096, 4096, QImage::Format_RGBX64);
    for (int y = 0; y < img.height(); ++y) {
        QRgba64* row = reinterpret_cast<QRgba64*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            row[x] = QRgba64::fromRgba64(quint16(x * 16), quint16(y * 16), quint16((x + y) * 8), 0xFFFF);
    }
    return img;
}

// The folder: one file of each kind made beside it, and the folder's files
// hard links to those.
bool makeFolder(const QString& kind, int count, const QString& dir)
{
    QDir().mkpath(dir);
    std::vector<QString> sources;
    auto make = [&](const QString& suffix, const std::function<bool(const QString&)>& save) {
        const QString source = dir + "-source." + suffix;
        if (!QFile::exists(source) && !save(source))
            return false;
        sources.push_back(source);
        return true;
    };
    bool ok = true;
    if (kind == "jpeg" || kind == "mix" || kind == "mix-png")
        ok &= make("jpg", [](const QString& p) { return photo(QSize(4000, 3000), 1).save(p, "JPG", 90); });
    if (kind == "png16" || kind == "mix" || kind == "mix-png")
        ok &= make("png", [](const QString& p) { return deepPicture().save(p, "PNG"); });
    if (kind == "mix")
        ok &= make("webp", [](const QString& p) { return photo(QSize(4096, 4096), 2).save(p, "WEBP", 80); });
    if (kind == "small")
        ok &= make("jpg", [](const QString& p) { return photo(QSize(640, 480), 3).save(p, "JPG", 85); });
    // 7100 x 7100 at 24 bits: 151 MB, past Qt's 128 MB allocation limit.
    if (kind == "bmp-150mb")
        ok &= make("bmp", [](const QString& p) { return photo(QSize(7100, 7100), 4).save(p, "BMP"); });
    if (kind == "tiff-16bit")
        ok &= make("tif", [](const QString& p) {
            return photo(QSize(6000, 4000), 5).convertToFormat(QImage::Format_RGBX64).save(p, "TIFF");
        });
    if (!ok || sources.empty())
        return false;
    for (int i = 0; i < count; ++i) {
        const QString& s = sources[size_t(i) % sources.size()];
        const QString name = dir + QString("/pic%1.%2").arg(i, 4, 10, QLatin1Char('0')).arg(QFileInfo(s).suffix());
        if (!QFile::exists(name)
            && ::link(QFile::encodeName(s).constData(), QFile::encodeName(name).constData()) != 0)
            return false;
    }
    return true;
}

// Bytes of the files under a folder.
qint64 bytesUnder(const QString& path)
{
    qint64 total = 0;
    QDirIterator it(path, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        total += it.fileInfo().size();
    }
    return total;
}

bool runTool(const QString& program, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, args);
    return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A FAT image holding `count` small JPEGs in DCIM (a FAT root folder holds
// few names), written with mtools: copying through fusefat itself would take
// many minutes.
bool makeCardImage(const QString& image, int count, const QString& work)
{
    if (QFile::exists(image))
        return true;
    const QString staging = work + "/card-staging";
    if (!makeFolder("small", count, staging))
        return false;
    QFile img(image + ".part");
    if (!img.open(QIODevice::WriteOnly) || !img.resize(qint64(256) << 20))
        return false;
    img.close();
    QStringList copy = {"-i", image + ".part"};
    for (const QString& name : QDir(staging).entryList(QDir::Files, QDir::Name))
        copy << staging + '/' + name;
    copy << "::/DCIM/";
    return runTool("mkfs.vfat", {"-n", "CARD", image + ".part"}) && runTool("mmd", {"-i", image + ".part", "::/DCIM"})
        && runTool("mcopy", copy) && QFile::rename(image + ".part", image);
}

// The card image mounted with fusefat for as long as it lives, as the
// phone-world tests mount theirs.
class CardMount
{
public:
    CardMount(const QString& image, const QString& mountPoint)
        : m_mountPoint(mountPoint)
    {
        QDir().mkpath(mountPoint);
        m_fuse.setStandardOutputFile(QProcess::nullDevice());
        m_fuse.setStandardErrorFile(QProcess::nullDevice());
        m_fuse.start("fusefat", {"-f", "-o", "rw+,entry_timeout=86400,attr_timeout=86400", image, mountPoint});
        QElapsedTimer wait;
        wait.start();
        while (!isMounted() && m_fuse.state() != QProcess::NotRunning && wait.elapsed() < 30000)
            m_fuse.waitForFinished(10);
    }
    ~CardMount()
    {
        runTool("fusermount", {"-u", "-z", m_mountPoint});
        if (!m_fuse.waitForFinished(10000))
            m_fuse.kill();
        m_fuse.waitForFinished(5000);
    }
    bool isMounted() const
    {
        struct stat inner, outer;
        return ::stat(QFile::encodeName(m_mountPoint).constData(), &inner) == 0
            && ::stat(QFile::encodeName(m_mountPoint + "/..").constData(), &outer) == 0
            && inner.st_dev != outer.st_dev;
    }

private:
    QString m_mountPoint;
    QProcess m_fuse;
};

// The load the viewer had before: each file read on up to eight threads,
// with Qt's scaled decode where the reader offers it (PNG and WebP are then
// decoded whole), all of them before the first frame.
int previousLoad(SlideFlow& flow, const QStringList& files)
{
    const QSize limit = flow.slideSize() * 2;
    std::vector<QImage> images(size_t(files.size()));
    std::atomic<int> next{0};
    auto decode = [&]() {
        for (int i = next++; i < files.size(); i = next++) {
            QImageReader reader(files.at(i));
            const QSize size = reader.size();
            if (size.isValid() && (size.width() > limit.width() || size.height() > limit.height()))
                reader.setScaledSize(size.scaled(limit, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
            QImage image = reader.read();
            if (image.width() > limit.width() || image.height() > limit.height())
                image = image.scaled(limit, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            images[size_t(i)] = image;
        }
    };
    const int workers = std::clamp(QThread::idealThreadCount(), 1, 8);
    std::vector<std::thread> pool;
    for (int w = 1; w < std::min<int>(workers, int(files.size())); ++w)
        pool.emplace_back(decode);
    decode();
    for (std::thread& t : pool)
        t.join();
    int added = 0;
    for (const QImage& image : images)
        if (!image.isNull()) {
            flow.addSlide(image);
            ++added;
        }
    return added;
}

// One open, timed from the start of the process's main().
int openOnce(int argc, char** argv, const QString& dir, const QString& way)
{
    QElapsedTimer clock;
    clock.start();
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));
    SlideFlow* flow = nullptr;
    if (way == "previous") {
        flow = new SlideFlow;
        flow->setSlideSize(QSize(150, 178));
        flow->resize(240, 320);
        previousLoad(*flow, listFolderFiles(dir));
        flow->setCenterIndex(flow->slideCount() / 2);
    } else {
        flow = createSlideViewerFor(QFile::encodeName(dir));
    }
    flow->show();
    flow->setBackgroundColor(Qt::white);
    // The first frame: the first paint that presents the flow.
    while (flow->renderer().frame().isNull() || flow->renderer().needsRedraw)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    flow->repaint();
    const qint64 firstFrame = clock.elapsed();
    waitForSlides(flow, 3600 * 1000);
    const qint64 lastSlide = clock.elapsed();
    // Processor time of all threads: steadier than the clock on a busy machine.
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    const long long cpu = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000LL
                        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
    std::printf("slides=%d first_frame_ms=%lld last_slide_ms=%lld cpu_ms=%lld peak_MB=%.1f\n",
                flow->slideCount(), (long long)firstFrame, (long long)lastSlide, cpu, peakMemoryMB());
    delete flow;
    return 0;
}

QMap<QString, QString> runOpen(const QString& self, const QString& dir, const QString& way, const QString& cache)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CACHE_HOME", cache);
    p.setProcessEnvironment(env);
    p.start(self, {"--open", dir, way});
    p.waitForFinished(-1);
    QMap<QString, QString> values;
    for (const QByteArray& field : p.readAllStandardOutput().trimmed().split(' ')) {
        const int eq = field.indexOf('=');
        if (eq > 0)
            values.insert(field.left(eq), field.mid(eq + 1));
    }
    return values;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QStringList args = [&] {
        QStringList a;
        for (int i = 1; i < argc; ++i)
            a << QString::fromLocal8Bit(argv[i]);
        return a;
    }();
    if (args.value(0) == "--open" && args.size() >= 3)
        return openOnce(argc, argv, args[1], args[2]);
    if (args.value(0) == "--make" && args.size() >= 4) {
        QCoreApplication app(argc, argv);
        return makeFolder(args[1], args[2].toInt(), args[3]) ? 0 : 1;
    }

    QCoreApplication app(argc, argv);
    int count = 100;
    QString keep;
    QString set = "usual";
    for (int i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "--count")
            count = args[i + 1].toInt();
        if (args[i] == "--keep")
            keep = args[i + 1];
        if (args[i] == "--set")
            set = args[i + 1];
    }
    QTemporaryDir temp(QDir::tempPath() + "/slideflow-bench-XXXXXX");
    const QString root = keep.isEmpty() ? temp.path() : keep;
    const QString self = QCoreApplication::applicationFilePath();

    struct Scenario { QString label; QString kind; int count; bool previous; };
    std::vector<Scenario> scenarios;
    if (set == "large") {
        scenarios = {
            {"10,000 small JPEG 640x480", "small", 10000, false},
            {"1,000 JPEG photos 4000x3000", "jpeg", 1000, false},
            {"one BMP 7100x7100 (151 MB)", "bmp-150mb", 1, false},
            {"one TIFF 6000x4000 16-bit", "tiff-16bit", 1, false},
            {"933 small JPEG on a FAT card (fusefat)", "card", 933, false},
        };
    } else {
        scenarios = {
            {QString("%1 JPEG photos 4000x3000").arg(count), "jpeg", count, true},
            {QString("%1 PNG 4096x4096 16-bit").arg(count), "png16", count, true},
            {QString("%1 mixed JPEG / 16-bit PNG / WebP 4096").arg(count), "mix", count, true},
            {QString("%1 small JPEG 640x480").arg(count * 10), "small", count * 10, true},
            {QString("%1 mixed JPEG / 16-bit PNG").arg(count * 10), "mix-png", count * 10, false},
        };
    }
    std::printf("| Folder | Load | Slides | First frame (ms) | Last slide (ms) | CPU (ms) | Peak (MB) | Cache (KB) |\n"
                "|---|---|---|---|---|---|---|---|\n");
    for (const Scenario& s : scenarios) {
        const QString name = s.kind + "-" + QString::number(s.count);
        const QString cache = root + "/cache-" + name;
        QString dir = root + "/" + name;
        std::unique_ptr<CardMount> card;
        bool made;
        if (s.kind == "card") {
            made = makeCardImage(root + "/card.img", s.count, root);
            dir = root + "/card/DCIM";
        } else {
            made = makeFolder(s.kind, s.count, dir);
        }
        if (!made) {
            std::printf("| %s | cannot be made | | | | | | |\n", qPrintable(s.label));
            continue;
        }
        QDir(cache).removeRecursively();
        QDir().mkpath(cache);
        QStringList ways;
        if (s.previous)
            ways << "previous";
        ways << "viewer" << "viewer";
        int n = 0;
        for (const QString& way : ways) {
            // A card is mounted afresh for each open: nothing of it is in
            // the kernel's caches.
            if (s.kind == "card") {
                card.reset();
                card = std::make_unique<CardMount>(root + "/card.img", root + "/card");
                if (!card->isMounted()) {
                    std::printf("| %s | the card cannot be mounted (fusefat) | | | | | | |\n", qPrintable(s.label));
                    break;
                }
            }
            const auto v = runOpen(self, dir, way, cache);
            const QString load = way == "previous" ? "previous (all decoded first)"
                               : (n++ == 0 ? "viewer, first open" : "viewer, second open (cache)");
            std::printf("| %s | %s | %s | %s | %s | %s | %s | %lld |\n", qPrintable(s.label), qPrintable(load),
                        qPrintable(v.value("slides")), qPrintable(v.value("first_frame_ms")),
                        qPrintable(v.value("last_slide_ms")), qPrintable(v.value("cpu_ms")),
                        qPrintable(v.value("peak_MB")), (long long)(bytesUnder(cache) >> 10));
            std::fflush(stdout);
        }
        card.reset();
    }
    return 0;
}
