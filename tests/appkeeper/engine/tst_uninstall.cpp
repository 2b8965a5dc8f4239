// Uninstall: record, folder and menu entries, in both registries.

#include "enginetestutil.h"
#include "phoneroot.h"
#include "shellrunner.h"
#include "zconfig.h"

#include <QtTest>

#include <cstdio>

using namespace enginetest;

namespace {

const QString kInstalledDB = QStringLiteral("/ezx_user/download/appwrite/am/InstalledDB");
const QString kCardRegistry = QStringLiteral("/mmc/mmca1/.system/java/CardRegistry");
const QString kMenuTree = QStringLiteral("/ezx_user/download/appwrite/am/UserMenuTree");
const QString kUid = QStringLiteral("0a1b2c3d-0000-4000-8000-00000000000a");
const QString kOther = QStringLiteral("0a1b2c3d-0000-4000-8000-00000000000b");

QByteArray record(const QString& uid, const QString& dir)
{
    return ("[" + uid + "]\nName=App\nDirectory=" + dir + "\nJavaId=-1\n").toUtf8();
}

QString items(const QString& group)
{
    const ZConfig c(kMenuTree, false);
    return c.readEntry(group, QStringLiteral("Items"), QStringLiteral("<none>"));
}

} // namespace

class Uninstall : public QObject
{
    Q_OBJECT

private slots:
    void menuLists_data();
    void menuLists();
    void registries_data();
    void registries();
    void failedRemovalDeletesNothing();
    void dangerousDirectory_data();
    void dangerousDirectory();
    void quotedDirectory();
    void craftedRecords_data();
    void craftedRecords();
    void installedThenUninstalled();
};

void Uninstall::menuLists_data()
{
    QTest::addColumn<QString>("before");   // U stands for the UID
    QTest::addColumn<QString>("after");
    QTest::newRow("A;U;B") << "A;U;B" << "A;B";
    QTest::newRow("A;U") << "A;U" << "A";
    QTest::newRow("U;A") << "U;A" << "A";
    QTest::newRow(";U") << ";U" << "";
    QTest::newRow("U") << "U" << "";
    QTest::newRow("not in list") << "A;B" << "A;B";
    QTest::newRow("twice: each pattern once") << "U;A;U" << "A";
    QTest::newRow("four times: one left") << "U;U;A;U;B;U" << "A;;B;U";
    QTest::newRow("empty list untouched") << "" << "";
    // Only whole entries go: removing "chess" leaves "chess2" alone.
    QTest::newRow("longer entries holding the UID") << "A;U2;B;xU;U" << "A;U2;B;xU";
}

void Uninstall::menuLists()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    PhoneRoot root;
    root.writeFile(kInstalledDB, record(kUid, "/ezx_user/apps/x"));
    before.replace(QLatin1Char('U'), kUid);
    after.replace(QLatin1Char('U'), kUid);
    root.writeFile(kMenuTree, ("[first]\nItems=" + before + "\n[noitems]\nName=keep\n[second]\nItems=" + before
                               + "\n").toUtf8());
    EZXPkgInstall e{QString()};
    QCOMPARE(e.unInstallSoft(kUid), 1);
    QCOMPARE(items("first"), after);
    QCOMPARE(items("second"), after);
    // A group without "Items" stays without one.
    QCOMPARE(items("noitems"), QStringLiteral("<none>"));
    const ZConfig c(kMenuTree, false);
    QCOMPARE(c.readEntry("noitems", "Name"), QStringLiteral("keep"));
}

void Uninstall::registries_data()
{
    QTest::addColumn<bool>("inInstalledDB");
    QTest::addColumn<bool>("inCard");
    QTest::addColumn<QString>("uid");
    QTest::addColumn<int>("result");
    QTest::newRow("only in InstalledDB") << true << false << kUid << 1;
    QTest::newRow("only in the card registry") << false << true << kUid << 1;
    QTest::newRow("in both: InstalledDB only") << true << true << kUid << 1;
    QTest::newRow("in neither") << false << false << kUid << 0;
    QTest::newRow("null UID") << true << true << QString() << 0;
    QTest::newRow("empty UID") << true << true << QString("") << 0;
    QTest::newRow("blank UID") << true << true << QString(" \t") << 0;
}

