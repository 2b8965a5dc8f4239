// The suite's own packages on the emulated phone: installed by the engine as
// from the card, all seven show in the application manager's menu and start
// from it; a package built for another processor installs as well, and its
// start from the menu fails with a reason that says so.
// Runs in a PID namespace of its own: DayBadge 1.x, started from the menu,
// ends every "am" it can see.

#include "amregistry.h"
#include "appstarter.h"
#include "daemonbase.h"
#include "daemonprocess.h"
#include "enginetestutil.h"
#include "phoneroot.h"
#include "utilservicename.h"
#include "testprograms.h"

#include <QtTest>

#include <csignal>

using namespace enginetest;

namespace {

struct SuiteProgram
{
    const char* folder;
    const char* name;
};

const SuiteProgram kSuite[] = {
    {"appkeeper", "appkeeper"}, {"slideflow", "slideflow"},   {"flashnote", "flashnote"},
    {"promptpick", "promptpick"}, {"DayBadge2", "DayBadge 2"}, {"DayBadge1", "DayBadge 1"},
    {"LineLabel", "LineLabel"},
};

QString packageFile(const QString& folder)
{
    return testBuildPath(QStringLiteral("packages/") + folder + QStringLiteral(".pkg"));
}

// Installs the package of `folder` from the card; the new record's UID.
QString installFromCard(const PhoneRoot& root, const QString& built, const QString& folder)
{
    const QString onCard = QStringLiteral("/mmc/mmca1/") + folder + QStringLiteral(".pkg");
    if (!QFile::copy(built, root.host(onCard)))
        return QString();
    QString uid;
    return install(onCard, nullptr, &uid) == 0 ? uid : QString();
}

// The menu's application of that UID, wherever it is filed.
AmApplication inMenu(const AmMenu& menu, const QString& uid)
{
    for (const AmFolder& f : menu.folders)
        for (const AmApplication& a : f.applications)
            if (a.uid == uid)
                return a;
    return AmApplication();
}

// Ends every process started on this phone root (all are this test's).
void endEverythingOn(const PhoneRoot& root)
{
    for (int round = 0; round < 3; ++round)
        for (qint64 pid : daemontest::processesOnRoot(root.root()))
            daemontest::stopPid(pid);
}

} // namespace

class TestSuiteOnPhone : public QObject
{
    Q_OBJECT

private slots:
    // All seven installed on one phone: each in the menu under its own name,
    // with its icon, and in the list the real "am --list" prints.
    void allSevenInTheMenu()
    {
        PhoneRoot root;
        QStringList uids;
        for (const SuiteProgram& p : kSuite) {
            const QString uid = installFromCard(root, packageFile(QLatin1String(p.folder)),
                                                QLatin1String(p.folder));
            QVERIFY2(!uid.isEmpty(), p.folder);
            uids << uid;
        }
        const AmMenu menu = loadAmMenu();
        QVERIFY2(menu.warnings.isEmpty(), qPrintable(menu.warnings.join(QLatin1Char('\n'))));
        for (int i = 0; i < uids.size(); ++i) {
            const AmApplication app = inMenu(menu, uids.at(i));
            QVERIFY2(app.uid == uids.at(i), qPrintable(formatAmMenu(menu)));
            QCOMPARE(app.name, QString::fromUtf8(kSuite[i].name));
            QVERIFY(QFileInfo(root.host(app.iconPath())).isFile());
        }

        QProcess am;
        am.start(testProgram("am"), {QStringLiteral("--list")});
        QVERIFY(am.waitForFinished(60000));
        QCOMPARE(am.exitCode(), 0);
        const QByteArray listed = am.readAllStandardOutput();
        for (int i = 0; i < uids.size(); ++i)
            QVERIFY2(listed.contains("  " + uids.at(i).toLatin1() + "  " + kSuite[i].name + '\n'),
                     listed.constData());
    }

