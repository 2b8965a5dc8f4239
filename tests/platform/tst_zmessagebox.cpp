// ZMessageBox: which index each key returns, how the box fits the phone screen,
// and that the timed box closes by itself.

#include "modalhelpers.h"
#include "testtime.h"
#include "zmessagebox.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QScrollBar>
#include <QTextEdit>
#include <QtTest>

namespace {

// Runs `action` on the box once it is up, after recording what it shows.
struct Seen {
    QString text;
    QStringList buttons;
    QSize size;
    QPoint pos;
    bool iconShown = false;
    int scrollMax = 0;
    int scrollAfterDown = 0;
};

void inspectThen(Seen* seen, std::function<void(QWidget*)> action)
{
    modal::whenModal([=](QWidget* box) {
        if (auto* t = box->findChild<QTextEdit*>(QStringLiteral("messageText"))) {
            seen->text = t->toPlainText();
            seen->scrollMax = t->verticalScrollBar()->maximum();
        }
        for (auto* b : box->findChildren<QPushButton*>())
            seen->buttons << b->text();
        seen->size = box->size();
        seen->pos = box->pos();
        if (auto* l = box->findChild<QWidget*>(QStringLiteral("messageIcon")))
            seen->iconShown = !l->isHidden();
        action(box);
    });
}

void key(QWidget* box, int k)
{
    QWidget* target = box->focusWidget() ? box->focusWidget() : box;
    QTest::keyClick(target, Qt::Key(k));
}

QPixmap someIcon()
{
    QPixmap p(32, 32);
    p.fill(Qt::red);
    return p;
}

} // namespace

class TestZMessageBox : public QObject
{
    Q_OBJECT
private slots:
    void keysPressButtons_data();
    void keysPressButtons();
    void textIsShownAsTyped_data();
    void textIsShownAsTyped();
    void longTextFitsAndScrolls();
    void timedBoxClosesByItself_data();
    void timedBoxClosesByItself();
    void timedBoxCanBeLeftEarly();
};

void TestZMessageBox::keysPressButtons_data()
{
    QTest::addColumn<QStringList>("buttons"); // "" in the list stands for a null text
    QTest::addColumn<QList<int>>("keys");     // 0: the window is closed
    QTest::addColumn<int>("expected");

    const QStringList three{"Yes", "No", "Later"};
    QTest::newRow("1 of three") << three << QList<int>{Qt::Key_1} << 0;
    QTest::newRow("2 of three") << three << QList<int>{Qt::Key_2} << 1;
    QTest::newRow("3 of three") << three << QList<int>{Qt::Key_3} << 2;
    QTest::newRow("escape = last") << three << QList<int>{Qt::Key_Escape} << 2;
    QTest::newRow("F1 = first") << three << QList<int>{Qt::Key_F1} << 0;
    QTest::newRow("F2 = last") << three << QList<int>{Qt::Key_F2} << 2;
    QTest::newRow("return = focused first") << three << QList<int>{Qt::Key_Return} << 0;
    QTest::newRow("right, return") << three << QList<int>{Qt::Key_Right, Qt::Key_Return} << 1;
    QTest::newRow("left wraps, enter") << three << QList<int>{Qt::Key_Left, Qt::Key_Enter} << 2;
    QTest::newRow("3 with two buttons does nothing")
        << QStringList{"Yes", "No"} << QList<int>{Qt::Key_3, Qt::Key_2} << 1;
    QTest::newRow("escape, two buttons") << QStringList{"Yes", "No"}
                                         << QList<int>{Qt::Key_Escape} << 1;
    QTest::newRow("escape, one button") << QStringList{"OK"} << QList<int>{Qt::Key_Escape} << 0;
    QTest::newRow("other keys ignored") << QStringList{"OK"}
                                        << QList<int>{Qt::Key_A, Qt::Key_4, Qt::Key_1} << 0;
    // A null text leaves a gap: the index stays the caller's position.
    QTest::newRow("gap: key 2 is the third") << QStringList{"A", "", "C"}
                                            << QList<int>{Qt::Key_2} << 2;
    QTest::newRow("gap: escape is the third") << QStringList{"A", "", "C"}
                                             << QList<int>{Qt::Key_Escape} << 2;
    QTest::newRow("empty text is a button") << QStringList{"A", "", "C"}
                                           << QList<int>{Qt::Key_1} << 0;
    QTest::newRow("window closed = last") << QStringList{"Yes", "No"} << QList<int>{0} << 1;
    // A box without buttons could never be answered: Escape leaves it.
    QTest::newRow("no buttons, escape") << QStringList{} << QList<int>{Qt::Key_Escape} << -1;
}

