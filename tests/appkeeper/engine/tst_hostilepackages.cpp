// Hostile packages against the install steps, each checked against the
// exact set of paths around the phone root. Every package is made at test
// time by data/make_hostile.py (one data row each). Before the engine runs,
// each row proves that its attack reaches the checked paths: the bare unpack
// and copy commands (or tar with --absolute-names, where GNU tar's own guard
// already stops the bare commands) must show a violation on a fresh phone.

#include "enginetestutil.h"
#include "phoneroot.h"
#include "shellrunner.h"

#include <QtTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace enginetest;

namespace {

const QString kArea = QStringLiteral("root/mmc/mmca1/.system/QTDownLoad/installtmp");
const QString kDownLoad = QStringLiteral("root/mmc/mmca1/.system/QTDownLoad");
const QStringList kRegistries = {QStringLiteral("root/mmc/mmca1/.system/java/CardRegistry"),
                                 QStringLiteral("root/ezx_user/download/appwrite/am/UserMenuTree")};

bool under(const QString& path, const QString& folder)
{
    return path.startsWith(folder + QLatin1Char('/'));
}

// What an installed folder must never hold. Entries belong to the program's
// user or to the card's owner (on FAT, every entry shows the mount's owner).
QStringList unsafeEntries(const QString& hostFolder, uid_t cardOwner)
{
    QStringList bad;
    const QString real = QFileInfo(hostFolder).canonicalFilePath();
    struct stat top;
    if (lstat(QFile::encodeName(hostFolder).constData(), &top) != 0 || !S_ISDIR(top.st_mode))
        return {QStringLiteral("installed entry is no folder: ") + hostFolder};
    const QMap<QString, QString> tree = snapshot(hostFolder);
    for (auto it = tree.begin(); it != tree.end(); ++it) {
        const QString path = hostFolder + QLatin1Char('/') + it.key();
        const QByteArray p = QFile::encodeName(path);
        struct stat st;
        if (p.size() >= 4000 || lstat(p.constData(), &st) != 0)
            continue;
        if (st.st_uid != geteuid() && st.st_uid != cardOwner)
            bad << QStringLiteral("foreign owner: ") + it.key();
        if (st.st_mode & (S_ISUID | S_ISGID))
            bad << QStringLiteral("set-ID bit: ") + it.key();
        if (S_ISLNK(st.st_mode)) {
            char* resolved = realpath(p.constData(), nullptr);
            const QString target = resolved ? QFile::decodeName(resolved) : QString();
            free(resolved);
            if (target.isEmpty() || (target != real && !target.startsWith(real + QLatin1Char('/'))))
                bad << QStringLiteral("link not resolving inside: ") + it.value();
        } else if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) {
            bad << QStringLiteral("special file: ") + it.key();
        }
    }
    return bad;
}

struct Phone
{
    PhoneRoot root;
    std::unique_ptr<SmallMount> card;
    QString area;
    QString victim;

    explicit Phone(bool smallCard)
    {
        victim = root.outer() + QStringLiteral("/victim");
        QDir().mkpath(victim);
        QFile s(victim + QStringLiteral("/secret"));
        s.open(QIODevice::WriteOnly);
        s.write("secret\n");
        s.close();
        QFile d(victim + QStringLiteral("/secret.desktop"));
        d.open(QIODevice::WriteOnly);
        d.write(desktop(QStringLiteral("Stolen")));
        d.close();
        if (smallCard)
            card.reset(new SmallMount(root.host(QStringLiteral("/mmc/mmca1")), QStringLiteral("8m")));
        // An application installed earlier, under the name the packages use.
        root.writeFile(QStringLiteral("/mmc/mmca1/.system/QTDownLoad/p/run.sh"), "#!/bin/sh\necho old\n");
        root.writeFile(QStringLiteral("/mmc/mmca1/.system/java/CardRegistry"), "[old]\nName=Old\n");
        root.writeFile(QStringLiteral("/ezx_user/download/appwrite/am/UserMenuTree"),
                       "[cb839c8f-72c3-42ac-bf17-b01080cb5705]\nItems=old\n");
        EZXPkgInstall e{QString()};
        e.checkInstallTmpPath();
        area = root.host(e.installTmpPath);
    }
};

