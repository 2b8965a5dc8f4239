// Installing a package: from the main window's menu through the picker to a
// new list entry, and each step that can fail with its own message.

#include "mainwindows.h"
#include "myclass_buttongroup.h"
#include "phonefixture.h"
#include "qpopupmenu.h"
#include "softinstalldlg.h"
#include "softpropertiesdlg.h"
#include "zmultilineedit.h"
#include "zopendlg.h"

#include <QComboBox>
#include <QLabel>
#include <QtTest>

using namespace screentest;

namespace {

const QString kPkg = QStringLiteral("/mmc/mmca1/demo.pkg");

// Opens the install entry of the main window's menu with the keys: F1 pops
// the menu up with its first entry lit, Return chooses it.
void openInstallFromMenu(MainWindows& win)
{
    QTest::keyClick(&win, Qt::Key_F1);
    QWidget* menu = QApplication::activePopupWidget();
    QVERIFY(menu == win.mainMenu());
    QTest::keyClick(menu, Qt::Key_Return);
}

// Picks /mmc/mmca1/<file> in the picker, one folder at a time from "/".
void pickOnCard(Script& s, const QString& file)
{
    s.key("SoftInstallDlg", Qt::Key_Return);  // the picker button has the focus
    s.on("ZOpenDlg", [file](QWidget* w) {
        auto* picker = static_cast<ZOpenDlg*>(w);
        QCOMPARE(picker->currentDir(), QStringLiteral("/"));
        QVERIFY(picker->activateEntry(QStringLiteral("mmc")));
        QVERIFY(picker->activateEntry(QStringLiteral("mmca1")));
        QVERIFY(picker->activateEntry(file));
    });
}

QString pathField(QWidget* dlg)
{
    const auto fields = dlg->findChildren<ZMultiLineEdit*>();
    return fields.isEmpty() ? QStringLiteral("<none>") : fields.first()->text();
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void installFromMenu_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("confirmed") << true;
        QTest::newRow("declined") << false;
    }
    void installFromMenu()
    {
        QFETCH(bool, confirm);
        Phone phone;
        phone.record(kInstalledDB, QStringLiteral("11111111-2222-4333-8444-555555555555"),
                     {{"Name", "Calculator"}, {"JavaId", "-1"}});
        QVERIFY(phone.package(kPkg, QStringLiteral("DemoNotes"), QStringLiteral("Demo Notes")));
        // Not a package: offered neither by its name nor by its case.
        phone.write(QStringLiteral("/mmc/mmca1/other.Pkg"), "x");

        MainWindows win(QStringLiteral("appkeeper"), false, nullptr, "MainWin");
        win.show();
        QCOMPARE(win.appList()->count(), 1);
        // An entry chosen before the install: the new one takes its place.
        win.appList()->find(1)->click();

        Script s;
        pickOnCard(s, QStringLiteral("demo.pkg"));
        s.on("SoftInstallDlg", [](QWidget* w) {
            QCOMPARE(pathField(w), kPkg);
            QTest::keyClick(w, Qt::Key_F1);
        }, true);
        s.box(confirm ? Qt::Key_1 : Qt::Key_2);
        s.box(Qt::Key_1);  // the install-complete notice, or the cancelled hint
        openInstallFromMenu(win);

        QVERIFY(s.done());
        QVERIFY2(s.unexpected.isEmpty(), qPrintable(s.unexpected.join(QLatin1Char('|'))));
        QCOMPARE(s.messages.value(0),
                 shown(QStringLiteral("Demo Notes\r\n\r\n") + CAP(Msg_AskInfo_Items4)));
        QCOMPARE(s.messages.size(), 2);
        const QStringList installArea =
            QDir(phone.host(kInstallTmp)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        QCOMPARE(installArea, QStringList());

        if (!confirm) {
            QCOMPARE(s.messages.at(1), CAP(Msg_HintInfo_Items18));
            QCOMPARE(win.appList()->count(), 1);
            QVERIFY(!phone.exists(QString::fromLatin1(kDownLoad) + QStringLiteral("/DemoNotes")));
            QCOMPARE(phone.groups(kCardRegistry), QStringList());
            return;
        }
        QVERIFY(s.messages.at(1) != CAP(Msg_HintInfo_Items18));
        QCOMPARE(win.appList()->count(), 2);
        MyClass_RadioButton* added = win.appList()->lastButton;
        QVERIFY(added);
        QCOMPARE(added->text(), QStringLiteral("Demo Notes"));
        const QString uid = added->appUID;
        QCOMPARE(uid.size(), 36);
        QCOMPARE(phone.groups(kCardRegistry), QStringList{uid});
        QCOMPARE(phone.entry(kCardRegistry, uid, "Name"), QStringLiteral("Demo Notes"));
        QVERIFY(phone.exists(QString::fromLatin1(kDownLoad) + QStringLiteral("/DemoNotes/app.desktop")));

        // The new entry is the lit one, and the middle key's properties
        // dialog shows its record.
        QCOMPARE(litRows(win.appList()), QStringList{QStringLiteral("Demo Notes")});
        QCOMPARE(win.appList()->getButton(), added);
        Script p;
        p.on("SoftPropertiesDlg", [](QWidget* w) {
            auto* dlg = static_cast<SoftPropertiesDlg*>(w);
            QCOMPARE(dlg->ml_SoftName->text(), QStringLiteral("Demo Notes"));
            QCOMPARE(dlg->pLabel4->text(), CAP(Dlg_Win_Item5));
            QVERIFY(!dlg->pComBoxDomain);
            QCOMPARE(dlg->pComBoxUser->currentText(), QStringLiteral("ezx"));
            QTest::keyClick(w, Qt::Key_F2);
        });
        QTest::keyClick(&win, Qt::Key_Return);
        QVERIFY(p.done());
        QVERIFY2(p.unexpected.isEmpty(), qPrintable(p.unexpected.join(QLatin1Char('|'))));
    }

    // Every step that fails shows its own message, once, and adds no entry.
    void failingStep_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("asked");
        QTest::newRow("no package chosen") << "none" << CAP(Msg_HintInfo_Items7) << false;
        QTest::newRow("install area blocked") << "blockTmp" << CAP(Msg_HintInfo_Items8) << false;
        QTest::newRow("registry folder blocked") << "blockDB" << CAP(Msg_HintInfo_Items9) << false;
        QTest::newRow("not an archive") << "garbage" << CAP(Msg_HintInfo_Items10) << false;
        QTest::newRow("no desktop file") << "noDesktop" << CAP(Msg_HintInfo_Items11) << false;
        QTest::newRow("desktop without entry") << "noEntry" << CAP(Msg_HintInfo_Items12) << false;
        QTest::newRow("copy refused") << "lockDownLoad" << CAP(Msg_HintInfo_Items13) << true;
        QTest::newRow("registry unwritable") << "lockDB" << CAP(Msg_HintInfo_Items14) << true;
        QTest::newRow("menu unwritable") << "lockMenu" << CAP(Msg_HintInfo_Items15) << true;
    }
    void failingStep()
    {
        QFETCH(QString, setup);
        QFETCH(QString, expected);
        QFETCH(bool, asked);
        Phone phone;
        const QString pkg = QStringLiteral("/mmc/mmca1/bad.pkg");
        std::unique_ptr<Immutable> lock;
        auto lockPath = [&](const QString& phonePath) {
            lock = std::make_unique<Immutable>(phone.host(phonePath));
            return lock->ok();
        };
        if (setup == "garbage") {
            phone.write(pkg, QByteArray(4096, 'x'));
        } else if (setup == "noDesktop") {
            QVERIFY(makePackage(phone.host(pkg), {{"App/readme.txt", "hello\n"}}));
        } else if (setup == "noEntry") {
            QVERIFY(makePackage(phone.host(pkg), {{"App/app.desktop", "[Other]\nName = X\n"}}));
        } else if (setup != "none") {
            QVERIFY(phone.package(pkg, QStringLiteral("App"), QStringLiteral("Broken App")));
        }
        if (setup == "blockTmp") {
            // A plain file where the folder of installed applications belongs.
            phone.write(QString::fromLatin1(kDownLoad), "not a folder");
        } else if (setup == "blockDB") {
            phone.write(QStringLiteral("/mmc/mmca1/.system/java"), "not a folder");
        } else if (setup == "lockDownLoad") {
            QDir().mkpath(phone.host(kInstallTmp));
            if (!lockPath(QString::fromLatin1(kDownLoad)))
                QSKIP("chattr +i is refused here");
        } else if (setup == "lockDB") {
            phone.write(QString::fromLatin1(kCardRegistry), "");
            if (!lockPath(QString::fromLatin1(kCardRegistry)))
                QSKIP("chattr +i is refused here");
        } else if (setup == "lockMenu") {
            phone.write(QString::fromLatin1(kMenuTree), "[Fav]\nItems = a\n");
            if (!lockPath(QString::fromLatin1(kMenuTree)))
                QSKIP("chattr +i is refused here");
        }

        MainWindows win(QStringLiteral("appkeeper"), false, nullptr, "MainWin");
        win.show();
        const int before = win.appList()->count();
        Script s;
        if (setup != "none")
            pickOnCard(s, QStringLiteral("bad.pkg"));
        s.key("SoftInstallDlg", Qt::Key_F1, setup != "none");
        if (asked)
            s.box(Qt::Key_1);
        s.box(Qt::Key_1);
        openInstallFromMenu(win);

        QVERIFY(s.done());
        QVERIFY2(s.unexpected.isEmpty(), qPrintable(s.unexpected.join(QLatin1Char('|'))));
        QCOMPARE(s.messages.size(), asked ? 2 : 1);
        QCOMPARE(s.messages.last(), expected);
        QCOMPARE(win.appList()->count(), before);
    }

    // The command-line form: the dialog shows the path it was given, and
    // leaving the picker without a choice keeps it.
    void presetPathSurvivesPicker()
    {
        Phone phone;
        SoftInstallDlg dlg(QStringLiteral("/tmp/some where/x.pkg"), QStringLiteral("t"), nullptr,
                           "dlg", 1, {}, MyClass_Dlg::Dlg_Large);
        QCOMPARE(pathField(&dlg), QStringLiteral("/tmp/some where/x.pkg"));
        Script s;
        s.key("SoftInstallDlg", Qt::Key_Return);
        s.key("ZOpenDlg", Qt::Key_F2);
        s.key("SoftInstallDlg", Qt::Key_F2, true);
        dlg.exec();
        QVERIFY(s.done());
        QCOMPARE(dlg.pkgPath, QStringLiteral("/tmp/some where/x.pkg"));
        QCOMPARE(pathField(&dlg), QStringLiteral("/tmp/some where/x.pkg"));
        QVERIFY(dlg.installedName.isNull());
        QVERIFY(dlg.installedUID.isNull());
    }
};

SCREENS_TEST_MAIN(TestInstall)
#include "tst_install.moc"
