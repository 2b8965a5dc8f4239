// The menu of `am` and the idle screen of `phone` as widgets, driven by the
// phone's keys (offscreen), the menu following its files on disk, and the
// menu's request channel.
#include "amchannel.h"
#include "ammenuwatcher.h"
#include "ammenuwindow.h"
#include "amregistry.h"
#include "idlescreen.h"
#include "modalhelpers.h"
#include "phoneroot.h"
#include "utilservicename.h"
#include "zpushbutton.h"

#include <QLabel>
#include <QListWidget>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTextEdit>
#include <QTest>

#include <thread>

#include <cstdio>

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

// The texts of a list's lines, in order.
QStringList lines(const QListWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

QString currentLine(const QListWidget* list)
{
    return list->currentItem() ? list->currentItem()->text() : QString();
}

// Writes a phone file as the configuration store does (a new file renamed
// over the old one) or in place.
bool rewrite(const PhoneRoot& root, const char* phonePath, const QByteArray& bytes, bool inPlace)
{
    if (inPlace)
        return root.writeFile(QLatin1String(phonePath), bytes);
    const QString temporary = QLatin1String(phonePath) + QStringLiteral(".new");
    return root.writeFile(temporary, bytes)
           && std::rename(QFile::encodeName(root.host(temporary)).constData(),
                          QFile::encodeName(root.host(QLatin1String(phonePath))).constData()) == 0;
}

} // namespace

