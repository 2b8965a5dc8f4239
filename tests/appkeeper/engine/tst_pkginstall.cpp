// The install steps and the registration, on temporary phone roots with the
// real tar, cp, rm and mkdir.

#include "enginetestutil.h"
#include "immutable.h"
#include "phoneroot.h"
#include "zconfig.h"

#include <QtTest>

using namespace enginetest;

namespace {

const QString kArea = QStringLiteral("/mmc/mmca1/.system/QTDownLoad/installtmp");
const QString kDownLoad = QStringLiteral("/mmc/mmca1/.system/QTDownLoad");
const QString kCardRegistry = QStringLiteral("/mmc/mmca1/.system/java/CardRegistry");
const QString kMenuTree = QStringLiteral("/ezx_user/download/appwrite/am/UserMenuTree");
const QString kFolderA = QStringLiteral("cb839c8f-72c3-42ac-bf17-b01080cb5705");
const QString kFolderB = QStringLiteral("67dc1191-2928-4938-abce-1a73cb5ce490");

// Snapshot of the whole outer folder without the install area.
QMap<QString, QString> outside(const PhoneRoot& root)
{
    QMap<QString, QString> s = snapshot(root.outer());
    const QString area = QStringLiteral("root") + kArea + QLatin1Char('/');
    for (auto it = s.begin(); it != s.end();)
        it = it.key().startsWith(area) ? s.erase(it) : std::next(it);
    return s;
}

// The keys and values of one group as they stand in the file, in file order.
QStringList groupLines(const QByteArray& file, const QString& group)
{
    QStringList out;
    bool inGroup = false;
    for (const QByteArray& raw : file.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QLatin1Char('[') + group + QLatin1Char(']');
            continue;
        }
        if (inGroup && line.contains(QLatin1Char('=')))
            out << line.section(QLatin1Char('='), 0, 0).trimmed() + QLatin1Char('=')
                       + line.section(QLatin1Char('='), 1).trimmed();
    }
    return out;
}

QString readEntry(const QString& file, const QString& group, const QString& key,
                  const QString& def = QString())
{
    const ZConfig c(file, false);
    return c.readEntry(group, key, def);
}

struct Packages
{
    QTemporaryDir dir;
    int count = 0;
    QString make(const QMap<QString, QByteArray>& files, const QString& name = QString())
    {
        const QString stage = dir.path() + QStringLiteral("/stage%1").arg(++count);
        const QString pkg = dir.path() + QLatin1Char('/')
                            + (name.isEmpty() ? QStringLiteral("p%1.pkg").arg(count) : name);
        return makePackage(pkg, stage, files) ? pkg : QString();
    }
    QString app(const QString& folder, const QString& desktopName = QStringLiteral("app.desktop"),
                const QByteArray& desk = desktop(QStringLiteral("Demo")))
    {
        return make({{folder + QStringLiteral("/") + desktopName, desk},
                     {folder + QStringLiteral("/run.sh"), "#!/bin/sh\necho demo\n"}});
    }
    QString raw(const QByteArray& bytes)
    {
        const QString pkg = dir.path() + QStringLiteral("/raw%1.pkg").arg(++count);
        QFile f(pkg);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return pkg;
    }
};

