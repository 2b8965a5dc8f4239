// The slide model and the widget's shell: fixed-point arithmetic, layout
// constants, rest poses, the slide list and the widget's meta-object surface.
#include "fixedpoint.h"
#include "framerenderer.h"
#include "slideflow.h"
#include "slidemotion.h"
#include "slidestage.h"

#include <QMetaMethod>
#include <QMetaProperty>
#include <QTest>

class TestSlideModel : public QObject
{
    Q_OBJECT
private slots:
    void sineTable_data()
    {
        QTest::addColumn<int>("i");
        QTest::addColumn<int>("value");
        const int rows[][2] = {{0, 3},   {1, 103},  {4, 394},   {16, 1023}, {31, 97},
                               {32, -4}, {33, -104}, {48, -1024}, {63, -98},  {64, 3}};
        for (const auto& r : rows)
            QTest::addRow("T[%d]", r[0]) << r[0] << r[1];
    }
    void sineTable()
    {
        QFETCH(int, i);
        QFETCH(int, value);
        QCOMPARE(kSineTable[i], value);
    }

    void trigonometry_data()
    {
        QTest::addColumn<int>("angle");
        QTest::addColumn<int>("sine");
        QTest::addColumn<int>("cosine");
        QTest::newRow("199") << 199 << 961 << 347;
        QTest::newRow("-199") << -199 << -960 << 352;
        QTest::newRow("0") << 0 << 3 << 1023;
        QTest::newRow("full turn") << 1024 << 3 << 1023;
        QTest::newRow("-1024-199") << -1223 << -960 << 352;
        QTest::newRow("far negative") << -1024 * 5000 - 199 << -960 << 352;
        QTest::newRow("int min") << std::numeric_limits<int>::min() << 3 << 1023;
        QTest::newRow("int max") << std::numeric_limits<int>::max() << sineFixed(1023) << sineFixed(255);
    }
    void trigonometry()
    {
        QFETCH(int, angle);
        QFETCH(int, sine);
        QFETCH(int, cosine);
        QCOMPARE(sineFixed(angle), sine);
        QCOMPARE(cosineFixed(angle), cosine);
    }

    void sineNeverZero()
    {
        // The projection relies on it: no angle is a special case.
        int smallest = 1 << 30;
        for (int a = 0; a < 1024; ++a)
            smallest = qMin(smallest, qAbs(sineFixed(a)));
        QCOMPARE(smallest, 3);
        QCOMPARE(sineFixed(0), 3);
        QCOMPARE(sineFixed(511), 3);
        QCOMPARE(sineFixed(512), -4);
        QCOMPARE(sineFixed(1023), -4);
    }

    void fixedOps_data()
    {
        QTest::addColumn<int>("a");
        QTest::addColumn<int>("b");
        QTest::addColumn<int>("mul");
        QTest::addColumn<int>("div");
        QTest::newRow("ones") << 1024 << 1024 << 1024 << 1024;
        QTest::newRow("half") << 512 << 2048 << 1024 << 256;
        // mul rounds toward minus infinity; div truncates, then shifts (floor).
        QTest::newRow("negative") << -3 << 1 << -1 << -3072;
        QTest::newRow("cot 199") << 347 << 961 << 325 << 369;
        QTest::newRow("cot -4/1023") << -4 << 1023 << -4 << -5;
        QTest::newRow("zero divisor") << 5 << 0 << 0 << 0;
        QTest::newRow("wide product") << 2000000 << 3000000 << int(uint32_t(uint64_t(2000000LL * 3000000LL >> 10))) << 682;
    }
    void fixedOps()
    {
        QFETCH(int, a);
        QFETCH(int, b);
        QFETCH(int, mul);
        QFETCH(int, div);
        QCOMPARE(mulFixed(a, b), mul);
        QCOMPARE(divFixed(a, b), div);
    }

    void geometry_data()
    {
        QTest::addColumn<int>("slideW");
        QTest::addColumn<int>("offsetX");
        QTest::addColumn<int>("offsetZ");
        QTest::newRow("150") << 150 << 204375 << 110475;
        QTest::newRow("151 (half truncated)") << 151 << 205399 << 110731;
        QTest::newRow("1") << 1 << 1024 << 256;
    }
    void geometry()
    {
        QFETCH(int, slideW);
        SlideStage s;
        s.slideW = slideW;
        s.slideH = 7; // only the width enters
        s.computeGeometry();
        QCOMPARE(s.tilt, 199);
        QCOMPARE(s.sideGap, 40);
        QTEST(s.sideOffsetX, "offsetX");
        QTEST(s.sideOffsetZ, "offsetZ");
    }

