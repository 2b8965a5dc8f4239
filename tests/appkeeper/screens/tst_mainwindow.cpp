// The main window: its list, its six menu entries and three keys, and how the
// list follows a rename and an uninstall.

#include "mainwindows.h"
#include "myclass_buttongroup.h"
#include "phonefixture.h"
#include "qpopupmenu.h"
#include "shellrunner.h"
#include "softrenamedlg.h"
#include "zmultilineedit.h"

#include <QtTest>

using namespace screentest;

namespace {

const QString kDbUid = QStringLiteral("0a1b2c3d-0000-4000-8000-000000000001");
const QString kCardUid = QStringLiteral("0a1b2c3d-0000-4000-8000-000000000002");
const QString kCardDir = QStringLiteral("/mmc/mmca1/.system/QTDownLoad/Notes");

enum MenuEntry { Install, Rename, Uninstall, Properties, Refresh, About };

// Chooses a menu entry with the keys: F1, Down as often as needed, Return.
void chooseMenu(MainWindows& win, int entry)
{
    QTest::keyClick(&win, Qt::Key_F1);
    QWidget* menu = QApplication::activePopupWidget();
    QVERIFY(menu == win.mainMenu());
    for (int i = 0; i < entry; ++i)
        QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
}

void twoApps(const Phone& phone)
{
    phone.record(kInstalledDB, kDbUid, {{"Name", "Calculator"}, {"JavaId", "-1"}});
    phone.record(kCardRegistry, kCardUid,
                 {{"Name", "Notes"}, {"JavaId", "-1"}, {"Directory", kCardDir}});
    phone.write(kCardDir + QStringLiteral("/run.sh"), "#!/bin/sh\n");
    phone.write(QString::fromLatin1(kMenuTree),
                ("[Folder1]\nItems = aaa;" + kCardUid + ";bbb\n[Folder2]\nItems = " + kCardUid
                 + "\n").toUtf8());
}

struct Window
{
    explicit Window() : win(QStringLiteral("appkeeper"), false, nullptr, "MainWin") { win.show(); }
    MyClass_RadioButton* entry(int i) const
    {
        const auto buttons = win.appList()->findChildren<MyClass_RadioButton*>();
        for (auto* b : buttons)
            if (i-- == 0)
                return b;
        return nullptr;
    }
    MainWindows win;
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void listOrder()
    {
        Phone phone;
        twoApps(phone);
        Window w;
        QCOMPARE(w.win.appList()->count(), 2);
        QCOMPARE(w.entry(0)->text(), QStringLiteral("Calculator"));
        QCOMPARE(w.entry(0)->appUID, kDbUid);
        QCOMPARE(w.entry(1)->text(), QStringLiteral("Notes"));
        QCOMPARE(w.win.appList()->selectedId, -1);
    }