// The bare command lines of an install, without any of the engine's guards:
// unpack, copy the first folder to a free name. The area is emptied before
// each package with the "/*" pattern only, and not after the last one, so
// that whatever the unpack linked or wrote stays visible.
void bareInstall(Phone& phone, const QString& pkg, bool absoluteNames)
{
    const QString area = shellQuote(phone.area);
    run(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("rm -r ") + area + QStringLiteral("/* 2>/dev/null")});
    run(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("tar zxf ") + shellQuote(pkg)
                               + QStringLiteral(" -C ") + area
                               + (absoluteNames ? QStringLiteral(" -P") : QString())
                               + QStringLiteral(" 2>/dev/null")});
    const QStringList dirs = QDir(phone.area).entryList(QDir::Dirs | QDir::NoDotAndDotDot,
                                                        QDir::Name | QDir::IgnoreCase);
    if (dirs.isEmpty())
        return;
    const QString base = phone.root.host(QStringLiteral("/mmc/mmca1/.system/QTDownLoad/")) + dirs.first();
    QString dest = base;
    for (int n = 0; QFileInfo(dest).isDir(); ++n)
        dest = base + QString::number(n);
    run(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("cp -rf ") + shellQuote(phone.area
                               + QLatin1Char('/') + dirs.first()) + QLatin1Char(' ') + shellQuote(dest)
                               + QStringLiteral(" 2>/dev/null")});
}

// Everything that changed around the phone root and must not have.
QStringList violations(const Phone& phone, const QMap<QString, QString>& before, bool areaMustBeEmpty)
{
    const QMap<QString, QString> after = snapshot(phone.root.outer());
    QStringList bad;
    QStringList installed;
    for (const QString& diff : differences(before, after)) {
        const QString path = diff.mid(9).section(QStringLiteral(" ("), 0, 0);
        if (under(path, kArea) || kRegistries.contains(path))
            continue;
        if (diff.startsWith(QStringLiteral("new:")) && under(path, kDownLoad)) {
            const QString top = path.section(QLatin1Char('/'), 0, 5);
            if (!before.contains(top)) {
                if (!installed.contains(top))
                    installed << top;
                continue;
            }
        }
        bad << diff;
    }
    struct stat area;
    const uid_t cardOwner = lstat(QFile::encodeName(phone.area).constData(), &area) == 0 ? area.st_uid
                                                                                       : geteuid();
    for (const QString& top : installed)
        bad += unsafeEntries(phone.root.outer() + QLatin1Char('/') + top, cardOwner);
    // What the unpack leaves in the area must be as safe as an installed
    // folder: a set-ID or foreign file there sits on the card until the
    // next install.
    for (const QString& entry : QDir(phone.area).entryList(QDir::AllEntries | QDir::Hidden
                                                           | QDir::System | QDir::NoDotAndDotDot)) {
        const QString path = phone.area + QLatin1Char('/') + entry;
        if (QFileInfo(path).isSymLink() || !QFileInfo(path).isDir()) {
            if (!QFileInfo(path).isFile() || QFileInfo(path).isSymLink())
                bad << QStringLiteral("unsafe entry in the install area: ") + entry;
            continue;
        }
        for (const QString& b : unsafeEntries(path, cardOwner))
            bad << QStringLiteral("install area: ") + b;
    }
    if (areaMustBeEmpty) {
        const QStringList left = QDir(phone.area).entryList(QDir::AllEntries | QDir::Hidden
                                                            | QDir::System | QDir::NoDotAndDotDot);
        if (!left.isEmpty())
            bad << QStringLiteral("install area not empty: ") + left.join(QStringLiteral(", "));
    }
    return bad;
}

// True when this process may make device nodes (real root, not the root of a
// user namespace): only then can a bare tar unpack a device member.
bool deviceNodesCanBeMade()
{
    QTemporaryDir dir;
    const QByteArray node = QFile::encodeName(dir.path() + QStringLiteral("/null"));
    if (mknod(node.constData(), S_IFCHR | 0600, makedev(1, 3)) != 0)
        return false;
    unlink(node.constData());
    return true;
}

} // namespace

class HostilePackages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void attacks_data();
    void attacks();
};

