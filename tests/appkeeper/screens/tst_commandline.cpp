// The three forms of the appkeeper command line, run as the real program:
// "--help" without any display, and the install dialog alone on a private X
// server driven with xdotool. Also the shipped caption file.

#include "commandline.h"
#include "phonefixture.h"
#include "softinstalldlg.h"
#include "testtime.h"
#include "zmultilineedit.h"

#include <QElapsedTimer>
#include <QStandardPaths>
#include <QtTest>

using namespace screentest;

namespace {

QString program()
{
    return qEnvironmentVariable("EZX_BIN_DIR") + QStringLiteral("/appkeeper/appkeeper");
}

// A private X server of the phone's size, for as long as the object lives.
class PrivateX
{
public:
    PrivateX()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()
            || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            return;
        // The server picks a free display itself and names it on its output,
        // so that tests running side by side never share one.
        server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                              QStringLiteral("-screen"), QStringLiteral("0"),
                                              QStringLiteral("240x320x24"),
                                              QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        QByteArray number;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 15000 && !number.contains('\n')
               && server.state() != QProcess::NotRunning) {
            server.waitForReadyRead(100);
            number += server.readAllStandardOutput();
        }
        bool ok = false;
        const int n = number.trimmed().toInt(&ok);
        if (!ok)
            return;
        display = QStringLiteral(":%1").arg(n);
        up = server.state() == QProcess::Running;
    }
    ~PrivateX()
    {
        if (server.state() != QProcess::NotRunning) {
            server.terminate();
            server.waitForFinished(5000);
        }
    }

    QProcessEnvironment env() const
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("DISPLAY"), display);
        e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        return e;
    }
    // The number of visible windows of the program.
    int windows() const
    {
        QProcess p;
        p.setProcessEnvironment(env());
        p.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                            QStringLiteral("--class"), QStringLiteral("appkeeper")});
        p.waitForFinished(10000);
        return QString::fromLatin1(p.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts).size();
    }
    bool waitFor(std::function<bool()> condition, int ms = scaledTimeout(30000)) const
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            if (condition())
                return true;
            QTest::qWait(100);
        }
        return false;
    }
    void key(const QString& name) const
    {
        QTest::qWait(300);  // let the window take its keyboard focus
        QProcess p;
        p.setProcessEnvironment(env());
        p.start(QStringLiteral("xdotool"), {QStringLiteral("key"), name});
        p.waitForFinished(10000);
    }

    QProcess server;
    QString display;
    bool up = false;
};

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
        PrivateX x;
        if (!x.up)
            QSKIP("Xvfb and xdotool are needed for this test");
        Phone phone;
        QVERIFY(phone.package(QStringLiteral("/mmc/mmca1/demo.pkg"), QStringLiteral("Demo"),
                              QStringLiteral("Demo App")));
        QProcess app;
        app.setProcessEnvironment(x.env());
        app.start(program(), args);
        QVERIFY(app.waitForStarted());
        QVERIFY2(x.waitFor([&] { return x.windows() == 1; }), "the install dialog did not open");
        if (installs) {
            x.key(QStringLiteral("F1"));
            QVERIFY2(x.waitFor([&] { return x.windows() == 2; }), "no confirmation");
            x.key(QStringLiteral("1"));
            QVERIFY(x.waitFor([&] {
                return phone.read(kCardRegistry).contains("Demo App");
            }));
            QVERIFY2(x.waitFor([&] { return x.windows() == 2; }), "no install-complete notice");
            x.key(QStringLiteral("1"));
        } else {
            x.key(QStringLiteral("F2"));
        }
        QVERIFY(app.waitForFinished(30000));
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
        const QString shipped = qEnvironmentVariable("EZX_BIN_DIR")
                                + QStringLiteral("/appkeeper/ezx_appkeeper_lang.cfg");
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
