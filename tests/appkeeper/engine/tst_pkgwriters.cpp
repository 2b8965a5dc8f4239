// Writers of the phone that are killed, that meet, and that find the card
// full: every run goes through the real `ezxpkg` program on a temporary
// phone root, killed at a chosen step by its EZX_CRASH_AT hook.

#include "enginetestutil.h"
#include "phonewriter.h"
#include "zconfig.h"
#include "testprograms.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace enginetest;

namespace {

const QString kCardRegistry = QStringLiteral("/mmc/mmca1/.system/java/CardRegistry");
const QString kMenuTree = QStringLiteral("/ezx_user/download/appwrite/am/UserMenuTree");
const QString kAutorun = QStringLiteral("/ezx_user/download/appwrite/setup/ezx_sysregistry.cfg");
const QString kDownLoad = QStringLiteral("/mmc/mmca1/.system/QTDownLoad");
const QString kFolderA = QStringLiteral("cb839c8f-72c3-42ac-bf17-b01080cb5705");
const QString kFolderB = QStringLiteral("67dc1191-2928-4938-abce-1a73cb5ce490");

struct Outcome
{
    bool crashed = false;
    int code = -1;
    QByteArray out, err;
};

Outcome ezxpkg(const QStringList& args, const QMap<QString, QString>& env = {})
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (auto it = env.begin(); it != env.end(); ++it)
        e.insert(it.key(), it.value());
    p.setProcessEnvironment(e);
    p.start(testProgram("ezxpkg"), args);
    Outcome o;
    if (!p.waitForFinished(300000)) {
        p.kill();
        p.waitForFinished();
        return o;
    }
    o.crashed = p.exitStatus() == QProcess::CrashExit;
    o.code = p.exitCode();
    o.out = p.readAllStandardOutput();
    o.err = p.readAllStandardError();
    return o;
}

// Records of the card registry: UID -> Directory.
QMap<QString, QString> cardRecords()
{
    const ZConfig c(kCardRegistry, false);
    QStringList groups;
    c.getGroupsKeyList(groups);
    QMap<QString, QString> out;
    for (const QString& g : groups)
        out.insert(g, c.readEntry(g, QStringLiteral("Directory")));
    return out;
}

QString menuItems(const QString& folder)
{
    return ZConfig(kMenuTree, false).readEntry(folder, QStringLiteral("Items"));
}

QString packageOf(QTemporaryDir& dir, const QString& folder, const QString& name, int files = 20)
{
    QMap<QString, QByteArray> content{{folder + "/app.desktop", desktop(name)}};
    for (int i = 0; i < files; ++i)
        content.insert(folder + QStringLiteral("/data%1").arg(i), QByteArray(4096, char('a' + i % 26)));
    const QString pkg = dir.path() + QLatin1Char('/') + folder + QStringLiteral(".pkg");
    return makePackage(pkg, dir.path() + QStringLiteral("/stage-") + folder, content) ? pkg : QString();
}

// What the phone holds of the package "app": "whole" (record, full folder,
// both menu entries), "none", or what is half there.
QString stateOfApp(const PhoneRoot& root, int files)
{
    const QString folder = kDownLoad + QStringLiteral("/app");
    const QString uid = cardRecords().key(folder);
    const bool hasFolder = QFileInfo::exists(root.host(folder));
    if (uid.isEmpty())
        return hasFolder ? QStringLiteral("a folder without its record") : QStringLiteral("none");
    if (QDir(root.host(folder)).entryList(QDir::Files).size() != files + 1)
        return QStringLiteral("a record with a partial folder");
    if (!menuItems(kFolderA).split(';').contains(uid) || !menuItems(kFolderB).split(';').contains(uid))
        return QStringLiteral("a record missing from a menu folder");
    return QStringLiteral("whole");
}

} // namespace

class PkgWriters : public QObject
{
    Q_OBJECT
private slots:
    void killedInstall_data();
    void killedInstall();
    void killedUninstall_data();
    void killedUninstall();
    void twoInstallersAtOnce();
    void secondWriterWaitsThenSaysSo();
    void fullCard();
    void checkAndRepair();
    void sparseFile();
};

void PkgWriters::killedInstall_data()
{
    QTest::addColumn<QString>("point");
    QTest::addColumn<bool>("installed");   // after the next writer's start
    QTest::newRow("journal written") << "install-journal" << false;
    QTest::newRow("folder copied") << "install-copied" << false;
    QTest::newRow("folder flushed") << "install-flushed" << false;
    QTest::newRow("record written") << "install-registered" << true;
    QTest::newRow("menu written") << "install-menu" << true;
}

