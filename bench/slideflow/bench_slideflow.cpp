// Benchmarks of the slide-flow viewer.
//   bench_slideflow [--benchmark_filter=...]
// Runs headless (QT_QPA_PLATFORM=offscreen unless set). The loading benchmarks
// make a folder of 100 JPEG photos of 4000 by 3000 pixels on first use and
// report the peak resident memory of each load (VmHWM, reset before it).
#include "fixedpoint.h"
#include "framerenderer.h"
#include "peakmemory.h"
#include "slideflow.h"
#include "slidemotion.h"
#include "slidestage.h"
#include "slideviewer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <QTransform>
#include <benchmark/benchmark.h>
#include <functional>
#include <memory>

namespace {

QImage picture(int i, int w = 150, int h = 178)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x)
            row[x] = qRgb((x * 255 / w + i * 40) & 255, (y * 255 / h) & 255, (i * 70) & 255);
    }
    return img;
}

// The viewer's scene: 240 by 320, slides 150 by 178, 20 slides, centre 10.
std::unique_ptr<SlideFlow> scene()
{
    auto flow = std::make_unique<SlideFlow>();
    flow->setSlideSize(QSize(150, 178));
    flow->resize(240, 320);
    for (int i = 0; i < 20; ++i)
        flow->addSlide(picture(i));
    flow->setBackgroundColor(Qt::white);
    flow->setCenterIndex(10);
    flow->renderer().prepare();
    flow->renderer().drawAllSlides(); // surfaces cached
    return flow;
}

