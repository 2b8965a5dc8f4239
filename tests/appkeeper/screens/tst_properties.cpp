// The properties dialog: what it shows of a record, the Java domain in
// registry.txt (read in any letter case, written back with every other line
// as it was, never lost), user, group, arguments and the autorun box.

#include "phonefixture.h"
#include "softpropertiesdlg.h"
#include "zmultilineedit.h"
#include "zscrollview.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QtTest>

#include <sys/mount.h>

using namespace screentest;

namespace {

const QString kUid = QStringLiteral("0a1b2c3d-0000-4000-8000-00000000c0de");
const QString kAppDir = QStringLiteral("/mmc/mmca1/.system/QTDownLoad/Chess");
const QString kRegistryTxt = kAppDir + QStringLiteral("/registry.txt");

std::unique_ptr<SoftPropertiesDlg> openDialog()
{
    return std::make_unique<SoftPropertiesDlg>(kUid, QStringLiteral("Properties"), nullptr, "dlg",
                                               1, Qt::WindowFlags(), MyClass_Dlg::Dlg_Large);
}

// A Java application registered on the card, its folder holding `registry`
// (no file when null).
void javaApp(const Phone& phone, const QByteArray& registry)
{
    phone.record(kCardRegistry, kUid,
                 {{"Name", "Chess"}, {"JavaId", "17"}, {"UserID", "ezx"}, {"GroupID", "ezx"},
                  {"Args", "-fast"}, {"Directory", kAppDir}});
    QDir().mkpath(phone.host(kAppDir));
    if (!registry.isNull())
        QVERIFY(phone.write(kRegistryTxt, registry));
}

// Runs the dialog, lets `change` set the fields, presses OK and answers the
// hints; returns their texts.
QStringList saveWith(SoftPropertiesDlg& dlg, std::function<void(SoftPropertiesDlg&)> change,
                     int hints = 1)
{
    Script s;
    s.on("SoftPropertiesDlg", [&](QWidget*) {
        change(dlg);
        QTest::keyClick(&dlg, Qt::Key_F1);
    });
    for (int i = 0; i < hints; ++i)
        s.box(Qt::Key_1);
    dlg.exec();
    if (!s.done() || !s.unexpected.isEmpty())
        return QStringList{QStringLiteral("<unexpected>")} + s.unexpected + s.messages;
    return s.messages;
}

} // namespace

class TestProperties : public QObject
{
    Q_OBJECT

private slots:
    void recordShown_data()
    {
        QTest::addColumn<QString>("registry");
        QTest::addColumn<QVariant>("javaId");   // invalid: no key
        QTest::addColumn<QVariant>("userId");
        QTest::addColumn<QString>("groupId");
        QTest::addColumn<bool>("java");
        QTest::addColumn<QString>("user");
        QTest::addColumn<int>("group");
        QTest::newRow("mpkg -1, root") << "db" << QVariant("-1") << QVariant("root") << "root"
                                       << false << "root" << 0;
        QTest::newRow("mpkg empty id") << "db" << QVariant("") << QVariant("ezx") << "ezx"
                                       << false << "ezx" << 1;
        QTest::newRow("java, no user") << "card" << QVariant("17") << QVariant() << "other"
                                       << true << "ezx" << 1;
        QTest::newRow("java, no JavaId key") << "card" << QVariant() << QVariant("Root")
                                             << "root" << true << "ezx" << 0;
    }
    void recordShown()
    {
        QFETCH(QString, registry);
        QFETCH(QVariant, javaId);
        QFETCH(QVariant, userId);
        QFETCH(QString, groupId);
        QFETCH(bool, java);
        QFETCH(QString, user);
        QFETCH(int, group);
        Phone phone;
        QMap<QString, QString> keys{{"Name", "Chess Deluxe"}, {"GroupID", groupId},
                                    {"Args", "-x 1"}, {"Directory", kAppDir}};
        if (javaId.isValid())
            keys.insert("JavaId", javaId.toString());
        if (userId.isValid())
            keys.insert("UserID", userId.toString());
        phone.record(registry == "db" ? kInstalledDB : kCardRegistry, kUid, keys);

        auto dlg = openDialog();
        QVERIFY(dlg->ml_SoftName);
        QCOMPARE(dlg->ml_SoftName->text(), QStringLiteral("Chess Deluxe"));
        QVERIFY(dlg->ml_SoftName->isReadOnly());
        QCOMPARE(dlg->pLabel4->text(), java ? CAP(Dlg_Win_Item6) : CAP(Dlg_Win_Item5));
        QCOMPARE(dlg->pComBoxDomain != nullptr, java);
        QCOMPARE(dlg->pComBoxUser->currentText(), user);
        QCOMPARE(dlg->pComBoxGroup->currentIndex(), group);
        QCOMPARE(dlg->ml_Args->text(), QStringLiteral("-x 1"));
        QVERIFY(dlg->ml_Args->isReadOnly());
        // The user row follows the domain row for Java, the type row otherwise,
        // and no two fields or labels cover each other.
        const QWidget* above = java ? static_cast<QWidget*>(dlg->pComBoxDomain) : dlg->pLabel4;
        QVERIFY(dlg->pComBoxUser->y() > above->geometry().bottom());
        QList<QWidget*> shownParts;
        for (QWidget* w : dlg->contentView()->viewport()->findChildren<QWidget*>(
                 QString(), Qt::FindDirectChildrenOnly))
            if (!w->isHidden() && w->objectName() != QLatin1String("focusFrame"))
                shownParts << w;
        for (int i = 0; i < shownParts.size(); ++i)
            for (int j = i + 1; j < shownParts.size(); ++j)
                QVERIFY2(!shownParts[i]->geometry().intersects(shownParts[j]->geometry()),
                         qPrintable(shownParts[i]->objectName() + QLatin1Char('/')
                                    + shownParts[j]->objectName()));
    }