QByteArray gzip(const QByteArray& bytes)
{
    QTemporaryDir d;
    QFile f(d.path() + QStringLiteral("/x"));
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    f.close();
    run(QStringLiteral("gzip"), {QStringLiteral("-n"), f.fileName()});
    QFile g(f.fileName() + QStringLiteral(".gz"));
    g.open(QIODevice::ReadOnly);
    return g.readAll();
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class PkgInstall : public QObject
{
    Q_OBJECT

private slots:
    void wholeInstall();
    void reinstallTakesNextFreeName();
    void firstFolderIgnoringCase();
    void desktopFileChoice_data();
    void desktopFileChoice();
    void nullPackagePathTouchesNothing();
    void leftoversAreEmptied();
    void areaThatIsALink();
    void leftoverThatCannotGo();
    void brokenPackages_data();
    void brokenPackages();
    void cardTooSmall_data();
    void cardTooSmall();
    void hostileNames_data();
    void hostileNames();
    void relativePackagePath_data();
    void relativePackagePath();
    void registryRecordGolden_data();
    void registryRecordGolden();
    void menuLists_data();
    void menuLists();
    void unwritableRegistries_data();
    void unwritableRegistries();
};

void PkgInstall::wholeInstall()
{
    PhoneRoot root;
    Packages pkgs;
    const QString pkg = pkgs.app(QStringLiteral("demo"));
    QString dir, uid;
    QCOMPARE(install(pkg, &dir, &uid), 0);
    QCOMPARE(dir, kDownLoad + QStringLiteral("/demo"));
    QCOMPARE(root.readFile(dir + QStringLiteral("/run.sh")), QByteArray("#!/bin/sh\necho demo\n"));
    QVERIFY(QFileInfo(root.host(dir + QStringLiteral("/run.sh"))).isExecutable());
    QCOMPARE(readEntry(kCardRegistry, uid, QStringLiteral("Directory")), dir);
    QCOMPARE(readEntry(kCardRegistry, uid, QStringLiteral("Name")), QStringLiteral("Demo"));
    QCOMPARE(readEntry(kMenuTree, kFolderA, QStringLiteral("Items")), QLatin1Char(';') + uid);
    QCOMPARE(readEntry(kMenuTree, kFolderB, QStringLiteral("Items")), QLatin1Char(';') + uid);
    QVERIFY(QFileInfo(root.host(kArea)).isDir());
    QCOMPARE(areaEntries(root), QStringList());
}

void PkgInstall::reinstallTakesNextFreeName()
{
    PhoneRoot root;
    Packages pkgs;
    const QString pkg = pkgs.app(QStringLiteral("demo"));
    QStringList dirs;
    for (int i = 0; i < 3; ++i) {
        QString dir;
        QCOMPARE(install(pkg, &dir), 0);
        dirs << dir;
    }
    QCOMPARE(dirs, QStringList({kDownLoad + "/demo", kDownLoad + "/demo0", kDownLoad + "/demo1"}));
    // A plain file standing at a candidate name is skipped as well.
    root.writeFile(kDownLoad + QStringLiteral("/demo2"), "not a folder");
    QString dir;
    QCOMPARE(install(pkg, &dir), 0);
    QCOMPARE(dir, kDownLoad + QStringLiteral("/demo3"));
    QCOMPARE(root.readFile(kDownLoad + QStringLiteral("/demo2")), QByteArray("not a folder"));
}

void PkgInstall::firstFolderIgnoringCase()
{
    PhoneRoot root;
    Packages pkgs;
    const QString pkg = pkgs.make({{"Banana/b.desktop", desktop("Banana")},
                                   {"apple/a.desktop", desktop("Apple")},
                                   {"top.txt", "plain file at the top"}});
    QString dir, uid;
    QCOMPARE(install(pkg, &dir, &uid), 0);
    QCOMPARE(dir, kDownLoad + QStringLiteral("/apple"));
    QCOMPARE(readEntry(kCardRegistry, uid, QStringLiteral("Name")), QStringLiteral("Apple"));
    QVERIFY(!QFileInfo::exists(root.host(kDownLoad + QStringLiteral("/Banana"))));
    QCOMPARE(areaEntries(root), QStringList());
}

void PkgInstall::desktopFileChoice_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("chosen");   // empty: step 6 fails
    QTest::newRow("readme and x.desktop") << QStringList{"readme.txt", "x.desktop"} << "x.desktop";
    QTest::newRow("letter case significant") << QStringList{"App.Desktop"} << "";
    QTest::newRow("match anywhere in the name") << QStringList{"a.desktop.bak"} << "a.desktop.bak";
    QTest::newRow("byte order, upper case first") << QStringList{"b.desktop", "B.desktop"} << "B.desktop";
    QTest::newRow("hidden desktop file ignored") << QStringList{".desktop", ".x.desktop"} << "";
    QTest::newRow("folder named like one ignored") << QStringList{"d.desktop/", "e.desktop"} << "e.desktop";
}

