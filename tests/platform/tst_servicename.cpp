// The platform's service name: stored bytes, the 64-byte reading with its cut
// at a UTF-8 boundary, atomic replacement and failures that lose nothing.
#include "phoneroot.h"
#include "utilservicename.h"

#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <atomic>
#include <cstring>
#include <memory>

namespace {

// Reads into a buffer of exactly 64 heap bytes, so that a write beyond them
// is caught by the address sanitizer; bytes after the name's end must keep
// their fill except the terminating zero.
QByteArray readName(bool* ok = nullptr)
{
    std::unique_ptr<char[]> buffer(new char[kServiceNameBufferSize]);
    std::memset(buffer.get(), '#', kServiceNameBufferSize);
    const bool got = UTIL_GetServiceName(buffer.get());
    if (ok)
        *ok = got;
    const void* zero = std::memchr(buffer.get(), 0, kServiceNameBufferSize);
    if (!zero)
        return "<no terminating zero>";
    return QByteArray(buffer.get());
}

QByteArray repeat(const QByteArray& piece, int times)
{
    QByteArray out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

} // namespace

class TestServiceName : public QObject
{
    Q_OBJECT
private slots:
    void setAndRead_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("read");
        const QByteArray star = "\xe6\x98\x9f";          // 3 bytes
        const QByteArray e_acute = "\xc3\xa9";           // 2 bytes
        const QByteArray emoji = "\xf0\x9f\x98\x80";     // 4 bytes
        QTest::newRow("ascii") << QByteArray("China Mobile") << QByteArray("China Mobile");
        QTest::newRow("empty") << QByteArray("") << QByteArray("");
        QTest::newRow("weekday") << QByteArray("\xe6\x98\x9f\xe6\x9c\x9f\xe5\x85\xad")
                                 << QByteArray("\xe6\x98\x9f\xe6\x9c\x9f\xe5\x85\xad");
        QTest::newRow("line breaks kept") << QByteArray("a\nb\r\n") << QByteArray("a\nb\r\n");
        QTest::newRow("63 bytes") << QByteArray(63, 'a') << QByteArray(63, 'a');
        QTest::newRow("64 bytes") << QByteArray(64, 'a') << QByteArray(63, 'a');
        QTest::newRow("200 bytes") << QByteArray(200, 'b') << QByteArray(63, 'b');
        QTest::newRow("21 three-byte chars fit") << repeat(star, 21) << repeat(star, 21);
        QTest::newRow("22 three-byte chars") << repeat(star, 22) << repeat(star, 21);
        QTest::newRow("3-byte char split at 63") << "a" + repeat(star, 30) << "a" + repeat(star, 20);
        QTest::newRow("3-byte char split after 1") << "ab" + repeat(star, 30) << "ab" + repeat(star, 20);
        QTest::newRow("2-byte char fits at 63") << "a" + repeat(e_acute, 40) << "a" + repeat(e_acute, 31);
        QTest::newRow("2-byte char split") << "ab" + repeat(e_acute, 40) << "ab" + repeat(e_acute, 30);
        QTest::newRow("4-byte char split") << "abcd" + repeat(emoji, 20) << "abcd" + repeat(emoji, 14);
        QTest::newRow("4-byte char ends at 63")
            << "abc" + repeat(emoji, 15) + "z" << "abc" + repeat(emoji, 15);
        QTest::newRow("not UTF-8") << QByteArray(100, '\x80') << QByteArray(60, '\x80');
    }
    void setAndRead()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, read);
        PhoneRoot root;
        QVERIFY(UTIL_SetServiceName(name.constData()));
        // Stored in full, bytes unchanged.
        QCOMPARE(root.readFile(QString::fromLatin1(kServiceNamePath)), name);
        bool ok = false;
        QCOMPARE(readName(&ok), read);
        QVERIFY(ok);
        QVERIFY(read.size() <= 63);
        // The same on every reading while nobody sets another.
        for (int i = 0; i < 3; ++i)
            QCOMPARE(readName(), read);
    }

    // What another program may have left in the file.
    void readForeignFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("read");
        QTest::newRow("embedded zero") << QByteArray("abc\0def", 7) << QByteArray("abc");
        QTest::newRow("zero first") << QByteArray("\0abc", 4) << QByteArray("");
        QTest::newRow("zero after 63") << QByteArray(70, 'q') + QByteArray(1, '\0') << QByteArray(63, 'q');
        QTest::newRow("empty file") << QByteArray() << QByteArray();
    }
    void readForeignFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, read);
        PhoneRoot root;
        QVERIFY(root.writeFile(QString::fromLatin1(kServiceNamePath), bytes));
        QCOMPARE(readName(), read);
    }

    void phoneRootHoldsTheFile()
    {
        PhoneRoot root;
        QVERIFY(QString::fromLatin1(kServiceNamePath).startsWith(QLatin1String("/ezx_user/")));
        QDir(root.host(QStringLiteral("/ezx_user"))).removeRecursively();
        QVERIFY(UTIL_SetServiceName("x"));
        QVERIFY(QFileInfo(root.host(QString::fromLatin1(kServiceNamePath))).isFile());
        QCOMPARE(QDir(root.outer()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{"root"});
        // Nothing but the name itself beside it: no temporary file is left.
        QCOMPARE(QDir(QFileInfo(root.host(QString::fromLatin1(kServiceNamePath))).absolutePath())
                     .entryList(QDir::Files | QDir::Hidden),
                 QStringList{"servicename"});
    }

    void absentAndNull()
    {
        PhoneRoot root;
        bool ok = true;
        QCOMPARE(readName(&ok), QByteArray());
        QVERIFY(!ok);
        QVERIFY(!UTIL_GetServiceName(nullptr));
        QVERIFY(UTIL_SetServiceName("kept"));
        QVERIFY(!UTIL_SetServiceName(nullptr));
        QCOMPARE(readName(), QByteArray("kept"));
    }

    // A plain file where the folder is expected: the setting fails and says so.
    void folderIsAFile()
    {
        PhoneRoot root;
        const QString setup = QStringLiteral("/ezx_user/download/appwrite/setup");
        QDir(root.host(setup)).removeRecursively();
        QVERIFY(root.writeFile(setup, "plain"));
        QVERIFY(!UTIL_SetServiceName("name"));
        QCOMPARE(root.readFile(setup), QByteArray("plain"));
        QCOMPARE(readName(), QByteArray());
    }

    // A folder that refuses new files: the old name stays, whole.
    void failedReplaceKeepsOldName()
    {
        PhoneRoot root;
        QVERIFY(UTIL_SetServiceName("old name"));
        const QString folder = root.host(QStringLiteral("/ezx_user/download/appwrite/setup"));
        if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), folder}) != 0)
            QSKIP("chattr +i is refused here");
        const bool set = UTIL_SetServiceName("new name");
        const QByteArray read = readName();
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), folder});
        QVERIFY(!set);
        QCOMPARE(read, QByteArray("old name"));
    }

    // While one thread keeps replacing the name, every reading is one of the
    // two names, whole: never empty, never cut.
    void replacementIsAtomic()
    {
        PhoneRoot root;
        const QByteArray a(40, 'A');
        const QByteArray b = "\xe6\x98\x9f\xe6\x9c\x9f\xe6\x97\xa5 short";
        QVERIFY(UTIL_SetServiceName(a.constData()));
        std::atomic<bool> stop{false};
        std::atomic<int> failures{0};
        std::unique_ptr<QThread> writer(QThread::create([&] {
            for (int i = 0; !stop; ++i)
                if (!UTIL_SetServiceName(i % 2 ? a.constData() : b.constData()))
                    ++failures;
        }));
        writer->start();
        int odd = 0;
        for (int i = 0; i < 3000; ++i) {
            const QByteArray r = readName();
            if (r != a && r != b)
                ++odd;
        }
        stop = true;
        writer->wait();
        QCOMPARE(odd, 0);
        QCOMPARE(failures.load(), 0);
    }
};

QTEST_GUILESS_MAIN(TestServiceName)
#include "tst_servicename.moc"