    void restPoses_data()
    {
        QTest::addColumn<bool>("left");
        QTest::addColumn<int>("entry");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("angle");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("opacity");
        // Centre 10, slide width 150.
        QTest::newRow("L0") << true << 0 << 9 << 199 << -204375 << 256;
        QTest::newRow("L2") << true << 2 << 7 << 199 << -286295 << 256;
        QTest::newRow("L4") << true << 4 << 5 << 199 << -(204375 + 4 * 40960) << 128;
        QTest::newRow("L5") << true << 5 << 4 << 199 << -(204375 + 5 * 40960) << 0;
        QTest::newRow("R0") << false << 0 << 11 << -199 << 204375 << 256;
        QTest::newRow("R3") << false << 3 << 14 << -199 << 204375 + 3 * 40960 << 256;
        QTest::newRow("R4") << false << 4 << 15 << -199 << 204375 + 4 * 40960 << 128;
        QTest::newRow("R5") << false << 5 << 16 << -199 << 204375 + 5 * 40960 << 0;
    }
    void restPoses()
    {
        QFETCH(bool, left);
        QFETCH(int, entry);
        SlideStage s;
        s.computeGeometry();
        s.centerIndex = 10;
        s.resetPoses();
        QCOMPARE(s.leftPoses.size(), 6);
        QCOMPARE(s.rightPoses.size(), 6);
        QCOMPARE(s.centerPose.index, 10);
        QCOMPARE(s.centerPose.angle, 0);
        QCOMPARE(s.centerPose.x, 0);
        QCOMPARE(s.centerPose.z, 0);
        QCOMPARE(s.centerPose.opacity, 256);
        const SlidePose p = left ? s.leftPoses[entry] : s.rightPoses[entry];
        QTEST(p.index, "index");
        QTEST(p.angle, "angle");
        QTEST(p.x, "x");
        QCOMPARE(p.z, 110475);
        QTEST(p.opacity, "opacity");
    }

    void widgetFreshState()
    {
        SlideFlow flow;
        QCOMPARE(flow.slideCount(), 0);
        QCOMPARE(flow.centerIndex(), 0);
        QCOMPARE(flow.slideSize(), QSize(150, 200));
        QCOMPARE(flow.backgroundColor().rgba(), 0u);
        QCOMPARE(flow.windowTitle(), QStringLiteral("SlideFlow"));
        QVERIFY(flow.testAttribute(Qt::WA_OpaquePaintEvent));
        QCOMPARE(flow.stage().leftPoses[0].x, -204375);
        QCOMPARE(flow.stage().leftPoses[0].z, 110475);
        QCOMPARE(flow.stage().leftPoses[0].angle, 199);
        QCOMPARE(flow.stage().leftPoses[2].x, -286295);
        QCOMPARE(flow.stage().rightPoses[0].angle, -199);
    }

    void metaObject()
    {
        const QMetaObject* mo = &SlideFlow::staticMetaObject;
        QCOMPARE(mo->className(), "SlideFlow");
        QCOMPARE(mo->superClass()->className(), "QWidget");

        QStringList props;
        for (int i = mo->propertyOffset(); i < mo->propertyCount(); ++i)
            props << QString::fromLatin1(mo->property(i).name()) + ':' + mo->property(i).typeName()
                         + (mo->property(i).isWritable() ? ":rw" : ":r");
        QCOMPARE(props, QStringList({"backgroundColor:QColor:rw", "slideSize:QSize:rw",
                                     "slideCount:int:r", "centerIndex:int:rw"}));

        QStringList slotList;
        int signalCount = 0;
        for (int i = mo->methodOffset(); i < mo->methodCount(); ++i) {
            const QMetaMethod m = mo->method(i);
            if (m.methodType() == QMetaMethod::Signal)
                ++signalCount;
            if (m.methodType() == QMetaMethod::Slot && m.access() == QMetaMethod::Public)
                slotList << QString::fromLatin1(m.methodSignature());
        }
        QCOMPARE(signalCount, 0);
        QCOMPARE(slotList, QStringList({"addSlide(QImage)", "addSlide(QPixmap)", "setSlide(int,QImage)",
                                     "setSlide(int,QPixmap)", "setCenterIndex(int)", "clear()",
                                     "showPrevious()", "showNext()", "showSlide(int)", "render()",
                                     "triggerRender()", "updateAnimation()"}));
    }

