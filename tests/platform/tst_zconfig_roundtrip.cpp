// Random values, keys and group names (fixed seed) written through ZConfig and
// read back from the file by a new object: each comes back unchanged, and no
// group or key appears that was not written.
#include "phoneroot.h"
#include "zconfig.h"
#include "zconfig_document.h"

#include <QDir>
#include <QMap>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>

namespace {

const QString kReg = QStringLiteral("/mmc/mmca1/.system/java/CardRegistry");

// Random text of one of several sorts: any ASCII byte 0x01..0x7F, UTF-8 text
// (Latin, CJK, characters outside the BMP), blanks at the ends, and texts
// made to break a line-based file.
QString randomText(QRandomGenerator& rng)
{
    static const QStringList hostile = {
        QStringLiteral("\n[Evil]\nExec=x"), QStringLiteral("\r\n[Evil]\r\nExec=x"),
        QStringLiteral("]\n["), QStringLiteral("x\\"), QStringLiteral("\\n"), QStringLiteral("\\x41"),
        QStringLiteral("# c"), QStringLiteral("; c"), QStringLiteral("=="), QStringLiteral("[g]"),
        QStringLiteral(" "), QStringLiteral("\t"), QString(QChar(0x85)), QString(QChar(0x2028))};
    static const QString pieces = QString::fromUtf8("äöüßéñ软件安装卸载属性中文한국어ΩЖ");
    QString out;
    const int sort = int(rng.bounded(5));
    const int length = int(rng.bounded(24));
    for (int i = 0; i < length; ++i) {
        switch (sort) {
        case 0:
            out += QChar(char16_t(1 + rng.bounded(0x7F)));
            break;
        case 1:
            if (rng.bounded(6) == 0)
                out += QString::fromUcs4(U"\U0001F600\U00020000" + rng.bounded(2), 1);
            else
                out += pieces.at(int(rng.bounded(pieces.size())));
            break;
        case 2:
            out += rng.bounded(3) ? QChar(char16_t('a' + rng.bounded(26))) : QChar(u' ');
            break;
        default:
            if (rng.bounded(3) == 0)
                out += hostile.at(int(rng.bounded(hostile.size())));
            else
                out += QChar(char16_t(1 + rng.bounded(0x7F)));
            break;
        }
    }
    if (sort == 2 || rng.bounded(8) == 0) {
        out.prepend(QString(int(rng.bounded(3)), QChar(u' ')));
        out.append(QString(int(rng.bounded(3)), QChar(u' ')));
    }
    return out;
}

using Registry = QMap<QString, QMap<QString, QString>>;

// Writes the registry in order of `order` through one object, then reads the
// file with a new one and compares everything, including the group and key
// lists, and the number of lines on disk.
void writeAndCompare(const QList<QPair<QString, QPair<QString, QString>>>& order)
{
    PhoneRoot root;
    QVERIFY(QDir().mkpath(root.host(QStringLiteral("/mmc/mmca1/.system/java"))));
    Registry expected;
    QStringList groupOrder;
    {
        ZConfig cfg(kReg);
        for (const auto& w : order) {
            QVERIFY(cfg.writeEntry(w.first, w.second.first, w.second.second));
            if (!expected.contains(w.first))
                groupOrder.append(w.first);
            expected[w.first][w.second.first] = w.second.second;
        }
    }
    const QByteArray disk = root.readFile(kReg);
    qsizetype entries = 0;
    for (const auto& g : expected)
        entries += g.size();
    // A header per group, an entry per key, a blank line between groups.
    QCOMPARE(disk.count('\n'), expected.size() * 2 - 1 + entries);

    ZConfig back(kReg);
    QStringList groups;
    back.getGroupsKeyList(groups);
    QCOMPARE(groups, groupOrder);
    ZConfigDocument doc(disk);
    for (auto g = expected.cbegin(); g != expected.cend(); ++g) {
        QVERIFY(back.groupExists(g.key()));
        QStringList keys = doc.keys(g.key());
        QStringList want = g.value().keys();
        keys.sort();
        want.sort();
        QCOMPARE(keys, want);
        for (auto k = g.value().cbegin(); k != g.value().cend(); ++k) {
            const QString got = back.readEntry(g.key(), k.key(), QStringLiteral("<absent>"));
            if (got != k.value())
                QFAIL(qPrintable(QStringLiteral("group %1 key %2: %3 != %4")
                                     .arg(g.key().toUtf8().toPercentEncoding(),
                                          k.key().toUtf8().toPercentEncoding(),
                                          got.toUtf8().toPercentEncoding(),
                                          k.value().toUtf8().toPercentEncoding())));
        }
    }
}

} // namespace

class TestZConfigRoundTrip : public QObject
{
    Q_OBJECT
private slots:
    void values()
    {
        QRandomGenerator rng(20261208);
        QList<QPair<QString, QPair<QString, QString>>> order;
        for (int g = 0; g < 100; ++g)
            for (int k = 0; k < 100; ++k)
                order.append({QStringLiteral("g%1").arg(g), {QStringLiteral("k%1").arg(k), randomText(rng)}});
        // And every byte from 0x01 to 0x7F in one value, both ways round.
        QString all;
        for (char16_t c = 1; c <= 0x7F; ++c)
            all += QChar(c);
        order.append({QStringLiteral("all"), {QStringLiteral("up"), all}});
        std::reverse(all.begin(), all.end());
        order.append({QStringLiteral("all"), {QStringLiteral("down"), all}});
        writeAndCompare(order);
    }