void Uninstall::registries()
{
    QFETCH(bool, inInstalledDB);
    QFETCH(bool, inCard);
    QFETCH(QString, uid);
    QFETCH(int, result);
    PhoneRoot root;
    const QString phoneDir = QStringLiteral("/ezx_user/apps/app");
    const QString cardDir = QStringLiteral("/mmc/mmca1/.system/QTDownLoad/app");
    root.writeFile(phoneDir + "/run.sh", "x");
    root.writeFile(cardDir + "/run.sh", "x");
    const QByteArray db = "# phone\n" + record(kOther, "/ezx_user/apps/other")
                          + (inInstalledDB ? record(kUid, phoneDir) : QByteArray());
    const QByteArray card = "# card\n" + (inCard ? record(kUid, cardDir) : QByteArray())
                            + record(kOther, "/mmc/mmca1/.system/QTDownLoad/other");
    root.writeFile(kInstalledDB, db);
    root.writeFile(kCardRegistry, card);
    const QByteArray menu = "[g]\nItems=A;" + kUid.toLatin1() + "\n";
    root.writeFile(kMenuTree, menu);

    int got = -1;
    const QByteArray out = captureStdout([&] {
        EZXPkgInstall e{QString()};
        got = e.unInstallSoft(uid);
    });
    QCOMPARE(got, result);

    QStringList trace{uid};
    if (!uid.trimmed().isEmpty()) {
        trace << kInstalledDB;
        if (!inInstalledDB)
            trace << kCardRegistry;
        if (result == 1)
            trace << kMenuTree;
    }
    QCOMPARE(QString::fromUtf8(out), trace.join(QLatin1Char('\n')) + QLatin1Char('\n'));

    const bool fromDB = result == 1 && inInstalledDB;
    const bool fromCard = result == 1 && !inInstalledDB;
    const ZConfig dbAfter(kInstalledDB, false);
    const ZConfig cardAfter(kCardRegistry, false);
    QCOMPARE(dbAfter.groupExists(kUid), inInstalledDB && !fromDB);
    QCOMPARE(cardAfter.groupExists(kUid), inCard && !fromCard);
    QVERIFY(dbAfter.groupExists(kOther) && cardAfter.groupExists(kOther));
    if (!fromDB)
        QCOMPARE(root.readFile(kInstalledDB), db);
    if (!fromCard)
        QCOMPARE(root.readFile(kCardRegistry), card);
    QCOMPARE(QFileInfo::exists(root.host(phoneDir)), !fromDB);
    QCOMPARE(QFileInfo::exists(root.host(cardDir)), !fromCard);
    if (result == 1)
        QCOMPARE(items("g"), QStringLiteral("A"));
    else
        QCOMPARE(root.readFile(kMenuTree), menu);
}

void Uninstall::failedRemovalDeletesNothing()
{
    PhoneRoot root;
    const QString dir = QStringLiteral("/mmc/mmca1/.system/QTDownLoad/app");
    root.writeFile(dir + "/run.sh", "x");
    const QByteArray card = record(kUid, dir);
    root.writeFile(kCardRegistry, card);
    const QByteArray menu = "[g]\nItems=" + kUid.toLatin1() + "\n";
    root.writeFile(kMenuTree, menu);
    if (run("chattr", {"+i", root.host(kCardRegistry)}) != 0)
        QSKIP("chattr +i is refused on this file system");
    EZXPkgInstall e{QString()};
    const int result = e.unInstallSoft(kUid);
    run("chattr", {"-i", root.host(kCardRegistry)});
    QCOMPARE(result, 0);
    QCOMPARE(root.readFile(kCardRegistry), card);
    QCOMPARE(root.readFile(dir + "/run.sh"), QByteArray("x"));
    QCOMPARE(root.readFile(kMenuTree), menu);
}

