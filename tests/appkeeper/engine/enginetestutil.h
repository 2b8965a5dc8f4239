#pragma once
// Shared helpers of the engine's tests: building packages with the real tar,
// running the install steps as the install dialog does, and taking exact
// pictures of a folder tree to compare before and after.

#include "ezxpkginstall.h"
#include "phoneroot.h"

#include <QCryptographicHash>
#include <QTemporaryFile>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace enginetest {

// Runs a program and returns its exit code (-1 when it could not run).
inline int run(const QString& program, const QStringList& args, QByteArray* output = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(600000))
        return -1;
    if (output)
        *output = p.readAll();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// Runs `call` with standard output going to a file, and returns what it wrote.
template <typename F>
QByteArray captureStdout(F call)
{
    QTemporaryFile file;
    file.open();
    std::fflush(stdout);
    const int saved = dup(fileno(stdout));
    dup2(file.handle(), fileno(stdout));
    call();
    std::fflush(stdout);
    dup2(saved, fileno(stdout));
    close(saved);
    file.seek(0);
    return file.readAll();
}

// The entries of the install area of the current phone root, dot-files included.
inline QStringList areaEntries(const PhoneRoot& root)
{
    return QDir(root.host(QStringLiteral("/mmc/mmca1/.system/QTDownLoad/installtmp")))
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Whether the test card can hold a file of this name. The FAT of the
// phone-world profile (fusefat) stores printable ASCII names only, without
// the characters FAT forbids; the phone's own FAT driver also takes UTF-8.
inline bool cardHoldsName(const QString& name)
{
    if (!phoneCardIsFat())
        return true;
    for (const QChar c : name)
        if (c.unicode() < 0x20 || c.unicode() > 0x7e || QStringLiteral("\"*:<>?\\|").contains(c))
            return false;
    return !name.endsWith(QLatin1Char('.')) && !name.endsWith(QLatin1Char(' '));
}

// Writes the files (relative path -> content) under `stage` and packs the
// top-level names with "tar czf" into `pkg`.
inline bool makePackage(const QString& pkg, const QString& stage,
                        const QMap<QString, QByteArray>& files)
{
    QStringList top;
    for (auto it = files.begin(); it != files.end(); ++it) {
        const QString path = stage + QLatin1Char('/') + it.key();
        if (it.key().endsWith(QLatin1Char('/'))) {
            QDir().mkpath(path);
        } else {
            QDir().mkpath(QFileInfo(path).path());
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly) || f.write(it.value()) != it.value().size())
                return false;
            if (it.key().endsWith(QLatin1String(".sh")))
                f.setPermissions(f.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeGroup
                                 | QFileDevice::ExeOther);
        }
        const QString first = it.key().section(QLatin1Char('/'), 0, 0);
        if (!top.contains(first))
            top << first;
    }
    return run(QStringLiteral("tar"), QStringList{QStringLiteral("czf"), pkg, QStringLiteral("-C"),
                                                  stage, QStringLiteral("--")} + top) == 0;
}

inline QByteArray desktop(const QString& name, const QString& extra = QString())
{
    return ("[Desktop Entry]\nName=" + name + "\nExec=run.sh\nIcon=icon.png\n" + extra).toUtf8();
}

// The steps after the unpack, for a test that looks at the unpacked tree
// before the install goes on; numbered as InstallStep.
inline int stepsAfterUnpack(EZXPkgInstall& e)
{
    if (!e.getPKGPathFromInstallTmpPath()) return int(InstallStep::FindFolder);
    if (!e.getPKGDesktopFile()) return int(InstallStep::DesktopFile);
    if (!e.getPKGSoftInfo()) return int(InstallStep::SoftInfo);
    if (!e.copyPKGFolderFromInstallTmpPath()) return int(InstallStep::Copy);
    e.softUID = QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (!e.regSoftInfo_InstallDB()) return int(InstallStep::Register);
    if (!e.regSoftInfo_Menu()) return int(InstallStep::Menu);
    e.clearInstallTmp();
    return 0;
}

// The engine's install with the confirmation answered yes. Returns 0 when
// all ran through, otherwise the number of the step that failed (1-3, 5-7,
// 9, 11, 12).
inline int installSteps(EZXPkgInstall& e)
{
    return int(e.runInstall({}, [] { return QUuid::createUuid().toString(QUuid::WithoutBraces); }));
}

inline int install(const QString& pkg, QString* directory = nullptr, QString* uid = nullptr)
{
    EZXPkgInstall e(pkg);
    const int failed = installSteps(e);
    if (directory)
        *directory = e.softDirectory;
    if (uid)
        *uid = e.softUID;
    return failed;
}

