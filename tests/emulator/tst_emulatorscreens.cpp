// The menu of `am` and the idle screen of `phone` as widgets, driven by the
// phone's keys (offscreen), and the menu's request channel.
#include "amchannel.h"
#include "ammenuwindow.h"
#include "amregistry.h"
#include "idlescreen.h"
#include "modalhelpers.h"
#include "phoneroot.h"
#include "utilservicename.h"
#include "zpushbutton.h"

#include <QLabel>
#include <QListWidget>
#include <QSignalSpy>
#include <QTextEdit>
#include <QTest>

#include <thread>

namespace {

const char* const kTree = "/ezx_user/download/appwrite/am/UserMenuTree";
const char* const kDb = "/ezx_user/download/appwrite/am/InstalledDB";
const char* const kSystem = "/ezx_user/download/appwrite/setup/ezx_system.cfg";

void makePhone(const PhoneRoot& root, int extra = 0)
{
    QByteArray db =
        "[n]\nName=Notes\nExec=run\nDirectory=/ezx_user/apps/notes\nIcon=icon.png\n\n"
        "[j]\nName=Chess\nExec=chess.jar\nDirectory=/ezx_user/apps/chess\nJavaId=7\n\n"
        "[b]\nName=Broken\nExec=missing\nDirectory=/ezx_user/apps/notes\n\n";
    QByteArray items = "n;j;b";
    for (int i = 0; i < extra; ++i) {
        db += "[x" + QByteArray::number(i) + "]\nName=X" + QByteArray::number(i)
              + "\nExec=run\nDirectory=/ezx_user/apps/notes\nIcon=icon.png\n\n";
        items += ";x" + QByteArray::number(i);
    }
    root.writeFile(kDb, db);
    root.writeFile(kTree, "[f]\nName=Applications\nItems=" + items + "\n\n[g]\nName=Games\nItems=\n");
    root.writeFile("/ezx_user/apps/notes/run", "#!/bin/sh\necho started >> started\n");
    QFile::setPermissions(root.host("/ezx_user/apps/notes/run"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QImage icon(40, 40, QImage::Format_ARGB32);
    icon.fill(Qt::green);
    icon.save(root.host("/ezx_user/apps/notes/icon.png"), "PNG");
}

} // namespace

class TestEmulatorScreens : public QObject
{
    Q_OBJECT
private slots:
    void menuKeys();
    void menuMessages_data();
    void menuMessages();
    void thousandApplicationsOpenAndFillIn();
    void channel();
    void idleScreen_data();
    void idleScreen();
};

void TestEmulatorScreens::menuKeys()
{
    PhoneRoot root;
    makePhone(root);
    AmMenuWindow menu(loadAmMenu());
    menu.showMenu();
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    QListWidget* list = menu.list();
    QCOMPARE(list->count(), 2);
    QCOMPARE(menu.caption(), QStringLiteral("主菜单"));
    // Down to "Games", Return opens it: an empty folder; F2 back.
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(menu.openFolder(), 1);
    QCOMPARE(list->count(), 0);
    QTest::keyClick(&menu, Qt::Key_F2);
    QCOMPARE(menu.openFolder(), -1);
    QCOMPARE(list->currentRow(), 1);
    // Up to "Applications", F1 opens it; its icons fill in.
    QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(&menu, Qt::Key_F1);
    QCOMPARE(menu.openFolder(), 0);
    QCOMPARE(menu.caption(), QStringLiteral("Applications"));
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->item(0)->text(), QStringLiteral("Notes"));
    QTRY_COMPARE(list->item(0)->icon().pixmap(32).toImage().pixelColor(16, 16), QColor(Qt::green));
    // The centre key starts the application in its folder.
    QTest::keyClick(list, Qt::Key_Return);
    QTRY_COMPARE(root.readFile("/ezx_user/apps/notes/started"), QByteArray("started\n"));
    // F2 twice: back to the folders, then the menu hides (the idle screen shows).
    QTest::keyClick(&menu, Qt::Key_F2);
    QVERIFY(menu.isVisible());
    QTest::keyClick(&menu, Qt::Key_F2);
    QVERIFY(!menu.isVisible());
}

void TestEmulatorScreens::menuMessages_data()
{
    QTest::addColumn<QByteArray>("language");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("text");
    QTest::newRow("Java, Chinese") << QByteArray("zh-cn") << 1 << QStringLiteral("Chess 是 Java 应用程序");
    QTest::newRow("Java, English") << QByteArray("en-us") << 1 << QStringLiteral("Chess is a Java application");
    QTest::newRow("cannot start, Chinese") << QByteArray("zh-cn") << 2 << QStringLiteral("无法启动 Broken");
    QTest::newRow("cannot start, English") << QByteArray("en-us") << 2 << QStringLiteral("Broken cannot be started");
}

void TestEmulatorScreens::menuMessages()
{
    QFETCH(QByteArray, language);
    QFETCH(int, row);
    QFETCH(QString, text);
    PhoneRoot root;
    makePhone(root);
    root.writeFile(kSystem, "[SYS_SYSTEM_SET]\nLanguageType = " + language + "\n");
    AmMenuWindow menu(loadAmMenu());
    menu.showMenu();
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    QTest::keyClick(menu.list(), Qt::Key_Return);
    menu.list()->setCurrentRow(row);
    QString shown;
    modal::whenModal([&](QWidget* box) {
        for (QLabel* l : box->findChildren<QLabel*>())
            shown += l->text();
        for (QWidget* w : box->findChildren<QWidget*>())
            if (auto* t = qobject_cast<QTextEdit*>(w))
                shown += t->toPlainText();
        QTest::keyClick(box, Qt::Key_1);
    });
    QTest::keyClick(menu.list(), Qt::Key_Return);
    QVERIFY2(shown.contains(text), qPrintable(shown));
    QVERIFY(!QFile::exists(root.host("/ezx_user/apps/notes/started")));
}

void TestEmulatorScreens::thousandApplicationsOpenAndFillIn()
{
    PhoneRoot root;
    makePhone(root, 1000);
    AmMenuWindow menu(loadAmMenu());
    menu.showMenu();
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    QTest::keyClick(menu.list(), Qt::Key_Return);
    QCOMPARE(menu.list()->count(), 1003);
    QTRY_COMPARE_WITH_TIMEOUT(
        menu.list()->item(1002)->icon().pixmap(32).toImage().pixelColor(16, 16), QColor(Qt::green), 20000);
    QTest::keyClick(menu.list(), Qt::Key_End);
    QCOMPARE(menu.list()->currentRow(), 1002);
}

// The phone's menu key reaches `am` through its channel.
void TestEmulatorScreens::channel()
{
    PhoneRoot root;
    makePhone(root);
    AmMenuWindow menu(loadAmMenu());
    QVERIFY(menu.listen());
    QByteArray status, shown, junk;
    std::thread client([&] {
        status = askAm("status", 5000);
        shown = askAm("show", 5000);
        junk = askAm("rm -rf /", 5000);
    });
    QTRY_VERIFY(!junk.isNull());
    client.join();
    QCOMPARE(status, QByteArray("ready 2 3"));
    QCOMPARE(shown, QByteArray("shown"));
    QCOMPARE(junk, QByteArray("unknown"));
    QVERIFY(menu.isVisible());
    // Another phone root has another channel.
    qputenv("EZX_ROOT", root.outer().toLocal8Bit());
    QVERIFY(askAm("status", 300).isNull());
    qputenv("EZX_ROOT", root.root().toLocal8Bit());
}

void TestEmulatorScreens::idleScreen_data()
{
    QTest::addColumn<QByteArray>("language");
    QTest::addColumn<QByteArray>("serviceName");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("date");
    QTest::newRow("name set, Chinese") << QByteArray("zh-cn") << QByteArray("中国移动") << QStringLiteral("中国移动")
                                       << QStringLiteral("2026-12-08 星期二");
    QTest::newRow("no name, Chinese") << QByteArray("zh-cn") << QByteArray() << QStringLiteral("无服务")
                                      << QStringLiteral("2026-12-08 星期二");
    QTest::newRow("no name, English") << QByteArray("en-us") << QByteArray() << QStringLiteral("No service")
                                      << QStringLiteral("Tue 8 Dec 2026");
    QTest::newRow("blank name") << QByteArray("en-us") << QByteArray("   ") << QStringLiteral("No service")
                                << QStringLiteral("Tue 8 Dec 2026");
}

void TestEmulatorScreens::idleScreen()
{
    QFETCH(QByteArray, language);
    QFETCH(QByteArray, serviceName);
    QFETCH(QString, title);
    QFETCH(QString, date);
    PhoneRoot root;
    root.writeFile(kSystem, "[SYS_SYSTEM_SET]\nLanguageType = " + language
                                + "\nWallpaper = /ezx_user/fifo\n");
    ::mkfifo(QFile::encodeName(root.host("/ezx_user/fifo")).constData(), 0644);
    if (!serviceName.isNull())
        QVERIFY(UTIL_SetServiceName(serviceName.constData()));
    IdleScreen idle;
    idle.view()->setFixedTime(QDateTime(QDate(2026, 12, 8), QTime(9, 5)));
    QSignalSpy shown(&idle, &IdleScreen::firstShown);
    idle.showBelow();
    QVERIFY(shown.wait(5000));
    QCOMPARE(idle.caption(), title);
    QCOMPARE(idle.view()->timeText(), QStringLiteral("09:05"));
    QCOMPARE(idle.view()->dateText(), date);
    // The name is read once: a later change shows only after a restart.
    QVERIFY(UTIL_SetServiceName("Later"));
    QCOMPARE(idle.caption(), title);
    QCOMPARE(IdleScreen().caption(), QStringLiteral("Later"));
    // With no `am` to answer, the menu key says so instead of hanging.
    modal::whenModal([](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); });
    QVERIFY(!idle.openMenu(200));
}

QTEST_MAIN(TestEmulatorScreens)
#include "tst_emulatorscreens.moc"
