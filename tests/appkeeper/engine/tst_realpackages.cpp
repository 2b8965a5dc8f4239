// Packages as people make them, installed as the install dialog does: made
// by the archivers in use (GNU tar, BusyBox tar, bsdtar, Python's tarfile in
// its three formats), with padding after the archive, desktop files in
// GB2312, folder names that are not UTF-8, and whatever an earlier package
// may leave in the install area. Most packages are made at test time by
// data/make_real.py.

#include "enginetestutil.h"
#include "phoneroot.h"
#include "shellrunner.h"
#include "zconfig.h"

#include <QStandardPaths>
#include <QtTest>

using namespace enginetest;

namespace {

const QString kDownLoad = QStringLiteral("/mmc/mmca1/.system/QTDownLoad");
const QString kCardRegistry = QStringLiteral("/mmc/mmca1/.system/java/CardRegistry");

QString makeReal(const QTemporaryDir& dir, const QString& kind, const QString& stage = QString())
{
    const QString pkg = dir.path() + QLatin1Char('/') + kind + QStringLiteral(".pkg");
    QStringList args{QStringLiteral(TESTS_SOURCE_DIR "/data/make_real.py"), pkg, kind};
    if (!stage.isEmpty())
        args << stage;
    QByteArray out;
    return run(QStringLiteral("python3"), args, &out) == 0 ? pkg : QString();
}

// The next install starts from an empty area and goes through.
void cleanPackageInstalls(const PhoneRoot& root)
{
    QTemporaryDir d;
    const QString pkg = d.path() + QStringLiteral("/clean.pkg");
    QVERIFY(makePackage(pkg, d.path() + QStringLiteral("/stage"),
                        {{"clean/c.desktop", desktop("Clean")}, {"clean/run.sh", "#!/bin/sh\n"}}));
    QString dir;
    QCOMPARE(install(pkg, &dir), 0);
    QVERIFY(QFileInfo(root.host(dir + QStringLiteral("/c.desktop"))).isFile());
    QCOMPARE(areaEntries(root), QStringList());
}

} // namespace

class RealPackages : public QObject
{
    Q_OBJECT

private slots:
    void archivers_data();
    void archivers();
    void paddingAndMembers_data();
    void paddingAndMembers();
    void legacyDesktopFile();
    void folderNameNotUtf8();
    void leftoversNeverBlock_data();
    void leftoversNeverBlock();
};

void RealPackages::archivers_data()
{
    QTest::addColumn<QString>("tool");
    QTest::newRow("GNU tar") << "gnu-tar";
    QTest::newRow("BusyBox tar") << "busybox";
    QTest::newRow("bsdtar") << "bsdtar";
    QTest::newRow("Python ustar") << "ustar";
    QTest::newRow("Python gnu") << "gnu";
    QTest::newRow("Python pax") << "pax";
}

// The same application packed by each tool: a program, a sub-folder and a
// link inside the package. On a card that holds no links (FAT) GNU tar
// installs it without the link; BusyBox tar stops at the link, and the
// package fails at the folder search. Either way the link is named in a
// trace line and nothing is left behind.
void RealPackages::archivers()
{
    QFETCH(QString, tool);
    PhoneRoot root;
    QTemporaryDir d;
    const QString stage = d.path() + QStringLiteral("/stage");
    const QString app = stage + QStringLiteral("/game");
    QVERIFY(QDir().mkpath(app + QStringLiteral("/icons")));
    QFile desk(app + QStringLiteral("/game.desktop"));
    QVERIFY(desk.open(QIODevice::WriteOnly) && desk.write(desktop("Game", "Comment=packed\n")) > 0);
    desk.close();
    QFile prog(app + QStringLiteral("/run.sh"));
    QVERIFY(prog.open(QIODevice::WriteOnly) && prog.write("#!/bin/sh\necho game\n") > 0);
    prog.close();
    QVERIFY(prog.setPermissions(prog.permissions() | QFileDevice::ExeOwner));
    QFile icon(app + QStringLiteral("/icons/i.png"));
    QVERIFY(icon.open(QIODevice::WriteOnly) && icon.write("icon") == 4);
    icon.close();
    QVERIFY(QFile::link(QStringLiteral("icons/i.png"), app + QStringLiteral("/icon.png")));

    QString pkg = d.path() + QStringLiteral("/game.pkg");
    auto packWith = [&](const QString& program, const QStringList& args) {
        const QString path = QStandardPaths::findExecutable(program, {"/usr/bin", "/bin"});
        if (path.isEmpty())
            return false;
        return run(path, args) == 0;
    };
    bool made = false;
    if (tool == "gnu-tar")
        made = packWith("tar", {"czf", pkg, "-C", stage, "game"});
    else if (tool == "busybox")
        made = packWith("busybox", {"tar", "czf", pkg, "-C", stage, "game"});
    else if (tool == "bsdtar")
        made = packWith("bsdtar", {"-czf", pkg, "-C", stage, "game"});
    else
        made = !(pkg = makeReal(d, tool, stage)).isEmpty();
    QVERIFY2(made, "the archiver is missing or failed (scripts/setup.sh installs it)");

    QString dir, uid;
    int step = -1;
    const QByteArray trace = captureStdout([&] { step = install(pkg, &dir, &uid); });
    if (phoneCardIsFat()) {
        QVERIFY2(trace.contains("Link not installed: \"game/icon.png\""), trace.constData());
        if (step == 5) {
            QCOMPARE(areaEntries(root), QStringList());
            QVERIFY(!QFileInfo::exists(root.host(kDownLoad + QStringLiteral("/game"))));
            return;
        }
    }
    QVERIFY2(step == 0, qPrintable(QStringLiteral("step %1: ").arg(step) + QString::fromUtf8(trace)));
    QCOMPARE(dir, kDownLoad + QStringLiteral("/game"));
    QCOMPARE(root.readFile(dir + QStringLiteral("/run.sh")), QByteArray("#!/bin/sh\necho game\n"));
    QCOMPARE(root.readFile(dir + QStringLiteral("/icons/i.png")), QByteArray("icon"));
    const ZConfig registry(kCardRegistry, false);
    QCOMPARE(registry.readEntry(uid, QStringLiteral("Comment")), QStringLiteral("packed"));
    const QFileInfo link(root.host(dir + QStringLiteral("/icon.png")));
    if (phoneCardIsFat()) {
        QVERIFY(!link.exists() && !link.isSymLink());
    } else {
        QVERIFY(link.isSymLink());
        QCOMPARE(link.symLinkTarget(), QFileInfo(root.host(dir + QStringLiteral("/icons/i.png"))).absoluteFilePath());
        QVERIFY2(!trace.contains("Link not installed"), trace.constData());
    }
    QCOMPARE(areaEntries(root), QStringList());
}

