#include "slideviewer.h"

#include "qwallpaper.h"
#include "slideflow.h"
#include "zapplication.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QLoggingCategory>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

QStringList listFolderFiles(const QString& path)
{
    QDir dir = QDir::current();
    if (!path.isEmpty())
        dir = QDir(path, QString(), QDir::Name | QDir::IgnoreCase, QDir::AllEntries);
    dir.setFilter(QDir::Files | QDir::Hidden | QDir::NoSymLinks);

    QStringList files;
    if (!dir.exists())
        return files;
    const QFileInfoList entries = dir.entryInfoList();
    for (const QFileInfo& entry : entries)
        files.append(dir.absoluteFilePath(entry.fileName()));
    return files;
}

QImage loadReducedImage(const QString& path, QSize limit)
{
    QImageReader reader(path);
    const QSize size = reader.size();
    if (size.isValid() && limit.isValid()
        && (size.width() > limit.width() || size.height() > limit.height())) {
        QSize reduced = size.scaled(limit, Qt::KeepAspectRatio);
        reduced = reduced.expandedTo(QSize(1, 1));
        reader.setScaledSize(reduced);
    }
    QImage image = reader.read();
    // A decoder that could not tell the size beforehand gives the picture
    // whole: reduce it now, so that no slide keeps more than the limit.
    if (limit.isValid() && (image.width() > limit.width() || image.height() > limit.height()))
        image = image.scaled(limit, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

int addFolderSlides(SlideFlow& flow, const QStringList& files)
{
    const QSize limit = flow.slideSize() * 2;

    // Decoding dominates the start-up on a folder of photos. The files are
    // decoded on every core the machine has (one on the phone) and then added
    // in folder order on this thread, so the flow itself is only ever touched
    // by the GUI thread. Each result is already reduced, so holding them all
    // costs little.
    std::vector<QImage> images(size_t(files.size()));
    std::atomic<int> next{0};
    auto decode = [&]() {
        for (int i = next++; i < files.size(); i = next++)
            images[size_t(i)] = loadReducedImage(files.at(i), limit);
    };
    const int workers = std::clamp(QThread::idealThreadCount(), 1, 8);
    std::vector<std::thread> pool;
    for (int w = 1; w < std::min<int>(workers, int(files.size())); ++w) {
        try {
            pool.emplace_back(decode);
        } catch (const std::system_error&) {
            break; // no more threads to be had: the ones running (and this one) do the rest
        }
    }
    decode();
    for (std::thread& t : pool)
        t.join();

    int added = 0;
    for (QImage& image : images) {
        if (image.isNull())
            continue; // not a picture: skipped, leaving no gap
        flow.addSlide(image);
        image = QImage();
        ++added;
    }
    return added;
}

SlideFlow* createSlideViewer(const QString& folder)
{
    auto* flow = new SlideFlow(nullptr);
    flow->setSlideSize(QSize(150, 178));
    flow->resize(240, 320);
    addFolderSlides(*flow, listFolderFiles(folder));
    flow->setCenterIndex(flow->slideCount() / 2);
    return flow;
}

int slideViewerMain(int argc, char** argv)
{
    ZApplication app(argc, argv, 1);
    // Files that are not pictures, or broken ones, are skipped without a
    // message: the image decoders' own complaints are not shown either.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));
    QWallpaper::setAppWallpaperMode(QWallpaper::Mode(2));

    // The first argument left after the application took out its own options
    // (it shortens argc and argv in place).
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    SlideFlow* flow = createSlideViewer(folder);

    app.setMainWidget(flow);
    flow->showFullScreen();
    flow->setBackgroundColor(Qt::white);
    QObject::connect(&app, &QGuiApplication::lastWindowClosed, &app, &QCoreApplication::quit);

    const int result = app.exec();
    delete flow;
    return result;
}