void PkgInstall::desktopFileChoice()
{
    QFETCH(QStringList, files);
    QFETCH(QString, chosen);
    PhoneRoot root;
    Packages pkgs;
    QMap<QString, QByteArray> content;
    for (const QString& f : files)
        content.insert(QStringLiteral("app/") + f, desktop(f));
    EZXPkgInstall e(pkgs.make(content));
    QVERIFY(e.checkPKGFile() && e.checkInstallTmpPath() && e.checkInstallDB());
    e.exPKGInstallTmp();
    QVERIFY(e.getPKGPathFromInstallTmpPath());
    QCOMPARE(e.getPKGDesktopFile(), !chosen.isEmpty());
    if (chosen.isEmpty()) {
        QCOMPARE(areaEntries(root), QStringList());
        return;
    }
    QCOMPARE(e.pkgDesktopFile, chosen);
    QVERIFY(e.getPKGSoftInfo());
    QCOMPARE(e.softName, chosen);
}

void PkgInstall::nullPackagePathTouchesNothing()
{
    PhoneRoot root;
    const QMap<QString, QString> before = snapshot(root.outer());
    EZXPkgInstall e{QString()};
    QVERIFY(e.pkgFile.isNull());
    QCOMPARE(installSteps(e), 1);
    QCOMPARE(snapshot(root.outer()), before);
}

void PkgInstall::leftoversAreEmptied()
{
    PhoneRoot root;
    EZXPkgInstall first{QString()};
    QVERIFY(first.checkInstallTmpPath());
    const QString area = root.host(kArea);
    // FAT keeps no modes and no links.
    const bool fat = phoneCardIsFat();
    QVERIFY(fat || QFile::setPermissions(area, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                   | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                                                   | QFileDevice::ExeGroup));
    const QMap<QString, QString> areaBefore = snapshot(root.outer() + QStringLiteral("/root/mmc/mmca1/.system/QTDownLoad"));
    root.writeFile(kArea + QStringLiteral("/old/x.desktop"), desktop("Old"));
    root.writeFile(kArea + QStringLiteral("/.hidden/file"), "x");
    root.writeFile(kArea + QStringLiteral("/.dotfile"), "x");
    root.writeFile(kArea + QStringLiteral("/..double"), "x");
    QVERIFY(fat || QFile::link(root.outer(), area + QStringLiteral("/.link")));
    QVERIFY(fat || QFile::link(root.outer(), area + QStringLiteral("/-dash")));
    EZXPkgInstall e{QString()};
    QVERIFY(e.checkInstallTmpPath());
    QCOMPARE(areaEntries(root), QStringList());
    // The area itself keeps its mode and owner; nothing the links led to went.
    QCOMPARE(snapshot(root.outer() + QStringLiteral("/root/mmc/mmca1/.system/QTDownLoad")), areaBefore);
    QVERIFY(QFileInfo(root.root()).isDir());
}

// An install area replaced by a link to a folder elsewhere: the step fails
// and nothing behind the link is emptied or written.
void PkgInstall::areaThatIsALink()
{
    PhoneRoot root;
    Packages pk;
    const QString pkg = pk.app(QStringLiteral("demo"));
    const QString victim = root.outer() + QStringLiteral("/victim");
    QVERIFY(QDir().mkpath(victim));
    QFile secret(victim + QStringLiteral("/secret"));
    QVERIFY(secret.open(QIODevice::WriteOnly) && secret.write("keep") == 4);
    secret.close();
    QVERIFY(QDir().mkpath(root.host(QStringLiteral("/mmc/mmca1/.system/QTDownLoad"))));
    if (phoneCardIsFat())
        QSKIP("a FAT card holds no links");
    QVERIFY(QFile::link(victim, root.host(kArea)));
    EZXPkgInstall e(pkg);
    QVERIFY(e.checkPKGFile());
    QVERIFY(!e.checkInstallTmpPath());
    e.exPKGInstallTmp();
    QCOMPARE(QDir(victim).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("secret")});
    QCOMPARE(fileBytes(victim + QStringLiteral("/secret")), QByteArray("keep"));
}

