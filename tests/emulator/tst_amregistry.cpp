// The application manager's reading of the menu tree and the registries, its
// icons and its starting of applications, on a real phone root; `am --list`
// as the real program.
#include "am_global.h"
#include "amregistry.h"
#include "appstarter.h"
#include "phoneroot.h"
#include "safefile.h"
#include "zconfig.h"
#include "daemonprocess.h"
#include "testprograms.h"

#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <sys/stat.h>

namespace {

const char* const kTree = "/ezx_user/download/appwrite/am/UserMenuTree";
const char* const kDb = "/ezx_user/download/appwrite/am/InstalledDB";
const char* const kSys = "/usr/data_resource/preloadapps/SysRegistry";
const char* const kCard = "/mmc/mmca1/.system/java/CardRegistry";

QByteArray record(const QByteArray& uid, const QByteArray& name, const QByteArray& exec = "run",
                  const QByteArray& dir = "/ezx_user/apps/x", const QByteArray& extra = "")
{
    QByteArray r = "[" + uid + "]\n";
    if (!name.isNull())
        r += "Name=" + name + "\n";
    if (!exec.isNull())
        r += "Exec=" + exec + "\n";
    if (!dir.isNull())
        r += "Directory=" + dir + "\n";
    return r + extra + "\n";
}

QString amProgram()
{
    return testProgram("am");
}

} // namespace

class TestAmRegistry : public QObject
{
    Q_OBJECT
private slots:
    void menuLists_data();
    void menuLists();
    void records_data();
    void records();
    void hostileRegistries_data();
    void hostileRegistries();
    void lookupOrderAndThousandApplications();
    void icons_data();
    void icons();
    void starting_data();
    void starting();
    void amListProgram();
    void craftedRecordsRunNothing_data();
    void craftedRecordsRunNothing();
    void cardCannotImpersonate();
    void refreshReachesOnlyItsPhone();
};

// Menu folder lists as people and programs leave them.
void TestAmRegistry::menuLists_data()
{
    QTest::addColumn<QByteArray>("items");
    QTest::addColumn<QString>("listed");
    QTest::newRow("plain") << QByteArray("a;b") << "F\n  a  A\n  b  B\n";
    QTest::newRow("appkeeper's leading ;") << QByteArray(";a;b") << "F\n  a  A\n  b  B\n";
    QTest::newRow("stray and doubled ;") << QByteArray(";;a;;;b;") << "F\n  a  A\n  b  B\n";
    QTest::newRow("blanks around") << QByteArray(" a ; b ") << "F\n  a  A\n  b  B\n";
    QTest::newRow("duplicates keep the first") << QByteArray("b;a;b;a") << "F\n  b  B\n  a  A\n";
    QTest::newRow("unknown UIDs") << QByteArray("zz;a;{a};b") << "F\n  a  A\n  b  B\n";
    QTest::newRow("empty") << QByteArray("") << "F\n";
    QTest::newRow("only ;") << QByteArray(";;;") << "F\n";
    QTest::newRow("shell code as UID") << QByteArray("$(touch pwned);a") << "F\n  a  A\n";
}

void TestAmRegistry::menuLists()
{
    QFETCH(QByteArray, items);
    QFETCH(QString, listed);
    PhoneRoot root;
    root.writeFile(kDb, record("a", "A") + record("b", "B"));
    root.writeFile(kTree, "[f1]\nName=F\nItems=" + items + "\n");
    const AmMenu menu = loadAmMenu();
    QCOMPARE(formatAmMenu(menu), listed);
    QVERIFY(!QFile::exists(root.host("/ezx_user/download/appwrite/am/pwned")));
}

// Records that cannot be shown are skipped, each with a warning.
void TestAmRegistry::records_data()
{
    QTest::addColumn<QByteArray>("registry");
    QTest::addColumn<bool>("shown");
    QTest::newRow("whole") << record("u", "Good") << true;
    QTest::newRow("no Name") << record("u", QByteArray()) << false;
    QTest::newRow("blank Name") << record("u", "  ") << false;
    QTest::newRow("no Exec") << record("u", "N", QByteArray()) << false;
    QTest::newRow("no Directory") << record("u", "N", "run", QByteArray()) << false;
    QTest::newRow("relative Directory") << record("u", "N", "run", "apps/x") << false;
    QTest::newRow("Directory climbing out") << record("u", "N", "run", "/ezx_user/../../etc") << false;
    QTest::newRow("Directory on the host") << record("u", "N", "run", "/bin") << false;
    QTest::newRow("Exec absolute") << record("u", "N", "/bin/sh") << false;
    QTest::newRow("Exec climbing") << record("u", "N", "../../../bin/sh") << false;
    QTest::newRow("Exec with shell code is a name") << record("u", "N", "x; touch pwned") << true;
    QTest::newRow("Java application") << record("u", "J", "a.jar", "/ezx_user/apps/x", "JavaId=12\n") << true;
    QTest::newRow("name with a line break") << record("u", "two\\nlines") << true;
    QTest::newRow("name of 100,000 characters") << record("u", QByteArray(100000, 'n')) << true;
}

