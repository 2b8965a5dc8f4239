// ZConfig: reading, writing in place, escaping, and saving.
#include "phoneroot.h"
#include "zconfig.h"
#include "zconfig_document.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTest>

namespace {

const QString kReg = QStringLiteral("/ezx_user/download/appwrite/am/UserMenuTree");

QStringList folderEntries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                               QDir::Name);
}

} // namespace

class TestZConfig : public QObject
{
    Q_OBJECT
private slots:
    // value -> exact bytes of the entry line -> the same value back.
    void escapeTable_data()
    {
        QTest::addColumn<int>("kind");  // 0 value, 1 key, 2 group
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("line");
        const int V = 0, K = 1, G = 2;
        QTest::newRow("plain") << V << "abc" << QByteArray("k = abc\n");
        QTest::newRow("empty") << V << "" << QByteArray("k = \n");
        QTest::newRow("line feed") << V << "a\nb" << QByteArray("k = a\\nb\n");
        QTest::newRow("cr lf") << V << "a\r\nb" << QByteArray("k = a\\r\\nb\n");
        QTest::newRow("tab") << V << "a\tb" << QByteArray("k = a\\tb\n");
        QTest::newRow("backslash") << V << "C:\\new" << QByteArray("k = C:\\\\new\n");
        QTest::newRow("nul") << V << QString(QChar(0)) << QByteArray("k = \\x00\n");
        QTest::newRow("bell, del") << V << "\a\x7f" << QByteArray("k = \\x07\\x7f\n");
        QTest::newRow("C1 next line") << V << QString(QChar(0x85)) << QByteArray("k = \\x85\n");
        QTest::newRow("leading blank") << V << " a" << QByteArray("k = \\sa\n");
        QTest::newRow("trailing blank") << V << "a " << QByteArray("k = a\\s\n");
        QTest::newRow("one blank") << V << " " << QByteArray("k = \\s\n");
        QTest::newRow("inner blanks") << V << "a  b" << QByteArray("k = a  b\n");
        QTest::newRow("both ends") << V << "  a  " << QByteArray("k = \\s a \\s\n");
        QTest::newRow("value brackets") << V << "[x]=y;#z" << QByteArray("k = [x]=y;#z\n");
        QTest::newRow("utf8") << V << QString::fromUtf8("软件 ü") << QByteArray("k = 软件 ü\n");
        QTest::newRow("hostile") << V << "\n[Evil]\nExec=x" << QByteArray("k = \\n[Evil]\\nExec=x\n");
        QTest::newRow("menu list") << V << "a;b;" << QByteArray("k = a;b;\n");
        QTest::newRow("key equals") << K << "a=b" << QByteArray("a\\=b = v\n");
        QTest::newRow("key brackets") << K << "[a]" << QByteArray("\\[a\\] = v\n");
        QTest::newRow("key hash") << K << "#a" << QByteArray("\\#a = v\n");
        QTest::newRow("key semicolon") << K << ";a#;" << QByteArray("\\;a#; = v\n");
        QTest::newRow("key blanks") << K << " a " << QByteArray("\\sa\\s = v\n");
        QTest::newRow("key line feed") << K << "a\nb" << QByteArray("a\\nb = v\n");
        QTest::newRow("key empty") << K << "" << QByteArray(" = v\n");
        QTest::newRow("group plain") << G << "Desktop Entry" << QByteArray("[Desktop Entry]\n");
        QTest::newRow("group brackets") << G << "a]\n[b" << QByteArray("[a\\]\\n\\[b]\n");
        QTest::newRow("group equals") << G << "a=b" << QByteArray("[a\\=b]\n");
        QTest::newRow("group backslash") << G << "a\\" << QByteArray("[a\\\\]\n");
        QTest::newRow("group blanks") << G << " g " << QByteArray("[\\sg\\s]\n");
        QTest::newRow("group hash") << G << "#g" << QByteArray("[#g]\n");
    }
    void escapeTable()
    {
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(QByteArray, line);
        PhoneRoot root;
        const QString group = kind == 2 ? text : QStringLiteral("g");
        const QString key = kind == 1 ? text : QStringLiteral("k");
        const QString value = kind == 0 ? text : QStringLiteral("v");
        {
            ZConfig cfg(kReg);
            QVERIFY(cfg.writeEntry(group, key, value));
        }
        // One header, one entry: nothing added or broken.
        const QByteArray disk = root.readFile(kReg);
        QCOMPARE(disk, kind == 2 ? line + "k = v\n" : "[g]\n" + line);
        ZConfig back(kReg);
        QCOMPARE(back.readEntry(group, key, QStringLiteral("ABSENT")), value);
        QStringList groups;
        back.getGroupsKeyList(groups);
        QCOMPARE(groups, QStringList{group});
    }

