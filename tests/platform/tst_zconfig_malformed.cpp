// Registries as they are found in the wild (files in data/zconfig/, plus a
// few made here): the good record reads, nothing crashes, and a write changes
// only the bytes it names while every other byte stays where it was.
#include "phoneroot.h"
#include "zconfig.h"
#include "zconfig_document.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

namespace {

const QString kReg = QStringLiteral("/ezx_user/download/appwrite/am/InstalledDB");
const QString kGood = QStringLiteral("0a1b2c3d-0000-4000-8000-000000000001");

QByteArray dataFile(const QString& name)
{
    QFile f(QStringLiteral(TESTS_SOURCE_DIR "/data/zconfig/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray oneMegabyteLines()
{
    const QByteArray big(1 << 20, 'x');
    return "# " + big + "\n" + big + "\n[" + kGood.toLatin1() + "]\nName=ok\nBig=" + big +
           "\nExec=run\n[" + big + "]\nk=v\n";
}

} // namespace

class TestZConfigMalformed : public QObject
{
    Q_OBJECT
private slots:
    void malformed_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        for (const char* name : {"crlf.cfg", "bom.cfg", "nul.cfg", "invalid-utf8.cfg",
                                 "keys-before-group.cfg", "duplicate-groups.cfg", "no-equals.cfg",
                                 "mixed.cfg"})
            QTest::newRow(name) << dataFile(QLatin1String(name));
        QTest::newRow("1 MB lines") << oneMegabyteLines();
        QByteArray noise;
        for (int i = 0; i < 4096; ++i)
            noise += char((i * 7919) % 256 ? (i * 7919) % 256 : 1);
        QTest::newRow("binary noise around") << noise + "\n[" + kGood.toLatin1() + "]\nName=ok\nExec=run\n" + noise;
    }
    void malformed()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(!bytes.isEmpty());
        QCOMPARE(bytes.count("ok"), 1);

        // Through a device, without any file.
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        ZConfigDocument doc;
        QVERIFY(doc.parse(&buffer));
        QCOMPARE(doc.value(kGood, "Name"), QString("ok"));
        QCOMPARE(doc.value(kGood, "Exec"), QString("run"));
        QCOMPARE(doc.toByteArray(), bytes);

        // Through the file: change the good record and add one.
        PhoneRoot root;
        QVERIFY(root.writeFile(kReg, bytes));
        {
            ZConfig cfg(kReg);
            QCOMPARE(cfg.readEntry(kGood, "Name"), QString("ok"));
            QVERIFY(cfg.groupExists(kGood));
            QVERIFY(cfg.writeEntry(kGood, "Name", "changed"));
            QVERIFY(cfg.writeEntry("new", "k", "v"));
        }
        QByteArray expected = bytes;
        expected.replace("ok", "changed");
        const QByteArray after = root.readFile(kReg);
        QCOMPARE(after.left(expected.size()), expected);
        const QByteArray tail = after.mid(expected.size());
        // New lines follow the file's own line ends and "key = value" form.
        QByteArray plainTail = tail;
        plainTail.replace("\r\n", "\n").replace(" = ", "=");
        QVERIFY2(plainTail.endsWith("\n[new]\nk=v\n"), tail.constData());
        QVERIFY(tail.count('\n') <= 4);

        ZConfig back(kReg);
        QCOMPARE(back.readEntry(kGood, "Name"), QString("changed"));
        QCOMPARE(back.readEntry(kGood, "Exec"), QString("run"));
        QCOMPARE(back.readEntry("new", "k"), QString("v"));
        QStringList groups;
        back.getGroupsKeyList(groups);
        QCOMPARE(groups.last(), QString("new"));
        QVERIFY(groups.contains(kGood));

        // And removing the good record leaves the other records readable.
        const QStringList others = groups.filter(QRegularExpression("^(?!" + kGood + "$).*"));
        {
            ZConfig cfg(kReg);
            QVERIFY(cfg.removeGroup(kGood));
        }
        ZConfig last(kReg);
        QStringList left;
        last.getGroupsKeyList(left);
        QCOMPARE(left, others);
        QCOMPARE(last.readEntry("new", "k"), QString("v"));
    }

    // Values of the hand-made files read as people meant them.
    void details_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("crlf other") << "crlf.cfg" << "other" << "Name" << "o";
        QTest::newRow("bom first group") << "bom.cfg" << kGood << "Exec" << "run";
        QTest::newRow("nul in value") << "nul.cfg" << "other" << "Value" << QString("a") + QChar(0) + "b";
        QTest::newRow("invalid utf8 value") << "invalid-utf8.cfg" << kGood << "Icon" << QString(2, QChar(0xFFFD));
        QTest::newRow("stray key ignored") << "keys-before-group.cfg" << kGood << "Name" << "ok";
        QTest::newRow("duplicate group merged") << "duplicate-groups.cfg" << kGood << "Exec" << "run";
        QTest::newRow("first part kept") << "duplicate-groups.cfg" << kGood << "Name" << "ok";
        QTest::newRow("cut header no group") << "no-equals.cfg" << kGood << "Exec" << "run";
        QTest::newRow("bracketed group") << "mixed.cfg" << "[x]" << "k" << "v";
        QTest::newRow("blanks and tabs") << "mixed.cfg" << kGood << "Exec" << "run";
    }
    void details()
    {
        QFETCH(QString, file);
        QFETCH(QString, group);
        QFETCH(QString, key);
        QFETCH(QString, value);
        const ZConfigDocument doc(dataFile(file));
        QCOMPARE(doc.value(group, key), value);
    }

    void oneMegabyteValue()
    {
        const ZConfigDocument doc(oneMegabyteLines());
        QCOMPARE(doc.value(kGood, "Big").size(), 1 << 20);
        QCOMPARE(doc.value(QString(1 << 20, QChar('x')), "k"), QString("v"));
    }

    // A file that cannot be read is never replaced by what a write would make
    // of it: here a folder stands where the file should be.
    void unreadableNotReplaced()
    {
        PhoneRoot root;
        QVERIFY(QDir().mkpath(root.host(kReg)));
        QVERIFY(root.writeFile(kReg + "/inside", "keep"));
        {
            ZConfig cfg(kReg);
            QCOMPARE(cfg.readEntry("g", "k", "dflt"), QString("dflt"));
            QVERIFY(!cfg.writeEntry("g", "k", "v"));
            QVERIFY(!cfg.removeGroup("g"));
        }
        QVERIFY(QFileInfo(root.host(kReg)).isDir());
        QCOMPARE(root.readFile(kReg + "/inside"), QByteArray("keep"));
    }
};

QTEST_GUILESS_MAIN(TestZConfigMalformed)
#include "tst_zconfig_malformed.moc"