void TestAmRegistry::records()
{
    QFETCH(QByteArray, registry);
    QFETCH(bool, shown);
    PhoneRoot root;
    root.writeFile(kDb, registry);
    root.writeFile(kTree, "[f]\nName=F\nItems=u\n");
    const AmMenu menu = loadAmMenu();
    QCOMPARE(menu.folders.size(), 1);
    QCOMPARE(menu.folders.first().applications.size(), shown ? 1 : 0);
    QCOMPARE(menu.warnings.size(), shown ? 0 : 1);
    // One entry is one line, whatever the name holds.
    QCOMPARE(formatAmMenu(menu).count(QLatin1Char('\n')), shown ? 2 : 1);
    // However long the stored name, what is shown fits a screen or two.
    QVERIFY(formatAmMenu(menu).size() < 300);
}

// Registries that are not files: read as empty at once, the others still used.
void TestAmRegistry::hostileRegistries_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("folder") << "folder";
    QTest::newRow("binary junk") << "junk";
    QTest::newRow("link to nowhere") << "dangling";
    QTest::newRow("larger than any phone's registries") << "huge";
}

void TestAmRegistry::hostileRegistries()
{
    QFETCH(QString, kind);
    PhoneRoot root;
    root.writeFile(kSys, record("s", "FromSys"));
    root.writeFile(kTree, "[f]\nName=F\nItems=d;s\n");
    const QString db = root.host(kDb);
    if (kind == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(db).constData(), 0644), 0);
    else if (kind == "folder")
        QVERIFY(QDir().mkpath(db));
    else if (kind == "junk")
        root.writeFile(kDb, QByteArray("\0\xff[\x01\n=\n[", 9).repeated(1000));
    else if (kind == "huge")
        root.writeFile(kDb, record("d", "Huge") + "Comment=" + QByteArray(ZConfig::kLargestFile, 'x') + "\n");
    else
        QVERIFY(QFile::link(root.host("/nowhere"), db));
    QElapsedTimer clock;
    clock.start();
    const AmMenu menu = loadAmMenu();
    QVERIFY2(clock.elapsed() < 5000, "reading a hostile registry must not wait");
    QCOMPARE(formatAmMenu(menu), QStringLiteral("F\n  s  FromSys\n"));
    if (kind == "huge")
        QVERIFY(menu.warnings.join('\n').contains("InstalledDB: cannot be read"));
}

void TestAmRegistry::lookupOrderAndThousandApplications()
{
    PhoneRoot root;
    QByteArray db, items;
    for (int i = 0; i < 1000; ++i) {
        const QByteArray uid = "app-" + QByteArray::number(i);
        db += record(uid, "App " + QByteArray::number(i));
        items += uid + ";";
    }
    root.writeFile(kDb, db);
    // The same UID in a later registry does not replace InstalledDB's record.
    root.writeFile(kCard, record("app-7", "Impostor"));
    root.writeFile(kTree, "[big]\nName=Big\nItems=" + items + "\n");
    const AmMenu menu = loadAmMenu();
    QCOMPARE(menu.applicationCount(), 1000);
    QCOMPARE(menu.folders.first().applications.at(7).name, QStringLiteral("App 7"));
    QCOMPARE(menu.folders.first().applications.at(999).uid, QStringLiteral("app-999"));
}

// Icons: only small regular picture files are read; never blocks.
void TestAmRegistry::icons_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("loaded");
    QTest::newRow("picture") << "png" << true;
    QTest::newRow("big picture, scaled down") << "bigpng" << true;
    QTest::newRow("not a picture") << "text" << false;
    QTest::newRow("huge file") << "huge" << false;
    QTest::newRow("huge dimensions") << "hugedims" << false;
    QTest::newRow("FIFO") << "fifo" << false;
    QTest::newRow("folder") << "folder" << false;
    QTest::newRow("missing") << "missing" << false;
}