    // The keyboard starts on the first entry; Down moves, Space selects.
    void selectWithKeys()
    {
        Phone phone;
        twoApps(phone);
        Window w;
        QApplication::setActiveWindow(&w.win);
        QVERIFY(QTest::qWaitForWindowActive(&w.win));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.entry(0)));
        QCOMPARE(w.win.appList()->selectedId, -1);
        QCOMPARE(litRows(w.win.appList()), QStringList());  // framed only
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.entry(1)));
        QCOMPARE(litRows(w.win.appList()), QStringList{QStringLiteral("Notes")});
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(w.win.appList()->getButton(), w.entry(1));
    }

    // Each menu entry (and the middle key) runs its own action, whatever
    // identifiers the menu handed out; with no selection, the three that need
    // one say which.
    void actionsWithoutSelection_data()
    {
        QTest::addColumn<int>("entry");   // -1: the middle key
        QTest::addColumn<QString>("first");
        QTest::newRow("install") << int(Install) << "SoftInstallDlg";
        QTest::newRow("rename") << int(Rename) << CAP(Msg_HintInfo_Items1);
        QTest::newRow("uninstall")
            << int(Uninstall)
            << readLabelCaption("Msg_HintInfo_Items16",
                                Text_code(CaptionDefault::Msg_HintInfo_Items16_Uninstall));
        QTest::newRow("properties") << int(Properties) << CAP(Msg_HintInfo_Items2);
        QTest::newRow("middle key") << -1 << CAP(Msg_HintInfo_Items2);
        QTest::newRow("refresh") << int(Refresh) << CAP(Msg_AskInfo_Items5);
        QTest::newRow("about") << int(About)
                               << CAP(AppName) + QStringLiteral("\r\n\r\n") + CAP(AppAbout);
    }
    void actionsWithoutSelection()
    {
        QFETCH(int, entry);
        QFETCH(QString, first);
        Phone phone;
        twoApps(phone);
        QStringList commands;
        const ShellRunner previous = setShellRunner([&](const QString& c) {
            commands << c;
            return 0;
        });
        Window w;
        Script s;
        QString seen;
        s.on(first == "SoftInstallDlg" ? "SoftInstallDlg" : "ZMessageBox", [&](QWidget* box) {
            seen = isMessageBox(box) ? messageText(box)
                                     : QString::fromLatin1(box->metaObject()->className());
            QTest::keyClick(box, Qt::Key_Escape);
        });
        if (entry < 0)
            QTest::keyClick(&w.win, Qt::Key_Return);
        else
            chooseMenu(w.win, entry);
        setShellRunner(previous);
        QVERIFY(s.done());
        QVERIFY2(s.unexpected.isEmpty(), qPrintable(s.unexpected.join(QLatin1Char('|'))));
        QCOMPARE(seen, first == "SoftInstallDlg" ? first : shown(first));
        QCOMPARE(w.win.appList()->count(), 2);
        QCOMPARE(commands, QStringList());  // the refresh question was not confirmed
    }

    // A card registry past any phone's size is not read: the window opens at
    // once with the phone's own applications and says which file it skipped.
    void hugeRegistrySaidAndSkipped()
    {
        Phone phone;
        phone.write("/mmc/mmca1/.system/java/CardRegistry",
                    "[u]\nName=Huge\nComment=" + QByteArray(ZConfig::kLargestFile, 'x') + "\n");
        Script s;
        s.box(Qt::Key_1);
        Window w;
        QTRY_VERIFY(s.done());
        QCOMPARE(s.messages.size(), 1);
        QVERIFY2(s.messages.first().contains("CardRegistry"), qPrintable(s.messages.first()));
        QCOMPARE(w.win.appList()->findChildren<MyClass_RadioButton*>().size(), 0);
    }

    void refreshMenu_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("commands");
        QTest::newRow("yes") << int(Qt::Key_1) << QStringList{"kill $(pidof am)"};
        QTest::newRow("no") << int(Qt::Key_2) << QStringList();
    }
    void refreshMenu()
    {
        QFETCH(int, answer);
        QFETCH(QStringList, commands);
        Phone phone;
        QStringList ran;
        const ShellRunner previous = setShellRunner([&](const QString& c) {
            ran << c;
            return 0;
        });
        Window w;
        Script s;
        s.box(answer);
        // As on the phone itself (no phone root): the platform's own kill.
        // With a phone root only that root's am is asked (tst_amregistry).
        const QByteArray root = qgetenv("EZX_ROOT");
        qunsetenv("EZX_ROOT");
        chooseMenu(w.win, Refresh);
        qputenv("EZX_ROOT", root);
        setShellRunner(previous);
        QVERIFY(s.done());
        QCOMPARE(ran, commands);
        QVERIFY(w.win.isVisible());
    }

    void rename_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("renamed") << true;
        QTest::newRow("cancelled") << false;
    }
    void rename()
    {
        QFETCH(bool, confirm);
        Phone phone;
        twoApps(phone);
        Window w;
        QTest::mouseClick(w.entry(1), Qt::LeftButton);  // a tap
        QCOMPARE(litRows(w.win.appList()), QStringList{QStringLiteral("Notes")});
        Script s;
        s.on("SoftReNameDlg", [&](QWidget* d) {
            auto* dlg = static_cast<SoftReNameDlg*>(d);
            QCOMPARE(dlg->ml_OldName->text(), QStringLiteral("Notes"));
            dlg->ml_NewName->setFocus();
            dlg->ml_NewName->selectAll();
            QTest::keyClicks(dlg->ml_NewName, QStringLiteral("Notebook"));
            QTest::keyClick(d, confirm ? Qt::Key_F1 : Qt::Key_F2);
        });
        chooseMenu(w.win, Rename);
        QVERIFY(s.done());
        const QString name = confirm ? QStringLiteral("Notebook") : QStringLiteral("Notes");
        QCOMPARE(w.entry(1)->text(), name);
        QCOMPARE(w.entry(0)->text(), QStringLiteral("Calculator"));
        QCOMPARE(phone.entry(kCardRegistry, kCardUid, "Name"), name);
        QCOMPARE(litRows(w.win.appList()), QStringList{name});
    }

    void uninstall_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }
    void uninstall()
    {
        QFETCH(bool, confirm);
        Phone phone;
        twoApps(phone);
        const QByteArray menuBefore = phone.read(kMenuTree);
        Window w;
        w.entry(1)->click();
        Script s;
        s.box(confirm ? Qt::Key_1 : Qt::Key_2);
        chooseMenu(w.win, Uninstall);
        QVERIFY(s.done());
        QVERIFY2(s.unexpected.isEmpty(), qPrintable(s.unexpected.join(QLatin1Char('|'))));
        QCOMPARE(s.messages.value(0),
                 shown(QStringLiteral("Notes\r\n\r\n") + CAP(Msg_AskInfo_Items2)));
        if (!confirm) {
            QCOMPARE(w.win.appList()->count(), 2);
            QVERIFY(phone.groups(kCardRegistry).contains(kCardUid));
            QVERIFY(phone.exists(kCardDir + QStringLiteral("/run.sh")));
            QCOMPARE(phone.read(kMenuTree), menuBefore);
            return;
        }
        QCOMPARE(w.win.appList()->count(), 1);
        QCOMPARE(w.entry(0)->text(), QStringLiteral("Calculator"));
        QCOMPARE(w.win.appList()->selectedId, -1);
        QCOMPARE(litRows(w.win.appList()), QStringList());
        QVERIFY(!phone.groups(kCardRegistry).contains(kCardUid));
        QVERIFY(!phone.exists(kCardDir));
        QVERIFY(!phone.read(kMenuTree).contains(kCardUid.toLatin1()));
        QVERIFY(phone.read(kMenuTree).contains("aaa"));
    }

    void exitKey_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("open");
        QTest::newRow("yes closes") << int(Qt::Key_1) << false;
        QTest::newRow("no stays") << int(Qt::Key_2) << true;
    }
    void exitKey()
    {
        QFETCH(int, answer);
        QFETCH(bool, open);
        Phone phone;
        Window w;
        Script s;
        s.box(answer);
        QTest::keyClick(&w.win, Qt::Key_F2);
        QVERIFY(s.done());
        QCOMPARE(s.messages.value(0),
                 shown(CAP(AppName) + QStringLiteral("\r\n\r\n") + CAP(Msg_AskInfo_Items1)));
        QCOMPARE(w.win.isVisible(), open);
    }
};

SCREENS_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