class TestEmulatorScreens : public QObject
{
    Q_OBJECT
private slots:
    void menuKeys();
    void menuFollowsTheFiles_data();
    void menuFollowsTheFiles();
    void nothingToOpen_data();
    void nothingToOpen();
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
    // Down to "Games", Return opens it: an empty folder, which says so; F2 back.
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(menu.openFolder(), 1);
    QCOMPARE(lines(list), QStringList{QStringLiteral("此文件夹中没有应用程序。")});
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

// An install or an uninstall rewrites the registry and the tree on disk: the
// menu follows without "Refresh menu", the user still in the folder and on
// the entry (by UID) they were on, else on the same row.
void TestEmulatorScreens::menuFollowsTheFiles_data()
{
    const QByteArray notes = "[n]\nName=Notes\nExec=run\nDirectory=/ezx_user/apps/notes\n";
    const QByteArray chess = "[j]\nName=Chess\nExec=chess.jar\nDirectory=/ezx_user/apps/chess\nJavaId=7\n";
    const QByteArray broken = "[b]\nName=Broken\nExec=missing\nDirectory=/ezx_user/apps/notes\n";
    const QByteArray hello = "[h]\nName=Hello\nExec=run\nDirectory=/ezx_user/apps/notes\n";
    const QByteArray games = "[g]\nName=Games\nItems=\n";
    QTest::addColumn<QByteArray>("db");
    QTest::addColumn<QByteArray>("tree");
    QTest::addColumn<bool>("inPlace");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("current");
    QTest::addColumn<int>("folder");
    // The user is in "Applications", on "Chess" (the second line).
    QTest::newRow("install, files renamed over")
        << notes + hello + chess + broken << "[f]\nName=Applications\nItems=n;h;j;b\n" + games << false
        << QStringList{"Notes", "Hello", "Chess", "Broken"} << "Chess" << 0;
    QTest::newRow("uninstall of another entry, written in place")
        << chess + broken << "[f]\nName=Applications\nItems=j;b\n" + games << true
        << QStringList{"Chess", "Broken"} << "Chess" << 0;
    QTest::newRow("uninstall of the entry the user is on")
        << notes + broken << "[f]\nName=Applications\nItems=n;b\n" + games << false
        << QStringList{"Notes", "Broken"} << "Broken" << 0;
    QTest::newRow("the folder itself removed") << notes + chess + broken << games << false
                                               << QStringList{"Games"} << "Games" << -1;
}

void TestEmulatorScreens::menuFollowsTheFiles()
{
    QFETCH(QByteArray, db);
    QFETCH(QByteArray, tree);
    QFETCH(bool, inPlace);
    QFETCH(QStringList, shown);
    QFETCH(QString, current);
    QFETCH(int, folder);
    PhoneRoot root;
    makePhone(root);
    AmMenuWatcher watcher(AmMenuWatcher::menuFiles());
    AmMenuWindow menu(loadAmMenu());
    menu.follow(&watcher);
    menu.showMenu();
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    QTest::keyClick(menu.list(), Qt::Key_Return);
    QTest::keyClick(menu.list(), Qt::Key_Down);
    QCOMPARE(currentLine(menu.list()), QStringLiteral("Chess"));

    QVERIFY(rewrite(root, kDb, db, inPlace));
    QVERIFY(rewrite(root, kTree, tree, inPlace));
    QTRY_COMPARE(lines(menu.list()), shown);
    QCOMPARE(currentLine(menu.list()), current);
    QCOMPARE(menu.openFolder(), folder);
    // A second change is followed as well (the files were replaced meanwhile).
    QVERIFY(rewrite(root, kTree, "[z]\nName=Other\n", inPlace));
    QTRY_COMPARE(lines(menu.list()), QStringList{QStringLiteral("Other")});
}

// Nothing to open: an empty folder, or a menu without folders, says so on a
// line of its own, in the phone's language, and the key to open is blank;
// pressing it does nothing.
void TestEmulatorScreens::nothingToOpen_data()
{
    QTest::addColumn<QByteArray>("language");
    QTest::addColumn<QByteArray>("tree");
    QTest::addColumn<int>("folder");   // opened first, or -1
    QTest::addColumn<QString>("line");
    QTest::newRow("empty folder, Chinese") << QByteArray("zh-cn") << QByteArray("[g]\nName=Games\n") << 0
                                           << QStringLiteral("此文件夹中没有应用程序。");
    QTest::newRow("empty folder, English") << QByteArray("en-us") << QByteArray("[g]\nName=Games\nItems=ghost\n")
                                           << 0 << QStringLiteral("There are no applications in this folder.");
    QTest::newRow("no folders, Chinese") << QByteArray("zh-cn") << QByteArray() << -1
                                         << QStringLiteral("菜单中没有文件夹。");
}

void TestEmulatorScreens::nothingToOpen()
{
    QFETCH(QByteArray, language);
    QFETCH(QByteArray, tree);
    QFETCH(int, folder);
    QFETCH(QString, line);
    PhoneRoot root;
    makePhone(root);
    root.writeFile(kTree, tree);
    root.writeFile(kSystem, "[SYS_SYSTEM_SET]\nLanguageType = " + language + "\n");
    AmMenuWindow menu(loadAmMenu());
    menu.showMenu();
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    if (folder >= 0)
        QTest::keyClick(menu.list(), Qt::Key_Return);
    QCOMPARE(menu.openFolder(), folder);
    QCOMPARE(lines(menu.list()), QStringList{line});
    ZPushButton* open = menu.leftSoftKey();
    QVERIFY(open && !open->isEnabled() && open->text().isEmpty());
    QTest::keyClick(&menu, Qt::Key_F1);
    QTest::keyClick(menu.list(), Qt::Key_Return);
    QTest::mouseClick(menu.list()->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
    QCOMPARE(menu.openFolder(), folder);
    QCOMPARE(lines(menu.list()), QStringList{line});
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void TestEmulatorScreens::menuMessages_data()
{
    QTest::addColumn<QByteArray>("language");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("folderGone");   // the application's folder removed meanwhile
    QTest::newRow("Java, Chinese") << QByteArray("zh-cn") << 1 << QStringLiteral("Chess 是 Java 应用程序") << false;
    QTest::newRow("Java, English") << QByteArray("en-us") << 1 << QStringLiteral("Chess is a Java application") << false;
    QTest::newRow("cannot start, Chinese")
        << QByteArray("zh-cn") << 2 << QStringLiteral("无法启动 Broken。\n它的程序 /ezx_user/apps/notes/missing 不存在。")
        << false;
    QTest::newRow("cannot start, English")
        << QByteArray("en-us") << 2
        << QStringLiteral("Broken cannot be started.\nIts program /ezx_user/apps/notes/missing is missing.") << false;
    QTest::newRow("uninstalled meanwhile, Chinese")
        << QByteArray("zh-cn") << 0 << QStringLiteral("无法启动 Notes。\n它的文件夹 /ezx_user/apps/notes 不存在。") << true;
}

void TestEmulatorScreens::menuMessages()
{
    QFETCH(QByteArray, language);
    QFETCH(int, row);
    QFETCH(QString, text);
    QFETCH(bool, folderGone);
    PhoneRoot root;
    makePhone(root);
    root.writeFile(kSystem, "[SYS_SYSTEM_SET]\nLanguageType = " + language + "\n");
    AmMenuWindow menu(loadAmMenu());
    if (folderGone)
        QVERIFY(QDir(root.host("/ezx_user/apps/notes")).removeRecursively());
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
    // One language per screen: no English on a Chinese phone.
    if (language.startsWith("zh"))
        QVERIFY2(!shown.contains(QRegularExpression(QStringLiteral("[a-z]{3,} [a-z]{3,}"))), qPrintable(shown));
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