void RealPackages::paddingAndMembers_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("zeros after the archive") << "padded-zeros";
    QTest::newRow("other bytes after the archive") << "padded-garbage";
    QTest::newRow("two gzip members") << "two-members";
}

// A whole archive installs whatever follows its compressed stream; the
// bare tar answers an error for some of these.
void RealPackages::paddingAndMembers()
{
    QFETCH(QString, kind);
    PhoneRoot root;
    QTemporaryDir d;
    const QString pkg = makeReal(d, kind);
    QVERIFY(!pkg.isEmpty());
    QString dir;
    QCOMPARE(install(pkg, &dir), 0);
    QCOMPARE(root.readFile(dir + QStringLiteral("/run.sh")), QByteArray("#!/bin/sh\necho real\n"));
    QCOMPARE(areaEntries(root), QStringList());
}

// A desktop file in GB2312 enters the registry as the right text, and the
// registry stays UTF-8.
void RealPackages::legacyDesktopFile()
{
    PhoneRoot root;
    QTemporaryDir d;
    const QString pkg = makeReal(d, QStringLiteral("gb2312-desktop"));
    QVERIFY(!pkg.isEmpty());
    EZXPkgInstall e(pkg);
    QCOMPARE(installSteps(e), 0);
    QCOMPARE(e.softName, QString::fromUtf8("贪吃蛇"));
    const ZConfig registry(kCardRegistry, false);
    QCOMPARE(registry.readEntry(e.softUID, QStringLiteral("Name")), QString::fromUtf8("贪吃蛇"));
    QCOMPARE(registry.readEntry(e.softUID, QStringLiteral("Comment")), QString::fromUtf8("经典游戏"));
    const QByteArray bytes = root.readFile(kCardRegistry);
    QVERIFY(bytes.contains(QString::fromUtf8("Name = 贪吃蛇").toUtf8())
            || bytes.contains(QString::fromUtf8("Name=贪吃蛇").toUtf8()));
}

// A package folder whose name is not UTF-8 cannot be named in a registry:
// it is refused at the folder search, and goes from the area like any other.
void RealPackages::folderNameNotUtf8()
{
    PhoneRoot root;
    QTemporaryDir d;
    const QString pkg = makeReal(d, QStringLiteral("non-utf8-folder"));
    QVERIFY(!pkg.isEmpty());
    QCOMPARE(install(pkg), 5);
    QCOMPARE(areaEntries(root), QStringList());
    QCOMPARE(QDir(root.host(kDownLoad)).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("installtmp")});
    cleanPackageInstalls(root);
}

void RealPackages::leftoversNeverBlock_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("bigForFat");
    QTest::newRow("a folder of mode 0555") << "readonly-folder" << false;
    QTest::newRow("8,000 files with 200-byte names") << "many-long-names" << true;
    QTest::newRow("100,000 files") << "many-short-names" << true;
    QTest::newRow("40,000 dot-files") << "many-dot-files" << true;
}

// Whatever a package leaves in the install area, the area is emptied after
// it and the next package installs.
void RealPackages::leftoversNeverBlock()
{
    QFETCH(QString, kind);
    QFETCH(bool, bigForFat);
    if (bigForFat && phoneCardIsFat())
        QSKIP("fusefat takes minutes for a few thousand entries in one folder");
    PhoneRoot root;
    QTemporaryDir d;
    const QString pkg = makeReal(d, kind);
    QVERIFY(!pkg.isEmpty());
    QString dir, uid;
    QCOMPARE(install(pkg, &dir, &uid), 0);
    QCOMPARE(dir, kDownLoad + QStringLiteral("/app"));
    QCOMPARE(areaEntries(root), QStringList());
    cleanPackageInstalls(root);
    if (kind == "readonly-folder") {
        // The installed copy can be uninstalled whole, by an ordinary user too.
        QCOMPARE(root.readFile(dir + QStringLiteral("/ro/data")), QByteArray("kept\n"));
        EZXPkgInstall e{QString()};
        int removed = 0;
        captureStdout([&] { removed = e.unInstallSoft(uid); });
        QCOMPARE(removed, 1);
        QVERIFY(!QFileInfo::exists(root.host(dir)));
    }
}

QTEST_GUILESS_MAIN(RealPackages)
#include "tst_realpackages.moc"
