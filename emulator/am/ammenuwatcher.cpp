#include "ammenuwatcher.h"

#include "amregistry.h"
#include "phonefiles.h"
#include "phonepath.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSet>
#include <QTimer>

#include <sys/stat.h>

namespace {

// Long enough for a writer to finish the files of one change, short enough
// that the menu seems to follow at once.
constexpr int kSettleMs = 150;

// The nearest folder of `path`'s ancestors that exists.
QString nearestFolder(const QString& path)
{
    QString folder = QFileInfo(path).absolutePath();
    while (!QFileInfo(folder).isDir() && folder != QDir::rootPath())
        folder = QFileInfo(folder).absolutePath();
    return folder;
}

} // namespace

QStringList AmMenuWatcher::menuFiles()
{
    return QStringList{QLatin1String(phonefile::kUserMenuTree)} + ampaths::registries();
}

AmMenuWatcher::AmMenuWatcher(const QStringList& phonePaths, QObject* parent) : QObject(parent)
{
    for (const QString& p : phonePaths)
        m_files << phoneHostPath(p);
    m_watcher = new QFileSystemWatcher(this);
    m_settle = new QTimer(this);
    m_settle->setSingleShot(true);
    m_settle->setInterval(kSettleMs);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &AmMenuWatcher::noticed);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &AmMenuWatcher::noticed);
    connect(m_settle, &QTimer::timeout, this, &AmMenuWatcher::settled);
    m_told = fingerprint();
    watchWhatIsThere();
}

void AmMenuWatcher::noticed()
{
    if (!m_settle->isActive())
        m_settle->start();
}

void AmMenuWatcher::settled()
{
    watchWhatIsThere();
    const QByteArray now = fingerprint();
    if (now == m_told)
        return;
    m_told = now;
    emit changed();
}

void AmMenuWatcher::watchWhatIsThere()
{
    QSet<QString> wanted;
    for (const QString& file : std::as_const(m_files)) {
        if (QFileInfo(file).isFile())
            wanted << file;
        wanted << nearestFolder(file);
    }
    QSet<QString> watched;
    for (const QString& p : m_watcher->files() + m_watcher->directories())
        watched << p;
    const QSet<QString> gone = watched - wanted;
    const QSet<QString> added = wanted - watched;
    if (!gone.isEmpty())
        m_watcher->removePaths(QStringList(gone.cbegin(), gone.cend()));
    if (!added.isEmpty())
        m_watcher->addPaths(QStringList(added.cbegin(), added.cend()));
}

QByteArray AmMenuWatcher::fingerprint() const
{
    QByteArray print;
    for (const QString& file : m_files) {
        struct stat s = {};
        if (::stat(QFile::encodeName(file).constData(), &s) != 0) {
            print += "-;";
            continue;
        }
        print += QByteArray::number(qulonglong(s.st_ino)) + ',' + QByteArray::number(qlonglong(s.st_size))
                 + ',' + QByteArray::number(qlonglong(s.st_mtim.tv_sec)) + '.'
                 + QByteArray::number(qlonglong(s.st_mtim.tv_nsec)) + ';';
    }
    return print;
}