// One entry as lstat sees it, plus the content of files and link targets.
inline QString describe(const QByteArray& path)
{
    struct stat st;
    if (lstat(path.constData(), &st) != 0)
        return QStringLiteral("?");
    QString d = QStringLiteral("%1 uid=%2 gid=%3").arg(st.st_mode, 0, 8).arg(st.st_uid).arg(st.st_gid);
    // The link count of a file shows a hard link made to it from elsewhere
    // (a folder's count only follows its sub-folders).
    if (!S_ISDIR(st.st_mode))
        d += QStringLiteral(" links=%1").arg(quint64(st.st_nlink));
    if (S_ISREG(st.st_mode)) {
        QFile f(QFile::decodeName(path));
        QCryptographicHash h(QCryptographicHash::Sha1);
        if (f.open(QIODevice::ReadOnly))
            h.addData(&f);
        d += QStringLiteral(" size=%1 sha1=%2").arg(st.st_size).arg(QString::fromLatin1(h.result().toHex()));
    } else if (S_ISLNK(st.st_mode)) {
        char target[4096];
        const ssize_t n = readlink(path.constData(), target, sizeof target);
        d += QStringLiteral(" -> ") + QFile::decodeName(QByteArray(target, n > 0 ? int(n) : 0));
    } else if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) {
        d += QStringLiteral(" dev=%1").arg(quint64(st.st_rdev));
    }
    return d;
}

// Every entry below `dir` (host path, relative names), never following links.
// Works for trees deeper than a path may be long by walking relative to
// directory descriptors.
inline void walkAt(int dirFd, const QByteArray& rel, QMap<QString, QString>& out, const QByteArray& hostBase)
{
    DIR* d = fdopendir(dirFd);
    if (!d) {
        close(dirFd);
        return;
    }
    while (dirent* e = readdir(d)) {
        const QByteArray name(e->d_name);
        if (name == "." || name == "..")
            continue;
        const QByteArray childRel = rel.isEmpty() ? name : rel + '/' + name;
        struct stat st;
        if (fstatat(dirfd(d), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        const QByteArray full = hostBase + '/' + childRel;
        out.insert(QFile::decodeName(childRel),
                   full.size() < 4000 ? describe(full)
                                      : QStringLiteral("%1 (deep)").arg(st.st_mode, 0, 8));
        if (S_ISDIR(st.st_mode)) {
            const int fd = openat(dirfd(d), name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
            if (fd >= 0)
                walkAt(fd, childRel, out, hostBase);
        }
    }
    closedir(d);
}

inline QMap<QString, QString> snapshot(const QString& dir)
{
    QMap<QString, QString> out;
    const QByteArray base = QFile::encodeName(dir);
    const int fd = open(base.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (fd >= 0)
        walkAt(fd, QByteArray(), out, base);
    return out;
}

// Readable differences between two snapshots, for failure messages.
inline QStringList differences(const QMap<QString, QString>& before, const QMap<QString, QString>& after)
{
    QStringList out;
    for (auto it = before.begin(); it != before.end(); ++it) {
        if (!after.contains(it.key()))
            out << QStringLiteral("gone:    ") + it.key();
        else if (after.value(it.key()) != it.value())
            out << QStringLiteral("changed: ") + it.key() + QStringLiteral(" (") + it.value()
                       + QStringLiteral(" => ") + after.value(it.key()) + QLatin1Char(')');
    }
    for (auto it = after.begin(); it != after.end(); ++it)
        if (!before.contains(it.key()))
            out << QStringLiteral("new:     ") + it.key() + QStringLiteral(" (") + it.value() + QLatin1Char(')');
    return out;
}

// A small tmpfs mounted over a folder for the lifetime of the object.
class SmallMount
{
public:
    SmallMount(const QString& dir, const QString& size)
        : m_dir(QFile::encodeName(dir))
    {
        const QByteArray opts = "size=" + size.toLatin1();
        m_ok = mount("tmpfs", m_dir.constData(), "tmpfs", 0, opts.constData()) == 0;
    }
    ~SmallMount()
    {
        if (m_ok)
            umount2(m_dir.constData(), MNT_DETACH);
    }
    bool ok() const { return m_ok; }

private:
    QByteArray m_dir;
    bool m_ok = false;
};

// Bytes that no compression shrinks, the same on every run.
inline QByteArray randomBytes(int size)
{
    QByteArray b(size, Qt::Uninitialized);
    quint32 x = 2463534242u;
    for (int i = 0; i < size; ++i) {
        x ^= x << 13; x ^= x >> 17; x ^= x << 5;
        b[i] = char(x);
    }
    return b;
}

// Fills the file system holding `folder` to its last byte.
inline void fillUp(const QString& folder)
{
    // One big file, then small ones, until the file system takes no byte more.
    const QByteArray block(64 * 1024, 'f');
    for (int i = 0;; ++i) {
        const QByteArray name = QFile::encodeName(folder + QStringLiteral("/filler%1").arg(i));
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0)
            return;
        qint64 written = 0;
        for (int size = block.size(); size > 0;) {
            const ssize_t n = ::write(fd, block.constData(), size_t(size));
            if (n > 0)
                written += n;
            else
                size /= 2;
        }
        ::close(fd);
        if (written == 0)
            return;
    }
}

} // namespace enginetest