void Uninstall::dangerousDirectory_data()
{
    QTest::addColumn<QString>("directory");
    QTest::newRow("empty") << "";
    QTest::newRow("root") << "/";
    QTest::newRow("card") << "/mmc/mmca1";
    QTest::newRow("card with slash") << "/mmc/mmca1/";
    QTest::newRow("mmc") << "/mmc";
    QTest::newRow("ezx_user") << "/ezx_user";
    QTest::newRow("data_resource") << "/usr/data_resource";
    QTest::newRow("relative") << "apps/app";
    QTest::newRow("dot-dot to the card") << "/mmc/mmca1/.system/QTDownLoad/app/../../..";
    QTest::newRow("dot-dot inside") << "/mmc/mmca1/.system/QTDownLoad/../QTDownLoad/app";
    QTest::newRow("all installed applications") << "/mmc/mmca1/.system/QTDownLoad";
    QTest::newRow("card system folder") << "/mmc/mmca1/.system/";
    QTest::newRow("card registry folder") << "/mmc/mmca1/.system/java";
    QTest::newRow("platform registries") << "/ezx_user/download/appwrite/am";
    QTest::newRow("phone downloads") << "/ezx_user/download";
    QTest::newRow("host folder outside the phone") << "/tmp";
}

void Uninstall::dangerousDirectory()
{
    QFETCH(QString, directory);
    PhoneRoot root;
    root.writeFile("/mmc/mmca1/.system/QTDownLoad/app/run.sh", "x");
    root.writeFile("/ezx_user/keep", "x");
    root.writeFile("/usr/data_resource/keep", "x");
    root.writeFile(kCardRegistry, record(kUid, directory) + record(kOther, "/x"));
    root.writeFile(kMenuTree, "[g]\nItems=A;" + kUid.toLatin1() + "\n");
    // Any rm that slips through is recorded instead of run.
    QStringList removals;
    ShellRunner previous = setShellRunner([&](const QString& line) {
        if (line.startsWith(QStringLiteral("rm"))) {
            removals << line;
            return 0;
        }
        return std::system(line.toUtf8().constData());
    });
    int result = -1;
    const QByteArray out = captureStdout([&] {
        EZXPkgInstall e{QString()};
        result = e.unInstallSoft(kUid);
    });
    setShellRunner(previous);
    QCOMPARE(result, 1);
    QCOMPARE(removals, QStringList());
    QVERIFY2(out.contains("Directory not removed: \"" + directory.toUtf8() + "\"\n"), out.constData());
    const ZConfig card(kCardRegistry, false);
    QVERIFY(!card.groupExists(kUid));
    QVERIFY(card.groupExists(kOther));
    QCOMPARE(items("g"), QStringLiteral("A"));
    QCOMPARE(root.readFile("/mmc/mmca1/.system/QTDownLoad/app/run.sh"), QByteArray("x"));
}