void TestZMessageBox::keysPressButtons()
{
    QFETCH(QStringList, buttons);
    QFETCH(QList<int>, keys);
    QFETCH(int, expected);

    QString b[3];
    for (int i = 0; i < buttons.size(); ++i)
        b[i] = buttons.at(i).isEmpty() ? QString() : buttons.at(i);

    Seen seen;
    inspectThen(&seen, [keys](QWidget* box) {
        for (int k : keys) {
            if (k)
                key(box, k);
            else
                box->close();
        }
    });
    const int r = ZMessageBox::information(nullptr, QPixmap(), QStringLiteral("Sure?"), b[0],
                                           b[1], b[2], 2);
    QCOMPARE(r, expected);
    QStringList shown;
    for (const QString& t : buttons)
        if (!t.isEmpty())
            shown << t;
    QCOMPARE(seen.buttons.size(), shown.size());
}

void TestZMessageBox::textIsShownAsTyped_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("markup stays text") << QStringLiteral("<b>bold</b> &amp; <message>");
    QTest::newRow("line breaks") << QStringLiteral("Usage: \nflashnote <message> <gificon> <delay>\n");
    QTest::newRow("chinese") << QString::fromUtf8("安装完成");
    QTest::newRow("empty") << QString();
}

void TestZMessageBox::textIsShownAsTyped()
{
    QFETCH(QString, text);
    Seen seen;
    inspectThen(&seen, [](QWidget* box) { key(box, Qt::Key_1); });
    ZMessageBox::information(nullptr, someIcon(), text, QStringLiteral("OK"));
    QCOMPARE(seen.text, text);
    QVERIFY(seen.iconShown);
}

void TestZMessageBox::longTextFitsAndScrolls()
{
    // 100,000 characters, in words and as one unbroken run.
    for (const QString& text : {QString(QStringLiteral("word ")).repeated(20000),
                                QString(100000, QLatin1Char('x'))}) {
        Seen seen;
        inspectThen(&seen, [&seen](QWidget* box) {
            auto* t = box->findChild<QTextEdit*>(QStringLiteral("messageText"));
            key(box, Qt::Key_Down);
            key(box, Qt::Key_PageDown);
            seen.scrollAfterDown = t->verticalScrollBar()->value();
            key(box, Qt::Key_1);
        });
        QCOMPARE(ZMessageBox::information(nullptr, someIcon(), text, QStringLiteral("OK")), 0);
        QCOMPARE(seen.text.size(), text.size());
        QVERIFY2(seen.size.width() <= 240 && seen.size.height() <= 320,
                 qPrintable(QStringLiteral("%1x%2").arg(seen.size.width()).arg(seen.size.height())));
        QVERIFY(seen.pos.x() >= 0 && seen.pos.y() >= 0);
        QVERIFY(seen.pos.x() + seen.size.width() <= 240);
        QVERIFY(seen.pos.y() + seen.size.height() <= 320);
        QVERIFY(seen.scrollMax > 0);
        QVERIFY(seen.scrollAfterDown > 0);
    }

    // A short text gives a small box.
    Seen small;
    inspectThen(&small, [](QWidget* box) { key(box, Qt::Key_1); });
    ZMessageBox::information(nullptr, someIcon(), QStringLiteral("Done"), QStringLiteral("OK"));
    QVERIFY(small.size.height() < 160);
    QCOMPARE(small.scrollMax, 0);
}

void TestZMessageBox::timedBoxClosesByItself_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("minMs");
    // Never early: a coarse timer would be allowed to fire up to 5 % before time.
    QTest::newRow("1 s") << 1 << 995;
    QTest::newRow("2 s") << 2 << 1995;
    QTest::newRow("0 closes at once") << 0 << 0;
    QTest::newRow("negative closes at once") << -5 << 0;
}

void TestZMessageBox::timedBoxClosesByItself()
{
    QFETCH(int, seconds);
    QFETCH(int, minMs);
    // A box that closes at once may be gone before anyone looks, so only the
    // lasting ones are inspected (a watcher left waiting would catch the next box).
    Seen seen;
    if (seconds > 0)
        inspectThen(&seen, [](QWidget*) {});
    QElapsedTimer clock;
    clock.start();
    ZMessageBox::timerMessage(nullptr, someIcon(), QStringLiteral("Saved"), seconds, 1);
    const qint64 took = clock.elapsed();
    QVERIFY2(took >= minMs, qPrintable(QString::number(took)));
    QVERIFY2(took < minMs + scaledTimeout(5000), qPrintable(QString::number(took)));
    if (seconds > 0) {
        QCOMPARE(seen.text, QStringLiteral("Saved"));
        QVERIFY(seen.buttons.isEmpty());
    }
}

void TestZMessageBox::timedBoxCanBeLeftEarly()
{
    modal::pressKey(Qt::Key_Escape);
    QElapsedTimer clock;
    clock.start();
    ZMessageBox::timerMessage(nullptr, QPixmap(), QStringLiteral("x"), 3600, 1);
    QVERIFY(clock.elapsed() < 60000);
}

QTEST_MAIN(TestZMessageBox)
#include "tst_zmessagebox.moc"
