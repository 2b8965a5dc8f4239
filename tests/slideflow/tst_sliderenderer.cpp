// The raster renderer: surfaces, column slopes, the cast of a frame at rest,
// colour mixing, rotation, and the two places where a careless cast would
// divide by zero or read past a surface line.
#include "fixedpoint.h"
#include "framerenderer.h"
#include "slideflow.h"
#include "slidestage.h"

#include <QPainter>
#include <QTest>
#include <memory>

namespace {

QImage solid(QColor c, int w = 150, int h = 178)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

QColor slideColor(int i)
{
    return QColor::fromHsv((i * 37) % 360, 200, 100 + (i * 13) % 150);
}

// A 240 by 320 flow of `count` solid slides, centred, its renderer prepared.
std::unique_ptr<SlideFlow> restFlow(int count, int centre)
{
    auto flow = std::make_unique<SlideFlow>();
    flow->setSlideSize(QSize(150, 178));
    flow->resize(240, 320);
    for (int i = 0; i < count; ++i)
        flow->addSlide(solid(slideColor(i)));
    flow->setCenterIndex(centre);
    flow->renderer().prepare();
    return flow;
}

// Draws a frame with no slide in it: the background alone.
void clearFrame(SlideFlow& flow)
{
    SlideStage& s = flow.stage();
    s.centerPose.index = -1;
    for (SlidePose& p : s.leftPoses)
        p.index = -1;
    for (SlidePose& p : s.rightPoses)
        p.index = -1;
    flow.renderer().drawAllSlides();
}

} // namespace

