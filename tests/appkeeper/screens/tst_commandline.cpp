// The three forms of the appkeeper command line, run as the real program:
// "--help" without any display, and the install dialog alone on a private X
// server driven with xdotool. Also the shipped caption file.

#include "commandline.h"
#include "phonefixture.h"
#include "softinstalldlg.h"
#include "testprograms.h"
#include "xsession.h"
#include "zmultilineedit.h"

#include <QtTest>

using namespace screentest;

namespace {

QString program()
{
    return testProgram("appkeeper");
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    // Without any display: the help form never builds the application object.
    void help_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("--help") << QStringList{"--help"};
        QTest::newRow("--help and more") << QStringList{"--help", "x.pkg", "-y"};
    }
    void help()
    {
        QFETCH(QStringList, args);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(v));
        p.setProcessEnvironment(env);
        p.start(program(), args);
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(p.readAllStandardOutput(), QByteArray("vortelin\r\n"));
    }

    // Anything else opens the install dialog alone and ends with 1 when it
    // closes; a path after the first word is the package it installs.
    void installDialogAlone_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("installs");
        QTest::newRow("a word") << QStringList{"install"} << false;
        QTest::newRow("longer than --help") << QStringList{"--helpx"} << false;
        QTest::newRow("part of --help") << QStringList{"--hel"} << false;
        QTest::newRow("path alone") << QStringList{"/mmc/mmca1/demo.pkg"} << false;
        QTest::newRow("word and path") << QStringList{"x", "/mmc/mmca1/demo.pkg"} << true;
    }
    void installDialogAlone()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, installs);
        XSession x;
        if (!x.start())
            QSKIP(qPrintable(x.error()));
        Phone phone;
        QVERIFY(phone.package(QStringLiteral("/mmc/mmca1/demo.pkg"), QStringLiteral("Demo"),
                              QStringLiteral("Demo App")));
        QProcess app;
        x.prepare(app);
        app.start(program(), args);
        QVERIFY(app.waitForStarted());
        const qint64 pid = app.processId();
        QVERIFY2(x.waitForWindows(pid, 1), "the install dialog did not open");
        if (installs) {
            QVERIFY2(x.pressKeysOnWindowOf(pid, {QStringLiteral("F1")}), qPrintable(x.error()));
            QVERIFY2(x.waitForWindows(pid, 2), "no confirmation");
            const QString confirmation = x.windowsOf(pid).value(1);
            QVERIFY2(x.pressKeysOnWindowOf(pid, {QStringLiteral("1")}), qPrintable(x.error()));
            QTRY_VERIFY_WITH_TIMEOUT(phone.read(kCardRegistry).contains("Demo App"), scaledTimeout(30000));
            // The notice is a window of its own, once the confirmation is gone.
            QVERIFY2(QTest::qWaitFor([&] {
                         const QStringList w = x.windowsOf(pid);
                         return w.size() == 2 && !w.contains(confirmation);
                     }, scaledTimeout(30000)),
                     "no install-complete notice");
            QVERIFY2(x.pressKeysOnWindowOf(pid, {QStringLiteral("1")}), qPrintable(x.error()));
        } else {
            QVERIFY2(x.pressKeysOnWindowOf(pid, {QStringLiteral("F2")}), qPrintable(x.error()));
        }
        QVERIFY(app.waitForFinished(scaledTimeout(30000)));
        QCOMPARE(app.exitCode(), 1);
        QCOMPARE(phone.groups(kCardRegistry).size(), installs ? 1 : 0);
    }

    // The same dialog in this process: empty without a path, preset with one.
    void installPkgField_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::newRow("no path") << QByteArray();
        QTest::newRow("path") << QByteArray("/mmc/mmca1/x y.pkg");
    }
    void installPkgField()
    {
        QFETCH(QByteArray, path);
        Phone phone;
        Script s;
        QString field = QStringLiteral("<not seen>");
        s.on("SoftInstallDlg", [&](QWidget* w) {
            field = w->findChild<ZMultiLineEdit*>()->text();
            QTest::keyClick(w, Qt::Key_F2);
        });
        InstallPKG(path.isNull() ? nullptr : path.constData());
        QVERIFY(s.done());
        QCOMPARE(field, QString::fromLatin1(path));
    }

    // The shipped caption file has an English text for every caption.
    void englishCaptions()
    {
        const QString shipped = testBuildPath(QStringLiteral("appkeeper/ezx_appkeeper_lang.cfg"));
        QVERIFY(QFile::exists(shipped));
        ZConfig cfg(shipped, false);
        QStringList keys;
        for (const auto& e : CaptionDefault::kAll)
            keys << QString::fromLatin1(e.key);
        keys << QStringLiteral("Msg_HintInfo_Items17");
        for (const QString& key : keys) {
            const QString text = cfg.readEntry(QStringLiteral("en-us"), key, QString());
            QVERIFY2(!text.trimmed().isEmpty(), qPrintable(key));
            for (const QChar c : text)
                QVERIFY2(c.unicode() < 0x80, qPrintable(key + QStringLiteral(": ") + text));
        }
    }
};

SCREENS_TEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
