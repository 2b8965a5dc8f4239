// The motion and the navigation: easing and step counts, poses half way,
// turning back, and what keys, taps and focus loss do.
#include "framerenderer.h"
#include "slideflow.h"
#include "slidemotion.h"
#include "slidestage.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QTest>
#include <memory>

namespace {

std::unique_ptr<SlideFlow> flowOf(int count, int centre)
{
    auto flow = std::make_unique<SlideFlow>();
    flow->setSlideSize(QSize(150, 178));
    flow->resize(240, 320);
    for (int i = 0; i < count; ++i)
        flow->addSlide(QImage(8, 8, QImage::Format_RGB32));
    flow->setCenterIndex(centre);
    return flow;
}

// Steps the motion without the event loop until it rests; returns the steps.
int runToRest(SlideMotion& m, QVector<int>* speeds = nullptr)
{
    int steps = 0;
    while (m.isMoving() && steps < 1000) {
        const int before = m.position;
        m.advance();
        if (speeds)
            speeds->append(m.position - before);
        ++steps;
    }
    return steps;
}

bool posesAtRest(const SlideStage& s)
{
    SlideStage rest;
    rest.slideW = s.slideW;
    rest.computeGeometry();
    rest.centerIndex = s.centerIndex;
    rest.resetPoses();
    auto same = [](const SlidePose& a, const SlidePose& b) {
        return a.index == b.index && a.angle == b.angle && a.x == b.x && a.z == b.z
            && a.opacity == b.opacity;
    };
    if (!same(s.centerPose, rest.centerPose))
        return false;
    for (int i = 0; i < 6; ++i)
        if (!same(s.leftPoses[i], rest.leftPoses[i]) || !same(s.rightPoses[i], rest.rightPoses[i]))
            return false;
    return true;
}

void press(SlideFlow& flow, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QKeyEvent ev(QEvent::KeyPress, key, mods);
    QCoreApplication::sendEvent(&flow, &ev);
}

} // namespace

