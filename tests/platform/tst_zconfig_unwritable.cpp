// Files that cannot be written: writeEntry and removeGroup answer false, the
// file that was there stays byte for byte, and no temporary file is left.
// Tests run as root, so what stops the write is a missing folder, a plain
// file where the folder should be, an immutable file or folder (chattr +i),
// and a full tmpfs mounted for the test.
#include "phoneroot.h"
#include "zconfig.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kOld = "# registry\n[app]\nName = old\nExec = run\n\n[other]\nk = 1\n";

int run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(20000))
        return -1;
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

QStringList entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                               QDir::Name);
}

// A card of 64 kB (a tmpfs) for the lifetime of the object.
struct SmallCard
{
    QByteArray path;
    bool ok;
    explicit SmallCard(const QString& mountPoint)
        : path(QFile::encodeName(mountPoint)),
          ok(::mount("tmpfs", path.constData(), "tmpfs", 0, "size=64k") == 0)
    {
    }
    ~SmallCard()
    {
        if (ok)
            ::umount2(path.constData(), MNT_DETACH);
    }
};

// Writes the file until the file system takes no byte more.
bool fillUp(QFile& filler)
{
    if (!filler.open(QIODevice::WriteOnly))
        return false;
    const QByteArray block(1024, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();
    return true;
}

// Tries every way of changing the file through one object; all must fail.
// (A group that is not there needs no writing: removing it is a success.)
void expectAllWritesFail(const QString& phonePath, bool fileExists = true)
{
    ZConfig cfg(phonePath);
    QCOMPARE(cfg.groupExists("other"), fileExists);
    QVERIFY(!cfg.writeEntry("app", "Name", "new"));
    QVERIFY(!cfg.writeEntry("fresh", "k", "1"));  // a second change tries again, and fails again
    QCOMPARE(cfg.removeGroup("other"), !fileExists);
    QVERIFY(!cfg.flush());
}

} // namespace

class TestZConfigUnwritable : public QObject
{
    Q_OBJECT
private slots:
    void missingFolder()
    {
        PhoneRoot root;
        const QString reg = "/ezx_user/download/appwrite/nofolder/Reg";
        expectAllWritesFail(reg, false);
        QVERIFY(!QFileInfo::exists(root.host("/ezx_user/download/appwrite/nofolder")));
    }

    void plainFileWhereFolderIs()
    {
        PhoneRoot root;
        QVERIFY(root.writeFile("/ezx_user/download/appwrite/plain", kOld));
        expectAllWritesFail("/ezx_user/download/appwrite/plain/Reg", false);
        QCOMPARE(root.readFile("/ezx_user/download/appwrite/plain"), kOld);
        QCOMPARE(entries(root.host("/ezx_user/download/appwrite")),
                 (QStringList{"am", "plain", "setup"}));
    }