    void keys()
    {
        QRandomGenerator rng(7);
        QList<QPair<QString, QPair<QString, QString>>> order;
        for (int i = 0; i < 10000; ++i)
            order.append({QStringLiteral("g%1").arg(i % 100), {randomText(rng), QString::number(i)}});
        writeAndCompare(order);
    }

    void groupNames()
    {
        QRandomGenerator rng(11);
        QList<QPair<QString, QPair<QString, QString>>> order;
        for (int i = 0; i < 10000; ++i)
            order.append({randomText(rng), {QStringLiteral("k"), QString::number(i)}});
        writeAndCompare(order);
    }

    // Random documents from a soup of the bytes that matter to the syntax:
    // setting or removing one thing changes that thing alone, whatever else
    // the document holds.
    void randomDocuments()
    {
        static const char* const soup[] = {"[", "]", "=", "\\", "\n", "\r\n", "\r", " ", "\t", "#",
                                           ";", "a", "k", "g", "\\n", "\\x4", "\xff", "\xc3\xa4",
                                           "\xef\xbb\xbf", "\n[g]\n", "\nk=v\n", "\n[a]\n", "\na = b\n"};
        QRandomGenerator rng(99);
        for (int round = 0; round < 5000; ++round) {
            QByteArray bytes;
            const int tokens = int(rng.bounded(40));
            for (int i = 0; i < tokens; ++i)
                bytes += soup[rng.bounded(int(sizeof soup / sizeof *soup))];
            if (rng.bounded(4) == 0)
                bytes += QByteArray(1, '\0');
            const ZConfigDocument before(bytes);
            QCOMPARE(before.toByteArray(), bytes);

            ZConfigDocument doc(bytes);
            const QStringList groups = before.groups();
            const bool remove = rng.bounded(4) == 0 && !groups.isEmpty();
            const QString group = !groups.isEmpty() && rng.bounded(3) ? groups.at(int(rng.bounded(groups.size())))
                                                                    : randomText(rng);
            const QStringList keys = before.keys(group);
            const QString key = !keys.isEmpty() && rng.bounded(2) ? keys.at(int(rng.bounded(keys.size())))
                                                                  : randomText(rng);
            const QString value = randomText(rng);
            if (remove)
                doc.removeGroup(group);
            else
                doc.setValue(group, key, value);

            const QByteArray out = doc.toByteArray();
            const ZConfigDocument after(out);
            const auto context = [&] {
                return qPrintable(QStringLiteral("document %1, %2 %3/%4 = %5")
                                      .arg(QString::fromLatin1(bytes.toPercentEncoding()),
                                           remove ? QStringLiteral("remove") : QStringLiteral("set"),
                                           QString::fromLatin1(group.toUtf8().toPercentEncoding()),
                                           QString::fromLatin1(key.toUtf8().toPercentEncoding()),
                                           QString::fromLatin1(value.toUtf8().toPercentEncoding())));
            };
            if (remove)
                QVERIFY2(!after.hasGroup(group), context());
            else
                QVERIFY2(after.value(group, key) == value, context());
            for (const QString& g : groups) {
                if (g == group)
                    continue;
                QVERIFY2(after.hasGroup(g), context());
                QVERIFY2(after.keys(g) == before.keys(g), context());
                for (const QString& k : before.keys(g))
                    QVERIFY2(after.value(g, k) == before.value(g, k), context());
            }
            if (!remove && groups.contains(group)) {
                for (const QString& k : keys)
                    if (k != key)
                        QVERIFY2(after.value(group, k) == before.value(group, k), context());
            }
        }
    }

    // The same text overwriting existing values in place, one object per
    // write as the programs do, keeps the file's other lines.
    void overwriteInPlace()
    {
        PhoneRoot root;
        QVERIFY(root.writeFile(kReg, "# kept\n[a]\nx = 0\ny = keep\n"));
        QRandomGenerator rng(3);
        for (int i = 0; i < 100; ++i) {
            const QString v = randomText(rng);
            {
                ZConfig cfg(kReg);
                QVERIFY(cfg.writeEntry("a", "x", v));
            }
            ZConfig back(kReg);
            QCOMPARE(back.readEntry("a", "x"), v);
            QCOMPARE(back.readEntry("a", "y"), QStringLiteral("keep"));
            const QByteArray disk = root.readFile(kReg);
            QVERIFY2(disk.startsWith("# kept\n[a]\nx = "), disk.constData());
            QVERIFY(disk.endsWith("\ny = keep\n"));
            QCOMPARE(disk.count('\n'), 4);
        }
    }
};

QTEST_GUILESS_MAIN(TestZConfigRoundTrip)
#include "tst_zconfig_roundtrip.moc"
