// The suite's own programs as phone packages: each one installs with the
// engine like any package from the card, and lands as a program that runs,
// its icons, its desktop record and what it needs beside it.

#include "enginetestutil.h"
#include "phonearchive.h"
#include "zconfig.h"
#include "testprograms.h"

#include <QImage>
#include <QtTest>

using namespace enginetest;

namespace {

QString packageFile(const QString& folder)
{
    return testBuildPath(QStringLiteral("packages/")) + folder
           + QStringLiteral(".pkg");
}

const char kCardRegistry[] = "/mmc/mmca1/.system/java/CardRegistry";
const char kMenuTree[] = "/ezx_user/download/appwrite/am/UserMenuTree";

} // namespace

class TestSuitePackages : public QObject
{
    Q_OBJECT

private slots:
    void installs_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("exec");
        QTest::addColumn<QStringList>("beside");
        QTest::newRow("appkeeper") << "appkeeper" << "appkeeper" << "appkeeper"
                                   << QStringList{"ezx_appkeeper_lang.cfg"};
        QTest::newRow("slideflow") << "slideflow" << "slideflow" << "slideflow" << QStringList();
        QTest::newRow("flashnote") << "flashnote" << "flashnote" << "flashnote" << QStringList();
        QTest::newRow("promptpick") << "promptpick" << "promptpick" << "promptpick"
                                    << QStringList();
        QTest::newRow("DayBadge 2") << "DayBadge2" << "DayBadge 2" << "DayBadge" << QStringList();
        QTest::newRow("DayBadge 1") << "DayBadge1" << "DayBadge 1" << "DayBadge" << QStringList();
        QTest::newRow("LineLabel") << "LineLabel" << "LineLabel" << "LineLabel" << QStringList();
    }
    void installs()
    {
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(QString, exec);
        QFETCH(QStringList, beside);
        const QString built = packageFile(folder);
        QVERIFY2(QFileInfo::exists(built), qPrintable(built));

        // What a hostile package would hold is not there: every member is a
        // plain file or folder inside the package's one folder, with sane
        // modes and no set-ID bits.
        const PhoneArchiveListing listing = phoneArchiveListing(built);
        QVERIFY(listing.complete);
        for (const PhoneArchiveMember& m : listing.members) {
            QVERIFY(!m.unsafe);
            QVERIFY(m.kind == PhoneArchiveMember::File || m.kind == PhoneArchiveMember::Directory);
            QVERIFY2(m.path == folder.toUtf8() || m.path.startsWith(folder.toUtf8() + '/'),
                     m.path.constData());
        }
        QByteArray verbose;
        QCOMPARE(run(QStringLiteral("tar"), {QStringLiteral("tzvf"), built}, &verbose), 0);
        for (const QByteArray& line : verbose.split('\n')) {
            if (line.isEmpty())
                continue;
            const QByteArray mode = line.left(10);
            QVERIFY2(!mode.contains('s') && !mode.contains('S') && !mode.contains('t')
                         && mode.at(8) != 'w',
                     line.constData());
        }

        PhoneRoot root;
        const QString onCard = QStringLiteral("/mmc/mmca1/") + folder + QStringLiteral(".pkg");
        QVERIFY(QFile::copy(built, root.host(onCard)));
        QString directory;
        QString uid;
        QCOMPARE(install(onCard, &directory, &uid), 0);
        QCOMPARE(directory, QStringLiteral("/mmc/mmca1/.system/QTDownLoad/") + folder);

        const ZConfig card(QString::fromLatin1(kCardRegistry), false);
        const auto entry = [&](const char* key) {
            return card.readEntry(uid, QString::fromLatin1(key), QString());
        };
        QCOMPARE(entry("Name"), name);
        QCOMPARE(entry("Exec"), exec);
        QCOMPARE(entry("Icon"), QStringLiteral("icon.png"));
        QCOMPARE(entry("BigIcon"), QStringLiteral("icon_big.png"));
        QCOMPARE(entry("OsVersion"), QStringLiteral("2.0"));
        QCOMPARE(entry("Shared"), QStringLiteral("0"));
        QVERIFY(!entry("Comment").isEmpty());
        QCOMPARE(entry("Directory"), directory);
        QVERIFY(root.readFile(QString::fromLatin1(kMenuTree)).contains(uid.toLatin1()));

        // The program runs from where it landed: an executable of this
        // machine's kind (the phone's processor, when built for it).
        const QFileInfo program(root.host(directory + QLatin1Char('/') + exec));
        QVERIFY(program.isFile());
        QVERIFY(program.isExecutable());
        QFile elf(program.filePath());
        QVERIFY(elf.open(QIODevice::ReadOnly));
        QCOMPARE(elf.read(4), QByteArray("\x7f" "ELF"));
        QCOMPARE(QImage(root.host(directory + QStringLiteral("/icon.png"))).size(), QSize(32, 32));
        QCOMPARE(QImage(root.host(directory + QStringLiteral("/icon_big.png"))).size(),
                 QSize(48, 48));
        for (const QString& file : beside)
            QVERIFY2(QFileInfo(root.host(directory + QLatin1Char('/') + file)).isFile(),
                     qPrintable(file));
    }

    // An installed copy runs: appkeeper from its new folder prints its
    // identification line, as the build's own program does.
    void installedAppkeeperRuns()
    {
        PhoneRoot root;
        QVERIFY(QFile::copy(packageFile(QStringLiteral("appkeeper")),
                            root.host(QStringLiteral("/mmc/mmca1/appkeeper.pkg"))));
        QString directory;
        QCOMPARE(install(QStringLiteral("/mmc/mmca1/appkeeper.pkg"), &directory), 0);
        QByteArray installed;
        QCOMPARE(run(root.host(directory + QStringLiteral("/appkeeper")), {QStringLiteral("--help")},
                     &installed),
                 0);
        QByteArray built;
        QCOMPARE(run(testProgram("appkeeper"),
                     {QStringLiteral("--help")}, &built),
                 0);
        QVERIFY(!built.trimmed().isEmpty());
        QCOMPARE(installed, built);
    }
};

QTEST_GUILESS_MAIN(TestSuitePackages)
#include "tst_suitepackages.moc"