// Something in the area that cannot be removed: the package is not unpacked
// beside it, and the folder search fails.
void PkgInstall::leftoverThatCannotGo()
{
    PhoneRoot root;
    Packages pk;
    const QString pkg = pk.app(QStringLiteral("demo"));
    EZXPkgInstall e(pkg);
    QVERIFY(e.checkPKGFile() && e.checkInstallTmpPath() && e.checkInstallDB());
    QVERIFY(root.writeFile(kArea + QStringLiteral("/stuck"), "x"));
    Immutable stuck(root.host(kArea + QStringLiteral("/stuck")));
    if (!stuck.ok())
        QSKIP("chattr +i is refused on this file system");
    e.exPKGInstallTmp();
    QCOMPARE(areaEntries(root), QStringList{QStringLiteral("stuck")});
    QVERIFY(!e.getPKGPathFromInstallTmpPath());
}

void PkgInstall::brokenPackages_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("failingStep");
    QTest::addColumn<bool>("areaEmpty");
    QTest::newRow("not gzip") << "notgzip" << 5 << true;
    QTest::newRow("gzip but not tar") << "gzipnottar" << 5 << true;
    QTest::newRow("empty file") << "empty" << 5 << true;
    QTest::newRow("gzip header only") << "gzipheader" << 5 << true;
    QTest::newRow("only plain files") << "plain" << 5 << true;
    QTest::newRow("folder without desktop file") << "nodesktop" << 6 << true;
    QTest::newRow("desktop without Desktop Entry") << "noentry" << 7 << false;
    QTest::newRow("desktop without Name") << "noname" << 7 << false;
    QTest::newRow("desktop file empty") << "emptydesktop" << 7 << false;
    QTest::newRow("cut short after its first members") << "truncated" << 5 << true;
    QTest::newRow("damaged after its first members") << "damaged" << 5 << true;
}

