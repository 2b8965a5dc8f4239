// A writer killed with SIGKILL at random moments leaves the registry whole:
// each time it is one of the versions the writer saved, byte for byte, and
// once the file is opened again no temporary file is left beside it.
#include "zconfig.h"
#include "zconfig_crashformat.h"
#include "zconfig_document.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <QElapsedTimer>

#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <sys/types.h>

namespace {

ino_t inode(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// Milliseconds from the writer's start to the end of its first round (its
// second save replaces the file for the second time), or -1.
int roundMilliseconds(const QString& reg)
{
    QProcess writer;
    writer.start(QStringLiteral(ZCONFIG_CRASHWRITER), {reg});
    if (!writer.waitForStarted())
        return -1;
    QElapsedTimer clock;
    clock.start();
    int replaced = 0;
    ino_t last = inode(reg);
    while (replaced < 2 && clock.elapsed() < 30000) {
        QTest::qSleep(1);
        const ino_t now = inode(reg);
        if (now != last && now != 0) {
            ++replaced;
            last = now;
        }
    }
    const int ms = int(clock.elapsed());
    writer.kill();
    writer.waitForFinished();
    return replaced == 2 ? ms : -1;
}

} // namespace

class TestZConfigCrash : public QObject
{
    Q_OBJECT
private slots:
    void killedWriter()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString reg = dir.path() + "/CardRegistry";
        {
            QFile f(reg);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(crashformat::bytes(QVector<int>(crashformat::kRecords, 0)));
        }
        const qint64 size = QFileInfo(reg).size();
        // Each version is this pattern with the records' generations put in.
        const QByteArray pattern = crashformat::bytes(QVector<int>(crashformat::kRecords, 0));
        QVector<qsizetype> genAt;
        for (qsizetype at = pattern.indexOf("\nGen = "); at >= 0; at = pattern.indexOf("\nGen = ", at + 1))
            genAt.append(at + 7);
        QCOMPARE(genAt.size(), crashformat::kRecords);

        // How long one round of the writer takes here (a sanitizer build is
        // far slower): kill moments are spread over the first round and a half,
        // from the start through both saves of the first round.
        const int round = roundMilliseconds(reg);
        QVERIFY(round > 0);

        QRandomGenerator rng(4242);
        int staleSeen = 0;
        int newestSeen = 0;
        const int trials = 200;
        for (int t = 0; t < trials; ++t) {
            QProcess writer;
            writer.setProgram(QStringLiteral(ZCONFIG_CRASHWRITER));
            writer.setArguments({reg});
            writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            writer.start();
            QVERIFY(writer.waitForStarted());
            QTest::qSleep(int(rng.bounded(round + round / 2 + 1)));
            if (writer.state() != QProcess::Running)
                QFAIL(qPrintable(QStringLiteral("writer stopped by itself, exit %1").arg(writer.exitCode())));
            ::kill(pid_t(writer.processId()), SIGKILL);
            QVERIFY(writer.waitForFinished(10000));

            const QStringList before =
                QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
            if (before.size() > 1)
                ++staleSeen;

            // Opening cleans up after the dead writer...
            QVector<int> gens(crashformat::kRecords);
            {
                ZConfig cfg(reg);
                for (int r = 0; r < crashformat::kRecords; ++r) {
                    const QString g = cfg.readEntry(crashformat::group(r), "Gen", "missing");
                    bool ok = false;
                    gens[r] = g.toInt(&ok);
                    QVERIFY2(ok, qPrintable(crashformat::group(r) + ": " + g));
                }
                QCOMPARE(cfg.readEntry("end", "last"), QString("yes"));
            }
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                     QStringList{"CardRegistry"});

            // ...and the file is a whole version: the writer sets the records
            // in order, so a saved version holds the new generation in its
            // first records and the one before in the others.
            const int top = gens[0];
            int r = 0;
            while (r < crashformat::kRecords && gens[r] == top)
                ++r;
            for (; r < crashformat::kRecords; ++r)
                QCOMPARE(gens[r], top - 1);
            QFile f(reg);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.size(), size);
            QByteArray expected = pattern;
            for (int i = 0; i < crashformat::kRecords; ++i) {
                const QByteArray g = crashformat::gen(gens[i]).toLatin1();
                std::memcpy(expected.data() + genAt[i], g.constData(), size_t(g.size()));
            }
            QVERIFY(f.readAll() == expected);
            newestSeen = gens[0];
        }
        qInfo("%d trials, %d left a temporary file behind, %d generations written, round %d ms",
              trials, staleSeen, newestSeen, round);
        QVERIFY(newestSeen > 0);
    }
};

QTEST_GUILESS_MAIN(TestZConfigCrash)
#include "tst_zconfig_crash.moc"
