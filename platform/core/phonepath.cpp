#include "phonepath.h"

#include "phonefiles.h"

#include <QFile>
#include <QFileInfo>

namespace {

const char* const kPhoneTrees[] = {"/mmc", "/ezx_user", "/usr/data_resource"};

bool startsWithTree(const QString& path, const QString& tree)
{
    return path == tree || path.startsWith(tree + QLatin1Char('/'));
}

// An absolute path with ".", ".." and repeated slashes resolved as the system
// resolves them ("/.." is "/"), without looking at the file system; a
// trailing slash is kept. Other paths come back unchanged.
QString cleanAbsolute(const QString& path)
{
    if (!path.startsWith(QLatin1Char('/')))
        return path;
    QStringList parts;
    for (const QString& comp : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (comp == QLatin1String("..")) {
            if (!parts.isEmpty())
                parts.removeLast();
        } else if (comp != QLatin1String("."))
            parts << comp;
    }
    QString clean = QLatin1Char('/') + parts.join(QLatin1Char('/'));
    if (path.endsWith(QLatin1Char('/')) && !clean.endsWith(QLatin1Char('/')))
        clean += QLatin1Char('/');
    return clean;
}

} // namespace

bool isPhoneTreePath(const QString& phonePath)
{
    if (!phonePath.startsWith(QLatin1Char('/')))
        return false;
    const QString clean = QDir::cleanPath(cleanAbsolute(phonePath));
    for (const char* tree : kPhoneTrees)
        if (startsWithTree(clean, QLatin1String(tree)))
            return true;
    return false;
}

bool isPhoneTreeRoot(const QString& phonePath)
{
    const QString clean = QDir::cleanPath(cleanAbsolute(phonePath));
    static const QStringList roots = {"/", "/mmc", "/mmc/mmca1", "/ezx_user", "/usr",
                                      "/usr/data_resource"};
    return roots.contains(clean);
}

bool phoneRootSet()
{
    return !qEnvironmentVariableIsEmpty("EZX_ROOT");
}

QString phoneHostPath(const QString& phonePath)
{
    const QByteArray root = qgetenv("EZX_ROOT");
    if (root.isEmpty() || !isPhoneTreePath(phonePath))
        return phonePath;
    QString base = QString::fromLocal8Bit(root);
    while (base.size() > 1 && base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base + cleanAbsolute(phonePath);
}

QString phoneCleanPath(const QString& phonePath)
{
    return phonePath.startsWith(QLatin1Char('/')) ? QDir::cleanPath(cleanAbsolute(phonePath))
                                                  : phonePath;
}

QString phoneRealPath(const QString& phonePath)
{
    if (!isPhoneTreePath(phonePath))
        return QString();
    const QString real = QFileInfo(phoneHostPath(phonePath)).canonicalFilePath();
    if (real.isEmpty())
        return QString();
    QString phone = real;
    if (phoneRootSet()) {
        const QString root = QFileInfo(QString::fromLocal8Bit(qgetenv("EZX_ROOT"))).canonicalFilePath();
        if (root.isEmpty() || !real.startsWith(root + QLatin1Char('/')))
            return QString();
        phone = real.mid(root.size());
    }
    return isPhoneTreePath(phone) ? phone : QString();
}

bool phoneExists(const QString& phonePath)
{
    if (phonePath.isEmpty())
        return false;
    const QFileInfo info(phoneHostPath(phonePath));
    return info.exists() || info.isSymLink();
}

bool phoneIsDir(const QString& phonePath)
{
    return !phonePath.isEmpty() && QFileInfo(phoneHostPath(phonePath)).isDir();
}

bool phoneIsSymLink(const QString& phonePath)
{
    return !phonePath.isEmpty() && QFileInfo(phoneHostPath(phonePath)).isSymLink();
}

bool phoneIsFile(const QString& phonePath)
{
    return !phonePath.isEmpty() && QFileInfo(phoneHostPath(phonePath)).isFile();
}

QStringList phoneEntryList(const QString& phoneDir, QDir::Filters filters, QDir::SortFlags sort)
{
    if (phoneDir.isEmpty())
        return {};
    return QDir(phoneHostPath(phoneDir)).entryList(filters, sort);
}

bool phoneTouchFile(const QString& phonePath)
{
    if (phonePath.isEmpty())
        return false;
    const QString host = phoneHostPath(phonePath);
    if (QFileInfo(host).isFile())
        return true;
    QFile f(host);
    if (f.open(QIODevice::ReadWrite))
        f.close();
    return QFileInfo(host).isFile();
}

bool phoneIsApplicationFolderPath(const QString& phonePath)
{
    if (!phonePath.startsWith(QLatin1Char('/')) || phonePath.split(QLatin1Char('/')).contains(QStringLiteral("..")))
        return false;
    const QString clean = phoneCleanPath(phonePath);
    // The card's shared folders are no application's own.
    for (const char* shared : {phonefile::kCardDownLoadFolder, phonefile::kInstallArea,
                               phonefile::kCardJavaFolder})
        if (clean == QLatin1String(shared))
            return false;
    for (const char* place : {phonefile::kCardSystemFolder, phonefile::kUserAppsFolder,
                              phonefile::kPreloadAppsFolder}) {
        const QString prefix = QLatin1String(place) + QLatin1Char('/');
        if (clean.startsWith(prefix) && clean.size() > prefix.size())
            return true;
    }
    return false;
}

QString phoneApplicationFolder(const QString& directory)
{
    if (!phoneIsApplicationFolderPath(directory))
        return QString();
    const QString real = phoneRealPath(phoneCleanPath(directory));
    if (real.isNull() || !phoneIsApplicationFolderPath(real) || !phoneIsDir(real))
        return QString();
    return real;
}