void PkgInstall::brokenPackages()
{
    QFETCH(QString, kind);
    QFETCH(int, failingStep);
    QFETCH(bool, areaEmpty);
    PhoneRoot root;
    Packages pkgs;
    QString pkg;
    // Whole packages whose first members are a folder with its desktop file,
    // followed by enough data to cut or damage.
    auto wholeThenBroken = [&](bool cut) {
        const QString whole = pkgs.make({{"app/a.desktop", desktop("Cut")},
                                         {"app/zz_big", randomBytes(400000)}});
        QByteArray bytes = fileBytes(whole);
        if (cut) {
            bytes.truncate(bytes.size() / 2);
        } else {
            for (int i = bytes.size() / 2; i < bytes.size() / 2 + 64; ++i)
                bytes[i] = char(~bytes[i]);
        }
        pkg = pkgs.raw(bytes);
        // The attack path: the bare unpack leaves a folder with its desktop
        // file, which the folder and desktop search alone would accept.
        QTemporaryDir scratch;
        QVERIFY(run(QStringLiteral("tar"), {"zxf", pkg, "-C", scratch.path()}) != 0);
        QVERIFY(QFile::exists(scratch.path() + QStringLiteral("/app/a.desktop")));
    };
    if (kind == "notgzip")
        pkg = pkgs.raw("this is just text, not an archive\n");
    else if (kind == "gzipnottar")
        pkg = pkgs.raw(gzip(QByteArray("plain text inside gzip\n").repeated(100)));
    else if (kind == "empty")
        pkg = pkgs.raw(QByteArray());
    else if (kind == "gzipheader")
        pkg = pkgs.raw(QByteArray::fromHex("1f8b0800000000000003"));
    else if (kind == "plain")
        pkg = pkgs.make({{"a.desktop", desktop("A")}, {"readme", "x"}});
    else if (kind == "nodesktop")
        pkg = pkgs.make({{"app/readme.txt", "x"}, {"app/run.sh", "y"}});
    else if (kind == "noentry")
        pkg = pkgs.app("app", "a.desktop", "[Other]\nName=A\n");
    else if (kind == "noname")
        pkg = pkgs.app("app", "a.desktop", "[Desktop Entry]\nExec=x\n");
    else if (kind == "emptydesktop")
        pkg = pkgs.app("app", "a.desktop", QByteArray());
    else if (kind == "truncated")
        wholeThenBroken(true);
    else if (kind == "damaged")
        wholeThenBroken(false);
    QVERIFY(!pkg.isEmpty());
    if (QTest::currentTestFailed())
        return;

    EZXPkgInstall prepare{QString()};
    QVERIFY(prepare.checkInstallTmpPath() && prepare.checkInstallDB());
    const QMap<QString, QString> before = outside(root);

    EZXPkgInstall e(pkg);
    QCOMPARE(installSteps(e), failingStep);
    const QStringList diff = differences(before, outside(root));
    QVERIFY2(diff.isEmpty(), qPrintable(diff.join(QLatin1Char('\n'))));
    QCOMPARE(areaEntries(root).isEmpty(), areaEmpty);
    if (!areaEmpty)
        QCOMPARE(areaEntries(root), QStringList{"app"});
    // The next install starts from an empty area again.
    QCOMPARE(install(pkgs.app("next")), 0);
    QCOMPARE(areaEntries(root), QStringList());
}

void PkgInstall::cardTooSmall_data()
{
    QTest::addColumn<int>("unpackedSize");
    QTest::addColumn<int>("failingStep");
    // A card of 6 MB: the unpack does not fit; the unpack fits but its copy
    // does not. Both are told before anything is unpacked.
    QTest::newRow("unpack larger than the card") << (8 << 20) << 5;
    QTest::newRow("copy larger than what is left") << (4 << 20) << 5;
}

void PkgInstall::cardTooSmall()
{
    QFETCH(int, unpackedSize);
    QFETCH(int, failingStep);
    PhoneRoot root;
    Packages pkgs;
    const QString pkg = pkgs.make({{"app/a.desktop", desktop("Big")},
                                   {"app/zz_data", randomBytes(unpackedSize)}});
    SmallMount card(root.host(QStringLiteral("/mmc/mmca1")), QStringLiteral("6m"));
    if (!card.ok())
        QSKIP("this machine refuses to mount a tmpfs for the small card");
    EZXPkgInstall prepare{QString()};
    QVERIFY(prepare.checkInstallTmpPath() && prepare.checkInstallDB());
    root.writeFile(kCardRegistry, "[old]\nName=Old\n");
    const QMap<QString, QString> before = outside(root);
    EZXPkgInstall e(pkg);
    QCOMPARE(installSteps(e), failingStep);
    QVERIFY(e.lacksSpace());
    QVERIFY(e.spaceNeeded() >= 2 * qint64(unpackedSize) && e.spaceFree() < e.spaceNeeded());
    const QStringList diff = differences(before, outside(root));
    QVERIFY2(diff.isEmpty(), qPrintable(diff.join(QLatin1Char('\n'))));
    QCOMPARE(areaEntries(root), QStringList());
}

void PkgInstall::hostileNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("blanks") << "a b  c";
    QTest::newRow("single quote") << "it's";
    QTest::newRow("double quote") << "say \"hi\"";
    QTest::newRow("semicolon") << "x; touch pwned";
    QTest::newRow("command substitution") << "$(touch pwned)";
    QTest::newRow("backticks") << "`touch pwned`";
    QTest::newRow("leading dash") << "-rf";
    QTest::newRow("leading double dash") << "--help";
    QTest::newRow("glob characters") << "*";
    QTest::newRow("sorts before the dot") << "!bang";
    QTest::newRow("quote then command") << "'; touch pwned; '";
    QTest::newRow("line break") << "two\nlines";
    QTest::newRow("UTF-8") << QString::fromUtf8("\u8f6f\u4ef6 app");
}