void TestAmRegistry::icons()
{
    QFETCH(QString, kind);
    QFETCH(bool, loaded);
    PhoneRoot root;
    const QString phone = QStringLiteral("/ezx_user/apps/x/icon.png");
    const QString host = root.host(phone);
    QDir().mkpath(QFileInfo(host).path());
    if (kind == "png" || kind == "bigpng") {
        QImage img(kind == "png" ? QSize(48, 48) : QSize(400, 200), QImage::Format_ARGB32);
        img.fill(Qt::red);
        QVERIFY(img.save(host, "PNG"));
    } else if (kind == "text") {
        root.writeFile(phone, "not a picture\n");
    } else if (kind == "huge") {
        QFile f(host);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(64LL * 1024 * 1024));
    } else if (kind == "hugedims") {
        // A tiny file claiming 60000 x 60000 pixels.
        QImage img(1, 1, QImage::Format_Mono);
        QVERIFY(img.save(host, "PNG"));
        QFile f(host);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        const char dims[8] = {0, 0, char(0xea), 0x60, 0, 0, char(0xea), 0x60};
        bytes.replace(16, 8, QByteArray(dims, 8));
        f.seek(0);
        f.write(bytes);
    } else if (kind == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(host).constData(), 0644), 0);
    } else if (kind == "folder") {
        QVERIFY(QDir().mkpath(host));
    }
    QElapsedTimer clock;
    clock.start();
    const QImage image = loadPhonePicture(phone, QSize(32, 32));
    QVERIFY(clock.elapsed() < 5000);
    QCOMPARE(!image.isNull(), loaded);
    if (loaded)
        QVERIFY(image.width() <= 32 && image.height() <= 32);
}

// Starting: the record's own program, in its folder, with its arguments as
// words; shell code anywhere stays text.
void TestAmRegistry::starting_data()
{
    QTest::addColumn<QString>("exec");
    QTest::addColumn<QString>("args");
    QTest::addColumn<QString>("javaId");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("output");   // what the program wrote, or empty
    QTest::addColumn<QString>("reason");   // a part of the reason it failed (the log's)
    QTest::addColumn<QString>("shown");    // a part of the reason on a Chinese phone's screen
    QTest::newRow("script with words") << "run" << "a \"b c\" $(touch pwned)" << "-1"
                                       << int(AmStart::Started) << "FOLDER\na|b c|$(touch|pwned)|\n" << "" << "";
    QTest::newRow("empty JavaId is native") << "run" << "" << "" << int(AmStart::Started) << "FOLDER\n" << "" << "";
    QTest::newRow("Exec with shell code") << "run; touch pwned" << "" << "-1" << int(AmStart::Failed) << ""
                                          << "is missing" << "它的程序 /ezx_user/apps/x/run; touch pwned 不存在。";
    QTest::newRow("Exec missing") << "absent" << "" << "-1" << int(AmStart::Failed) << "" << "is missing"
                                  << "它的程序 /ezx_user/apps/x/absent 不存在。";
    QTest::newRow("Exec not executable") << "data" << "" << "-1" << int(AmStart::Failed) << ""
                                         << "is not a program" << "/ezx_user/apps/x/data 不是可执行的程序。";
    QTest::newRow("Exec a folder") << "sub" << "" << "-1" << int(AmStart::Failed) << "" << "is not a program"
                                   << "不是可执行的程序";
    QTest::newRow("Java") << "run" << "" << "12" << int(AmStart::NeedsJava) << "" << "Java runtime"
                          << "N 是 Java 应用程序，需要手机的 Java 运行环境。";
    // Installed from a package built for another phone: the header of a
    // RISC-V program, which neither this machine nor an emulator it may run
    // under can start.
    QTest::newRow("program for another processor") << "riscv" << "" << "-1" << int(AmStart::Failed) << ""
                                                   << "a program for another processor (riscv64); this phone runs"
                                                   << "这是为其他处理器（riscv64）编译的程序；本机运行";
    QTest::newRow("executable text") << "text" << "" << "-1" << int(AmStart::Failed) << ""
                                     << "could not be started" << "系统无法运行该程序。";
}