// Linux's default limit of open descriptors, below the depth of the deepest
// package: the walks of the install area must not hold one per folder.
void HostilePackages::initTestCase()
{
    struct rlimit limit;
    QCOMPARE(getrlimit(RLIMIT_NOFILE, &limit), 0);
    limit.rlim_cur = qMin<rlim_t>(limit.rlim_cur, 1024);
    QCOMPARE(setrlimit(RLIMIT_NOFILE, &limit), 0);
}

void HostilePackages::attacks_data()
{
    QTest::addColumn<QString>("proof");      // "bare", "absolute" or "none"
    QTest::addColumn<int>("expectedStep");   // 0: installed; -1: installed or step 5; else the failing step
    QTest::addColumn<bool>("smallCard");

    // Member names that climb out of the area, or are absolute: GNU tar
    // refuses or strips them itself; with --absolute-names they would land.
    QTest::newRow("dotdot_member") << "absolute" << 5 << false;
    QTest::newRow("dotdot_leading") << "absolute" << 5 << false;
    QTest::newRow("dotdot_pax_path") << "absolute" << 5 << false;
    QTest::newRow("absolute_member") << "absolute" << 0 << false;
    QTest::newRow("absolute_pax_path") << "absolute" << 0 << false;
    QTest::newRow("hardlink_abs") << "absolute" << 5 << false;
    QTest::newRow("hardlink_escape") << "absolute" << 5 << false;
    QTest::newRow("dotfile_link_same_package") << "absolute" << 5 << false;
    // Links out of the package folder: the bare copy would install them.
    QTest::newRow("dotdot_pax_linkpath") << "bare" << 5 << false;
    QTest::newRow("symlink_abs_then_file") << "bare" << 5 << false;
    QTest::newRow("symlink_rel_then_file") << "bare" << 5 << false;
    QTest::newRow("symlink_abs_kept") << "bare" << 0 << false;
    QTest::newRow("symlink_rel_kept") << "bare" << 0 << false;
    QTest::newRow("symlink_to_root") << "bare" << 0 << false;
    QTest::newRow("symlink_one_up") << "bare" << 0 << false;
    QTest::newRow("symlink_reenters_sibling") << "bare" << 0 << false;
    QTest::newRow("symlink_dot_trick") << "bare" << 0 << false;
    QTest::newRow("hardlink_through_symlink") << "bare" << 5 << false;
    QTest::newRow("link_chain") << "bare" << 5 << false;
    QTest::newRow("dir_then_link_same_name") << "bare" << 5 << false;
    // GNU tar replaces the link with the folder, even with --absolute-names.
    // It then finds the folder where it left the link's placeholder and fails
    // only when the folder happens to reuse the placeholder's inode.
    QTest::newRow("link_then_dir_same_name") << "none" << -1 << false;
    QTest::newRow("links_deep_inside") << "bare" << 0 << false;
    QTest::newRow("link_loop") << "bare" << 0 << false;
    QTest::newRow("link_self") << "bare" << 0 << false;
    QTest::newRow("dotfile_link_first_package") << "bare" << 0 << false;
    QTest::newRow("top_level_link_as_folder") << "bare" << 0 << false;
    QTest::newRow("top_level_link_inside") << "bare" << 0 << false;
    QTest::newRow("symlink_desktop_out") << "bare" << 6 << false;
    // What root's tar makes by default: devices, FIFOs, set-ID bits, the
    // archive's owners, and the mode of the install area itself.
    QTest::newRow("chardev") << "bare" << 0 << false;
    QTest::newRow("blockdev") << "bare" << 0 << false;
    QTest::newRow("fifo") << "bare" << 0 << false;
    QTest::newRow("setuid") << "bare" << 0 << false;
    QTest::newRow("setgid") << "bare" << 0 << false;
    QTest::newRow("foreign_owner") << "bare" << 0 << false;
    QTest::newRow("dot_member_0777") << "bare" << 0 << false;
    QTest::newRow("dot_member_symlink") << "none" << 5 << false;
    // Sizes and shapes the system may refuse.
    QTest::newRow("very_long_name") << "none" << 0 << false;
    QTest::newRow("too_long_component") << "none" << 5 << false;
    QTest::newRow("deep_nesting") << "none" << 0 << false;
    QTest::newRow("nesting_past_path_max") << "none" << 5 << false;
    // Unpacked and checked whole (the walks go folder by folder), then the
    // copy goes past the longest path the system takes: undone at step 9.
    QTest::newRow("nesting_thousands_deep") << "none" << 9 << false;
    QTest::newRow("bomb_larger_than_card") << "none" << 5 << true;
}