void PkgInstall::hostileNames()
{
    QFETCH(QString, name);
    PhoneRoot root;
    QTemporaryDir work;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work.path()));
    Packages pkgs;
    const QString stage = pkgs.dir.path() + QStringLiteral("/stage");
    // The package file and the package folder both carry the name.
    const QString pkg = pkgs.dir.path() + QLatin1Char('/') + name + QStringLiteral(".pkg");
    QVERIFY(makePackage(pkg, stage, {{name + QStringLiteral("/a.desktop"), desktop("Named")},
                                     {name + QStringLiteral("/run.sh"), "#!/bin/sh\n"}}));
    QString dir, uid;
    const int step = install(pkg, &dir, &uid);
    QDir::setCurrent(previous);

    // A name the card cannot hold is refused at the folder search, and
    // nothing is left behind.
    if (!cardHoldsName(name)) {
        QCOMPARE(step, 5);
        QCOMPARE(areaEntries(root), QStringList());
        return;
    }
    QCOMPARE(step, 0);
    QCOMPARE(dir, kDownLoad + QLatin1Char('/') + name);
    QCOMPARE(root.readFile(dir + QStringLiteral("/run.sh")), QByteArray("#!/bin/sh\n"));
    QCOMPARE(readEntry(kCardRegistry, uid, QStringLiteral("Directory")), dir);
    QCOMPARE(QDir(work.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
    const QMap<QString, QString> all = snapshot(root.outer());
    for (const QString& path : all.keys())
        QVERIFY2(path.section(QLatin1Char('/'), -1) != QLatin1String("pwned"), qPrintable(path));
    QCOMPARE(areaEntries(root), QStringList());
}

void PkgInstall::relativePackagePath_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("leading dash") << "-rf.pkg";
    QTest::newRow("tar option") << "--to-command=touch pwned.pkg";
    QTest::newRow("option with blank") << "-C .. x.pkg";
}

void PkgInstall::relativePackagePath()
{
    QFETCH(QString, name);
    PhoneRoot root;
    QTemporaryDir work;
    Packages pkgs;
    QVERIFY(QFile::copy(pkgs.app("rel"), work.path() + QLatin1Char('/') + name));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work.path()));
    QString dir;
    const int step = install(name, &dir);
    QDir::setCurrent(previous);
    QCOMPARE(step, 0);
    QCOMPARE(dir, kDownLoad + QStringLiteral("/rel"));
    QCOMPARE(QDir(work.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{name});
}

void PkgInstall::registryRecordGolden_data()
{
    QTest::addColumn<QByteArray>("desktopFile");
    QTest::addColumn<QString>("golden");
    QTest::newRow("every desktop key")
        << QByteArray("[Desktop Entry]\nName=Demo Game\nExec=bin/game\nIcon=icons/s.png\n"
                      "BigIcon=icons/b.png\nOsVersion=2.0\nShared=1\nComment=A small game\n"
                      "Extra=not copied\n")
        << "record_full.golden";
    QTest::newRow("only Name: the rest empty")
        << QByteArray("[Desktop Entry]\nName=Bare\n") << "record_bare.golden";
}

