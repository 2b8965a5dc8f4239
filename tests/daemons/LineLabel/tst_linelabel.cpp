// LineLabel, the real program: what it prints, what it stores as the service
// name, and what is read back through the platform's 64-byte buffer.
#include "daemonprocess.h"
#include "phoneroot.h"
#include "utilservicename.h"
#include "testprograms.h"

#include <QProcess>
#include <QTest>

#include <cstring>
#include <memory>

using namespace daemontest;

class TestLineLabel : public QObject
{
    Q_OBJECT

private slots:
    void run_data()
    {
        QTest::addColumn<QList<QByteArray>>("args");
        QTest::addColumn<QByteArray>("printed");
        QTest::addColumn<bool>("stored");      // a service name file afterwards
        QTest::addColumn<QByteArray>("onDisk");
        QTest::addColumn<QByteArray>("readBack");

        const QByteArray banner = "SoftName  LineLabel\n"
                                  "  Author  VORTELIN\n"
                                  " Version  1.0.3\n"
                                  "    Date  2007-06-04\n\r";
        const QByteArray chinese = "\xe4\xb8\xad\xe5\x9b\xbd\xe7\xa7\xbb\xe5\x8a\xa8"; // 中国移动
        const QByteArray longText = QByteArray(200, 'L');
        // "a" then 3-byte characters: byte 63 falls inside the 22nd of them.
        QByteArray cutMidChar = "a";
        for (int i = 0; i < 30; ++i)
            cutMidChar += "\xe6\x98\x9f";

        QTest::newRow("no argument") << QList<QByteArray>{} << QByteArray() << false
                                     << QByteArray() << QByteArray();
        QTest::newRow("-auth") << QList<QByteArray>{"-auth"} << banner << false << QByteArray()
                               << QByteArray();
        QTest::newRow("-AUTH") << QList<QByteArray>{"-AUTH", "x"} << banner << false << QByteArray()
                               << QByteArray();
        QTest::newRow("-Auth") << QList<QByteArray>{"-Auth"} << banner << false << QByteArray()
                               << QByteArray();
        QTest::newRow("empty argument") << QList<QByteArray>{""} << QByteArray() << true
                                        << QByteArray() << QByteArray();
        QTest::newRow("operator") << QList<QByteArray>{"China Mobile"} << QByteArray() << true
                                  << QByteArray("China Mobile") << QByteArray("China Mobile");
        QTest::newRow("first argument only") << QList<QByteArray>{"first", "second"} << QByteArray()
                                             << true << QByteArray("first") << QByteArray("first");
        QTest::newRow("chinese") << QList<QByteArray>{chinese} << QByteArray() << true << chinese
                                 << chinese;
        QTest::newRow("shell words stay text") << QList<QByteArray>{"$(reboot); `id` 'x'"}
                                               << QByteArray() << true
                                               << QByteArray("$(reboot); `id` 'x'")
                                               << QByteArray("$(reboot); `id` 'x'");
        QTest::newRow("-e2 is a name here") << QList<QByteArray>{"-e2"} << QByteArray() << true
                                            << QByteArray("-e2") << QByteArray("-e2");
        QTest::newRow("200 bytes") << QList<QByteArray>{longText} << QByteArray() << true << longText
                                   << longText.left(63);
        QTest::newRow("cut before a split character")
            << QList<QByteArray>{cutMidChar} << QByteArray() << true << cutMidChar
            << cutMidChar.left(1 + 20 * 3);
    }
    void run()
    {
        QFETCH(QList<QByteArray>, args);
        QFETCH(QByteArray, printed);
        QFETCH(bool, stored);
        QFETCH(QByteArray, onDisk);
        QFETCH(QByteArray, readBack);
        PhoneRoot root;
        QStringList arguments;
        for (const QByteArray& a : args)
            arguments << QString::fromUtf8(a);
        QProcess p;
        p.start(testProgram("LineLabel"), arguments);
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(p.readAllStandardOutput(), printed);
        QCOMPARE(p.readAllStandardError(), QByteArray());

        const QString file = QString::fromLatin1(kServiceNamePath);
        QCOMPARE(QFileInfo::exists(root.host(file)), stored);
        QCOMPARE(root.readFile(file), onDisk);
        // Exactly the platform's 64 bytes on the heap: any write past them is
        // caught by the address sanitizer build.
        std::unique_ptr<char[]> buffer(new char[kServiceNameBufferSize]);
        std::memset(buffer.get(), 'z', kServiceNameBufferSize);
        QCOMPARE(UTIL_GetServiceName(buffer.get()), stored);
        QVERIFY(std::memchr(buffer.get(), 0, kServiceNameBufferSize));
        QCOMPARE(QByteArray(buffer.get()), readBack);
    }

    // A name that cannot be stored is reported, and what was there is kept.
    void unwritableStore()
    {
        PhoneRoot root;
        // A plain file where the folder of the name is expected.
        QDir(root.host(QStringLiteral("/ezx_user/download/appwrite/setup"))).removeRecursively();
        QVERIFY(root.writeFile(QStringLiteral("/ezx_user/download/appwrite/setup"), "keep"));
        QProcess p;
        p.start(testProgram("LineLabel"), {QStringLiteral("name")});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(p.readAllStandardError().contains("could not be stored"));
        QCOMPARE(root.readFile(QStringLiteral("/ezx_user/download/appwrite/setup")), QByteArray("keep"));
    }
};

QTEST_GUILESS_MAIN(TestLineLabel)
#include "tst_linelabel.moc"