    void setCenterIndex_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("below") << 10 << -5 << 0;
        QTest::newRow("above") << 10 << 1000 << 9;
        QTest::newRow("inside") << 10 << 4 << 4;
        QTest::newRow("last") << 10 << 9 << 9;
        QTest::newRow("empty") << 0 << 7 << 0;
        QTest::newRow("empty negative") << 0 << -7 << 0;
        QTest::newRow("one") << 1 << 3 << 0;
    }
    void setCenterIndex()
    {
        QFETCH(int, count);
        QFETCH(int, value);
        QFETCH(int, expected);
        SlideFlow flow;
        for (int i = 0; i < count; ++i)
            flow.addSlide(QImage(4, 4, QImage::Format_RGB32));
        flow.motion().startTowards(3);
        flow.setCenterIndex(value);
        QCOMPARE(flow.centerIndex(), expected);
        QCOMPARE(flow.property("centerIndex").toInt(), expected);
        QCOMPARE(flow.stage().centerPose.index, expected);
        QCOMPARE(flow.stage().rightPoses[0].index, expected + 1);
        // The motion is parked on the new centre.
        QVERIFY(!flow.motion().isMoving());
        QCOMPARE(flow.motion().direction, 0);
        QCOMPARE(flow.motion().position, expected << 16);
    }

    void slideList()
    {
        SlideFlow flow;
        QImage red(8, 8, QImage::Format_RGB32);
        red.fill(Qt::red);
        QImage blue(8, 8, QImage::Format_RGB32);
        blue.fill(Qt::blue);
        flow.addSlide(red);
        flow.addSlide(QImage()); // a null image still adds an entry
        QCOMPARE(flow.slideCount(), 2);
        QCOMPARE(flow.property("slideCount").toInt(), 2);
        QVERIFY(flow.slideImage(1).isNull());
        QCOMPARE(flow.slideImage(0).pixel(0, 0), QColor(Qt::red).rgb());

        // Outside the list nothing changes.
        flow.setSlide(2, blue);
        flow.setSlide(-1, blue);
        QCOMPARE(flow.slideCount(), 2);
        QCOMPARE(flow.slideImage(0).pixel(0, 0), QColor(Qt::red).rgb());
        QVERIFY(flow.slideImage(2).isNull());
        QVERIFY(flow.slideImage(-1).isNull());

        flow.setSlide(1, blue);
        QCOMPARE(flow.slideImage(1).pixel(0, 0), QColor(Qt::blue).rgb());
        flow.setSlide(0, QImage()); // an empty entry
        QCOMPARE(flow.slideCount(), 2);
        QVERIFY(flow.stage().images[0] == nullptr);

        // The stage keeps its own copy: changing the caller's image changes no slide.
        red.fill(Qt::green);
        flow.addSlide(QPixmap::fromImage(blue));
        QCOMPARE(flow.slideImage(2).pixel(0, 0), QColor(Qt::blue).rgb());
        flow.setSlide(2, QPixmap::fromImage(red));
        QCOMPARE(flow.slideImage(2).pixel(0, 0), QColor(Qt::green).rgb());
    }

    void clearKeepsCentre()
    {
        SlideFlow flow;
        for (int i = 0; i < 10; ++i)
            flow.addSlide(QImage(4, 4, QImage::Format_RGB32));
        flow.setCenterIndex(6);
        flow.clear();
        QCOMPARE(flow.slideCount(), 0);
        QCOMPARE(flow.centerIndex(), 6);
        // Every pose now names an index outside the list: only the background shows.
        QVERIFY(flow.renderer().surfaceFor(flow.stage().centerPose.index) == nullptr);
        for (const SlidePose& p : flow.stage().leftPoses + flow.stage().rightPoses)
            QVERIFY(flow.renderer().surfaceFor(p.index) == nullptr);
    }

    void backgroundColor_data()
    {
        QTest::addColumn<QColor>("color");
        QTest::addColumn<uint>("rgba");
        QTest::newRow("translucent") << QColor(10, 20, 30, 40) << 0xFF0A141Eu;
        QTest::newRow("transparent") << QColor(0, 0, 0, 0) << 0xFF000000u;
        QTest::newRow("white") << QColor(Qt::white) << 0xFFFFFFFFu;
    }
    void backgroundColor()
    {
        QFETCH(QColor, color);
        QFETCH(uint, rgba);
        SlideFlow flow;
        flow.setProperty("backgroundColor", color);
        QCOMPARE(flow.backgroundColor().rgba(), rgba);
        QCOMPARE(flow.stage().backgroundRgb, rgba);
    }

    void slideSize_data()
    {
        QTest::addColumn<QSize>("given");
        QTest::addColumn<QSize>("kept");
        QTest::newRow("viewer") << QSize(150, 178) << QSize(150, 178);
        QTest::newRow("degenerate") << QSize(0, -5) << QSize(1, 1);
        QTest::newRow("huge") << QSize(5000, 10) << QSize(1024, 10);
    }
    void slideSize()
    {
        QFETCH(QSize, given);
        QFETCH(QSize, kept);
        SlideFlow flow;
        flow.setProperty("slideSize", given);
        QCOMPARE(flow.slideSize(), kept);
        // Only the width enters the layout constants; poses wait for the next reset.
        QCOMPARE(flow.stage().sideOffsetX, kept.width() * 1024 + kept.width() / 2 * 677);
        QCOMPARE(flow.stage().leftPoses[0].x, -204375);
    }

    void changesReachTheScreenThroughTheEventLoop()
    {
        SlideFlow flow;
        flow.resize(240, 320);
        flow.show();
        QVERIFY(QTest::qWaitForWindowExposed(&flow));
        QTRY_VERIFY(!flow.renderer().needsRedraw);
        for (int i = 0; i < 30; ++i)
            flow.addSlide(QImage(4, 4, QImage::Format_RGB32));
        // Nothing is drawn before the event loop runs, then all of it at once.
        QVERIFY(!flow.renderer().needsRedraw);
        QTRY_VERIFY(flow.renderer().cachedSurfaceCount() > 0);
        QVERIFY(!flow.renderer().needsRedraw);
    }
};

QTEST_MAIN(TestSlideModel)
#include "tst_slidemodel.moc"