void PkgInstall::registryRecordGolden()
{
    QFETCH(QByteArray, desktopFile);
    QFETCH(QString, golden);
    PhoneRoot root;
    root.writeFile(kCardRegistry, "# card registry\n[other]\nName=Other\n");
    Packages pkgs;
    QString dir, uid;
    QCOMPARE(install(pkgs.app("game", "game.desktop", desktopFile), &dir, &uid), 0);
    QVERIFY(QRegularExpression("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$")
                .match(uid).hasMatch());

    QByteArray expected = fileBytes(QStringLiteral(TESTS_SOURCE_DIR "/data/") + golden);
    const QString today = QLocale::c().toString(QDate::currentDate(), QStringLiteral("ddd MMM d yyyy"));
    expected.replace("@UID@", uid.toUtf8()).replace("@DIR@", dir.toUtf8()).replace("@DATE@", today.toUtf8());
    const QStringList want = QString::fromUtf8(expected).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QByteArray file = root.readFile(kCardRegistry);
    const QStringList got = groupLines(file, uid);
    QCOMPARE(got.size(), 25);
    if (got != want) {
        QStringList diff;
        for (int i = 0; i < qMax(got.size(), want.size()); ++i)
            if (got.value(i) != want.value(i))
                diff << QStringLiteral("line %1: want \"%2\", got \"%3\"").arg(i + 1)
                            .arg(want.value(i), got.value(i));
        QFAIL(qPrintable(diff.join(QLatin1Char('\n'))));
    }
    // The record reads back through the store; the other record stays.
    QCOMPARE(readEntry(kCardRegistry, uid, QStringLiteral("AppID")), QLatin1Char('{') + uid + QLatin1Char('}'));
    QCOMPARE(readEntry(kCardRegistry, uid, QStringLiteral("Size"), QStringLiteral("absent")), QString(""));
    QCOMPARE(readEntry(kCardRegistry, QStringLiteral("other"), QStringLiteral("Name")), QStringLiteral("Other"));
    QVERIFY(file.startsWith("# card registry\n"));
}

void PkgInstall::menuLists_data()
{
    QTest::addColumn<QByteArray>("menuTree");   // @A@ / @B@ stand for the two folder groups
    QTest::addColumn<QString>("afterA");        // U1 and U2 stand for the two new UIDs
    QTest::addColumn<QString>("afterB");
    QTest::newRow("lists without trailing ;")
        << QByteArray("[@A@]\nItems=A;B\n[@B@]\nItems=C\n") << "A;B;U1;U2" << "C;U1;U2";
    QTest::newRow("lists ending in ;")
        << QByteArray("[@A@]\nItems=A;\n[@B@]\nItems=;\n") << "A;U1;U2" << ";U1;U2";
    QTest::newRow("empty and missing lists")
        << QByteArray("[@A@]\nItems=\n[other]\nItems=X\n") << ";U1;U2" << ";U1;U2";
    QTest::newRow("no menu tree yet") << QByteArray() << ";U1;U2" << ";U1;U2";
}

void PkgInstall::menuLists()
{
    QFETCH(QByteArray, menuTree);
    QFETCH(QString, afterA);
    QFETCH(QString, afterB);
    PhoneRoot root;
    if (!menuTree.isEmpty())
        root.writeFile(kMenuTree, QByteArray(menuTree).replace("@A@", kFolderA.toLatin1())
                                      .replace("@B@", kFolderB.toLatin1()));
    Packages pkgs;
    QString u1, u2;
    QCOMPARE(install(pkgs.app("one"), nullptr, &u1), 0);
    QCOMPARE(install(pkgs.app("two"), nullptr, &u2), 0);
    afterA.replace("U1", u1).replace("U2", u2);
    afterB.replace("U1", u1).replace("U2", u2);
    QCOMPARE(readEntry(kMenuTree, kFolderA, "Items"), afterA);
    QCOMPARE(readEntry(kMenuTree, kFolderB, "Items"), afterB);
    if (menuTree.contains("[other]"))
        QCOMPARE(readEntry(kMenuTree, "other", "Items"), QStringLiteral("X"));
}

