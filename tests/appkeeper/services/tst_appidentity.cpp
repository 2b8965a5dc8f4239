// UIDs and application names in the registries.

#include "appidentity.h"
#include "phoneroot.h"
#include "zconfig.h"

#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

namespace {

const char kInstalledDB[] = "/ezx_user/download/appwrite/am/InstalledDB";
const char kUserRegistry[] = "/ezx_user/download/appwrite/am/UserRegistry";
const char kSysRegistry[] = "/ezx_user/download/appwrite/setup/ezx_sysregistry.cfg";
const char kPreloadRegistry[] = "/usr/data_resource/preloadapps/SysRegistry";
const char kCardRegistry[] = "/mmc/mmca1/.system/java/CardRegistry";

// A small generator of our own: its draws depend only on the last seed.
struct FakeRandom
{
    unsigned long long state = 1;
    long long fixedNow = 1700000000;
    int seeds = 0;

    UidRandomSource source()
    {
        UidRandomSource s;
        s.now = [this] { return fixedNow; };
        s.seed = [this](unsigned int v) {
            state = v;
            ++seeds;
        };
        s.next = [this] {
            state = (state * 1103515245ULL + 12345ULL) & 0x7fffffffULL;
            return static_cast<long long>(state);
        };
        return s;
    }
};

void addGroup(const QString& registry, const QString& uid, const QString& name = QString())
{
    ZConfig cfg(registry, false);
    QVERIFY(cfg.writeEntry(uid, QStringLiteral("Exec"), QStringLiteral("run")));
    if (!name.isNull())
        QVERIFY(cfg.writeEntry(uid, QStringLiteral("Name"), name));
}

const QRegularExpression kUidForm(
    QStringLiteral("^([0-9a-f]{8})-([0-9a-f]{4})-([0-9a-f]{4})-([0-9a-f]{4})-([0-9a-f]{12})$"));

} // namespace

class TestAppIdentity : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PhoneRoot> root;
    FakeRandom fake;

    // The candidate of a given attempt at the fake's time, with empty registries.
    QString candidateAt(int attempt)
    {
        PhoneRoot empty;
        const long long saved = fake.fixedNow;
        fake.fixedNow += attempt;
        const QString uid = CreateUID();
        fake.fixedNow = saved;
        return uid;
    }

