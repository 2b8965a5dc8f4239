#include "slideviewer.h"

#include "phonelanguage.h"
#include "phonerawfiles.h"
#include "picturedecoder.h"
#include "qwallpaper.h"
#include "slideflow.h"
#include "slideloader.h"
#include "zapplication.h"

#include <QFile>
#include <QLoggingCategory>
#include <QThread>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// The order of names without regard to case: a name that is valid UTF-8
// compares by its case-folded text, any other by its bytes with ASCII
// letters folded; equal keys fall back to the bytes themselves.
QByteArray sortKey(const QByteArray& name)
{
    const QString text = QString::fromUtf8(name);
    if (text.toUtf8() == name)
        return text.toCaseFolded().toUtf8();
    return name.toLower(); // ASCII letters only; other bytes stay
}

} // namespace

QByteArray absoluteFolder(const QByteArray& folder)
{
    const QByteArray cwd = phoneCurrentFolderRaw();
    if (folder.isEmpty())
        return cwd;
    if (folder.startsWith('/'))
        return folder;
    return cwd == "/" ? '/' + folder : cwd + '/' + folder;
}

QList<QByteArray> listFolderFileNames(const QByteArray& folder, bool* readable)
{
    QList<QByteArray> names = phoneListFilesRaw(absoluteFolder(folder), readable);
    std::vector<std::pair<QByteArray, QByteArray>> keyed;
    keyed.reserve(size_t(names.size()));
    for (const QByteArray& n : names)
        keyed.emplace_back(sortKey(n), n);
    std::sort(keyed.begin(), keyed.end());
    names.clear();
    for (const auto& k : keyed)
        names << k.second;
    return names;
}

QStringList listFolderFiles(const QString& path)
{
    const QByteArray folder = absoluteFolder(QFile::encodeName(path));
    QByteArray prefix = folder;
    if (!prefix.endsWith('/'))
        prefix += '/';
    QStringList files;
    for (const QByteArray& name : listFolderFileNames(folder))
        files << QFile::decodeName(prefix + name);
    return files;
}

QImage loadReducedImage(const QString& path, QSize limit)
{
    const QByteArray bytes = QFile::encodeName(path);
    const int fd = phoneOpenReadRaw(bytes);
    if (fd < 0)
        return QImage();
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return QImage();
    }
    const PictureFormat format = sniffPictureFormat(file.peek(512), bytes);
    return decodePictureReduced(&file, format, limit, &PixelBudget::shared());
}

int addFolderSlides(SlideFlow& flow, const QStringList& files)
{
    const QSize slide = flow.slideSize();
    // Decoded on up to four threads, then added in order on this one: the
    // flow is only ever touched by the GUI thread.
    std::vector<QImage> images(size_t(files.size()));
    std::atomic<int> next{0};
    auto decode = [&]() {
        for (int i = next++; i < files.size(); i = next++) {
            const QByteArray path = QFile::encodeName(files.at(i));
            const int cut = path.lastIndexOf('/');
            const QByteArray folder = cut > 0 ? path.left(cut) : QByteArray("/");
            const QByteArray name = path.mid(cut + 1);
            images[size_t(i)] = SlideLoader::decodeSlide(folder, name, PictureFormat::None, slide, false);
        }
    };
    const int workers = std::clamp(QThread::idealThreadCount(), 1, 4);
    std::vector<std::thread> pool;
    for (int w = 1; w < std::min<int>(workers, int(files.size())); ++w) {
        try {
            pool.emplace_back(decode);
        } catch (const std::system_error&) {
            break;
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

QString noPicturesText(bool folderReadable)
{
    if (phoneSpeaksChinese())
        return folderReadable ? QStringLiteral("此文件夹中没有图片") : QStringLiteral("无法读取此文件夹");
    return folderReadable ? QStringLiteral("No pictures in this folder")
                          : QStringLiteral("This folder cannot be read");
}

SlideFlow* createSlideViewerFor(const QByteArray& folder)
{
    auto* flow = new SlideFlow(nullptr);
    flow->setSlideSize(QSize(150, 178));
    flow->resize(240, 320);
    bool readable = false;
    const QByteArray where = absoluteFolder(folder);
    const QList<QByteArray> names = listFolderFileNames(where, &readable);
    auto* loader = new SlideLoader(flow);
    // An empty flow, at once or once every file has failed, says why.
    QObject::connect(loader, &SlideLoader::finished, flow, [flow, readable] {
        if (flow->slideCount() == 0)
            flow->setNotice(noPicturesText(readable));
    });
    if (loader->start(where, names) == 0)
        flow->setNotice(noPicturesText(readable));
    return flow;
}

SlideFlow* createSlideViewer(const QString& folder)
{
    return createSlideViewerFor(QFile::encodeName(folder));
}

SlideLoader* slideLoaderOf(SlideFlow* flow)
{
    return flow ? flow->findChild<SlideLoader*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

bool waitForSlides(SlideFlow* flow, int msecs)
{
    SlideLoader* loader = slideLoaderOf(flow);
    return !loader || loader->waitForFinished(msecs);
}

int slideViewerMain(int argc, char** argv)
{
    ZApplication app(argc, argv, 1);
    // Files that are not pictures, or broken ones, are dropped without a
    // message: the image decoders' own complaints are not shown either.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false\nqt.svg*=false"));
    QWallpaper::setAppWallpaperMode(QWallpaper::Mode(2));

    // The first argument left after the application took out its own options
    // (it shortens argc and argv in place), as the bytes given: a folder
    // whose name is not UTF-8 is opened all the same.
    const QByteArray folder = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    SlideFlow* flow = createSlideViewerFor(folder);

    app.setMainWidget(flow);
    flow->showFullScreen();
    flow->setBackgroundColor(Qt::white);
    QObject::connect(&app, &QGuiApplication::lastWindowClosed, &app, &QCoreApplication::quit);

    const int result = app.exec();
    delete flow;
    return result;
}