void Uninstall::craftedRecords_data()
{
    // The record's "Directory", and the host path (below the outer folder)
    // of what it aims at, which must exist before and after.
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("target");
    const QString apps = "root/mmc/mmca1/.system/QTDownLoad/";
    QTest::newRow("phone-memory applications") << "/ezx_user/apps" << "root/ezx_user/apps/notes";
    QTest::newRow("InstalledDB") << "/ezx_user/download/appwrite/am/InstalledDB"
                                 << "root/ezx_user/download/appwrite/am/InstalledDB";
    QTest::newRow("UserMenuTree") << "/ezx_user/download/appwrite/am/UserMenuTree"
                                  << "root/ezx_user/download/appwrite/am/UserMenuTree";
    QTest::newRow("card registry") << "/mmc/mmca1/.system/java/CardRegistry"
                                   << "root/mmc/mmca1/.system/java/CardRegistry";
    QTest::newRow("ezx_system.cfg") << "/ezx_user/download/appwrite/setup/ezx_system.cfg"
                                    << "root/ezx_user/download/appwrite/setup/ezx_system.cfg";
    QTest::newRow("the user's photos") << "/mmc/mmca1/DCIM" << "root/mmc/mmca1/DCIM/photo.jpg";
    QTest::newRow("preloaded applications") << "/usr/data_resource/preloadapps"
                                            << "root/usr/data_resource/preloadapps/SysRegistry";
    QTest::newRow("another application") << "/mmc/mmca1/.system/QTDownLoad/victimapp" << apps + "victimapp/run.sh";
    QTest::newRow("another application, /.") << "/mmc/mmca1/.system/QTDownLoad/victimapp/."
                                              << apps + "victimapp/run.sh";
    QTest::newRow("another application, trailing /") << "/mmc/mmca1/.system/QTDownLoad/victimapp/"
                                                     << apps + "victimapp/run.sh";
    QTest::newRow("another application, doubled /") << "/mmc/mmca1/.system//QTDownLoad/victimapp"
                                                    << apps + "victimapp/run.sh";
    QTest::newRow("parent of another application") << "/mmc/mmca1/.system/QTDownLoad/nest"
                                                   << apps + "nest/inner/run.sh";
    QTest::newRow("link to another application") << "/mmc/mmca1/.system/QTDownLoad/tovictim"
                                                 << apps + "victimapp/run.sh";
    QTest::newRow("link to another application, trailing /") << "/mmc/mmca1/.system/QTDownLoad/tovictim/"
                                                             << apps + "victimapp/run.sh";
    QTest::newRow("link out of the phone, trailing /") << "/mmc/mmca1/.system/QTDownLoad/out/"
                                                       << "victim/secret";
    QTest::newRow("a way through a link to the photos") << "/mmc/mmca1/.system/QTDownLoad/tocard/DCIM"
                                                        << "root/mmc/mmca1/DCIM/photo.jpg";
    QTest::newRow("folder holding the card registry") << "/mmc/mmca1/.system/java"
                                                      << "root/mmc/mmca1/.system/java/CardRegistry";
    QTest::newRow("path with a line break") << "/mmc/mmca1/DCIM\n" << "root/mmc/mmca1/DCIM/photo.jpg";
    QTest::newRow("the card") << "/mmc/mmca1" << "root/mmc/mmca1/DCIM/photo.jpg";
    QTest::newRow("root") << "/" << "root/ezx_user/apps/notes";
    QTest::newRow("outside the phone root") << "__OUTER__/victim" << "victim/secret";
}