    // Each program starts from the menu as installed. The windowed ones are
    // still running a moment later (nothing missing beside them); DayBadge
    // 1.x puts the weekday in the service name; flashnote (without words: its
    // usage), DayBadge 2.x (which detaches) and LineLabel end on their own.
    void startsFromTheMenu_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("stays");
        QTest::newRow("appkeeper") << 0 << true;
        QTest::newRow("slideflow") << 1 << true;
        QTest::newRow("flashnote") << 2 << false;
        QTest::newRow("promptpick") << 3 << true;
        QTest::newRow("DayBadge 2") << 4 << false;
        QTest::newRow("DayBadge 1") << 5 << false;
        QTest::newRow("LineLabel") << 6 << false;
    }
    void startsFromTheMenu()
    {
        QFETCH(int, index);
        QFETCH(bool, stays);
        PhoneRoot root;
        const QString folder = QLatin1String(kSuite[index].folder);
        const QString uid = installFromCard(root, packageFile(folder), folder);
        QVERIFY(!uid.isEmpty());
        const AmApplication app = inMenu(loadAmMenu(), uid);
        QCOMPARE(app.uid, uid);

        const AmStart started = startApplication(app);
        QVERIFY2(started.outcome == AmStart::Started, qPrintable(started.reason));
        QVERIFY(started.pid > 0);
        if (stays) {
            QTest::qWait(2000);
            const bool running = daemontest::isAlive(started.pid);
            endEverythingOn(root);
            QVERIFY2(running, "the program ended at once");
        } else if (folder == QLatin1String("DayBadge1")) {
            QTRY_VERIFY_WITH_TIMEOUT(root.readFile(QString::fromLatin1(kServiceNamePath)).contains(
                                         weekdayText(weekdayInUtc8(std::time(nullptr)))),
                                     30000);
            endEverythingOn(root);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(!daemontest::isAlive(started.pid), 30000);
            endEverythingOn(root);
        }
    }

    // A package built for another processor: the engine installs it (it does
    // not look inside programs), the menu shows it, and starting it fails
    // with a reason that names the processor, instead of a crash.
    void foreignPackageInstallsButDoesNotStart()
    {
        PhoneRoot root;
        QTemporaryDir stage;
        // ELF, 64-bit, little endian, version 1, an executable (2) for
        // RISC-V (243): what a RISC-V phone's build would hold.
        QByteArray riscv("\x7f" "ELF\x02\x01\x01", 7);
        riscv += QByteArray(9, '\0') + QByteArray("\x02\0\xf3\0\x01\0\0\0", 8) + QByteArray(40, '\0');
        const QString pkg = stage.path() + QStringLiteral("/foreign.pkg");
        QVERIFY(makePackage(pkg, stage.path() + QStringLiteral("/stage"),
                            {{QStringLiteral("foreign/foreign.desktop"),
                              "[Desktop Entry]\nName=Foreign\nExec=foreign\nIcon=icon.png\n"},
                             {QStringLiteral("foreign/foreign"), riscv}}));
        QVERIFY(QFile::setPermissions(stage.path() + QStringLiteral("/stage/foreign/foreign"),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QCOMPARE(run(QStringLiteral("tar"), {QStringLiteral("czf"), pkg, QStringLiteral("-C"),
                                             stage.path() + QStringLiteral("/stage"),
                                             QStringLiteral("foreign")}),
                 0);
        const QString uid = installFromCard(root, pkg, QStringLiteral("foreign"));
        QVERIFY(!uid.isEmpty());
        const AmApplication app = inMenu(loadAmMenu(), uid);
        QCOMPARE(app.name, QStringLiteral("Foreign"));
        QVERIFY(QFileInfo(root.host(app.execPath())).isExecutable());
        const AmStart started = startApplication(app);
        QCOMPARE(int(started.outcome), int(AmStart::Failed));
        QVERIFY2(started.reason.startsWith(QStringLiteral("it is a program for another processor (riscv64)")),
                 qPrintable(started.reason));
    }
};

QTEST_GUILESS_MAIN(TestSuiteOnPhone)
#include "tst_suiteonphone.moc"