class TestSlideMotion : public QObject
{
    Q_OBJECT
private slots:
    void stepCounts_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("steps");
        QTest::newRow("one slide") << 5 << 6 << 27;
        QTest::newRow("two slides") << 5 << 7 << 30;
        QTest::newRow("five slides") << 5 << 10 << 36;
        QTest::newRow("one slide back") << 5 << 4 << 27;
        QTest::newRow("five slides back") << 10 << 5 << 36;
    }
    void stepCounts()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        auto flow = flowOf(20, from);
        SlideMotion& m = flow->motion();
        m.startTowards(to);
        QVERIFY(m.isMoving());
        QCOMPARE(m.direction, to < from ? -1 : 1);
        QTEST(runToRest(m), "steps");
        QCOMPARE(flow->centerIndex(), to);
        QCOMPARE(m.direction, 0);
        QCOMPARE(m.position, to << 16);
        QVERIFY(posesAtRest(flow->stage()));
    }

    void easing()
    {
        auto flow = flowOf(20, 5);
        SlideMotion& m = flow->motion();
        m.startTowards(6);
        QVector<int> speeds;
        runToRest(m, &speeds);
        QCOMPARE(speeds.mid(0, 8), QVector<int>({16944, 10480, 6928, 4928, 3712, 2928, 2320, 1936}));

        // Two slides or more away the motion runs at its top speed.
        auto far = flowOf(20, 5);
        far->motion().startTowards(15);
        const int before = far->motion().position;
        far->motion().advance();
        QCOMPARE(far->motion().position - before, 33264);
    }

    void halfWayPoses()
    {
        auto flow = flowOf(20, 5);
        SlideMotion& m = flow->motion();
        m.startTowards(10); // far enough for the top speed, 33264
        m.position = (5 << 16) + 32768 - 33264;
        m.advance();
        const SlideStage& s = flow->stage();
        QCOMPARE(m.position & 0xFFFF, 32768);
        QCOMPARE(s.centerIndex, 5);
        QCOMPARE(s.centerPose.angle, 99);
        QCOMPARE(s.centerPose.x, -(204375 / 2));
        QCOMPARE(s.centerPose.z, 110475 / 2);
        QCOMPARE(s.rightPoses[0].angle, -100);
        QCOMPARE(s.rightPoses[0].x, 204375 / 2);
        QCOMPARE(s.rightPoses[5].opacity, 64);
        QCOMPARE(s.rightPoses[4].opacity, 128 + 64);
        QCOMPARE(s.leftPoses[5].opacity, 0);
        QCOMPARE(s.leftPoses[4].opacity, 64);
        QCOMPARE(s.leftPoses[3].opacity, 256 - 64);
        // The whole row has moved half a gap toward the left.
        QCOMPARE(s.leftPoses[1].x, -(204375 + 40960 + 20480));
        QCOMPARE(s.rightPoses[1].x, 204375 + 40960 - 20480);
    }

    void strayStepChangesNothing()
    {
        auto flow = flowOf(20, 5);
        flow->show();
        QVERIFY(QTest::qWaitForWindowExposed(flow.get()));
        QTRY_VERIFY(!flow->renderer().needsRedraw);
        flow->updateAnimation();
        QCOMPARE(flow->centerIndex(), 5);
        QVERIFY(posesAtRest(flow->stage()));
        // A frame is still asked for.
        QTRY_VERIFY(flow->renderer().needsRedraw || flow->renderer().cachedSurfaceCount() > 0);
    }

    void navigation_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("centre");
        QTest::addColumn<QString>("actions");
        QTest::addColumn<int>("target");
        QTest::addColumn<bool>("moving");
        QTest::newRow("three quick Ups") << 20 << 5 << "up up up" << 7 << true;
        QTest::newRow("two quick Ups") << 20 << 5 << "up up" << 7 << true;
        QTest::newRow("one Up") << 20 << 5 << "up" << 6 << true;
        QTest::newRow("quick Ups near the end") << 20 << 18 << "up up" << 19 << true;
        QTest::newRow("quick Downs") << 20 << 5 << "down down" << 3 << true;
        QTest::newRow("quick Downs near the start") << 20 << 1 << "down down" << 0 << true;
        QTest::newRow("Up then Down") << 20 << 5 << "up down" << 5 << true;
        QTest::newRow("Control+Up") << 20 << 15 << "ctrl+up" << 19 << true;
        QTest::newRow("Control+Down") << 20 << 3 << "ctrl+down" << 0 << true;
        QTest::newRow("Control+Shift+Up is a plain Up") << 20 << 15 << "ctrl+shift+up" << 16 << true;
        QTest::newRow("Up on the last slide") << 20 << 19 << "up" << 19 << false;
        QTest::newRow("Down on the first slide") << 20 << 0 << "down" << 0 << false;
        QTest::newRow("tap lower half") << 20 << 5 << "tap 100 200" << 6 << true;
        QTest::newRow("tap upper half") << 20 << 5 << "tap 100 100" << 4 << true;
        QTest::newRow("tap on the middle line") << 20 << 5 << "tap 100 160" << 4 << true;
        QTest::newRow("showSlide centre") << 20 << 5 << "slide 5" << 5 << false;
        QTest::newRow("showSlide far") << 20 << 5 << "slide 50" << 19 << true;
        QTest::newRow("showSlide negative") << 20 << 5 << "slide -3" << 0 << true;
        QTest::newRow("showSlide on empty") << 0 << 0 << "slide 4" << -1 << true;
        QTest::newRow("other key") << 20 << 5 << "left" << 5 << false;
    }
    void navigation()
    {
        QFETCH(int, count);
        QFETCH(int, centre);
        QFETCH(QString, actions);
        auto flow = flowOf(count, centre);
        const QStringList words = actions.split(' ');
        for (int i = 0; i < words.size(); ++i) {
            const QString& w = words[i];
            if (w == "up") press(*flow, Qt::Key_Up);
            else if (w == "down") press(*flow, Qt::Key_Down);
            else if (w == "left") press(*flow, Qt::Key_Left);
            else if (w == "ctrl+up") press(*flow, Qt::Key_Up, Qt::ControlModifier);
            else if (w == "ctrl+down") press(*flow, Qt::Key_Down, Qt::ControlModifier);
            else if (w == "ctrl+shift+up") press(*flow, Qt::Key_Up, Qt::ControlModifier | Qt::ShiftModifier);
            else if (w == "slide") flow->showSlide(words[++i].toInt());
            else if (w == "tap") {
                const QPoint p(words[i + 1].toInt(), words[i + 2].toInt());
                i += 2;
                QTest::mouseClick(flow.get(), Qt::LeftButton, Qt::NoModifier, p);
            }
        }
        QTEST(flow->motion().targetIndex, "target");
        QTEST(flow->motion().isMoving(), "moving");
        QCOMPARE(flow->centerIndex(), centre); // nothing moves before the first step
    }

    void keyAcceptance_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("Up") << int(Qt::Key_Up) << true;
        QTest::newRow("Down") << int(Qt::Key_Down) << true;
        QTest::newRow("Left") << int(Qt::Key_Left) << false;
        QTest::newRow("A") << int(Qt::Key_A) << false;
    }
    void keyAcceptance()
    {
        QFETCH(int, key);
        auto flow = flowOf(5, 2);
        QKeyEvent ev(QEvent::KeyPress, key, Qt::NoModifier);
        ev.ignore();
        QCoreApplication::sendEvent(flow.get(), &ev);
        QTEST(ev.isAccepted(), "accepted");
    }

    void nextWhileMovingBack()
    {
        auto flow = flowOf(20, 10);
        SlideMotion& m = flow->motion();
        flow->showPrevious();
        QCOMPARE(m.targetIndex, 9);
        m.advance();
        QCOMPARE(flow->centerIndex(), 10);
        flow->showNext(); // aims at the current centre
        QCOMPARE(m.targetIndex, 10);
        m.advance();
        QVERIFY(!m.isMoving());
        QCOMPARE(flow->centerIndex(), 10);
        QVERIFY(posesAtRest(flow->stage()));
    }

    void turnsBackAfterPassingTheTarget()
    {
        // The centre has already reached the next lower slide when the target
        // moves back up: the motion turns round and ends on the former centre.
        auto flow = flowOf(20, 10);
        SlideMotion& m = flow->motion();
        flow->showSlide(5);
        m.advance();
        QCOMPARE(flow->centerIndex(), 10);
        // Just short of the next lower slide: the next step brings it to the centre.
        m.position = (9 << 16) + 100;
        flow->showNext(); // aims at the current centre, 10
        QCOMPARE(m.targetIndex, 10);
        m.advance();
        QCOMPARE(flow->centerIndex(), 9);
        QCOMPARE(m.direction, 1);
        QVERIFY(m.isMoving());
        runToRest(m);
        QCOMPARE(flow->centerIndex(), 10);
        QVERIFY(posesAtRest(flow->stage()));
    }

    void animatesThroughTheEventLoop()
    {
        auto flow = flowOf(20, 5);
        flow->show();
        QVERIFY(QTest::qWaitForWindowExposed(flow.get()));
        flow->showNext();
        QTRY_COMPARE_WITH_TIMEOUT(flow->centerIndex(), 6, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!flow->motion().isMoving(), 5000);
        QVERIFY(posesAtRest(flow->stage()));
    }

    void closing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Return") << "return" << true;
        QTest::newRow("Enter") << "enter" << true;
        QTest::newRow("corner tap") << "tap 10 10" << true;
        QTest::newRow("corner's last pixel") << "tap 24 24" << true;
        QTest::newRow("just outside the corner") << "tap 25 10" << false;
        QTest::newRow("focus loss") << "focus" << true;
        QTest::newRow("Escape") << "escape" << false;
    }
    void closing()
    {
        QFETCH(QString, how);
        auto flow = flowOf(5, 2);
        flow->show();
        QVERIFY(QTest::qWaitForWindowExposed(flow.get()));
        const QStringList w = how.split(' ');
        if (w[0] == "return") press(*flow, Qt::Key_Return);
        else if (w[0] == "enter") press(*flow, Qt::Key_Enter);
        else if (w[0] == "escape") press(*flow, Qt::Key_Escape);
        else if (w[0] == "tap")
            QTest::mouseClick(flow.get(), Qt::LeftButton, Qt::NoModifier,
                              QPoint(w[1].toInt(), w[2].toInt()));
        else if (w[0] == "focus") {
            QFocusEvent ev(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
            QCoreApplication::sendEvent(flow.get(), &ev);
        }
        QFETCH(bool, closes);
        QCOMPARE(!flow->isVisible(), closes);
    }
};

QTEST_MAIN(TestSlideMotion)
#include "tst_slidemotion.moc"
