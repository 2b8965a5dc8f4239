#pragma once
// Tells the menu when the files it is read from have changed on disk: the
// menu tree and the registries, as an install or an uninstall rewrites them.
//
// Writers replace these files by renaming a new file over the old one (the
// configuration store saves atomically), which ends a watch on the file
// itself; so the folder holding each file is watched too, and each file is
// watched anew whenever it is there again. A folder not there yet (a card
// not inserted) is watched through the nearest folder above it that is. A
// burst of changes (a registry, then the tree, a lock file, a journal) is
// told once, a moment after it began, and only when one of the files really
// differs from what was last told (another inode, size or time).

#include <QByteArray>
#include <QObject>
#include <QStringList>

class QFileSystemWatcher;
class QTimer;

class AmMenuWatcher : public QObject
{
    Q_OBJECT
public:
    // Watches the host files of `phonePaths`.
    explicit AmMenuWatcher(const QStringList& phonePaths, QObject* parent = nullptr);

    // The menu tree and the registries, as phone paths.
    static QStringList menuFiles();

signals:
    void changed();

private:
    void noticed();
    void settled();
    void watchWhatIsThere();
    QByteArray fingerprint() const;

    QStringList m_files;   // host paths
    QFileSystemWatcher* m_watcher = nullptr;
    QTimer* m_settle = nullptr;
    QByteArray m_told;
};