void PkgWriters::killedInstall()
{
    QFETCH(QString, point);
    QFETCH(bool, installed);
    PhoneRoot root;
    QVERIFY(root.cardReady());
    QTemporaryDir dir;
    const QString pkg = packageOf(dir, "app", "App");
    const Outcome killed = ezxpkg({"install", pkg}, {{"EZX_CRASH_AT", point}});
    QVERIFY2(killed.crashed, killed.err.constData());

    // The next writer (here the check) finishes or undoes the install.
    const Outcome check = ezxpkg({"check"});
    QVERIFY2(check.code == 0, check.out + check.err);
    QCOMPARE(stateOfApp(root, 20), QString(installed ? "whole" : "none"));
    QVERIFY(!QFileInfo::exists(root.host("/ezx_user/download/appwrite/am/.writer.journal")));
    QCOMPARE(areaEntries(root), QStringList());

    // And the next install goes where it should.
    const Outcome again = ezxpkg({"install", pkg});
    QVERIFY2(again.code == 0, again.err.constData());
    QCOMPARE(cardRecords().size(), installed ? 2 : 1);
    QVERIFY(cardRecords().values().contains(kDownLoad + (installed ? "/app0" : "/app")));
}

void PkgWriters::killedUninstall_data()
{
    QTest::addColumn<QString>("point");
    QTest::newRow("journal written") << "uninstall-journal";
    QTest::newRow("folder removed") << "uninstall-folder";
    QTest::newRow("record removed") << "uninstall-record";
    QTest::newRow("menu cut") << "uninstall-menu";
}

void PkgWriters::killedUninstall()
{
    QFETCH(QString, point);
    PhoneRoot root;
    QVERIFY(root.cardReady());
    QTemporaryDir dir;
    const Outcome installed = ezxpkg({"install", packageOf(dir, "app", "App")});
    QCOMPARE(installed.code, 0);
    const QString uid = QString::fromUtf8(installed.out).section('\t', 0, 0);
    root.writeFile(kAutorun, ("[AutoRun]\nApps=other;" + uid + ";" + uid + "x\n").toUtf8());

    QVERIFY(ezxpkg({"remove", uid}, {{"EZX_CRASH_AT", point}}).crashed);
    QCOMPARE(ezxpkg({"check"}).code, 0);
    QVERIFY(cardRecords().isEmpty());
    QVERIFY(!QFileInfo::exists(root.host(kDownLoad + "/app")));
    QVERIFY(!menuItems(kFolderA).contains(uid));
    QVERIFY(!menuItems(kFolderB).contains(uid));
    QCOMPARE(ZConfig(kAutorun, false).readEntry("AutoRun", "Apps"), "other;" + uid + "x");
}

void PkgWriters::twoInstallersAtOnce()
{
    PhoneRoot root;
    QVERIFY(root.cardReady());
    QTemporaryDir dir;
    const QStringList names = {"alpha", "beta", "gamma", "delta"};
    std::vector<std::unique_ptr<QProcess>> runs;
    for (const QString& name : names) {
        const QString pkg = packageOf(dir, name, name.toUpper(), 5);
        runs.emplace_back(new QProcess);
        // Each waits for the others however slow the card (FAT, emulation).
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("EZX_WRITER_WAIT", "600");
        runs.back()->setProcessEnvironment(env);
        runs.back()->start(testProgram("ezxpkg"),
                           {"install", pkg});
    }
    for (auto& p : runs) {
        QVERIFY(p->waitForFinished(300000));
        QVERIFY2(p->exitCode() == 0, p->readAllStandardError().constData());
    }
    // Each record names its own package, under a UID of its own.
    const QMap<QString, QString> records = cardRecords();
    QCOMPARE(records.size(), names.size());
    const ZConfig card(kCardRegistry, false);
    for (auto it = records.begin(); it != records.end(); ++it) {
        const QString folder = it.value().section('/', -1);
        QCOMPARE(card.readEntry(it.key(), "Name"), folder.toUpper());
        QVERIFY(menuItems(kFolderA).split(';').contains(it.key()));
    }
}

void PkgWriters::secondWriterWaitsThenSaysSo()
{
    PhoneRoot root;
    QVERIFY(root.cardReady());
    root.writeFile("/ezx_user/download/appwrite/setup/ezx_system.cfg", "[SYS_SYSTEM_SET]\nLanguageType=en-us\n");
    QTemporaryDir dir;
    const QString pkg = packageOf(dir, "app", "App");
    const PhoneWriterLock held;   // this test is the writer now
    QVERIFY(held.held());
    const QMap<QString, QString> before = snapshot(root.root());
    const Outcome second = ezxpkg({"install", pkg}, {{"EZX_WRITER_WAIT", "0.3"}});
    QCOMPARE(second.code, 1);
    QVERIFY2(second.err.contains("Another install is running"), second.err.constData());
    const QStringList diff = differences(before, snapshot(root.root()));
    QVERIFY2(diff.isEmpty(), qPrintable(diff.join('\n')));
}

