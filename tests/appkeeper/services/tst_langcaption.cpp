// Caption lookup, caption files, the phone's language and the text codecs.

#include "captiondefaults.h"
#include "langcaption.h"
#include "phonepath.h"
#include "phoneroot.h"
#include "programarg.h"
#include "zconfig.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTextCodec>
#include <QWidget>
#include <QtTest>

namespace {

const char kSettings[] = "/ezx_user/download/appwrite/setup/ezx_system.cfg";
const char kSetupDir[] = "/ezx_user/download/appwrite/setup";

QByteArray readBytes(const QString& hostPath)
{
    QFile f(hostPath);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeBytes(const QString& hostPath, const QByteArray& bytes)
{
    QFile f(hostPath);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QString readEntry(const QString& path, const QString& group, const QString& key)
{
    const ZConfig cfg(path, false);
    return cfg.readEntry(group, key, QString());
}

QStringList groupsOf(const QString& path)
{
    const ZConfig cfg(path, false);
    QStringList list;
    cfg.getGroupsKeyList(list);
    return list;
}

// Lines that are not blank.
int contentLines(const QByteArray& bytes)
{
    int n = 0;
    for (const QByteArray& line : bytes.split('\n'))
        n += line.trimmed().isEmpty() ? 0 : 1;
    return n;
}

bool setImmutable(const QString& hostPath, bool on)
{
    return QProcess::execute(QStringLiteral("chattr"),
                             {on ? QStringLiteral("+i") : QStringLiteral("-i"), hostPath}) == 0;
}

} // namespace

class TestLangCaption : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PhoneRoot> root;
    QString bin;  // the program's folder, beside the phone root

    QString captionFile() const { return bin + QStringLiteral("/ezx_appkeeper_lang.cfg"); }
    void setLanguage(const QString& code)
    {
        ZConfig cfg(QLatin1String(kSettings), false);
        QVERIFY(cfg.writeEntry(QStringLiteral("SYS_SYSTEM_SET"), QStringLiteral("LanguageType"),
                               code));
    }

private slots:
    void init()
    {
        root = std::make_unique<PhoneRoot>();
        QVERIFY(root->isValid());
        bin = root->outer() + QStringLiteral("/bin");
        QVERIFY(QDir().mkpath(bin));
        programarg::set(bin + QStringLiteral("/appkeeper"));
        Bool_LocalLanguage = true;
    }
    void cleanup()
    {
        Bool_LocalLanguage = true;
        root.reset();
    }

    void builtInDefaultsDecode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
    QTest::newRow("Win_Caption1") << QByteArray(CaptionDefault::Win_Caption1) << QStringLiteral(u"appkeeperVer：1.0.2");
    QTest::newRow("AppAbout") << QByteArray(CaptionDefault::AppAbout) << QStringLiteral(u"软件中的开机自动运行功能，仅适用于vortelin系列E6/E6e修改版，其它版本用户无法使用此功能。");
    QTest::newRow("Dlg_Win_Item7") << QByteArray(CaptionDefault::Dlg_Win_Item7) << QStringLiteral(u"Java    域:");
    QTest::newRow("Dlg_Win_Item11") << QByteArray(CaptionDefault::Dlg_Win_Item11) << QStringLiteral(u"运行参数：");
    QTest::newRow("Msg_HintInfo_Items16_Autorun") << QByteArray(CaptionDefault::Msg_HintInfo_Items16_Autorun) << QStringLiteral(u"设置开机自动运行失败！");
    QTest::newRow("Msg_AskInfo_Items5") << QByteArray(CaptionDefault::Msg_AskInfo_Items5) << QStringLiteral(u"系统将杀死AM进程实现菜单刷新，是否继续？");
    QTest::newRow("Msg_Ask_Button1") << QByteArray(CaptionDefault::Msg_Ask_Button1) << QStringLiteral(u"是(Yes)");
        // GB2312 bytes written out by hand, independent of the table above.
        QTest::newRow("hand-written bytes") << QByteArray("\xc4\xe3\xba\xc3\xa3\xa1")
                                            << QStringLiteral(u"你好！");
    }
    void builtInDefaultsDecode()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(Text_code(bytes.constData()), text);
        QCOMPARE(Text_code_ascii(bytes.constData()), text);
    }

    // Every built-in default is whole GB2312: it decodes without a
    // replacement character and encodes back to the same bytes.
    void everyDefaultIsGb2312()
    {
        for (const CaptionDefault::Entry& e : CaptionDefault::kAll) {
            const QString text = Text_code(e.gb2312);
            QVERIFY2(!text.isEmpty() && !text.contains(QChar::ReplacementCharacter), e.name);
            QVERIFY2(Text_codec->fromUnicode(text) == QByteArray(e.gb2312), e.name);
            QVERIFY2(QByteArray(e.name).startsWith(e.key), e.name);
        }
    }

    void otherCodecs()
    {
        QCOMPARE(Text_code_Utf8("\xe4\xbd\xa0\xe5\xa5\xbd"), QStringLiteral(u"你好"));
        QVERIFY(Text_code(nullptr).isNull());
        QVERIFY(Text_code_Utf8(nullptr).isNull());
        QVERIFY(!Text_code("").isNull());
        // The same bytes mean different texts to the two codecs.
        QVERIFY(Text_code("\xc4\xe3") != Text_code_Utf8("\xc4\xe3"));
    }

    void captionFileName_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("extension") << "tool.bin" << "ezx_tool_lang.cfg";
        QTest::newRow("no extension") << "tool" << "ezx_tool_lang.cfg";
        QTest::newRow("several dots") << "a.b.c" << "ezx_a.b_lang.cfg";
        QTest::newRow("appkeeper") << "appkeeper" << "ezx_appkeeper_lang.cfg";
    }
    void captionFileName()
    {
        QFETCH(QString, program);
        QFETCH(QString, fileName);
        programarg::set(bin + QLatin1Char('/') + program);
        QCOMPARE(getAppPath(), bin + QLatin1Char('/'));
        QCOMPARE(getAppName(false), program);
        QCOMPARE(getAppName(true), bin + QLatin1Char('/') + program);
        const QString path = getAppLangCfg();
        QCOMPARE(path, bin + QLatin1Char('/') + fileName);
        QVERIFY(QFileInfo(path).isFile());
        QCOMPARE(QFileInfo(path).size(), 0);
    }

    void bareProgramNameUsesWorkingFolder()
    {
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(bin));
        programarg::set(QStringLiteral("tool"));
        QCOMPARE(getAppPath(), QString());
        QCOMPARE(getAppName(false), QStringLiteral("tool"));
        const QString caption = readLabelCaption(QStringLiteral("Win_Caption1"), QStringLiteral("T"));
        QDir::setCurrent(previous);
        QCOMPARE(caption, QStringLiteral("T"));
        QCOMPARE(readEntry(bin + QStringLiteral("/ezx_tool_lang.cfg"), QStringLiteral("zh-cn"),
                           QStringLiteral("Win_Caption1")),
                 QStringLiteral("T"));
    }

    void fileFillsItselfPerLanguage()
    {
        const QString title = Text_code(CaptionDefault::Win_Caption1);
        const QString install = Text_code(CaptionDefault::Win_MainMenu_Item1);
        QVERIFY(!QFile::exists(captionFile()));

        QCOMPARE(readLabelCaption(QStringLiteral("Win_Caption1"), title), title);
        QCOMPARE(readLabelCaption(QStringLiteral("Win_MainMenu_Item1"), install), install);
        QWidget label;
        label.setObjectName(QStringLiteral("pLabel1"));
        QCOMPARE(readLabelCaption(&label, QStringLiteral("Name:")), QStringLiteral("Name:"));
        QCOMPARE(readLabelCaption(static_cast<QWidget*>(nullptr), QStringLiteral("x")),
                 QStringLiteral("x"));

        QCOMPARE(groupsOf(captionFile()), QStringList{QStringLiteral("zh-cn")});
        QCOMPARE(readEntry(captionFile(), "zh-cn", "Win_Caption1"), title);
        QCOMPARE(readEntry(captionFile(), "zh-cn", "Win_MainMenu_Item1"), install);
        QCOMPARE(readEntry(captionFile(), "zh-cn", "pLabel1"), QStringLiteral("Name:"));

        // The first default stored wins over later ones.
        QCOMPARE(readLabelCaption(QStringLiteral("Win_Caption1"), QStringLiteral("other")), title);

        // An edited value is shown on the next lookup.
        {
            ZConfig cfg(captionFile(), false);
            QVERIFY(cfg.writeEntry("zh-cn", "Win_Caption1", QStringLiteral("Edited")));
        }
        QCOMPARE(readLabelCaption(QStringLiteral("Win_Caption1"), title), QStringLiteral("Edited"));

        // Another language gets a group of its own, filled with the defaults;
        // the first group stays as it was.
        const QByteArray before = readBytes(captionFile());
        setLanguage(QStringLiteral("en-us"));
        QCOMPARE(getLanguageType(), QStringLiteral("en-us"));
        QCOMPARE(readLabelCaption(QStringLiteral("Win_Caption1"), title), title);
        QCOMPARE(groupsOf(captionFile()), (QStringList{"zh-cn", "en-us"}));
        QCOMPARE(readEntry(captionFile(), "en-us", "Win_Caption1"), title);
        QCOMPARE(readEntry(captionFile(), "zh-cn", "Win_Caption1"), QStringLiteral("Edited"));
        QVERIFY(readBytes(captionFile()).startsWith(before));
    }

    void languageDefaultsToZhCn()
    {
        QCOMPARE(getLanguageType(), QStringLiteral("zh-cn"));
        QVERIFY(root->writeFile(QLatin1String(kSettings), "[SYS_SYSTEM_SET]\nOther = 1\n"));
        QCOMPARE(getLanguageType(), QStringLiteral("zh-cn"));
        QVERIFY(root->writeFile(QLatin1String(kSettings),
                                "\xef\xbb\xbf# set by the phone\r\n[SYS_SYSTEM_SET]\r\n"
                                "LanguageType=en-us\r\n"));
        QCOMPARE(getLanguageType(), QStringLiteral("en-us"));
    }

    // A caption file that cannot be made or written: defaults, and nothing else.
    void unwritableCaptionFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder missing") << "missing";
        QTest::newRow("immutable file") << "immutable";
        QTest::newRow("folder in its place") << "folder";
    }
    void unwritableCaptionFile()
    {
        QFETCH(QString, kind);
        const QByteArray stored = "[zh-cn]\nWin_Caption1 = Stored\n";
        QString file = captionFile();
        if (kind == QLatin1String("missing")) {
            programarg::set(bin + QStringLiteral("/gone/appkeeper"));
            file = bin + QStringLiteral("/gone/ezx_appkeeper_lang.cfg");
        } else if (kind == QLatin1String("immutable")) {
            QVERIFY(writeBytes(file, stored));
            if (!setImmutable(file, true))
                QSKIP("chattr +i is refused on this file system");
        } else {
            QVERIFY(QDir().mkpath(file));
        }

        const QString a = readLabelCaption(QStringLiteral("Msg_HintInfo_Items1"), QStringLiteral("A"));
        const QString b = readLabelCaption(QStringLiteral("Msg_HintInfo_Items1"), QStringLiteral("B"));
        const QString title = readLabelCaption(QStringLiteral("Win_Caption1"), QStringLiteral("T"));
        const QByteArray after = readBytes(file);
        const QStringList leftovers =
            QDir(QFileInfo(file).absolutePath()).entryList(QDir::Files | QDir::Hidden);
        if (kind == QLatin1String("immutable"))
            setImmutable(file, false);

        QCOMPARE(a, QStringLiteral("A"));
        QCOMPARE(b, QStringLiteral("B"));
        if (kind == QLatin1String("immutable")) {
            QCOMPARE(title, QStringLiteral("Stored"));  // still readable
            QCOMPARE(after, stored);
            QCOMPARE(leftovers, QStringList{QStringLiteral("ezx_appkeeper_lang.cfg")});
        } else {
            QCOMPARE(title, QStringLiteral("T"));
        }
        if (kind == QLatin1String("missing"))
            QVERIFY(!QFileInfo::exists(bin + QStringLiteral("/gone")));
        if (kind == QLatin1String("folder"))
            QVERIFY(QFileInfo(file).isDir());
    }

    // Odd language codes become group names without breaking the file.
    void oddLanguageCodes_data()
    {
        QTest::addColumn<QString>("code");
        QTest::newRow("empty") << QString(QLatin1String(""));
        QTest::newRow("very long") << QString(3000, QLatin1Char('x'));
        QTest::newRow("closing bracket") << "en]us";
        QTest::newRow("brackets") << "[en-us]";
        QTest::newRow("equals") << "lang=en";
        QTest::newRow("line break") << "en\nus";
        QTest::newRow("CRLF and group line") << "en\r\n[zh-cn]\r\nWin_Caption1 = hijack";
        QTest::newRow("non-ASCII") << QStringLiteral(u"中文-简体");
        QTest::newRow("blanks around") << " en ";
    }
    void oddLanguageCodes()
    {
        QFETCH(QString, code);
        QVERIFY(writeBytes(captionFile(), "[zh-cn]\nWin_Caption1 = keep\n"));
        setLanguage(code);
        QCOMPARE(getLanguageType(), code);

        QCOMPARE(readLabelCaption(QStringLiteral("K1"), QStringLiteral("one")), QStringLiteral("one"));
        QCOMPARE(readLabelCaption(QStringLiteral("K1"), QStringLiteral("two")), QStringLiteral("one"));
        QCOMPARE(readLabelCaption(QStringLiteral("K2"), QStringLiteral("x\ny")), QStringLiteral("x\ny"));
        QCOMPARE(readLabelCaption(QStringLiteral("K2"), QStringLiteral("z")), QStringLiteral("x\ny"));

        QCOMPARE(groupsOf(captionFile()), (QStringList{QStringLiteral("zh-cn"), code}));
        QCOMPARE(readEntry(captionFile(), "zh-cn", "Win_Caption1"), QStringLiteral("keep"));
        QCOMPARE(readEntry(captionFile(), "zh-cn", "K1"), QString());
        QCOMPARE(readEntry(captionFile(), code, "K1"), QStringLiteral("one"));
        // One line for the new group, one per key.
        QCOMPARE(contentLines(readBytes(captionFile())), 2 + 3);
    }

    // Stored values come back exactly as stored, and a lookup of a present key
    // never changes the file.
    void storedValuesAsStored_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("expected");
        QTest::newRow("escaped line break") << QByteArray("K = a\\nb") << "a\nb";
        QTest::newRow("escaped CRLF") << QByteArray("K = a\\r\\nb") << "a\r\nb";
        // A blank value would blank a title or a soft key: the default shows,
        // and the file stays as the translator left it.
        QTest::newRow("empty value") << QByteArray("K =") << "default";
        QTest::newRow("blank value") << QByteArray("K =   ") << "default";
        QTest::newRow("UTF-8") << QByteArray("K = \xe7\xa1\xae\xe5\xae\x9a") << QStringLiteral(u"确定");
        // GB2312 bytes in a UTF-8 file: whatever the store makes of them, and
        // the file is left alone.
        QTest::newRow("GB2312 bytes") << QByteArray("K = \xc8\xb7\xb6\xa8") << QString();
        QTest::newRow("Latin-1 byte") << QByteArray("K = caf\xe9") << QString();
    }
    void storedValuesAsStored()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, expected);
        const QByteArray content = "[zh-cn]\n" + line + "\n";
        QVERIFY(writeBytes(captionFile(), content));
        if (expected.isNull())
            expected = readEntry(captionFile(), "zh-cn", "K");
        QVERIFY(!expected.isNull());
        QCOMPARE(readLabelCaption(QStringLiteral("K"), QStringLiteral("default")), expected);
        QCOMPARE(readBytes(captionFile()), content);
    }

    void defaultWithLineBreaksStaysOneLine()
    {
        const QString text = QStringLiteral("first\r\n\r\nsecond\n[zh-cn]\nK = x");
        QCOMPARE(readLabelCaption(QStringLiteral("AppName"), text), text);
        QCOMPARE(contentLines(readBytes(captionFile())), 2);
        QCOMPARE(readLabelCaption(QStringLiteral("AppName"), QStringLiteral("other")), text);
        QCOMPARE(groupsOf(captionFile()), QStringList{QStringLiteral("zh-cn")});
    }

    void readWriteEntry()
    {
        const QString file = bin + QStringLiteral("/some.cfg");
        QCOMPARE(ReadWriteEntry(file, "G", "K", "d1"), QStringLiteral("d1"));
        QCOMPARE(ReadWriteEntry(file, "G", "K", "d2"), QStringLiteral("d1"));
        // A key stored empty counts as present.
        QVERIFY(writeBytes(file, "[G]\nK =\n"));
        QCOMPARE(ReadWriteEntry(file, "G", "K", "d3"), QString(QLatin1String("")));
        QCOMPARE(readBytes(file), QByteArray("[G]\nK =\n"));
    }

    // Shared mode: the caption file lives in the setup folder, filled from the
    // program's folder on first use.
    void sharedModeCopiesFromProgramFolder()
    {
        // A program folder whose name needs quoting in a shell command.
        bin = root->outer() + QStringLiteral("/b in's $(x)");
        QVERIFY(QDir().mkpath(bin));
        programarg::set(bin + QStringLiteral("/appkeeper"));
        QVERIFY(writeBytes(captionFile(), "[zh-cn]\nWin_Caption1 = From program\n"));
        Bool_LocalLanguage = false;

        const QString shared = QLatin1String(kSetupDir) + QStringLiteral("/ezx_appkeeper_lang.cfg");
        QCOMPARE(getAppLangCfg(), shared);
        QCOMPARE(readLabelCaption(QStringLiteral("Win_Caption1"), QStringLiteral("T")),
                 QStringLiteral("From program"));
        QCOMPARE(readLabelCaption(QStringLiteral("K"), QStringLiteral("new")), QStringLiteral("new"));
        QCOMPARE(readEntry(shared, "zh-cn", "K"), QStringLiteral("new"));
        // The program's own copy is left as it was.
        QCOMPARE(readBytes(captionFile()), QByteArray("[zh-cn]\nWin_Caption1 = From program\n"));
    }

    void sharedModeWithoutProgramCopy()
    {
        Bool_LocalLanguage = false;
        QCOMPARE(readLabelCaption(QStringLiteral("K"), QStringLiteral("v")), QStringLiteral("v"));
        const QString shared = QLatin1String(kSetupDir) + QStringLiteral("/ezx_appkeeper_lang.cfg");
        QCOMPARE(readEntry(shared, "zh-cn", "K"), QStringLiteral("v"));
        QVERIFY(!QFile::exists(captionFile()));
    }

    // A folder where the shared file should be: defaults, and nothing copied into it.
    void sharedModeFolderInItsPlace()
    {
        QVERIFY(writeBytes(captionFile(), "[zh-cn]\nWin_Caption1 = From program\n"));
        Bool_LocalLanguage = false;
        const QString shared = root->host(QLatin1String(kSetupDir) + QStringLiteral("/ezx_appkeeper_lang.cfg"));
        QVERIFY(QDir().mkpath(shared));
        QCOMPARE(readLabelCaption(QStringLiteral("Win_Caption1"), QStringLiteral("T")), QStringLiteral("T"));
        QCOMPARE(QDir(shared).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
    }

    void namedCaptionFile_data()
    {
        QTest::addColumn<bool>("local");
        QTest::addColumn<bool>("inProgramFolder");
        QTest::addColumn<QString>("expected");
        QTest::newRow("local, present") << true << true << "stored";
        QTest::newRow("local, absent") << true << false << "default";
        QTest::newRow("shared, copied") << false << true << "stored";
        QTest::newRow("shared, absent") << false << false << "default";
    }
    void namedCaptionFile()
    {
        QFETCH(bool, local);
        QFETCH(bool, inProgramFolder);
        QFETCH(QString, expected);
        const QString name = QStringLiteral("extra_lang.cfg");
        if (inProgramFolder)
            QVERIFY(writeBytes(bin + QLatin1Char('/') + name, "[zh-cn]\nK = stored\n"));
        Bool_LocalLanguage = local;
        const QString path = local ? bin + QLatin1Char('/') + name
                                   : QLatin1String(kSetupDir) + QLatin1Char('/') + name;

        QVERIFY(checkFileName(name));
        QVERIFY(QFileInfo(phoneHostPath(path)).isFile());
        QCOMPARE(readLabelCaptionFromFile(name, QStringLiteral("K"), QStringLiteral("default")),
                 expected);
        QWidget w;
        w.setObjectName(QStringLiteral("pl_Label1"));
        QCOMPARE(readLabelCaptionFromFile(name, &w, QStringLiteral("label")), QStringLiteral("label"));
        QCOMPARE(readEntry(path, "zh-cn", "pl_Label1"), QStringLiteral("label"));
        // The program's own caption file is not involved.
        QVERIFY(!QFile::exists(captionFile()));
    }

    void namedCaptionFileNotCreatable()
    {
        programarg::set(bin + QStringLiteral("/gone/appkeeper"));
        QVERIFY(!checkFileName(QStringLiteral("extra_lang.cfg")));
        QCOMPARE(readLabelCaptionFromFile(QStringLiteral("extra_lang.cfg"), QStringLiteral("K"),
                                          QStringLiteral("default")),
                 QStringLiteral("default"));
        QVERIFY(!QFileInfo::exists(bin + QStringLiteral("/gone")));

        // A folder where the named file should be.
        programarg::set(bin + QStringLiteral("/appkeeper"));
        QVERIFY(QDir().mkpath(bin + QStringLiteral("/dir_lang.cfg")));
        QVERIFY(!checkFileName(QStringLiteral("dir_lang.cfg")));
        QCOMPARE(readLabelCaptionFromFile(QStringLiteral("dir_lang.cfg"), QStringLiteral("K"),
                                          QStringLiteral("default")),
                 QStringLiteral("default"));
    }
};

SERVICES_TEST_MAIN(TestLangCaption)
#include "tst_langcaption.moc"
