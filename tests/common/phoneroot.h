#pragma once
// A throw-away phone root for one test: a temporary folder that EZX_ROOT points
// at while the object lives, with the phone's usual folders made.
//
// With EZX_TEST_CARD=fat in the environment (the phone-world profile, see
// phoneworld.sh) the memory card "/mmc/mmca1" is a FAT file system of its
// own: an image made with mkfs.vfat and mounted with fusefat, every entry
// owned by a user other than the test's, as a card mounted by the phone's
// system shows it.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QString>

#include "testprograms.h"

#include <sys/stat.h>
#include <unistd.h>

// True when the tests run with the card on FAT.
inline bool phoneCardIsFat()
{
    return qgetenv("EZX_TEST_CARD") == "fat";
}

// The uid that owns every entry of a FAT test card: never the test's own.
inline uint phoneCardOwner()
{
    return geteuid() == 4321 ? 4322 : 4321;
}

class PhoneRoot
{
public:
    explicit PhoneRoot(bool makeFolders = true)
        : m_previous(qgetenv("EZX_ROOT")), m_hadPrevious(qEnvironmentVariableIsSet("EZX_ROOT"))
    {
        // The phone root lives in a folder of its own inside the temporary
        // folder, so a test can look at what was written beside it.
        m_root = m_outer.path() + QStringLiteral("/root");
        QDir().mkpath(m_root);
        qputenv("EZX_ROOT", m_root.toLocal8Bit());
        if (makeFolders) {
            for (const char* d : {"/mmc/mmca1", "/ezx_user/download/appwrite/am",
                                  "/ezx_user/download/appwrite/setup",
                                  "/usr/data_resource/preloadapps"})
                QDir().mkpath(host(QLatin1String(d)));
            if (phoneCardIsFat())
                mountFatCard();
        }
    }
    ~PhoneRoot()
    {
        if (m_fatMounted) {
            const QString fusermount = QStandardPaths::findExecutable(QStringLiteral("fusermount"));
            QProcess::execute(fusermount, {QStringLiteral("-u"), QStringLiteral("-z"), host(QStringLiteral("/mmc/mmca1"))});
        }
        // Unmounted, the file system's process ends on its own.
        if (m_fuse.state() != QProcess::NotRunning && !m_fuse.waitForFinished(10000)) {
            m_fuse.kill();
            m_fuse.waitForFinished(5000);
        }
        if (m_hadPrevious)
            qputenv("EZX_ROOT", m_previous);
        else
            qunsetenv("EZX_ROOT");
    }

    bool isValid() const { return m_outer.isValid(); }
    // The host folder that stands for the phone's "/".
    QString root() const { return m_root; }
    // The folder around the root: nothing may ever appear here but "root".
    QString outer() const { return m_outer.path(); }
    QString host(const QString& phonePath) const { return m_root + phonePath; }

    bool writeFile(const QString& phonePath, const QByteArray& bytes) const
    {
        const QString h = host(phonePath);
        QDir().mkpath(h.section(QLatin1Char('/'), 0, -2));
        QFile f(h);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        return f.write(bytes) == bytes.size();
    }
    QByteArray readFile(const QString& phonePath) const
    {
        QFile f(host(phonePath));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Whether the card asked for is there (always, unless a FAT card could
    // not be mounted).
    bool cardReady() const { return !phoneCardIsFat() || m_fatMounted; }

private:
    static QString tool(const char* name)
    {
        return QStandardPaths::findExecutable(QLatin1String(name),
                                              {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"),
                                               QStringLiteral("/usr/bin"), QStringLiteral("/bin")});
    }

    void mountFatCard()
    {
        const QString image = m_cardImage.path() + QStringLiteral("/card.img");
        const QString mountPoint = host(QStringLiteral("/mmc/mmca1"));
        QFile img(image);
        if (!img.open(QIODevice::WriteOnly) || !img.resize(qint64(64) << 20))
            return;
        img.close();
        QProcess mkfs;
        mkfs.start(tool("mkfs.vfat"), {QStringLiteral("-n"), QStringLiteral("CARD"), image});
        if (!mkfs.waitForFinished(60000) || mkfs.exitCode() != 0)
            return;
        const QString owner = QString::number(phoneCardOwner());
        // The kernel keeps what it learnt of names and attributes, as it does
        // for a card mounted with the phone's own FAT driver: everything
        // goes through this one mount. (FUSE forgets them after a second by
        // default, and then asks fusefat again for every folder on the way
        // of every path: minutes for a tree a few hundred folders deep.)
        // In the foreground, as a child of the test that ends with it: an
        // aborted test leaves no file system process behind (and, in the
        // test's own mount namespace, no mount).
        m_fuse.setProcessChannelMode(QProcess::ForwardedChannels);
        endWithTheTest(m_fuse);
        m_fuse.start(tool("fusefat"), {QStringLiteral("-f"), QStringLiteral("-o"),
                                       QStringLiteral("rw+,allow_other,uid=%1,gid=%1,entry_timeout=86400,"
                                                      "attr_timeout=86400")
                                           .arg(owner),
                                       image, mountPoint});
        if (!m_fuse.waitForStarted(60000))
            return;
        // The card is there once the mount point shows another file system.
        const QByteArray card = QFile::encodeName(mountPoint);
        const QByteArray parent = QFile::encodeName(host(QStringLiteral("/mmc")));
        QDeadlineTimer deadline(60000);
        while (!deadline.hasExpired() && m_fuse.state() == QProcess::Running) {
            struct stat p, c;
            if (stat(card.constData(), &c) == 0 && stat(parent.constData(), &p) == 0
                && c.st_dev != p.st_dev) {
                m_fatMounted = true;
                return;
            }
            m_fuse.waitForFinished(10);
        }
    }

    QTemporaryDir m_cardImage;
    QProcess m_fuse;
    bool m_fatMounted = false;
    QTemporaryDir m_outer;
    QString m_root;
    QByteArray m_previous;
    bool m_hadPrevious;
};