void TestAmRegistry::starting()
{
    QFETCH(QString, exec);
    QFETCH(QString, args);
    QFETCH(QString, javaId);
    QFETCH(int, outcome);
    QFETCH(QString, output);
    QFETCH(QString, reason);
    QFETCH(QString, shown);
    PhoneRoot root;
    const QString dir = QStringLiteral("/ezx_user/apps/x");
    root.writeFile(dir + "/run",
                   "#!/bin/sh\npwd > out.tmp\nfor a in \"$@\"; do printf '%s|' \"$a\" >> out.tmp; done\n"
                   "[ $# -gt 0 ] && echo >> out.tmp\nmv out.tmp out\n");
    root.writeFile(dir + "/data", "x");
    QDir().mkpath(root.host(dir + "/sub"));
    // ELF, 64-bit, little endian, version 1, an executable (2) for RISC-V (243).
    QByteArray riscv("\x7f" "ELF\x02\x01\x01", 7);
    riscv += QByteArray(9, '\0') + QByteArray("\x02\0\xf3\0\x01\0\0\0", 8) + QByteArray(40, '\0');
    root.writeFile(dir + "/riscv", riscv);
    root.writeFile(dir + "/text", "not a program, without a #! line\n");
    for (const char* program : {"/run", "/riscv", "/text"})
        QFile::setPermissions(root.host(dir + program),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    AmApplication app;
    app.uid = "u";
    app.name = "N";
    app.exec = exec;
    app.directory = dir;
    app.args = args;
    app.javaId = javaId;
    const AmStart s = startApplication(app);
    QCOMPARE(int(s.outcome), outcome);
    QCOMPARE(s.reason.isEmpty(), outcome == AmStart::Started);
    QVERIFY2(s.reason.contains(reason), qPrintable(s.reason));
    QVERIFY2(s.shownReason.contains(shown), qPrintable(s.shownReason));
    if (!output.isEmpty()) {
        QTRY_VERIFY(QFile::exists(root.host(dir + "/out")));
        output.replace("FOLDER", QFileInfo(root.host(dir)).canonicalFilePath());
        QCOMPARE(QString::fromUtf8(root.readFile(dir + "/out")), output);
    }
    // Whatever was started has ended before anything is looked for.
    if (s.pid > 0)
        QTRY_VERIFY(!daemontest::isAlive(s.pid));
    QVERIFY(!QFile::exists(root.host(dir + "/pwned")));
}

// The real program: the demo phone's kind of files, and a FIFO registry.
void TestAmRegistry::amListProgram()
{
    PhoneRoot root;
    root.writeFile(kDb, record("a", "Notes") + record("j", "Chess", "c.jar", "/ezx_user/apps/c", "JavaId=3\n"));
    root.writeFile(kTree, "[f]\nName=Applications\nItems=a;ghost;j\n[g]\nName=Games\n");
    QVERIFY(QDir().mkpath(QFileInfo(root.host(kCard)).path()));
    QCOMPARE(::mkfifo(QFile::encodeName(root.host(kCard)).constData(), 0644), 0);
    QProcess am;
    am.start(amProgram(), {QStringLiteral("--list")});
    QVERIFY(am.waitForFinished(10000));
    QCOMPARE(am.exitCode(), 0);
    QCOMPARE(am.readAllStandardOutput(),
             QByteArray("Applications\n  a  Notes\n  j  Chess\nGames\n"));
    QVERIFY(am.readAllStandardError().contains("ghost: no application record"));

    // Thousands of unknown entries: twenty lines, then one that counts the rest.
    QByteArray many = "[f]\nName=Applications\nItems=a";
    for (int i = 0; i < 5000; ++i)
        many += ";ghost" + QByteArray::number(i);
    root.writeFile(kTree, many + "\n");
    am.start(amProgram(), {QStringLiteral("--list")});
    QVERIFY(am.waitForFinished(10000));
    QList<QByteArray> lines;
    for (const QByteArray& line : am.readAllStandardError().split('\n'))
        if (line.startsWith("am: skipped"))
            lines << line;
    QCOMPARE(lines.size(), 21);
    // (The card registry, still a FIFO, is the first of 5,001.)
    QCOMPARE(lines.last(), QByteArray("am: skipped 4981 more entries"));
}

// Records from the card that would have `am` start something outside an
// application's own folder: `am --start` (the menu's centre key) refuses
// each, and the marker the program would write is never made. The first
// row proves the marker works.
void TestAmRegistry::craftedRecordsRunNothing_data()
{
    QTest::addColumn<QByteArray>("directory");
    QTest::addColumn<QByteArray>("exec");
    QTest::addColumn<QByteArray>("args");
    QTest::addColumn<bool>("starts");
    QTest::newRow("own folder: runs (the marker works)") << QByteArray("/mmc/mmca1/.system/QTDownLoad/app")
                                                       << QByteArray("run") << QByteArray() << true;
    QTest::newRow("folder a link out of the phone") << QByteArray("/mmc/mmca1/.system/QTDownLoad/out")
                                                    << QByteArray("run") << QByteArray() << false;
    QTest::newRow("folder a link to the system's root") << QByteArray("/mmc/mmca1/.system/QTDownLoad/slash")
                                                        << QByteArray("bin/sh") << QByteArray("-c \"touch MARK\"")
                                                        << false;
    QTest::newRow("program a link to the system's shell") << QByteArray("/mmc/mmca1/.system/QTDownLoad/app")
                                                          << QByteArray("sh") << QByteArray("-c \"touch MARK\"")
                                                          << false;
    QTest::newRow("the card's root") << QByteArray("/mmc/mmca1") << QByteArray("script.sh") << QByteArray()
                                     << false;
    QTest::newRow("a folder applications share") << QByteArray("/mmc/mmca1/.system/QTDownLoad")
                                                 << QByteArray("app/run") << QByteArray() << false;
}

void TestAmRegistry::craftedRecordsRunNothing()
{
    QFETCH(QByteArray, directory);
    QFETCH(QByteArray, exec);
    QFETCH(QByteArray, args);
    QFETCH(bool, starts);
    PhoneRoot root;
    const QString marker = root.outer() + QStringLiteral("/marker");
    const QByteArray script = "#!/bin/sh\ntouch '" + QFile::encodeName(marker) + "'\n";
    const QString host = root.outer() + QStringLiteral("/host");
    for (const QString& file : {host + "/run", root.host("/mmc/mmca1/.system/QTDownLoad/app/run"),
                                root.host("/mmc/mmca1/script.sh")}) {
        QDir().mkpath(QFileInfo(file).path());
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(script) == script.size());
        f.setPermissions(f.permissions() | QFile::ExeOwner);
    }
    const QString card = root.host("/mmc/mmca1/.system/QTDownLoad");
    QVERIFY(QFile::link(host, card + "/out"));
    QVERIFY(QFile::link("/", card + "/slash"));
    QVERIFY(QFile::link("/bin/sh", card + "/app/sh"));
    args.replace("MARK", QFile::encodeName(marker));
    root.writeFile(kCard, record("u", "Crafted", exec, directory, args.isEmpty() ? "" : "Args=" + args + "\n"));
    root.writeFile(kTree, "[f]\nName=F\nItems=u\n");
    QCOMPARE(loadAmMenu().applicationCount(), starts ? 1 : 0);
    QProcess am;
    am.start(amProgram(), {QStringLiteral("--start"), QStringLiteral("u")});
    QVERIFY(am.waitForFinished(10000));
    QCOMPARE(am.exitCode(), starts ? 0 : 1);
    if (starts)
        QTRY_VERIFY(QFile::exists(marker));
    else
        QVERIFY(!QFile::exists(marker));
}