    void immutable_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::newRow("file") << false;
        QTest::newRow("folder") << true;
    }
    void immutable()
    {
        QFETCH(bool, folder);
        PhoneRoot root;
        const QString reg = "/ezx_user/download/appwrite/am/UserMenuTree";
        const QString dir = root.host("/ezx_user/download/appwrite/am");
        QVERIFY(root.writeFile(reg, kOld));
        const QString target = folder ? dir : root.host(reg);
        if (run("chattr", {"+i", target}) != 0)
            QSKIP("chattr +i is refused on this file system");
        expectAllWritesFail(reg);
        const QByteArray after = root.readFile(reg);
        const QStringList left = entries(dir);
        run("chattr", {"-i", target});
        QCOMPARE(after, kOld);
        QCOMPARE(left, QStringList{"UserMenuTree"});

        // The same write succeeds once the file may change: the failure was
        // the attribute's doing.
        ZConfig cfg(reg);
        QVERIFY(cfg.writeEntry("app", "Name", "new"));
    }

    void fullCard()
    {
        PhoneRoot root;
        const QString mountPoint = root.host("/mmc/mmca1");
        const SmallCard card(mountPoint);
        if (!card.ok)
            QSKIP("cannot mount a tmpfs here (needs root and permission to mount)");

        const QString reg = "/mmc/mmca1/.system/java/CardRegistry";
        QByteArray old = kOld;
        for (int i = 0; i < 200; ++i)
            old += QByteArray("[") + QByteArray::number(i) + "]\nName = app\n";
        QVERIFY(root.writeFile(reg, old));
        // Fill what is left of the card.
        QFile filler(mountPoint + "/filler");
        QVERIFY(fillUp(filler));
        // Leave a little room, less than the new file needs.
        QVERIFY(filler.resize(filler.size() - 2048));

        expectAllWritesFail(reg);
        QCOMPARE(root.readFile(reg), old);
        QCOMPARE(entries(mountPoint + "/.system/java"), QStringList{"CardRegistry"});

        QVERIFY(QFile::remove(mountPoint + "/filler"));
        ZConfig cfg(reg);
        QVERIFY(cfg.writeEntry("app", "Name", "new"));
    }

    // A card that fills up after a first write through an object: the
    // later write answers false, and nothing it answered true for is lost.
    void fullCardForASecondWrite()
    {
        PhoneRoot root;
        const QString mountPoint = root.host("/mmc/mmca1");
        const SmallCard card(mountPoint);
        if (!card.ok)
            QSKIP("cannot mount a tmpfs here (needs root and permission to mount)");
        const QString reg = "/mmc/mmca1/.system/java/CardRegistry";
        QVERIFY(root.writeFile(reg, kOld));
        {
            ZConfig cfg(reg);
            QVERIFY(cfg.writeEntry("app", "Name", "first"));
            QFile filler(mountPoint + "/filler");
            QVERIFY(fillUp(filler));
            QVERIFY(!cfg.writeEntry("app", "Exec", QString(8000, 'x')));
        }
        const ZConfig back(reg);
        QCOMPARE(back.readEntry("app", "Name"), QString("first"));
        QCOMPARE(back.readEntry("app", "Exec"), QString("run"));
    }

    // Something other than a regular file in place of a registry reads as
    // unreadable at once (a FIFO would block open()) and is never replaced.
    void notARegularFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("folder") << "folder";
        QTest::newRow("character device") << "device";
    }
    void notARegularFile()
    {
        QFETCH(QString, kind);
        PhoneRoot root;
        const QString reg = "/ezx_user/download/appwrite/am/InstalledDB";
        const QByteArray host = QFile::encodeName(root.host(reg));
        if (kind == "fifo")
            QCOMPARE(::mkfifo(host.constData(), 0644), 0);
        else if (kind == "folder")
            QVERIFY(QDir().mkpath(root.host(reg)));
        else if (::symlink("/dev/null", host.constData()) != 0)
            QFAIL("cannot link /dev/null");
        ZConfig cfg(reg);   // would hang here on a FIFO
        QCOMPARE(cfg.readEntry("app", "Name", "NameError"), QString("NameError"));
        QVERIFY(!cfg.writeEntry("app", "Name", "x"));
        QVERIFY(!cfg.removeGroup("app"));
        struct stat st;
        QCOMPARE(::lstat(host.constData(), &st), 0);
        QCOMPARE(S_ISFIFO(st.st_mode), kind == "fifo");
        QCOMPARE(S_ISDIR(st.st_mode), kind == "folder");
        QCOMPARE(S_ISLNK(st.st_mode), kind == "device");
    }

    // With a phone root, a registry that is a link out of it is not written
    // there; one that leads to another place in the phone is.
    void linkOutOfThePhone()
    {
        PhoneRoot root;
        const QString outside = root.outer() + "/host-file";
        QFile f(outside);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(kOld) == kOld.size());
        f.close();
        const QString reg = "/mmc/mmca1/.system/java/CardRegistry";
        QDir().mkpath(root.host("/mmc/mmca1/.system/java"));
        QVERIFY(QFile::link(outside, root.host(reg)));
        expectAllWritesFail(reg);
        QFile back(outside);
        QVERIFY(back.open(QIODevice::ReadOnly));
        QCOMPARE(back.readAll(), kOld);
        QCOMPARE(entries(root.outer()), (QStringList{"host-file", "root"}));

        const QString inside = "/ezx_user/download/appwrite/am/InstalledDB";
        QVERIFY(root.writeFile(inside, kOld));
        QVERIFY(QFile::remove(root.host(reg)));
        QVERIFY(QFile::link(root.host(inside), root.host(reg)));
        QVERIFY(ZConfig(reg).writeEntry("app", "Name", "through"));
        QVERIFY(QFileInfo(root.host(reg)).isSymLink());
        QCOMPARE(ZConfig(inside).readEntry("app", "Name"), QString("through"));
    }
};

QTEST_GUILESS_MAIN(TestZConfigUnwritable)
#include "tst_zconfig_unwritable.moc"