    void noRecord_data()
    {
        QTest::addColumn<bool>("nullUid");
        QTest::newRow("unknown uid") << false;
        QTest::newRow("null uid") << true;
    }
    void noRecord()
    {
        QFETCH(bool, nullUid);
        Phone phone;
        phone.record(kInstalledDB, QStringLiteral("other"), {{"Name", "Other"}});
        const QByteArray before = phone.read(kInstalledDB);
        SoftPropertiesDlg dlg(nullUid ? QString() : kUid, QStringLiteral("P"), nullptr, "dlg", 1,
                              {}, MyClass_Dlg::Dlg_Large);
        QVERIFY(!dlg.ml_SoftName);
        QCOMPARE(saveWith(dlg, [](SoftPropertiesDlg&) {}), QStringList{shown(CAP(Msg_HintInfo_Items3))});
        QCOMPARE(phone.read(kInstalledDB), before);
        QVERIFY(!phone.exists(kCardRegistry));
    }

    void domainRead_data()
    {
        QTest::addColumn<QByteArray>("file");     // null: no registry.txt
        QTest::addColumn<QString>("domain");
        QTest::addColumn<QByteArray>("after");    // the file once read
        QTest::newRow("exact") << QByteArray("Domain: Third party\n") << "Third party"
                               << QByteArray("Domain: Third party\n");
        QTest::newRow("any letter case") << QByteArray("Domain: third PARTY\n") << "Third party"
                                         << QByteArray("Domain: third PARTY\n");
        QTest::newRow("no space after colon") << QByteArray("Domain:manufacturer\n")
                                              << "Manufacturer"
                                              << QByteArray("Domain:manufacturer\n");
        QTest::newRow("blanks around") << QByteArray("  Domain  :   Operator   \n") << "Operator"
                                       << QByteArray("  Domain  :   Operator   \n");
        QTest::newRow("lower-case key") << QByteArray("domain: Operator\n") << "Untrusted"
                                        << QByteArray("domain: Operator\n");
        QTest::newRow("unknown value") << QByteArray("Domain: Root\n") << "Untrusted"
                                       << QByteArray("Domain: Root\n");
        QTest::newRow("last line without LF") << QByteArray("Name: x\nDomain: Operator")
                                              << "Operator"
                                              << QByteArray("Name: x\nDomain: Operator\n");
        QTest::newRow("CRLF lines") << QByteArray("Name: x\r\nDomain: Manufacturer\r\n")
                                    << "Manufacturer"
                                    << QByteArray("Name: x\r\nDomain: Manufacturer\r\n");
        QTest::newRow("empty") << QByteArray("") << "Untrusted" << QByteArray("");
        QTest::newRow("absent") << QByteArray() << "Untrusted" << QByteArray();
        QTest::newRow("binary") << QByteArray("\x00\x01\xff\nDomain: Operator\n\x00\x7f", 23)
                                << "Operator"
                                << QByteArray("\x00\x01\xff\nDomain: Operator\n\x00\x7f\n", 24);
    }
    void domainRead()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, domain);
        QFETCH(QByteArray, after);
        Phone phone;
        javaApp(phone, file);
        auto dlg = openDialog();
        QVERIFY(dlg->pComBoxDomain);
        QCOMPARE(dlg->pComBoxDomain->currentText(), domain);
        QCOMPARE(dlg->pComBoxDomain->count(), 4);
        QCOMPARE(phone.exists(kRegistryTxt), !file.isNull());
        QCOMPARE(phone.read(kRegistryTxt), after);
    }

    void domainWrite_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("replaced in place")
            << QByteArray("MIDlet-Name: Chess\nDomain: Untrusted\nVendor: X\n")
            << QByteArray("MIDlet-Name: Chess\nDomain: Manufacturer\nVendor: X\n");
        QTest::newRow("final LF added")
            << QByteArray("A: 1\ndomain: keep\nDomain:Operator\nB: 2")
            << QByteArray("A: 1\ndomain: keep\nDomain: Manufacturer\nB: 2\n");
        QTest::newRow("no Domain line") << QByteArray("A: 1\nB: 2") << QByteArray("A: 1\nB: 2\n");
        QTest::newRow("CRLF kept") << QByteArray("A: 1\r\nDomain: Operator\r\nB: 2\r\n")
                                   << QByteArray("A: 1\r\nDomain: Manufacturer\r\nB: 2\r\n");
        QTest::newRow("empty") << QByteArray("") << QByteArray("");
        QByteArray big;
        for (int i = 0; big.size() < 3 * 1024 * 1024; ++i)
            big += "Key-" + QByteArray::number(i) + ": " + QByteArray(40, char('a' + i % 26)) + '\n';
        QTest::newRow("large") << big + "Domain: Operator\n" + big
                               << big + "Domain: Manufacturer\n" + big;
    }
    void domainWrite()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, expected);
        Phone phone;
        javaApp(phone, file);
        auto dlg = openDialog();
        const QStringList hints = saveWith(*dlg, [](SoftPropertiesDlg& d) {
            d.pComBoxDomain->setCurrentIndex(3);
        });
        QCOMPARE(hints, QStringList{shown(CAP(Msg_HintInfo_Items4))});
        QCOMPARE(phone.read(kRegistryTxt), expected);
        // Nothing is left beside the file.
        QCOMPARE(QDir(phone.host(kAppDir)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{QStringLiteral("registry.txt")});
    }

    // A folder that cannot take the new file, or a card that fills up while
    // it is written: the old file stays whole and the dialog goes on.
    void domainWriteFails_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("folder unwritable") << "immutable";
        QTest::newRow("card full") << "full";
    }
    void domainWriteFails()
    {
        QFETCH(QString, how);
        Phone phone;
        QByteArray file = "Name: Chess\nDomain: Operator\n";
        javaApp(phone, QByteArray());
        std::unique_ptr<Immutable> lock;
        bool mounted = false;
        if (how == "full") {
            if (::mount("tmpfs", phone.host(kAppDir).toLocal8Bit().constData(), "tmpfs", 0,
                        "size=64k") != 0)
                QSKIP("mounting a tmpfs is refused here");
            mounted = true;
            // More than half of the card: a second copy cannot fit.
            file += QByteArray(40 * 1024, 'x') + '\n';
        }
        QVERIFY(phone.write(kRegistryTxt, file));
        if (how == "immutable") {
            lock = std::make_unique<Immutable>(phone.host(kAppDir));
            if (!lock->ok())
                QSKIP("chattr +i is refused here");
        }
        {
            auto dlg = openDialog();
            QCOMPARE(dlg->pComBoxDomain->currentText(), QStringLiteral("Operator"));
            const QStringList hints = saveWith(*dlg, [](SoftPropertiesDlg& d) {
                d.pComBoxDomain->setCurrentIndex(3);
            });
            QCOMPARE(hints, QStringList{shown(CAP(Msg_HintInfo_Items4))});
        }
        const QByteArray now = phone.read(kRegistryTxt);
        const QStringList left = QDir(phone.host(kAppDir)).entryList(
            QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        lock.reset();
        if (mounted)
            ::umount(phone.host(kAppDir).toLocal8Bit().constData());
        QCOMPARE(now, file);
        QCOMPARE(left, QStringList{QStringLiteral("registry.txt")});
        // The registry record was still written.
        QCOMPARE(phone.entry(kCardRegistry, kUid, "UserID"), QStringLiteral("ezx"));
    }

    void userGroupArgsSaved()
    {
        Phone phone;
        phone.record(kInstalledDB, kUid,
                     {{"Name", "Calc"}, {"JavaId", "-1"}, {"UserID", "ezx"}, {"GroupID", "ezx"},
                      {"Args", "-a"}, {"Exec", "calc"}});
        auto dlg = openDialog();
        const QStringList hints = saveWith(*dlg, [](SoftPropertiesDlg& d) {
            d.pComBoxUser->setCurrentIndex(0);
            d.pComBoxGroup->setCurrentIndex(0);
        });
        QCOMPARE(hints, QStringList{shown(CAP(Msg_HintInfo_Items4))});
        QCOMPARE(phone.entry(kInstalledDB, kUid, "UserID"), QStringLiteral("root"));
        QCOMPARE(phone.entry(kInstalledDB, kUid, "GroupID"), CAP(Dlg_Win_ComBox_Item1));
        QCOMPARE(phone.entry(kInstalledDB, kUid, "Args"), QStringLiteral("-a"));
        QCOMPARE(phone.entry(kInstalledDB, kUid, "Exec"), QStringLiteral("calc"));
        QVERIFY(!phone.exists(kCardRegistry));
    }

    void autorun_data()
    {
        QTest::addColumn<QVariant>("listAtOpen");  // invalid: no autorun file
        QTest::addColumn<bool>("boxAtSave");
        QTest::addColumn<QString>("typedArgs");    // null: not typed
        QTest::addColumn<QString>("listAfter");
        QTest::addColumn<QString>("argsAfter");
        QTest::addColumn<bool>("autorunFailed");
        const QString other = QStringLiteral("99999999-0000-4000-8000-000000000000");
        QTest::newRow("off, left off") << QVariant(other) << false << QString() << other << "-a"
                                       << false;
        QTest::newRow("off, switched on") << QVariant(other) << true << QString()
                                          << other + ";" + kUid << "-a" << false;
        QTest::newRow("on, switched off") << QVariant(other + ";" + kUid) << false << QString()
                                          << other << "-a" << false;
        QTest::newRow("on, arguments edited") << QVariant(kUid) << true << " --new" << kUid
                                              << "-a --new" << false;
        QTest::newRow("no list file") << QVariant() << true << QString() << QString() << "-a"
                                      << true;
    }
    void autorun()
    {
        QFETCH(QVariant, listAtOpen);
        QFETCH(bool, boxAtSave);
        QFETCH(QString, typedArgs);
        QFETCH(QString, listAfter);
        QFETCH(QString, argsAfter);
        QFETCH(bool, autorunFailed);
        Phone phone;
        phone.record(kInstalledDB, kUid, {{"Name", "Calc"}, {"JavaId", "-1"}, {"Args", "-a"}});
        if (listAtOpen.isValid())
            phone.autorunList(listAtOpen.toString());
        const bool listed = listAtOpen.toString().contains(kUid);

        auto dlg = openDialog();
        QCOMPARE(dlg->pCButton1->isChecked(), listed);
        QCOMPARE(dlg->ml_Args->isReadOnly(), !listed);
        const QStringList hints = saveWith(*dlg, [&](SoftPropertiesDlg& d) {
            d.pCButton1->setChecked(boxAtSave);
            // Ticking or unticking the box does not change what may be edited.
            QCOMPARE(d.ml_Args->isReadOnly(), !listed);
            if (!typedArgs.isNull()) {
                d.ml_Args->setFocus();
                d.ml_Args->moveCursor(QTextCursor::End);
                QTest::keyClicks(d.ml_Args, typedArgs);
            }
        }, autorunFailed ? 2 : 1);
        QStringList expected{shown(CAP(Msg_HintInfo_Items4))};
        if (autorunFailed)
            expected.prepend(shown(readLabelCaption(QStringLiteral("Msg_HintInfo_Items17"),
                                                    Text_code(CaptionDefault::Msg_HintInfo_Items16_Autorun))));
        QCOMPARE(hints, expected);
        QCOMPARE(phone.autorunApps(), listAfter);
        QCOMPARE(phone.entry(kInstalledDB, kUid, "Args"), argsAfter);
        if (!listAtOpen.isValid())
            QVERIFY(!phone.exists(kAutorun));
    }

    void cancelWritesNothing()
    {
        Phone phone;
        javaApp(phone, "Domain: Operator\n");
        phone.autorunList(kUid);
        const QByteArray registry = phone.read(kCardRegistry);
        auto dlg = openDialog();
        Script s;
        s.on("SoftPropertiesDlg", [&](QWidget* w) {
            dlg->pComBoxDomain->setCurrentIndex(3);
            dlg->pComBoxUser->setCurrentIndex(0);
            dlg->pCButton1->setChecked(false);
            QTest::keyClick(w, Qt::Key_F2);
        });
        dlg->exec();
        QVERIFY(s.done());
        QCOMPARE(s.messages, QStringList());
        QCOMPARE(phone.read(kRegistryTxt), QByteArray("Domain: Operator\n"));
        QCOMPARE(phone.read(kCardRegistry), registry);
        QCOMPARE(phone.autorunApps(), kUid);
    }
};

SCREENS_TEST_MAIN(TestProperties)
#include "tst_properties.moc"