void PkgWriters::fullCard()
{
    PhoneRoot root;
    root.writeFile("/ezx_user/download/appwrite/setup/ezx_system.cfg", "[SYS_SYSTEM_SET]\nLanguageType=en-us\n");
    SmallMount card(root.host("/mmc/mmca1"), "6m");
    if (!card.ok())
        QSKIP("this machine refuses to mount a tmpfs for the small card");
    QTemporaryDir dir;
    const QByteArray noise = randomBytes(4 << 20);
    const QString big = dir.path() + "/big.pkg";
    QVERIFY(makePackage(big, dir.path() + "/stage-big", {{"big/app.desktop", desktop("Big")}, {"big/data", noise}}));
    QCOMPARE(ezxpkg({"install", packageOf(dir, "app", "App", 200)}).code, 0);
    const QMap<QString, QString> before = snapshot(root.host("/mmc/mmca1"));

    // Too big: said so with both figures, and the card is as it was.
    const Outcome refused = ezxpkg({"install", big});
    QCOMPARE(refused.code, 1);
    QVERIFY2(refused.err.contains("memory card is full") && refused.err.count("MB") == 2, refused.err.constData());
    QStringList diff = differences(before, snapshot(root.host("/mmc/mmca1")));
    QVERIFY2(diff.isEmpty(), qPrintable(diff.join('\n')));

    // A card filled to the last byte still lets an application go.
    fillUp(root.host("/mmc/mmca1"));
    const QString uid = cardRecords().firstKey();
    const Outcome removed = ezxpkg({"remove", uid});
    QVERIFY2(removed.code == 0, removed.err.constData());
    QVERIFY(cardRecords().isEmpty());
    QVERIFY(!QFileInfo::exists(root.host(kDownLoad + "/app")));
}

void PkgWriters::checkAndRepair()
{
    PhoneRoot root;
    QVERIFY(root.cardReady());
    const QString gone = "0f0f0f0f-0000-4000-8000-000000000001";
    root.writeFile(kDownLoad + "/orphan/run.sh", "x");
    root.writeFile(kDownLoad + "/kept/run.sh", "x");
    root.writeFile(kCardRegistry, ("[" + gone + "]\nName=Gone\nDirectory=" + kDownLoad + "/missing\n"
                                   "[0f0f0f0f-0000-4000-8000-000000000002]\nName=Kept\nDirectory="
                                   + kDownLoad + "/kept\n").toUtf8());
    root.writeFile(kMenuTree, ("[" + kFolderA + "]\nItems=" + gone + ";0f0f0f0f-0000-4000-8000-000000000002;stray\n").toUtf8());
    const Outcome check = ezxpkg({"check"});
    QCOMPARE(check.code, 1);
    // The orphan folder, the record without its folder, the stray entry.
    QCOMPARE(check.out.split('\n').size() - 1, 3);
    QCOMPARE(ezxpkg({"repair"}).code, 0);
    QCOMPARE(ezxpkg({"check"}).code, 0);
    QVERIFY(!QFileInfo::exists(root.host(kDownLoad + "/orphan")));
    QVERIFY(QFileInfo::exists(root.host(kDownLoad + "/kept/run.sh")));
    QCOMPARE(menuItems(kFolderA), QStringLiteral("0f0f0f0f-0000-4000-8000-000000000002"));
    // Usage errors are told apart from failures.
    QCOMPARE(ezxpkg({"install"}).code, 2);
    QCOMPARE(ezxpkg({"remove", "no-such-uid"}).code, 1);
}

void PkgWriters::sparseFile()
{
    PhoneRoot root;
    QVERIFY(root.cardReady());
    root.writeFile("/ezx_user/download/appwrite/setup/ezx_system.cfg", "[SYS_SYSTEM_SET]\nLanguageType=en-us\n");
    QTemporaryDir dir;
    QDir().mkpath(dir.path() + "/stage/app");
    QFile desk(dir.path() + "/stage/app/app.desktop");
    QVERIFY(desk.open(QIODevice::WriteOnly) && desk.write(desktop("Sparse")) > 0);
    desk.close();
    QFile big(dir.path() + "/stage/app/big");
    QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(3 << 20) && big.seek(1 << 20) && big.write("data") == 4);
    big.close();
    // Made by GNU tar whatever tar the phone-world profile puts first.
    const QString pkg = dir.path() + "/sparse.pkg";
    QCOMPARE(run("/bin/tar", {"--sparse", "--format=posix", "-czf", pkg, "-C", dir.path() + "/stage", "app"}), 0);
    QByteArray version;
    run("tar", {"--version"}, &version);
    const Outcome installed = ezxpkg({"install", pkg});
    if (version.contains("GNU tar")) {
        QVERIFY2(installed.code == 0, installed.err.constData());
        QCOMPARE(QFileInfo(root.host(kDownLoad + "/app/big")).size(), qint64(3 << 20));
    } else {
        // BusyBox tar knows no sparse form: refused, the file named.
        QCOMPARE(installed.code, 1);
        QVERIFY2(installed.err.contains("sparse file app/big"), installed.err.constData());
        QVERIFY(cardRecords().isEmpty());
    }
}

QTEST_GUILESS_MAIN(PkgWriters)
#include "tst_pkgwriters.moc"
