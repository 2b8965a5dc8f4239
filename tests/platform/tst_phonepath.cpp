// Phone-path mapping and shell quoting: the two things every host access and
// every command line depends on.
#include "phonepath.h"
#include "phoneroot.h"
#include "shellrunner.h"

#include <QFileInfo>
#include <QProcess>
#include <QTest>

class TestPhonePath : public QObject
{
    Q_OBJECT
private slots:
    void mapping_data()
    {
        QTest::addColumn<QString>("root");
        QTest::addColumn<QString>("phone");
        QTest::addColumn<QString>("host");
        QTest::newRow("card") << "/r" << "/mmc/mmca1/.system" << "/r/mmc/mmca1/.system";
        QTest::newRow("user") << "/r" << "/ezx_user/download" << "/r/ezx_user/download";
        QTest::newRow("data") << "/r/" << "/usr/data_resource/x" << "/r/usr/data_resource/x";
        QTest::newRow("tree itself") << "/r" << "/mmc" << "/r/mmc";
        QTest::newRow("not a tree") << "/r" << "/usr/bin/tar" << "/usr/bin/tar";
        QTest::newRow("prefix only") << "/r" << "/mmcx/a" << "/mmcx/a";
        QTest::newRow("relative") << "/r" << "mmc/a" << "mmc/a";
        QTest::newRow("no root") << "" << "/mmc/mmca1" << "/mmc/mmca1";
        QTest::newRow("null") << "/r" << QString() << QString();
        QTest::newRow("dot-dot stays under the root") << "/r" << "/mmc/../../mmc/x" << "/r/mmc/x";
        QTest::newRow("dot-dot above /") << "/r" << "/../../ezx_user/a/../b" << "/r/ezx_user/b";
        QTest::newRow("dot-dot out of the trees") << "/r" << "/mmc/../etc" << "/mmc/../etc";
        QTest::newRow("trailing slash kept") << "/r" << "/mmc/mmca1/./a/" << "/r/mmc/mmca1/a/";
    }
    void mapping()
    {
        QFETCH(QString, root);
        QFETCH(QString, phone);
        QFETCH(QString, host);
        const QByteArray old = qgetenv("EZX_ROOT");
        if (root.isEmpty())
            qunsetenv("EZX_ROOT");
        else
            qputenv("EZX_ROOT", root.toLocal8Bit());
        QCOMPARE(phoneHostPath(phone), host);
        qputenv("EZX_ROOT", old);
    }

    void treeRoots_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("isRoot");
        QTest::newRow("/") << "/" << true;
        QTest::newRow("card") << "/mmc/mmca1/" << true;
        QTest::newRow("dotdot") << "/mmc/mmca1/.system/.." << true;
        QTest::newRow("user") << "/ezx_user" << true;
        QTest::newRow("data") << "/usr/data_resource" << true;
        QTest::newRow("app") << "/mmc/mmca1/.system/QTDownLoad/demo" << false;
    }
    void treeRoots()
    {
        QFETCH(QString, path);
        QFETCH(bool, isRoot);
        QCOMPARE(isPhoneTreeRoot(path), isRoot);
    }

    // A quoted name reaches the command as exactly one word, whatever it holds,
    // and nothing in it runs.
    void quoting_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* n : {"plain", "a b", "it's", "\"dq\"", "a;touch pwned", "$(touch pwned)",
                              "`touch pwned`", "-rf", "'';touch pwned;''", "tab\there", "nl\nline",
                              "\\back", "*", "$HOME", "!x", "ü中文"})
            QTest::newRow(n) << QString::fromUtf8(n);
    }
    void quoting()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString out = dir.path() + "/out";
        const QString cmd = "cd " + shellQuote(dir.path()) + " && printf %s " + shellQuote(name)
                            + " > " + shellQuote(out);
        QVERIFY(shellSucceeded(runShellCommand(cmd)));
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()), name);
        QVERIFY(!QFileInfo::exists(dir.path() + "/pwned"));
    }

    void runnerCanBeRecorded()
    {
        QStringList seen;
        ShellRunner old = setShellRunner([&](const QString& c) { seen << c; return 0; });
        runShellCommand("kill $(pidof am)");
        setShellRunner(old);
        QCOMPARE(seen, QStringList{"kill $(pidof am)"});
    }

    void fileHelpers()
    {
        PhoneRoot root;
        QVERIFY(phoneIsDir("/mmc/mmca1"));
        QVERIFY(!phoneIsFile("/mmc/mmca1"));
        QVERIFY(!phoneExists("/mmc/mmca1/x"));
        QVERIFY(phoneTouchFile("/mmc/mmca1/x"));
        QVERIFY(QFileInfo(root.root() + "/mmc/mmca1/x").isFile());
        QVERIFY(phoneIsFile("/mmc/mmca1/x"));
        QCOMPARE(phoneEntryList("/mmc/mmca1", QDir::Files), QStringList{"x"});
        // A folder where the file should be: no file is made.
        QVERIFY(!phoneTouchFile("/ezx_user/download/appwrite/am"));
        // A dangling symbolic link still counts as something at the path.
        QVERIFY(QFile::link("/nonexistent/target", root.host("/mmc/mmca1/dangling")));
        QVERIFY(phoneExists("/mmc/mmca1/dangling"));
    }
};

QTEST_GUILESS_MAIN(TestPhonePath)
#include "tst_phonepath.moc"