class TestSlideRenderer : public QObject
{
    Q_OBJECT
private slots:
    void columnSlopes_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("slope");
        QTest::newRow("160") << 160 << 2;
        QTest::newRow("159") << 159 << -2;
        QTest::newRow("319") << 319 << 680;
        QTest::newRow("0") << 0 << -680;
        QTest::newRow("161") << 161 << 6;
    }
    void columnSlopes()
    {
        QFETCH(int, column);
        auto flow = restFlow(0, 0);
        const RasterRenderer& r = flow->renderer();
        QCOMPARE(r.frame().size(), QSize(320, 240));
        QCOMPARE(r.slopes().size(), 320);
        QTEST(r.slopes().at(column), "slope");
    }

    void degenerateWidgetSizes_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("no width") << QSize(0, 320);
        QTest::newRow("no height") << QSize(240, 0);
        QTest::newRow("one pixel") << QSize(1, 1);
        QTest::newRow("odd") << QSize(7, 3);
    }
    void degenerateWidgetSizes()
    {
        // No widget size may make the cast divide by zero or write outside the frame.
        QFETCH(QSize, size);
        SlideFlow flow;
        for (int i = 0; i < 5; ++i)
            flow.addSlide(solid(slideColor(i)));
        flow.setCenterIndex(2);
        flow.setFixedSize(size);
        flow.renderer().prepare();
        flow.renderer().drawAllSlides();
        if (size.isEmpty())
            QVERIFY(flow.renderer().frame().isNull());
        else
            QCOMPARE(flow.renderer().frame().size(), size.transposed());
        QVERIFY(flow.renderer().slopes().size() >= flow.renderer().frame().width());
    }

    void restCoverage_data()
    {
        QTest::addColumn<bool>("left");
        QTest::addColumn<int>("entry");
        QTest::addColumn<int>("col1");
        QTest::addColumn<int>("col2");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        // Each side slide gets only the columns outside the nearer ones.
        QTest::newRow("left 0") << true << 0 << 0 << 84 << 0 << 59;
        QTest::newRow("right 0") << false << 0 << 235 << 320 << 260 << 319;
        QTest::newRow("left 1, no free column") << true << 1 << 0 << -1 << 0 << 0;
        QTest::newRow("left 2") << true << 2 << 0 << -1 << 0 << 0;
        QTest::newRow("right 1, no free column") << false << 1 << 320 << 320 << 319 << 319;
        QTest::newRow("right 2") << false << 2 << 320 << 320 << 319 << 319;
        QTest::newRow("left 3 misses") << true << 3 << 0 << -1 << 0 << -1;
        QTest::newRow("right 4 misses") << false << 4 << 320 << 320 << 0 << -1;
    }
    void restCoverage()
    {
        QFETCH(bool, left);
        QFETCH(int, entry);
        QFETCH(int, col1);
        QFETCH(int, col2);
        auto flow = restFlow(20, 10);
        RasterRenderer& r = flow->renderer();
        const QRect centre = r.drawSlide(flow->stage().centerPose, -1, -1);
        QCOMPARE(centre.left(), 85);
        QCOMPARE(centre.right(), 234);
        QCOMPARE(centre.top(), 0);
        QCOMPARE(centre.bottom(), 239);
        const SlidePose pose = left ? flow->stage().leftPoses[entry] : flow->stage().rightPoses[entry];
        const QRect rs = r.drawSlide(pose, col1, col2);
        QTEST(rs.left(), "from");
        QTEST(rs.right(), "to");
    }

    void restFrame()
    {
        // The whole frame and the widget it is shown on.
        auto flow = restFlow(20, 10);
        RasterRenderer& r = flow->renderer();
        r.drawAllSlides();
        QVERIFY(!r.needsRedraw);
        const QImage& f = r.frame();
        QCOMPARE(f.pixel(160, 120), slideColor(10).rgb());
        QCOMPARE(f.pixel(30, 120), slideColor(9).rgb());
        QCOMPARE(f.pixel(290, 120), slideColor(11).rgb());
        // The outermost columns end up showing entry 2 on each side.
        QCOMPARE(f.pixel(0, 120), slideColor(7).rgb());
        QCOMPARE(f.pixel(319, 120), slideColor(13).rgb());
        // Above the slides is the background, below them the reflection.
        QCOMPARE(f.pixel(160, 0), 0xFF000000u);
        const QImage* surface = r.surfaceFor(10);
        bool fromReflection = false;
        for (int p = 237; p < 356; ++p)
            fromReflection |= surface->pixel(p, 75) == f.pixel(160, 200);
        QVERIFY(fromReflection);
        QVERIFY(f.pixel(160, 200) != slideColor(10).rgb());

        // Shown turned a quarter turn counter-clockwise: frame (x, y) is widget (y, 319 - x).
        const QImage shown = flow->grab().toImage();
        QCOMPARE(shown.size(), QSize(240, 320));
        QCOMPARE(shown.pixel(120, 319 - 160), slideColor(10).rgb());
        QCOMPARE(shown.pixel(120, 319 - 290), slideColor(11).rgb()); // higher indexes toward the top
        QCOMPARE(shown.pixel(120, 319 - 30), slideColor(9).rgb());
    }

    void surfaceLayout()
    {
        // Every pixel names its own column and row.
        QImage picture(150, 178, QImage::Format_RGB32);
        for (int y = 0; y < 178; ++y)
            for (int x = 0; x < 150; ++x)
                picture.setPixel(x, y, qRgb(x, y, 7));
        const QRgb bg = 0xFF204060;
        std::unique_ptr<QImage> s(RasterRenderer::buildSurface(picture, 150, 178, bg));
        QCOMPARE(s->size(), QSize(356, 150));
        const int hs = 59;
        for (int x : {0, 77, 149}) {
            QCOMPARE(s->pixel(0, x), bg);
            QCOMPARE(s->pixel(hs - 1, x), bg);
            QCOMPARE(s->pixel(hs, x), qRgb(x, 0, 7));        // top row
            QCOMPARE(s->pixel(236, x), qRgb(x, 177, 7));     // bottom row
            QCOMPARE(s->pixel(237, x), RasterRenderer::mixColor(qRgb(x, 177, 7), bg, 128));
            QCOMPARE(s->pixel(238, x), RasterRenderer::mixColor(qRgb(x, 176, 7), bg, 126));
            QCOMPARE(s->pixel(355, x), RasterRenderer::mixColor(qRgb(x, 59, 7), bg, 1));
        }
    }

    void mixColor_data()
    {
        QTest::addColumn<uint>("c1");
        QTest::addColumn<uint>("c2");
        QTest::addColumn<int>("a");
        QTest::addColumn<uint>("mixed");
        QTest::newRow("each term truncated") << 0xFF0000FFu << 0xFFFFFFFFu << 128 << 0xFF7F7FFEu;
        QTest::newRow("full") << 0x00123456u << 0xFFFFFFFFu << 256 << 0xFF123456u;
        QTest::newRow("none") << 0xFF123456u << 0x00ABCDEFu << 0 << 0xFFABCDEFu;
        QTest::newRow("quarter") << 0xFFFF0000u << 0xFF000000u << 64 << 0xFF3F0000u;
        QTest::newRow("above range") << 0xFF123456u << 0xFF000000u << 1000 << 0xFF123456u;
        QTest::newRow("below range") << 0xFF123456u << 0xFF000000u << -9 << 0xFF000000u;
    }
    void mixColor()
    {
        QFETCH(uint, c1);
        QFETCH(uint, c2);
        QFETCH(int, a);
        QTEST(uint(RasterRenderer::mixColor(c1, c2, a)), "mixed");
    }

    void rotateImage_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QImage::Format>("format");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("topLeftGoesTo");
        QTest::addColumn<QPoint>("topRightGoesTo");
        QTest::newRow("counter-clockwise") << 2 << QImage::Format_RGB32 << QSize(2, 4) << QPoint(0, 3) << QPoint(0, 0);
        QTest::newRow("clockwise") << 0 << QImage::Format_RGB32 << QSize(2, 4) << QPoint(1, 0) << QPoint(1, 3);
        QTest::newRow("half") << 1 << QImage::Format_RGB32 << QSize(4, 2) << QPoint(3, 1) << QPoint(0, 1);
        QTest::newRow("copy") << 7 << QImage::Format_RGB32 << QSize(4, 2) << QPoint(0, 0) << QPoint(3, 0);
        QTest::newRow("8 bit") << 2 << QImage::Format_Indexed8 << QSize(2, 4) << QPoint(0, 3) << QPoint(0, 0);
        QTest::newRow("16 bit") << 2 << QImage::Format_RGB16 << QSize(2, 4) << QPoint(0, 3) << QPoint(0, 0);
    }
    void rotateImage()
    {
        QFETCH(int, mode);
        QFETCH(QImage::Format, format);
        QImage src(4, 2, QImage::Format_RGB32);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x)
                src.setPixel(x, y, qRgb(40 * x, 100 * y, 0));
        src = src.convertToFormat(format);
        const QImage out = RasterRenderer::rotateImage(src, mode);
        QTEST(out.size(), "size");
        QCOMPARE(out.depth(), format == QImage::Format_RGB16 ? 32 : src.depth());
        if (format == QImage::Format_Indexed8)
            QCOMPARE(out.colorTable(), src.colorTable());
        QFETCH(QPoint, topLeftGoesTo);
        QFETCH(QPoint, topRightGoesTo);
        QCOMPARE(out.pixel(topLeftGoesTo), src.pixel(0, 0));
        QCOMPARE(out.pixel(topRightGoesTo), src.pixel(3, 0));
        // Every pixel arrives somewhere: the two images hold the same colours.
        QMap<QRgb, int> a, b;
        for (int y = 0; y < src.height(); ++y)
            for (int x = 0; x < src.width(); ++x)
                ++a[src.pixel(x, y)];
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x)
                ++b[out.pixel(x, y)];
        QCOMPARE(a, b);
        QVERIFY(RasterRenderer::rotateImage(QImage(), mode).isNull());
    }

    void surfaceCache()
    {
        auto flow = restFlow(120, 0);
        RasterRenderer& r = flow->renderer();
        // Opacity 0 draws nothing yet builds the surface.
        SlidePose hidden{5, 0, 0, 0, 0};
        QVERIFY(r.drawSlide(hidden, -1, -1).isEmpty());
        QVERIFY(r.hasCachedSurface(5));
        // An index outside the list builds nothing.
        const int before = r.cachedSurfaceCount();
        SlidePose outside{120, 0, 0, 0, 256};
        const QRect none = r.drawSlide(outside, -1, -1);
        QCOMPARE(none, QRect(QPoint(0, 0), QPoint(-1, -1)));
        QCOMPARE(r.cachedSurfaceCount(), before);
        QVERIFY(r.surfaceFor(-1) == nullptr);
        // At most 100 surfaces; the least recently used go first.
        for (int i = 0; i < 120; ++i)
            QVERIFY(r.surfaceFor(i));
        QCOMPARE(r.cachedSurfaceCount(), 100);
        QVERIFY(!r.hasCachedSurface(0));
        QVERIFY(r.hasCachedSurface(119));
        QVERIFY(r.hasCachedSurface(20));
        // The same image object keeps its surface.
        QCOMPARE(r.surfaceFor(50), r.surfaceFor(50));
        // prepare() drops them all.
        r.prepare();
        QCOMPARE(r.cachedSurfaceCount(), 0);
    }

    void replacedSlideGetsNewSurface()
    {
        auto flow = restFlow(4, 1);
        RasterRenderer& r = flow->renderer();
        // Many replacements in a row: a released image's address may come back
        // for the next one, and must not bring the old surface with it.
        for (int round = 0; round < 40; ++round) {
            const QColor c = slideColor(round);
            flow->setSlide(2, solid(c));
            const QImage* s = r.surfaceFor(2);
            QVERIFY(s);
            QCOMPARE(s->pixel(100, 75), c.rgb());
        }
    }

    void placeholder()
    {
        auto flow = restFlow(3, 1);
        RasterRenderer& r = flow->renderer();
        QVERIFY(r.surfaceFor(1));
        QVERIFY(r.hasCachedSurface(1));
        flow->setSlide(1, QImage()); // an empty entry
        flow->addSlide(QImage());    // a null picture
        const QImage* p = r.surfaceFor(1);
        QVERIFY(p);
        QVERIFY(!r.hasCachedSurface(1)); // the old surface went
        QCOMPARE(r.surfaceFor(3), p);    // one placeholder for all
        QCOMPARE(p->size(), QSize(356, 150));
        const int hs = 59;
        QCOMPARE(QColor(p->pixel(hs + 2, 75)), QColor(192, 192, 192)); // border
        QCOMPARE(QColor(p->pixel(hs + 80, 2)), QColor(192, 192, 192));
        QCOMPARE(QColor(p->pixel(hs + 80, 75)), QColor(64, 64, 64));   // field
        QCOMPARE(p->pixel(178 + hs, 75), RasterRenderer::mixColor(qRgb(192, 192, 192), 0, 128));
        r.drawAllSlides();
        QCOMPARE(QColor(r.frame().pixel(160, 100)), QColor(64, 64, 64));
    }

    void parallelRayMissesTheSlide()
    {
        // Angles whose slide plane runs parallel to some column's ray: that
        // column cannot meet the slide and must stay background.
        auto flow = restFlow(3, 1);
        RasterRenderer& r = flow->renderer();
        const QVector<int>& slopes = r.slopes();
        int cases = 0;
        for (int angle = -512; angle <= 512; ++angle) {
            const int cot = divFixed(cosineFixed(angle), sineFixed(angle));
            const int column = slopes.indexOf(cot);
            if (column < 0)
                continue;
            ++cases;
            for (int x : {-300000, -100000, 0, 100000, 300000}) {
                flow->stage().backgroundRgb = 0xFF112233;
                clearFrame(*flow);
                const SlidePose pose{1, angle, x, 50000, 256};
                r.drawSlide(pose, -1, -1);
                for (int y = 0; y < r.frame().height(); ++y)
                    QCOMPARE(r.frame().pixel(column, y) & 0xFFFFFF, 0x112233u);
            }
        }
        QVERIFY2(cases > 0, "no angle runs parallel to a column's ray");
    }

    void columnEndsInsideTheSurfaceLine_data()
    {
        QTest::addColumn<int>("slideH");
        QTest::addColumn<int>("k");
        // 2k + 1 divides slideH * 1024; depths stay below about 2 million so
        // that the slide's 32-bit products stay whole.
        QTest::newRow("150, 37") << 150 << 37;
        QTest::newRow("105, 52") << 105 << 52;
        QTest::newRow("105, 17") << 105 << 17;
    }
    void columnEndsInsideTheSurfaceLine()
    {
        // A surface line is 2*slideH long, its middle slideH. Where dy splits
        // slideH*1024 into an odd number (2k + 1) of halves, p1 reaches exactly
        // 0 after k rows and p2 would then point one past the line's end. The
        // lower half of a column reads only the picture's lower part and the
        // reflection, never the pure surface background (red here): red there
        // can only come from a read past the line into the next line's
        // background band (or, on the last line, past the surface, which the
        // sanitizer build sees).
        QFETCH(int, slideH);
        QFETCH(int, k);
        SlideFlow flow;
        flow.setSlideSize(QSize(120, slideH));
        flow.resize(240, 320);
        flow.setBackgroundColor(Qt::red);
        for (int i = 0; i < 3; ++i)
            flow.addSlide(solid(Qt::green, 120, slideH));
        flow.setCenterIndex(1);
        RasterRenderer& r = flow.renderer();
        r.prepare();
        QVERIFY(r.surfaceFor(1)); // built on red
        const int h = r.frame().height();
        const int dy = 2 * (slideH * 1024 / (2 * k + 1));
        QCOMPARE(dy / 2 * (2 * k + 1), slideH * 1024);
        // A slide facing the viewer at depth z is met at about dist = h*1024 + z.
        const int z = dy * h - h * 1024 + h / 2;
        int drawnColumns = 0;
        for (int x = -400000; x <= 400000; x += 1999) {
            flow.stage().backgroundRgb = 0xFF0000FF;
            clearFrame(flow);
            const QRect rect = r.drawSlide(SlidePose{1, 0, x, z, 256}, -1, -1);
            if (!rect.isEmpty())
                drawnColumns += rect.width();
            for (int y = h / 2 + 1; y < h; ++y)
                for (int col = 0; col < r.frame().width(); ++col)
                    if ((r.frame().pixel(col, y) & 0xFFFFFF) == 0xFF0000)
                        QFAIL(qPrintable(QString("read past the line at x %1, column %2, row %3")
                                             .arg(x).arg(col).arg(y)));
        }
        QVERIFY(drawnColumns > 0);
    }

    void hostilePosesStayInsideTheFrame_data()
    {
        QTest::addColumn<int>("angle");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("z");
        const int big = std::numeric_limits<int>::max();
        const int small = std::numeric_limits<int>::min();
        QTest::newRow("eye plane") << 0 << 0 << -240 * 1024 + 75 * 3 / 2;
        QTest::newRow("behind the eye") << 0 << 0 << -2000000;
        QTest::newRow("far away") << 0 << 0 << 2000000000;
        QTest::newRow("edge on") << 256 << 0 << 0;
        QTest::newRow("extreme x") << 100 << big << 0;
        QTest::newRow("extreme -x") << -100 << small << 0;
        QTest::newRow("extreme z") << 30 << 12345 << big;
        QTest::newRow("extreme -z") << -30 << 12345 << small;
        QTest::newRow("extreme angle") << big << 0 << 0;
    }
    void hostilePosesStayInsideTheFrame()
    {
        // Nothing here may trap, divide by zero or touch memory outside the
        // frame and the surfaces (the sanitizer build checks the last part).
        QFETCH(int, angle);
        QFETCH(int, x);
        QFETCH(int, z);
        auto flow = restFlow(3, 1);
        RasterRenderer& r = flow->renderer();
        for (int opacity : {256, 100}) {
            const QRect rect = r.drawSlide(SlidePose{1, angle, x, z, opacity}, -1, -1);
            if (!rect.isEmpty()) {
                QVERIFY(rect.left() >= 0);
                QVERIFY(rect.right() < r.frame().width());
            }
        }
    }
};

QTEST_MAIN(TestSlideRenderer)
#include "tst_sliderenderer.moc"