void HostilePackages::attacks()
{
    QFETCH(QString, proof);
    QFETCH(int, expectedStep);
    QFETCH(bool, smallCard);
    const QString name = QString::fromLatin1(QTest::currentDataTag());
    if (phoneCardIsFat() && name.startsWith(QLatin1String("nesting_")))
        QSKIP("fusefat takes many minutes for folders nested a thousand deep");

    QTemporaryDir pkgs;
    // The area lies six folders below the outer folder:
    // root/mmc/mmca1/.system/QTDownLoad/installtmp.
    auto build = [&](const QString& outer) {
        QByteArray out;
        const int rc = run(QStringLiteral("python3"),
                           {QStringLiteral(TESTS_SOURCE_DIR "/data/make_hostile.py"), pkgs.path(),
                            outer, QStringLiteral("6"), name}, &out);
        QVERIFY2(rc == 0, out.constData());
    };
    auto packages = [&] {
        QStringList list{pkgs.path() + QLatin1Char('/') + name + QStringLiteral(".pkg")};
        const QString second = pkgs.path() + QLatin1Char('/') + name + QStringLiteral(".2.pkg");
        if (QFile::exists(second))
            list << second;
        return list;
    };

    if (proof != QLatin1String("none")) {
        Phone bare(smallCard);
        if (smallCard && !bare.card->ok())
            QSKIP("this machine refuses to mount a tmpfs for the small card");
        build(bare.root.outer());
        const QMap<QString, QString> before = snapshot(bare.root.outer());
        for (const QString& pkg : packages())
            bareInstall(bare, pkg, proof == QLatin1String("absolute"));
        const bool reached = !violations(bare, before, false).isEmpty();
        // In the phone's world some attacks cannot happen at all: an
        // ordinary user's tar makes no devices and keeps no foreign owner,
        // a FAT card holds no links, BusyBox tar strips ".." itself. The
        // engine is checked all the same.
        if (!reached && qEnvironmentVariableIsSet("EZX_PHONE_WORLD"))
            qInfo("%s: the bare commands do no harm in this profile either", qPrintable(name));
        else if (!reached && name.endsWith(QLatin1String("dev")) && !deviceNodesCanBeMade())
            qInfo("%s: no device node can be made here (root of a user namespace, as under "
                  "scripts/under-qemu.sh), so the bare commands do no harm either",
                  qPrintable(name));
        else
            QVERIFY2(reached, "the attack does not reach the checked paths; the check proves nothing");
    }

    Phone phone(smallCard);
    if (smallCard && !phone.card->ok())
        QSKIP("this machine refuses to mount a tmpfs for the small card");
    build(phone.root.outer());
    struct stat areaBefore;
    QCOMPARE(lstat(QFile::encodeName(phone.area).constData(), &areaBefore), 0);
    const QMap<QString, QString> before = snapshot(phone.root.outer());

    int step = -1;
    QStringList bad;
    for (const QString& pkg : packages()) {
        EZXPkgInstall e(pkg);
        QVERIFY(e.checkPKGFile() && e.checkInstallTmpPath() && e.checkInstallDB());
        e.exPKGInstallTmp();
        bad += violations(phone, before, false);
        step = stepsAfterUnpack(e);
    }
    bad += violations(phone, before, true);
    QVERIFY2(bad.isEmpty(), qPrintable(bad.join(QLatin1Char('\n'))));
    struct stat areaAfter;
    QCOMPARE(lstat(QFile::encodeName(phone.area).constData(), &areaAfter), 0);
    QCOMPARE(areaAfter.st_mode, areaBefore.st_mode);
    QCOMPARE(areaAfter.st_uid, areaBefore.st_uid);
    if (expectedStep < 0)
        QVERIFY2(step == 0 || step == 5, qPrintable(QString::number(step)));
    else
        QCOMPARE(step, expectedStep);
}

QTEST_GUILESS_MAIN(HostilePackages)
#include "tst_hostilepackages.moc"