    // Escapes the reader does not know, and forms people write by hand.
    void unescapeForms_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QString>("value");
        QTest::newRow("unknown escape") << QByteArray("\\q\\u2028") << "\\q\\u2028";
        QTest::newRow("cut hex") << QByteArray("a\\x4") << "a\\x4";
        QTest::newRow("bad hex") << QByteArray("\\xg1") << "\\xg1";
        QTest::newRow("upper hex") << QByteArray("\\x4A\\x4a") << "JJ";
        QTest::newRow("lone backslash") << QByteArray("a\\") << "a\\";
        QTest::newRow("escaped key chars") << QByteArray("\\[\\]\\=\\#\\;") << "[]=#;";
        QTest::newRow("blank escape inside") << QByteArray("a\\sb") << "a b";
        QTest::newRow("utf8 around escape") << QByteArray("ä\\nö") << QString::fromUtf8("ä\nö");
    }
    void unescapeForms()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QString, value);
        QCOMPARE(zconfigUnescape(raw), value);
        ZConfigDocument doc("[g]\nk=" + raw + "\n");
        QCOMPARE(doc.value("g", "k"), value);
    }

    // What people and the platform write, read through a QBuffer.
    void parse_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");  // null: absent
        QTest::newRow("simple") << QByteArray("[a]\nk=v\n") << "a" << "k" << "v";
        QTest::newRow("blanks around =") << QByteArray("[a]\n  k \t=  v w \t\n") << "a" << "k" << "v w";
        QTest::newRow("crlf") << QByteArray("[a]\r\nk = v\r\n") << "a" << "k" << "v";
        QTest::newRow("bom") << QByteArray("\xEF\xBB\xBF[a]\nk=v\n") << "a" << "k" << "v";
        QTest::newRow("no final newline") << QByteArray("[a]\nk=v") << "a" << "k" << "v";
        QTest::newRow("comments") << QByteArray("# x\n; y\n[a]\n#k=1\n;k=2\nk=v\n") << "a" << "k" << "v";
        QTest::newRow("commented key absent") << QByteArray("[a]\n#k=1\n") << "a" << "k" << QString();
        QTest::newRow("key before group") << QByteArray("k=x\n[a]\n") << "a" << "k" << QString();
        QTest::newRow("line without =") << QByteArray("[a]\ngarbage\nk=v\n") << "a" << "k" << "v";
        QTest::newRow("duplicate key") << QByteArray("[a]\nk=1\nk=2\n") << "a" << "k" << "2";
        QTest::newRow("duplicate group") << QByteArray("[a]\nk=1\n[b]\nk=3\n[a]\nj=2\n") << "a" << "k" << "1";
        QTest::newRow("duplicate group later wins") << QByteArray("[a]\nk=1\n[a]\nk=2\n") << "a" << "k" << "2";
        QTest::newRow("empty value") << QByteArray("[a]\nk=\n") << "a" << "k" << "";
        QTest::newRow("value with =") << QByteArray("[a]\nk=x=y\n") << "a" << "k" << "x=y";
        QTest::newRow("group blanks") << QByteArray("  [ Desktop Entry ]  \nName=n\n") << "Desktop Entry" << "Name" << "n";
        QTest::newRow("nul in other line") << QByteArrayLiteral("[a]\nx\0y\nk=v\n") << "a" << "k" << "v";
        QTest::newRow("nul in value") << QByteArrayLiteral("[a]\nk=v\0w\n") << "a" << "k" << QString("v") + QChar(0) + "w";
        QTest::newRow("invalid utf8 elsewhere") << QByteArray("[a]\nj=\xff\xfe\nk=v\n") << "a" << "k" << "v";
        QTest::newRow("cut group line") << QByteArray("[a\nk=v\n[b]\n") << "b" << "k" << QString();
        QTest::newRow("unterminated group") << QByteArray("[a]\n[b\nk=v\n") << "a" << "k" << "v";
        QTest::newRow("escaped close bracket is no header") << QByteArray("[a]\n[b\\]\nk=v\n") << "a" << "k" << "v";
        QTest::newRow("escaped backslash before close") << QByteArray("[a\\\\]\nk=v\n") << "a\\" << "k" << "v";
        QTest::newRow("localized desktop key") << QByteArray("[Desktop Entry]\nName=a\nName[zh_CN]=\xe8\xbd\xaf\n")
                                               << "Desktop Entry" << "Name[zh_CN]" << QString::fromUtf8("软");
        QTest::newRow("lone cr inside") << QByteArray("[a]\nk=v\rw\n") << "a" << "k" << "v\rw";
    }
    void parse()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, group);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        ZConfigDocument doc;
        QVERIFY(doc.parse(&buffer));
        QCOMPARE(doc.value(group, key).isNull(), value.isNull());
        QCOMPARE(doc.value(group, key), value);
        // Nothing changed: the bytes go back as they came.
        QCOMPARE(doc.toByteArray(), bytes);
    }

    // A write touches only what it names, in place.
    void writeInPlace_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        const QByteArray base = "# menu\n[a]\nx = 1\n; note\ny=2\n\n[b]\nz = 3\n";
        QTest::newRow("change first") << base << "a" << "x" << "9"
                                      << QByteArray("# menu\n[a]\nx = 9\n; note\ny=2\n\n[b]\nz = 3\n");
        QTest::newRow("change keeps form") << base << "a" << "y" << "longer value"
                                           << QByteArray("# menu\n[a]\nx = 1\n; note\ny=longer value\n\n[b]\nz = 3\n");
        QTest::newRow("new key after last entry") << base << "a" << "w" << "4"
                                                  << QByteArray("# menu\n[a]\nx = 1\n; note\ny=2\nw = 4\n\n[b]\nz = 3\n");
        QTest::newRow("new group at end") << base << "c" << "k" << "v"
                                          << QByteArray("# menu\n[a]\nx = 1\n; note\ny=2\n\n[b]\nz = 3\n\n[c]\nk = v\n");
        QTest::newRow("empty file") << QByteArray() << "c" << "k" << "v" << QByteArray("[c]\nk = v\n");
        QTest::newRow("no final newline") << QByteArray("[a]\nx=1") << "a" << "y" << "2"
                                          << QByteArray("[a]\nx=1\ny=2\n");
        QTest::newRow("crlf file") << QByteArray("[a]\r\nx = 1\r\n") << "b" << "k" << "v"
                                   << QByteArray("[a]\r\nx = 1\r\n\r\n[b]\r\nk = v\r\n");
        QTest::newRow("crlf change") << QByteArray("[a]\r\nx = 1\r\n") << "a" << "x" << "2"
                                     << QByteArray("[a]\r\nx = 2\r\n");
        QTest::newRow("duplicate key: last changed") << QByteArray("[a]\nk=1\nk=2\n") << "a" << "k" << "3"
                                                     << QByteArray("[a]\nk=1\nk=3\n");
        QTest::newRow("duplicate group: new key in last") << QByteArray("[a]\nk=1\n[b]\n[a]\nj=2\n") << "a" << "n" << "3"
                                                          << QByteArray("[a]\nk=1\n[b]\n[a]\nj=2\nn=3\n");
        QTest::newRow("header only group") << QByteArray("[a]\n# c\n[b]\n") << "a" << "k" << "v"
                                           << QByteArray("[a]\nk = v\n# c\n[b]\n");
        QTest::newRow("preamble keys kept") << QByteArray("k=x\n") << "a" << "k" << "v"
                                            << QByteArray("k=x\n\n[a]\nk=v\n");
        QTest::newRow("bom only") << QByteArray("\xEF\xBB\xBF") << "a" << "k" << "v"
                                  << QByteArray("\xEF\xBB\xBF\n[a]\nk = v\n");
        QTest::newRow("bracket key, value ending in bracket") << QByteArray("[a]\n[k=1\n") << "a" << "[k" << "x]"
                                                              << QByteArray("[a]\n[k=x\\]\n");
        QTest::newRow("line ending in lone cr") << QByteArray("[a]\nx=1\r") << "a" << "y" << "2"
                                                << QByteArray("[a]\nx=1\r\ny=2\n");
        QTest::newRow("unchanged value") << base << "a" << "x" << "1" << base;
        QTest::newRow("invalid utf8 kept") << QByteArray("[a]\nb=\xff\n\x80\x81\nk=1\n") << "a" << "k" << "2"
                                           << QByteArray("[a]\nb=\xff\n\x80\x81\nk=2\n");
    }
    void writeInPlace()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, group);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        PhoneRoot root;
        if (!before.isNull())
            QVERIFY(root.writeFile(kReg, before));
        {
            ZConfig cfg(kReg);
            QVERIFY(cfg.writeEntry(group, key, value));
        }
        QCOMPARE(root.readFile(kReg), after);
        ZConfig back(kReg);
        QCOMPARE(back.readEntry(group, key), value);
    }

    void removeGroup_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("middle") << QByteArray("[a]\nx=1\n\n[b]\ny=2\n\n[c]\nz=3\n") << "b"
                                << QByteArray("[a]\nx=1\n\n[c]\nz=3\n");
        QTest::newRow("every occurrence") << QByteArray("[b]\ny=1\n[a]\nx=1\n[b]\ny=2\n") << "b"
                                          << QByteArray("[a]\nx=1\n");
        QTest::newRow("absent") << QByteArray("[a]\nx=1\n") << "b" << QByteArray("[a]\nx=1\n");
        QTest::newRow("preamble stays") << QByteArray("# top\n[b]\ny=1\n") << "b" << QByteArray("# top\n");
    }
    void removeGroup()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, group);
        QFETCH(QByteArray, after);
        PhoneRoot root;
        QVERIFY(root.writeFile(kReg, before));
        {
            ZConfig cfg(kReg);
            QVERIFY(cfg.removeGroup(group));
            QVERIFY(!cfg.groupExists(group));
            QCOMPARE(cfg.readEntry(group, "y", "gone"), QString("gone"));
        }
        QCOMPARE(root.readFile(kReg), after);
    }

    void groupsInFileOrder()
    {
        ZConfigDocument doc(QByteArray("k=0\n[z]\n[a]\n[m]\n[a]\n[]\n"));
        QCOMPARE(doc.groups(), (QStringList{"z", "a", "m", ""}));
        QVERIFY(doc.hasGroup("m"));
        QVERIFY(!doc.hasGroup("k"));
    }

    // A missing file reads as empty and is not created by reading; an empty
    // value reads as empty, not null; absent keys give the default.
    void missingFileAndDefaults()
    {
        PhoneRoot root;
        const QString host = root.host(kReg);
        {
            ZConfig cfg(kReg);
            QCOMPARE(cfg.path(), kReg);
            QCOMPARE(cfg.readEntry("g", "k", "NameError"), QString("NameError"));
            QVERIFY(cfg.readEntry("g", "k").isNull());
            QVERIFY(!cfg.groupExists("g"));
            QStringList list{"stale"};
            cfg.getGroupsKeyList(list);
            QVERIFY(list.isEmpty());
            QVERIFY(cfg.flush());
            QVERIFY(cfg.removeGroup("g"));
        }
        QVERIFY(!QFile::exists(host));
        {
            ZConfig cfg(kReg);
            QVERIFY(cfg.writeEntry("g", "e", ""));
            QVERIFY(cfg.writeEntry("g", "n", QString()));
            QVERIFY(cfg.writeEntry("g", "c", "ezx"));
            QVERIFY(cfg.writeEntry("g", "z", static_cast<const char*>(nullptr)));
            // The writing object reads its own writes.
            QCOMPARE(cfg.readEntry("g", "c"), QString("ezx"));
        }
        ZConfig back(kReg);
        for (const char* k : {"e", "n", "z"}) {
            const QString v = back.readEntry("g", k, "dflt");
            QVERIFY(!v.isNull());
            QCOMPARE(v, QString(""));
        }
        QCOMPARE(back.readEntry("g", "c"), QString("ezx"));
        QCOMPARE(folderEntries(QFileInfo(host).path()), QStringList{"UserMenuTree"});
    }

    // Two objects on one file, and a program that rewrites it in between:
    // each save makes its own changes on the newest version of the file, so
    // no one's changes are lost.
    void concurrentWritersKeepEachOthersChanges()
    {
        PhoneRoot root;
        QVERIFY(root.writeFile(kReg, "[a]\nx=1\n"));
        {
            ZConfig a(kReg);
            ZConfig b(kReg);
            QVERIFY(a.writeEntry("a", "y", "2"));  // saved at once
            QVERIFY(b.writeEntry("b", "z", "3"));  // saved at once, over a's version
            QVERIFY(a.writeEntry("a", "w", "4"));  // kept until a goes
            QVERIFY(root.writeFile(kReg, root.readFile(kReg) + "[ext]\ne=5\n"));
        }
        QCOMPARE(root.readFile(kReg), QByteArray("[a]\nx=1\ny=2\nw=4\n\n[b]\nz=3\n[ext]\ne=5\n"));
    }

    void emptyPath()
    {
        ZConfig cfg(QString(""));
        QCOMPARE(cfg.readEntry("g", "k", "d"), QString("d"));
        QVERIFY(!cfg.writeEntry("g", "k", "v"));
    }

    // Many writes through one object, then a second object: all of it is in
    // the file once the first object is gone (and flush() puts it there at once).
    void writesLandByDestructionAndFlush()
    {
        PhoneRoot root;
        auto* cfg = new ZConfig(kReg);
        for (int i = 0; i < 25; ++i)
            QVERIFY(cfg->writeEntry("uid", QString("k%1").arg(i), QString::number(i)));
        QVERIFY(cfg->flush());
        QVERIFY(root.readFile(kReg).contains("k24 = 24\n"));
        QVERIFY(cfg->writeEntry("uid", "late", "1"));
        delete cfg;
        ZConfig back(kReg);
        QCOMPARE(back.readEntry("uid", "late"), QString("1"));
        QCOMPARE(back.readEntry("uid", "k13"), QString("13"));
    }

    // Several keys written as the first change are in the file together at
    // once, in their order after what the group held, and an existing key
    // keeps its place; refused as a whole where the file cannot be written.
    void writeEntriesIsOneChange()
    {
        PhoneRoot root;
        QVERIFY(root.writeFile(kReg, "[uid]\nb = old\n[next]\nx = 1\n"));
        ZConfig cfg(kReg);
        QVERIFY(cfg.writeEntries("uid", {{"a", "1"}, {"b", "2"}, {"c", QString()}}));
        QCOMPARE(root.readFile(kReg), QByteArray("[uid]\nb = 2\na = 1\nc = \n[next]\nx = 1\n"));
        QVERIFY(cfg.writeEntries("uid", {{"b", "2"}}));   // nothing to change
        QVERIFY(cfg.flush());

        ZConfig nowhere("/ezx_user/download/appwrite/nofolder/Reg");
        QVERIFY(!nowhere.writeEntries("uid", {{"a", "1"}, {"b", "2"}}));
    }

    // Keys of several groups written as one first change: one save holds
    // them all, and a later save is not needed.
    void writeGroupsIsOneChange()
    {
        PhoneRoot root;
        QVERIFY(root.writeFile(kReg, "[a]\nItems = x\n; note\n[c]\nk = 1\n"));
        ZConfig cfg(kReg);
        QVERIFY(cfg.writeGroups({{"a", {{"Items", "x;u"}}}, {"b", {{"Items", ";u"}}}}));
        QCOMPARE(root.readFile(kReg),
                 QByteArray("[a]\nItems = x;u\n; note\n[c]\nk = 1\n\n[b]\nItems = ;u\n"));
        ZConfig nowhere("/ezx_user/download/appwrite/nofolder/Reg");
        QVERIFY(!nowhere.writeGroups({{"a", {{"k", "1"}}}, {"b", {{"k", "2"}}}}));
    }

    // Files in the phone's legacy encoding: read as GB18030 only when asked
    // and only when they are not valid UTF-8.
    void legacyEncoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("fallback");
        QTest::addColumn<QString>("name");
        const QByteArray gb = QByteArray("[Desktop Entry]\nName=") + QByteArray::fromHex("ccb0b3d4c9df") + "\n";
        const QByteArray utf8 = QString::fromUtf8("[Desktop Entry]\nName=\u8d2a\u5403\u86c7\n").toUtf8();
        const QString snake = QString::fromUtf8("\u8d2a\u5403\u86c7");
        QTest::newRow("GB2312 with fallback") << gb << true << snake;
        QTest::newRow("UTF-8 with fallback") << utf8 << true << snake;
        QTest::newRow("UTF-8 with BOM and fallback") << QByteArray("\xef\xbb\xbf") + utf8 << true << snake;
        QTest::newRow("UTF-8 without fallback") << utf8 << false << snake;
        QTest::newRow("GB2312 without fallback: not this text")
            << gb << false << QString::fromUtf8(gb.mid(21, 6));
        QTest::newRow("GBK beyond GB2312") << QByteArray("[Desktop Entry]\nName=\x81\x40\n") << true
                                           << QString(QChar(0x4e02));
    }

    void legacyEncoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, fallback);
        QFETCH(QString, name);
        PhoneRoot root;
        QVERIFY(root.writeFile(kReg, bytes));
        const ZConfig cfg(kReg, false, fallback ? ZConfig::Utf8OrGb18030 : ZConfig::Utf8);
        QCOMPARE(cfg.readEntry("Desktop Entry", "Name"), name);
    }

    // U+FEFF is a character like any other in names and values: at the
    // start, after an escape, alone, twice.
    void byteOrderMarkRoundTrip_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        const QString bom(QChar(0xFEFF));
        QTest::newRow("value starts with it") << "g" << "k" << bom + "v";
        QTest::newRow("value after an escape") << "g" << "k" << "a\n" + bom + "b";
        QTest::newRow("value is only it, twice") << "g" << "k" << bom + bom;
        QTest::newRow("key starts with it") << "g" << bom + "k" << "v";
        QTest::newRow("key after an escape") << "g" << "\t" + bom + "k" << "v";
        QTest::newRow("group starts with it") << bom + "g" << "k" << "v";
        QTest::newRow("group after an escape") << "[" + bom + "g" << "k" << "v";
    }
    void byteOrderMarkRoundTrip()
    {
        QFETCH(QString, group);
        QFETCH(QString, key);
        QFETCH(QString, value);
        PhoneRoot root;
        QVERIFY(root.writeFile(kReg, "[g]\nk = plain\n"));
        QVERIFY(ZConfig(kReg).writeEntry(group, key, value));
        const ZConfig back(kReg);
        QCOMPARE(back.readEntry(group, key, "<absent>"), value);
        QStringList groups;
        back.getGroupsKeyList(groups);
        // A name with the mark stays apart from the one without it.
        QCOMPARE(groups.size(), group == "g" ? 1 : 2);
        if (group != "g" || key != "k")
            QCOMPARE(back.readEntry("g", "k"), QString("plain"));
    }

    // A group header followed by a comment is a header.
    void headerWithComment()
    {
        const ZConfigDocument doc(QByteArray("[x]\nk = 1\n[y] ; note\nk = 2\n[z]\t# other\nk = 3\n"));
        QCOMPARE(doc.groups(), (QStringList{"x", "y", "z"}));
        QCOMPARE(doc.value("x", "k"), QString("1"));
        QCOMPARE(doc.value("y", "k"), QString("2"));
        QCOMPARE(doc.value("z", "k"), QString("3"));
    }

    // Saving through a symbolic link keeps the link and its file's mode (a
    // link that stays in the phone: see tst_zconfig_unwritable for one out).
    void symlinkAndMode()
    {
        PhoneRoot root;
        const QString real = root.host("/ezx_user/real.cfg");
        QFile f(real);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[a]\nx=1\n");
        f.close();
        QVERIFY(f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QVERIFY(QFile::link(real, root.host(kReg)));
        {
            ZConfig cfg(kReg);
            QVERIFY(cfg.writeEntry("a", "x", "2"));
        }
        QVERIFY(QFileInfo(root.host(kReg)).isSymLink());
        QFile r(real);
        QVERIFY(r.open(QIODevice::ReadOnly));
        QCOMPARE(r.readAll(), QByteArray("[a]\nx=2\n"));
        const QFileDevice::Permissions p = QFileInfo(real).permissions();
        QVERIFY(p.testFlag(QFileDevice::ReadOwner) && p.testFlag(QFileDevice::WriteOwner));
        QVERIFY(!(p & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::ExeOwner)));
    }

    // Temporary files that a killed writer left are recognised by name and
    // removed by the next open; a running writer's and foreign files are not.
    void staleTemporariesRemoved()
    {
        PhoneRoot root;
        const QString host = root.host(kReg);
        const QString dir = QFileInfo(host).path();
        QVERIFY(root.writeFile(kReg, "[a]\nx=1\n"));
        const QString dead = dir + "/.UserMenuTree.zconfig-tmp-999999999-1";
        const QString live = dir + QString("/.UserMenuTree.zconfig-tmp-%1-7").arg(1);  // pid 1 runs
        const QString other = dir + "/.Other.zconfig-tmp-999999999-1";
        const QString user = dir + "/UserMenuTree.bak";
        for (const QString& p : {dead, live, other, user}) {
            QFile f(p);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        {
            ZConfig cfg(kReg);
            QCOMPARE(cfg.readEntry("a", "x"), QString("1"));
        }
        QVERIFY(!QFile::exists(dead));
        QVERIFY(QFile::exists(live));
        QVERIFY(QFile::exists(other));
        QVERIFY(QFile::exists(user));
    }
};

QTEST_GUILESS_MAIN(TestZConfig)
#include "tst_zconfig.moc"
