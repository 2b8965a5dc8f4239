// The start-at-boot list.

#include "autorun.h"
#include "phoneroot.h"
#include "zconfig.h"

#include <QProcess>
#include <QtTest>

#include <memory>

namespace {

const char kSysRegistry[] = "/ezx_user/download/appwrite/setup/ezx_sysregistry.cfg";

QString apps()
{
    const ZConfig cfg(QLatin1String(kSysRegistry), false);
    return cfg.readEntry(QStringLiteral("AutoRun"), QStringLiteral("Apps"), QString());
}

void setApps(const QString& value)
{
    ZConfig cfg(QLatin1String(kSysRegistry), false);
    QVERIFY(cfg.writeEntry(QStringLiteral("AutoRun"), QStringLiteral("Apps"), value));
}

} // namespace

class TestAutorun : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PhoneRoot> root;

    QByteArray fileBytes() const { return root->readFile(kSysRegistry); }

private slots:
    void init()
    {
        root = std::make_unique<PhoneRoot>();
        QVERIFY(root->writeFile(kSysRegistry, "[Other]\nKeep = 1\n"));
    }
    void cleanup() { root.reset(); }

    // A sequence of calls ("+X" add, "-X" delete, "?X" check) on a stored list
    // (null: no key), with each call's result and the list afterwards.
    void sequences_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QList<int>>("results");
        QTest::addColumn<QString>("end");

        QTest::newRow("add three, add again")
            << QString() << QStringList{"+A", "+B", "+D", "+B", "?A"} << QList<int>{1, 1, 1, 1, 1}
            << "A;B;D";
        QTest::newRow("add after trailing separator")
            << "X;" << QStringList{"+A"} << QList<int>{1} << "X;A";
        QTest::newRow("add to single entry") << "X" << QStringList{"+A"} << QList<int>{1} << "X;A";
        QTest::newRow("add to empty value") << "" << QStringList{"+A"} << QList<int>{1} << ";A";
        QTest::newRow("delete middle") << "A;B;D" << QStringList{"-B", "?B"} << QList<int>{1, 0}
                                       << "A;D";
        QTest::newRow("delete first") << "A;B;D" << QStringList{"-A"} << QList<int>{1} << "B;D";
        QTest::newRow("delete last") << "A;B;D" << QStringList{"-D"} << QList<int>{1} << "A;B";
        QTest::newRow("delete only entry") << "A" << QStringList{"-A"} << QList<int>{1} << "";
        QTest::newRow("delete twice listed") << "A;B;A" << QStringList{"-A"} << QList<int>{1} << "B";
        QTest::newRow("delete absent") << "A;B" << QStringList{"-C", "?C"} << QList<int>{1, 0}
                                       << "A;B";
        QTest::newRow("delete without key") << QString() << QStringList{"-A", "?A"}
                                            << QList<int>{1, 0} << QString();
        QTest::newRow("substring counts as contained")
            << "XAY;B" << QStringList{"?A", "+A"} << QList<int>{1, 1} << "XAY;B";
        // A UID inside a longer entry is not cut out of it.
        QTest::newRow("delete leaves longer entries")
            << "XA;AY;XAY;B" << QStringList{"-A"} << QList<int>{1} << "XA;AY;XAY;B";
        QTest::newRow("delete whole entry beside longer ones")
            << "XA;A;AY" << QStringList{"-A"} << QList<int>{1} << "XA;AY";
        QTest::newRow("empty entries") << "A;;B;;D" << QStringList{"-B", "?A", "?D", "+E"}
                                       << QList<int>{1, 1, 1, 1} << "A;;;D;E";
        QTest::newRow("empty entries at ends") << ";;A;;" << QStringList{"-A", "+B"}
                                               << QList<int>{1, 1} << ";;;B";
        QTest::newRow("case matters") << "abc" << QStringList{"?ABC", "-ABC"} << QList<int>{0, 1}
                                      << "abc";
        QTest::newRow("empty UID is no entry")
            << "A;B" << QStringList{"?", "+", "-"} << QList<int>{0, 0, 0} << "A;B";
        QTest::newRow("UID with separator is no entry")
            << "A;B;C" << QStringList{"-A;B", "+X;Y", "?A;B"} << QList<int>{0, 0, 0} << "A;B;C";
    }
    void sequences()
    {
        QFETCH(QString, start);
        QFETCH(QStringList, calls);
        QFETCH(QList<int>, results);
        QFETCH(QString, end);
        if (!start.isNull())
            setApps(start);
        for (int i = 0; i < calls.size(); ++i) {
            const QString uid = calls.at(i).mid(1);
            const QChar op = calls.at(i).at(0);
            const int r = op == QLatin1Char('+')   ? addAppAutorun(uid)
                          : op == QLatin1Char('-') ? deleteAppAutorun(uid)
                                                   : checkAppAutorun(uid);
            QVERIFY2(r == results.at(i), qPrintable(calls.at(i) + " gave " + QString::number(r)));
        }
        QCOMPARE(apps(), end);
        QCOMPARE(ZConfig(kSysRegistry).readEntry("Other", "Keep"), QStringLiteral("1"));
    }

    void addingPresentWritesNothing()
    {
        setApps(QStringLiteral("A;B"));
        const QByteArray before = fileBytes();
        QCOMPARE(addAppAutorun(QStringLiteral("B")), 1);
        QCOMPARE(deleteAppAutorun(QStringLiteral("C")), 1);
        QCOMPARE(fileBytes(), before);
    }

    void nullUid()
    {
        setApps(QStringLiteral("A"));
        QCOMPARE(checkAppAutorun(QString()), 0);
        QCOMPARE(addAppAutorun(QString()), 0);
        QCOMPARE(deleteAppAutorun(QString()), 0);
        QCOMPARE(apps(), QStringLiteral("A"));
    }

    void withoutTheFile()
    {
        QVERIFY(QFile::remove(root->host(kSysRegistry)));
        QCOMPARE(checkAppAutorun(QStringLiteral("A")), -1);
        QCOMPARE(addAppAutorun(QStringLiteral("A")), -1);
        QCOMPARE(deleteAppAutorun(QStringLiteral("A")), -1);
        QCOMPARE(checkAppAutorun(QString()), -1);
        QVERIFY(!QFile::exists(root->host(kSysRegistry)));
    }

    void crlfFile()
    {
        QVERIFY(root->writeFile(kSysRegistry,
                                "[AutoRun]\r\nApps = A;B;D\r\n\r\n[Other]\r\nKeep = 1\r\n"));
        QCOMPARE(checkAppAutorun(QStringLiteral("D")), 1);
        QCOMPARE(deleteAppAutorun(QStringLiteral("D")), 1);
        QCOMPARE(apps(), QStringLiteral("A;B"));
        QCOMPARE(addAppAutorun(QStringLiteral("E")), 1);
        QCOMPARE(apps(), QStringLiteral("A;B;E"));
        QCOMPARE(ZConfig(kSysRegistry).readEntry("Other", "Keep"), QStringLiteral("1"));
    }

    void longList()
    {
        QStringList uids;
        for (int i = 0; i < 3000; ++i)
            uids << QStringLiteral("%1-0000-0000-0000-000000000000").arg(i, 8, 10, QLatin1Char('0'));
        setApps(uids.join(QLatin1Char(';')));
        QCOMPARE(checkAppAutorun(uids.at(2999)), 1);
        QCOMPARE(deleteAppAutorun(uids.at(1500)), 1);
        const QString added = QStringLiteral("ffffffff-0000-0000-0000-000000000000");
        QCOMPARE(addAppAutorun(added), 1);
        QStringList expected = uids;
        expected.removeAt(1500);
        expected << added;
        QCOMPARE(apps(), expected.join(QLatin1Char(';')));
    }

    void unwritableFile()
    {
        setApps(QStringLiteral("A"));
        const QString host = root->host(kSysRegistry);
        if (QProcess::execute("chattr", {"+i", host}) != 0)
            QSKIP("chattr +i is refused on this file system");
        const int added = addAppAutorun(QStringLiteral("B"));
        const int deleted = deleteAppAutorun(QStringLiteral("A"));
        const int present = addAppAutorun(QStringLiteral("A"));
        QProcess::execute("chattr", {"-i", host});
        QCOMPARE(added, 0);
        QCOMPARE(deleted, 0);
        QCOMPARE(present, 1);  // already listed: nothing to write
        QCOMPARE(apps(), QStringLiteral("A"));
    }
};

QTEST_MAIN(TestAutorun)
#include "tst_autorun.moc"