void PkgInstall::unwritableRegistries_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("failingStep");
    QTest::addColumn<bool>("areaEmpty");
    QTest::newRow("card registry immutable") << "immutable-registry" << 11 << true;
    // Once copied, the unpacked files are gone: a later failure leaves the
    // area empty too.
    QTest::newRow("menu tree immutable") << "immutable-menu" << 12 << true;
    // The writer lock lives in the menu's folder: without that folder no
    // writer may start, and the install stops before the area is touched.
    QTest::newRow("menu folder is a plain file") << "file-menu-folder" << 2 << true;
    QTest::newRow("card registry folder is a plain file") << "file-java-folder" << 3 << true;
    QTest::newRow("card full before registration") << "full-card" << 11 << true;
    QTest::newRow("menu tree's file system full") << "full-menu" << 12 << true;
}

void PkgInstall::unwritableRegistries()
{
    QFETCH(QString, how);
    QFETCH(int, failingStep);
    QFETCH(bool, areaEmpty);
    PhoneRoot root;
    Packages pkgs;
    const QString pkg = pkgs.app("app");
    const QByteArray registry = "# kept byte for byte\n[old]\r\nName = Old\n\n";
    const QByteArray menu = "[" + kFolderA.toLatin1() + "]\nItems=A;B\n; note\n";
    std::unique_ptr<SmallMount> mount;
    if (how == "full-card") {
        mount.reset(new SmallMount(root.host("/mmc/mmca1"), "2m"));
    } else if (how == "full-menu") {
        mount.reset(new SmallMount(root.host("/ezx_user/download/appwrite/am"), "64k"));
    }
    if (mount && !mount->ok())
        QSKIP("this machine refuses to mount a tmpfs");
    if (how == "file-java-folder") {
        root.writeFile("/mmc/mmca1/.system/java", "a plain file");
    } else {
        root.writeFile(kCardRegistry, registry);
    }
    if (how == "file-menu-folder") {
        QDir(root.host("/ezx_user/download/appwrite/am")).removeRecursively();
        root.writeFile("/ezx_user/download/appwrite/am", "a plain file");
    } else {
        root.writeFile(kMenuTree, menu);
    }
    std::unique_ptr<Immutable> lock;
    if (how == "immutable-registry")
        lock.reset(new Immutable(root.host(kCardRegistry)));
    if (how == "immutable-menu")
        lock.reset(new Immutable(root.host(kMenuTree)));
    if (lock && !lock->ok())
        QSKIP("chattr +i is refused on this file system");

    EZXPkgInstall e(pkg);
    int step = 0;
    if (!e.checkPKGFile()) step = 1;
    else if (!e.checkInstallTmpPath()) step = 2;
    else if (!e.checkInstallDB()) step = 3;
    if (step == 0) {
        e.exPKGInstallTmp();
        QVERIFY(e.getPKGPathFromInstallTmpPath() && e.getPKGDesktopFile() && e.getPKGSoftInfo());
        QVERIFY(e.copyPKGFolderFromInstallTmpPath());
        e.softUID = QUuid::createUuid().toString(QUuid::WithoutBraces);
        if (how == "full-card")
            fillUp(root.host("/mmc/mmca1"));
        if (how == "full-menu")
            fillUp(root.host("/ezx_user/download/appwrite/am"));
        if (!e.regSoftInfo_InstallDB()) step = 11;
        else if (!e.regSoftInfo_Menu()) step = 12;
    }
    QCOMPARE(step, failingStep);
    // A failed registration undoes the install: no record, no copied folder.
    if (step == 11 || step == 12) {
        QCOMPARE(root.readFile(kCardRegistry), registry);
        QCOMPARE(QDir(root.host("/mmc/mmca1/.system/QTDownLoad")).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList{"installtmp"});
    }
    if (how != "file-menu-folder")
        QCOMPARE(root.readFile(kMenuTree), menu);
    else
        QCOMPARE(root.readFile("/ezx_user/download/appwrite/am"), QByteArray("a plain file"));
    if (how == "file-java-folder")
        QCOMPARE(root.readFile("/mmc/mmca1/.system/java"), QByteArray("a plain file"));
    QCOMPARE(areaEntries(root).isEmpty(), areaEmpty);
}

QTEST_GUILESS_MAIN(PkgInstall)
#include "tst_pkginstall.moc"