private slots:
    void init()
    {
        root = std::make_unique<PhoneRoot>();
        QVERIFY(QDir().mkpath(root->host("/mmc/mmca1/.system/java")));
        fake = FakeRandom();
        setUidRandomSource(fake.source());
    }
    void cleanup()
    {
        setUidRandomSource(UidRandomSource());
        root.reset();
    }

    // The field values at the ends and the middle of the random range.
    void uidFields_data()
    {
        QTest::addColumn<long long>("draw");
        QTest::addColumn<QString>("uid");
        QTest::newRow("smallest draw") << 0LL << "00000001-0001-0001-0101-010101010101";
        QTest::newRow("largest draw") << 0x7fffffffLL << "00989680-2710-2710-ffff-ffffffffffff";
        QTest::newRow("middle draw") << 0x40000000LL << "004c4b41-1389-1389-8080-808080808080";
        QTest::newRow("just below a step") << 8421504LL << "00009930-0028-0028-0101-010101010101";
    }
    void uidFields()
    {
        QFETCH(long long, draw);
        QFETCH(QString, uid);
        UidRandomSource s = fake.source();
        s.next = [draw] { return draw; };
        setUidRandomSource(s);
        QCOMPARE(CreateUID(), uid);
    }

    void realSourceStaysInRange()
    {
        setUidRandomSource(UidRandomSource());
        QSet<QString> seen;
        for (int n = 0; n < 20; ++n) {
            const QString uid = CreateUID();
            const QRegularExpressionMatch m = kUidForm.match(uid);
            QVERIFY2(m.hasMatch(), qPrintable(uid));
            const qulonglong d1 = m.captured(1).toULongLong(nullptr, 16);
            QVERIFY(d1 >= 1 && d1 <= 10000000);
            for (int g : {2, 3}) {
                const qulonglong v = m.captured(g).toULongLong(nullptr, 16);
                QVERIFY2(v >= 1 && v <= 10000, qPrintable(uid));
            }
            const QString bytes = m.captured(4) + m.captured(5);
            for (int i = 0; i < 16; i += 2)
                QVERIFY2(bytes.mid(i, 2) != QLatin1String("00"), qPrintable(uid));
            QVERIFY(!seen.contains(uid));
            seen.insert(uid);
            // Registered, so the next call within the same second moves on.
            addGroup(QLatin1String(kCardRegistry), uid);
        }
    }

    void sameSecondSameCandidate()
    {
        const QString first = CreateUID();
        QCOMPARE(CreateUID(), first);
        QCOMPARE(fake.seeds, 2);
    }

    // Candidates already taken, in whichever registry, are passed over in order.
    void takenCandidates_data()
    {
        QTest::addColumn<QStringList>("registries");  // one per taken attempt
        QTest::addColumn<int>("expectedAttempt");
        QTest::newRow("free at once") << QStringList{} << 0;
        QTest::newRow("installed-application registry")
            << QStringList{kInstalledDB} << 1;
        QTest::newRow("each registry in turn")
            << QStringList{kUserRegistry, kInstalledDB, kSysRegistry, kCardRegistry,
                           kPreloadRegistry}
            << 5;
        QStringList many;
        for (int i = 0; i < 40; ++i)
            many << QLatin1String(i % 2 ? kCardRegistry : kInstalledDB);
        QTest::newRow("forty taken") << many << 40;
    }
    void takenCandidates()
    {
        QFETCH(QStringList, registries);
        QFETCH(int, expectedAttempt);
        for (int i = 0; i < registries.size(); ++i)
            addGroup(registries.at(i), candidateAt(i));
        const QString expected = candidateAt(expectedAttempt);
        QCOMPARE(CreateUID(), expected);
    }

    // A source that gives the same candidate on every attempt, and a registry
    // that holds it: all attempts are used and the braced text comes back,
    // never the taken UID.
    void everyAttemptTaken()
    {
        UidRandomSource s = fake.source();
        s.next = [] { return 0LL; };
        setUidRandomSource(s);
        const QString uid = QStringLiteral("00000001-0001-0001-0101-010101010101");
        addGroup(QLatin1String(kUserRegistry), uid);
        fake.seeds = 0;
        QCOMPARE(CreateUID(), QLatin1Char('{') + uid + QLatin1Char('}'));
        QCOMPARE(fake.seeds, 55535);
    }

    void getAppNameInfoOrder_data()
    {
        QTest::addColumn<QStringList>("holders");  // registries holding the record, "-" = no Name
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << QStringList{} << QString();
        QTest::newRow("card only") << QStringList{"card"} << "card";
        QTest::newRow("installed before card") << QStringList{"installed", "card"} << "installed";
        QTest::newRow("user before preloaded") << QStringList{"preloaded", "user"} << "user";
        QTest::newRow("record without Name is skipped")
            << QStringList{"installed-", "card"} << "card";
        QTest::newRow("no record has a Name") << QStringList{"installed-", "card-"} << QString();
    }
    void getAppNameInfoOrder()
    {
        QFETCH(QStringList, holders);
        QFETCH(QString, expected);
        const QMap<QString, QString> paths = {{"installed", kInstalledDB},
                                              {"user", kUserRegistry},
                                              {"preloaded", kPreloadRegistry},
                                              {"card", kCardRegistry}};
        const QString uid = QStringLiteral("11111111-2222-3333-4444-555555555555");
        for (QString h : holders) {
            const bool withName = !h.endsWith(QLatin1Char('-'));
            h.remove(QLatin1Char('-'));
            addGroup(paths.value(h), uid, withName ? h : QString());
        }
        // A record in the system registry does not count for names.
        addGroup(QLatin1String(kSysRegistry), uid, QStringLiteral("system"));
        QCOMPARE(getAppNameInfo(uid), expected);
        QVERIFY(getAppNameInfo(QString()).isNull());
    }

    void setAppNameInfoResults()
    {
        const QString uid = QStringLiteral("aaaaaaaa-0000-0000-0000-000000000001");
        QCOMPARE(setAppNameInfo(QString(), QStringLiteral("x")), -1);
        QCOMPARE(setAppNameInfo(uid, QString()), -1);
        QCOMPARE(setAppNameInfo(uid, QStringLiteral("x")), 0);
        QVERIFY(!QFile::exists(root->host(kInstalledDB)));
        QVERIFY(!QFile::exists(root->host(kCardRegistry)));

        // Only in the card registry: changed there.
        addGroup(QLatin1String(kCardRegistry), uid, QStringLiteral("old"));
        QCOMPARE(setAppNameInfo(uid, QStringLiteral("new")), 1);
        QCOMPARE(getAppNameInfo(uid), QStringLiteral("new"));

        // In two registries: only the first is changed.
        addGroup(QLatin1String(kInstalledDB), uid, QStringLiteral("phone"));
        QCOMPARE(setAppNameInfo(uid, QStringLiteral("renamed")), 1);
        QCOMPARE(ZConfig(kInstalledDB).readEntry(uid, "Name"), QStringLiteral("renamed"));
        QCOMPARE(ZConfig(kCardRegistry).readEntry(uid, "Name"), QStringLiteral("new"));

        // An empty name is a name.
        QCOMPARE(setAppNameInfo(uid, QString(QLatin1String(""))), 1);
        const QString empty = getAppNameInfo(uid);
        QVERIFY(!empty.isNull());
        QVERIFY(empty.isEmpty());
    }

    // Names that look like INI syntax change the one "Name" line and nothing else.
    void hostileNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("line break") << "two\nlines";
        QTest::newRow("CRLF and a group") << "x\r\n[bbbbbbbb-0000-0000-0000-000000000002]\r\nName=evil";
        QTest::newRow("brackets") << "[Name]";
        QTest::newRow("closing bracket") << "a]b";
        QTest::newRow("equals") << "Exec=rm -rf /";
        QTest::newRow("blanks and tab") << "  spaced\tout  ";
        QTest::newRow("backslashes") << "C:\\path\\n";
        QTest::newRow("non-ASCII") << QStringLiteral(u"软件 ✓");
    }
    void hostileNames()
    {
        QFETCH(QString, name);
        const QString uid = QStringLiteral("aaaaaaaa-0000-0000-0000-000000000001");
        const QByteArray before = "[aaaaaaaa-0000-0000-0000-000000000001]\nName = Old\nExec = run\n"
                                  "\n[bbbbbbbb-0000-0000-0000-000000000002]\nName = Other\n";
        QVERIFY(root->writeFile(kCardRegistry, before));
        QCOMPARE(setAppNameInfo(uid, name), 1);
        QCOMPARE(getAppNameInfo(uid), name);
        QCOMPARE(getAppNameInfo(QStringLiteral("bbbbbbbb-0000-0000-0000-000000000002")),
                 QStringLiteral("Other"));

        const QList<QByteArray> oldLines = before.split('\n');
        const QList<QByteArray> newLines = root->readFile(kCardRegistry).split('\n');
        QCOMPARE(newLines.size(), oldLines.size());
        for (int i = 0; i < oldLines.size(); ++i) {
            if (i == 1)
                QVERIFY(newLines.at(i).startsWith("Name"));
            else
                QCOMPARE(newLines.at(i), oldLines.at(i));
        }
        const ZConfig cfg(kCardRegistry);
        QStringList groups;
        cfg.getGroupsKeyList(groups);
        QCOMPARE(groups.size(), 2);
    }

    // A registry the system refuses to change: the rename is reported as failed.
    void unwritableRegistry()
    {
        const QString uid = QStringLiteral("aaaaaaaa-0000-0000-0000-000000000001");
        QVERIFY(root->writeFile(kPreloadRegistry, "[aaaaaaaa-0000-0000-0000-000000000001]\nName = Pre\n"));
        const QString host = root->host(kPreloadRegistry);
        if (QProcess::execute("chattr", {"+i", host}) != 0)
            QSKIP("chattr +i is refused on this file system");
        const int result = setAppNameInfo(uid, QStringLiteral("New"));
        const QString after = getAppNameInfo(uid);
        QProcess::execute("chattr", {"-i", host});
        QCOMPARE(result, 0);
        QCOMPARE(after, QStringLiteral("Pre"));
    }
};

QTEST_MAIN(TestAppIdentity)
#include "tst_appidentity.moc"