// A card record that reuses the UID of an application of the phone's own
// registries never takes its place.
void TestAmRegistry::cardCannotImpersonate()
{
    PhoneRoot root;
    root.writeFile(kSys, record("appkeeper", "Software manager", "run", "/usr/data_resource/preloadapps/ak"));
    root.writeFile(kCard, record("appkeeper", "Impostor", "run", "/mmc/mmca1/.system/QTDownLoad/evil")
                              + record("mine", "Mine", "run", "/mmc/mmca1/.system/QTDownLoad/mine"));
    root.writeFile(kTree, "[f]\nName=F\nItems=appkeeper;mine\n");
    const AmMenu menu = loadAmMenu();
    QCOMPARE(menu.applicationCount(), 2);
    QCOMPARE(menu.folders.first().applications.at(0).name, QStringLiteral("Software manager"));
    QCOMPARE(menu.folders.first().applications.at(1).name, QStringLiteral("Mine"));
    QVERIFY(menu.warnings.join('\n').contains("appkeeper: the card's record is left out"));
}

// "Refresh menu" on a desktop: the phone root's own am ends (the launcher
// starts it again); the am of another phone root lives on.
void TestAmRegistry::refreshReachesOnlyItsPhone()
{
    PhoneRoot other;
    const QString otherRoot = other.root();
    PhoneRoot root;
    auto startAm = [](QProcess& am, const QString& phoneRoot) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("EZX_ROOT", phoneRoot);
        am.setProcessEnvironment(env);
        am.setProcessChannelMode(QProcess::MergedChannels);
        am.start(amProgram(), {});
        QByteArray said;
        while (!said.contains("am: ready") && am.waitForReadyRead(30000))
            said += am.readAll();
        return said.contains("am: ready");   // it listens from then on
    };
    QProcess mine, theirs;
    QVERIFY(startAm(theirs, otherRoot));
    QVERIFY(startAm(mine, root.root()));
    QVERIFY(AM_Global::restartMenu());
    QVERIFY(mine.waitForFinished(10000));
    QCOMPARE(mine.exitStatus(), QProcess::CrashExit);   // ended by SIGTERM, as by kill
    QCOMPARE(theirs.state(), QProcess::Running);
    theirs.terminate();
    QVERIFY(theirs.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(TestAmRegistry)
#include "tst_amregistry.moc"