// Records made by others: the uninstall removes the record and the menu
// entries, and never the folder it names, with the real rm.
void Uninstall::craftedRecords()
{
    QFETCH(QString, directory);
    QFETCH(QString, target);
    PhoneRoot root;
    directory.replace("__OUTER__", root.outer());
    const QString apps = "/mmc/mmca1/.system/QTDownLoad/";
    root.writeFile(apps + "victimapp/run.sh", "x");
    root.writeFile(apps + "nest/inner/run.sh", "x");
    root.writeFile("/ezx_user/apps/notes/run.sh", "x");
    root.writeFile("/mmc/mmca1/DCIM/photo.jpg", "x");
    root.writeFile("/usr/data_resource/preloadapps/SysRegistry", "[p]\nName=P\n");
    root.writeFile("/ezx_user/download/appwrite/setup/ezx_system.cfg", "[SYS_SYSTEM_SET]\n");
    QDir().mkpath(root.outer() + "/victim");
    QFile secret(root.outer() + "/victim/secret");
    QVERIFY(secret.open(QIODevice::WriteOnly) && secret.write("s") == 1);
    secret.close();
    const bool links = QFile::link(root.host(apps + "victimapp"), root.host(apps + "tovictim"))
                       && QFile::link(root.outer() + "/victim", root.host(apps + "out"))
                       && QFile::link(root.host("/mmc/mmca1"), root.host(apps + "tocard"));
    if (!links && QRegularExpression("/(tovictim|out|tocard)").match(directory).hasMatch())
        QSKIP("this card holds no links (FAT)");
    root.writeFile(kInstalledDB, record(kOther, "/ezx_user/apps/notes"));
    root.writeFile(kCardRegistry, record(kUid, QString()) + record("victim-uid", apps + "victimapp")
                                      + record("inner-uid", apps + "nest/inner"));
    // Through the store, so that a line break is kept as one.
    QVERIFY(ZConfig(kCardRegistry, false).writeEntry(kUid, "Directory", directory));
    root.writeFile(kMenuTree, "[g]\nItems=A;" + kUid.toLatin1() + "\n");
    const QString aimed = root.outer() + "/" + target;
    QVERIFY2(QFileInfo::exists(aimed), qPrintable(aimed));

    int result = -1;
    const QByteArray out = captureStdout([&] {
        EZXPkgInstall e{QString()};
        result = e.unInstallSoft(kUid);
    });
    QCOMPARE(result, 1);
    QVERIFY2(QFileInfo::exists(aimed), qPrintable(aimed + " is gone"));
    QVERIFY2(out.contains("Directory not removed: \"" + directory.toUtf8() + "\"\n"), out.constData());
    QCOMPARE(items("g"), QStringLiteral("A"));
    QVERIFY(!ZConfig(kCardRegistry, false).groupExists(kUid));
}

void Uninstall::quotedDirectory()
{
    PhoneRoot root;
    const QString dir = QStringLiteral("/mmc/mmca1/.system/QTDownLoad/a b'$(touch pwned)");
    root.writeFile(dir + "/run.sh", "x");
    root.writeFile("/mmc/mmca1/.system/QTDownLoad/a/keep", "x");
    root.writeFile(kCardRegistry, record(kUid, dir));
    QTemporaryDir work;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(work.path());
    EZXPkgInstall e{QString()};
    const int result = e.unInstallSoft(kUid);
    QDir::setCurrent(previous);
    QCOMPARE(result, 1);
    QVERIFY(!QFileInfo::exists(root.host(dir)));
    QCOMPARE(root.readFile("/mmc/mmca1/.system/QTDownLoad/a/keep"), QByteArray("x"));
    QVERIFY(!QFileInfo::exists(work.path() + "/pwned"));
}

void Uninstall::installedThenUninstalled()
{
    PhoneRoot root;
    const QString folderA = QString::fromLatin1(EZXPkgInstall::kMenuFolderA);
    root.writeFile(kMenuTree, ("[" + folderA + "]\nItems=A;B\n").toUtf8());
    QTemporaryDir pkgs;
    const QString pkg = pkgs.path() + "/demo.pkg";
    QVERIFY(makePackage(pkg, pkgs.path() + "/stage", {{"demo/a.desktop", desktop("Demo")}}));
    QString dir, uid;
    QCOMPARE(install(pkg, &dir, &uid), 0);
    QVERIFY(QFileInfo(root.host(dir)).isDir());
    EZXPkgInstall e{QString()};
    QCOMPARE(e.unInstallSoft(uid), 1);
    QVERIFY(!QFileInfo::exists(root.host(dir)));
    QVERIFY(QFileInfo(root.host("/mmc/mmca1/.system/QTDownLoad")).isDir());
    QCOMPARE(items(folderA), QStringLiteral("A;B"));
    QCOMPARE(items(QString::fromLatin1(EZXPkgInstall::kMenuFolderB)), QString());
    const ZConfig card(kCardRegistry, false);
    QVERIFY(!card.groupExists(uid));
}

QTEST_GUILESS_MAIN(Uninstall)
#include "tst_uninstall.moc"