void BM_FrameRaster(benchmark::State& state)
{
    auto flow = scene();
    RasterRenderer& r = flow->renderer();
    for (auto _ : state) {
        r.drawAllSlides();
        benchmark::DoNotOptimize(r.frame().constBits());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FrameRaster)->Unit(benchmark::kMicrosecond);

// The same scene drawn with QPainter: each visible slide's picture and its
// reflection mapped through a perspective QTransform onto the projected quad,
// farthest first, into an image of the frame's size.
struct PainterScene
{
    QImage frame{320, 240, QImage::Format_RGB32};
    QVector<QImage> pictures;
    QVector<QImage> reflections;
};

// The four corners of a w by h image (QPolygonF(QRectF) closes with a fifth).
QPolygonF quad(int w, int h)
{
    return QPolygonF({QPointF(0, 0), QPointF(w, 0), QPointF(w, h), QPointF(0, h)});
}

void paintScene(PainterScene& ps, const SlideStage& s)
{
    const int w = ps.frame.width();
    const int h = ps.frame.height();
    const int W = s.slideW;
    const int H = s.slideH;
    const int hs = H / 3;
    QPainter p(&ps.frame);
    p.fillRect(ps.frame.rect(), QColor::fromRgb(s.backgroundRgb));
    auto draw = [&](const SlidePose& pose) {
        if (pose.index < 0 || pose.index >= ps.pictures.size() || pose.opacity == 0)
            return;
        const double a = pose.angle * 2 * M_PI / 1024;
        const double cx = pose.x / 1024.0, cz = pose.z / 1024.0;
        const double ex = W / 2.0 * std::cos(a), ez = W / 2.0 * std::sin(a);
        auto project = [&](double X, double Z, double& col, double& scale) {
            scale = h / (h + Z);
            col = w / 2.0 + X * scale;
        };
        double xl, sl, xr, sr;
        project(cx - ex, cz - ez, xl, sl);
        project(cx + ex, cz + ez, xr, sr);
        const double mid = h / 2.0;
        // Picture: from H - hs above the middle down to hs below it.
        const QPolygonF pic{{xl, mid - (H - hs) * sl}, {xr, mid - (H - hs) * sr},
                            {xr, mid + hs * sr}, {xl, mid + hs * sl}};
        const QPolygonF ref{{xl, mid + hs * sl}, {xr, mid + hs * sr},
                            {xr, mid + H * sr}, {xl, mid + H * sl}};
        QTransform t;
        p.setOpacity(pose.opacity / 256.0);
        if (QTransform::quadToQuad(quad(W, H), pic, t)) {
            p.setTransform(t);
            p.drawImage(QPointF(0, 0), ps.pictures[pose.index]);
        }
        if (QTransform::quadToQuad(quad(W, H - hs), ref, t)) {
            p.setTransform(t);
            p.drawImage(QPointF(0, 0), ps.reflections[pose.index]);
        }
        p.resetTransform();
    };
    for (int i = s.leftPoses.size() - 1; i >= 0; --i)
        draw(s.leftPoses[i]);
    for (int i = s.rightPoses.size() - 1; i >= 0; --i)
        draw(s.rightPoses[i]);
    draw(s.centerPose);
    p.end();
}

void fillPainterScene(PainterScene& ps, const SlideStage& s);

void BM_FrameQPainterPerspective(benchmark::State& state)
{
    auto flow = scene();
    PainterScene ps;
    fillPainterScene(ps, flow->stage());
    for (auto _ : state) {
        paintScene(ps, flow->stage());
        benchmark::DoNotOptimize(ps.frame.constBits());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FrameQPainterPerspective)->Unit(benchmark::kMicrosecond);

void fillPainterScene(PainterScene& ps, const SlideStage& s)
{
    const int hs = s.slideH / 3;
    for (int i = 0; i < s.slideCount(); ++i) {
        const QImage img = s.images[i]->scaled(s.slideW, s.slideH);
        ps.pictures << img;
        // The reflection made once, as our surfaces are: flipped and faded.
        QImage ref(s.slideW, s.slideH - hs, QImage::Format_RGB32);
        const int ht = s.slideH - hs;
        for (int y = 0; y < ht; ++y)
            for (int x = 0; x < s.slideW; ++x)
                ref.setPixel(x, y, RasterRenderer::mixColor(img.pixel(x, s.slideH - 1 - y),
                                                            s.backgroundRgb, (ht - y) * 128 / ht));
        ps.reflections << ref;
    }
}

// One move by one slide: every step and the frame it asks for.
void BM_MoveOneSlide(benchmark::State& state)
{
    auto flow = scene();
    SlideMotion& m = flow->motion();
    RasterRenderer& r = flow->renderer();
    int steps = 0;
    for (auto _ : state) {
        flow->setCenterIndex(10);
        m.startTowards(11);
        steps = 0;
        while (m.isMoving()) {
            m.advance();
            r.drawAllSlides();
            ++steps;
        }
    }
    state.counters["steps"] = steps;
}
BENCHMARK(BM_MoveOneSlide)->Unit(benchmark::kMillisecond);

// --- loading a folder of camera photos

void makePhotos(const QString& dir, int count)
{
    {
        QImage photo(4000, 3000, QImage::Format_RGB32);
        uint seed = 12345;
        for (int y = 0; y < photo.height(); ++y) {
            QRgb* row = reinterpret_cast<QRgb*>(photo.scanLine(y));
            for (int x = 0; x < photo.width(); ++x) {
                seed = seed * 1103515245u + 12345u;
                const int n = int(seed >> 29); // a little grain, as a sensor gives
                row[x] = qRgb((x / 16 + n) & 255, (y / 12 + n) & 255, ((x + y) / 28 + n) & 255);
            }
        }
        const QString first = dir + "/photo000.jpg";
        photo.save(first, "JPG", 90);
        for (int i = 1; i < count; ++i)
            QFile::copy(first, dir + QString("/photo%1.jpg").arg(i, 3, 10, QLatin1Char('0')));
    }
}

QString photoFolder()
{
    static QTemporaryDir dir(QDir::tempPath() + "/slideflow-photos-XXXXXX");
    static bool made = false;
    if (!made) {
        made = true;
        makePhotos(dir.path(), 100);
    }
    return dir.path();
}

void resetPeakMemory()
{
    QFile f("/proc/self/clear_refs");
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

// Times `load` on the folder of photos, with the slides made and the peak
// memory of the process as counters.
void measureLoad(benchmark::State& state,
                 const std::function<int(SlideFlow&, const QStringList&)>& load)
{
    const QStringList files = listFolderFiles(photoFolder());
    double peak = 0;
    int slides = 0;
    for (auto _ : state) {
        resetPeakMemory();
        SlideFlow flow;
        flow.setSlideSize(QSize(150, 178));
        slides = load(flow, files);
        peak = std::max(peak, peakMemoryMB());
    }
    state.counters["slides"] = slides;
    state.counters["peak_MB"] = peak;
    state.counters["file_MB"] = QFileInfo(files.value(0)).size() / 1048576.0;
}

// The viewer's own load: each photo reduced while it is decoded, on every core.
void BM_LoadFolderReduced(benchmark::State& state)
{
    measureLoad(state, addFolderSlides);
}
BENCHMARK(BM_LoadFolderReduced)->Unit(benchmark::kMillisecond)->Iterations(2);

// Adds each picture that `read` gives for a file, one file after the other.
int loadOneByOne(SlideFlow& flow, const QStringList& files,
                 const std::function<QImage(const QString&, QSize)>& read)
{
    int slides = 0;
    for (const QString& f : files) {
        const QImage image = read(f, flow.slideSize() * 2);
        if (image.isNull())
            continue;
        flow.addSlide(image);
        ++slides;
    }
    return slides;
}

// The same reduced load on one thread, as on the phone's single core: the
// gain of reducing alone, apart from that of decoding on several cores.
void BM_LoadFolderReducedOneThread(benchmark::State& state)
{
    measureLoad(state, [](SlideFlow& flow, const QStringList& files) {
        return loadOneByOne(flow, files, loadReducedImage);
    });
}
BENCHMARK(BM_LoadFolderReducedOneThread)->Unit(benchmark::kMillisecond)->Iterations(2);

// Each photo decoded whole, then brought to the same slide size. (Keeping
// every whole photo, as a plain load into the flow would, takes 48 MB each.)
void BM_LoadFolderWhole(benchmark::State& state)
{
    measureLoad(state, [](SlideFlow& flow, const QStringList& files) {
        return loadOneByOne(flow, files, [](const QString& f, QSize limit) {
            const QImage whole = QImageReader(f).read();
            return whole.isNull() ? whole
                                  : whole.scaled(limit, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        });
    });
}
BENCHMARK(BM_LoadFolderWhole)->Unit(benchmark::kMillisecond)->Iterations(1);

// A plain load as a viewer without reduction does it: each photo into a
// pixmap and from there into the flow, whole. Each slide is released right
// after it was added, so that the run does not hold 100 whole photos (4.8 GB).
void BM_LoadFolderPlainPixmap(benchmark::State& state)
{
    const QStringList files = listFolderFiles(photoFolder());
    int slides = 0;
    for (auto _ : state) {
        SlideFlow flow;
        flow.setSlideSize(QSize(150, 178));
        QPixmap pixmap;
        slides = 0;
        for (const QString& f : files) {
            if (!pixmap.load(f))
                continue;
            flow.addSlide(pixmap);
            flow.setSlide(slides, QImage());
            ++slides;
        }
    }
    state.counters["slides"] = slides;
}
BENCHMARK(BM_LoadFolderPlainPixmap)->Unit(benchmark::kMillisecond)->Iterations(1);

void saveFrames(const QString& dir)
{
    auto flow = scene();
    flow->renderer().drawAllSlides();
    flow->renderer().frame().save(dir + "/frame-raster.png");
    PainterScene ps;
    fillPainterScene(ps, flow->stage());
    paintScene(ps, flow->stage());
    ps.frame.save(dir + "/frame-qpainter.png");
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // --save-frames DIR: writes one frame of each renderer, to look at.
    if (argc > 2 && QByteArray(argv[1]) == "--save-frames") {
        saveFrames(QString::fromLocal8Bit(argv[2]));
        return 0;
    }
    // --make-photos DIR N and --load DIR reduced|whole: one load outside the
    // benchmark loop, for instruction counts of the two ways.
    if (argc > 3 && QByteArray(argv[1]) == "--make-photos") {
        makePhotos(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt());
        return 0;
    }
    if (argc > 3 && QByteArray(argv[1]) == "--load") {
        const QStringList files = listFolderFiles(QString::fromLocal8Bit(argv[2]));
        SlideFlow flow;
        flow.setSlideSize(QSize(150, 178));
        if (QByteArray(argv[3]) == "reduced") {
            addFolderSlides(flow, files);
        } else {
            for (const QString& f : files)
                flow.addSlide(QImage(f).scaled(flow.slideSize() * 2, Qt::KeepAspectRatio,
                                               Qt::SmoothTransformation));
        }
        return flow.slideCount() == files.size() ? 0 : 1;
    }
    // --frames N: the scene, then N frames at rest; for instruction counts
    // (run under callgrind with two values of N and take the difference).
    if (argc > 2 && QByteArray(argv[1]) == "--frames") {
        auto flow = scene();
        const int n = QByteArray(argv[2]).toInt();
        for (int i = 0; i < n; ++i)
            flow->renderer().drawAllSlides();
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
