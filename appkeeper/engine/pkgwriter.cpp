#include "pkgwriter.h"

#include "ezxpkginstall.h"
#include "phonefiles.h"
#include "phonepath.h"
#include "phonetree.h"
#include "shellrunner.h"
#include "texttrim.h"
#include "zconfig.h"

#include <QFileInfo>
#include <QSet>

#include <csignal>
#include <unistd.h>

namespace {

const char kJournal[] = "/ezx_user/download/appwrite/am/.writer.journal";
const char kJournalGroup[] = "Journal";
// A journal is a few lines; anything bigger is not one of ours.
const int kJournalMaxBytes = 64 * 1024;
// The "Items" default that tells a group without the key from an empty list.
const char kItemsSentinel[] = "1234567890123456789012345678901234567890";

QString items() { return QStringLiteral("Items"); }

// The card's system folder is there: without it a journal naming the card
// cannot be finished now (the card was taken out) and must wait.
bool cardPresent()
{
    return phoneIsDir(QLatin1String(phonefile::kCardSystemFolder));
}

bool onCard(const QString& phonePath)
{
    return phoneCleanPath(phonePath).startsWith(QStringLiteral("/mmc/"));
}

// The UID of the card record whose folder is `directory`; null when none.
QString cardRecordFor(const QString& directory)
{
    const ZConfig card(EZXPkgInstall::cardRegistryFile(), false);
    QStringList groups;
    card.getGroupsKeyList(groups);
    const QString wanted = phoneCleanPath(directory);
    for (const QString& uid : groups)
        if (phoneCleanPath(card.readEntry(uid, QStringLiteral("Directory"), QString())) == wanted)
            return uid;
    return QString();
}

// Removes an application's folder with the shell's "rm -rf", only when it is
// an application's own folder that no other record names.
bool removeApplicationFolder(const QString& directory, const QString& ownUid = QString())
{
    if (!phoneExists(directory))
        return true;
    if (EZXPkgInstall::isUnsafeDirectory(directory, ownUid))
        return false;
    const QString real = phoneRealPath(phoneCleanPath(directory));
    runShellCommand(QStringLiteral("rm -rf ") + shellPath(real));
    return !phoneExists(real);
}

// A copied folder is always a folder of its own under the card's download
// folder: nothing else is ever removed for an unfinished install.
bool isDownLoadFolder(const QString& directory)
{
    const QString clean = phoneCleanPath(directory);
    const QString parent = EZXPkgInstall::downLoadFolder() + QLatin1Char('/');
    return clean.startsWith(parent) && !clean.mid(parent.size()).contains(QLatin1Char('/'))
           && clean != EZXPkgInstall::installAreaFolder() && !directory.contains(QStringLiteral(".."));
}

bool finishInstall(const PkgJournal& journal)
{
    if (!isDownLoadFolder(journal.directory))
        return true;   // names nothing the engine copies: nothing to finish
    if (!cardPresent())
        return false;
    // The folder is flushed before its record is written: a record means a
    // whole folder, and the install only lacks its menu entries.
    const QString uid = cardRecordFor(journal.directory);
    if (!uid.isNull())
        return addToMenuFolders(uid);
    return removeApplicationFolder(journal.directory);
}

bool finishUninstall(const PkgJournal& journal)
{
    if (journal.uid.trimmed().isEmpty())
        return true;
    const bool ownRegistry = journal.registry == EZXPkgInstall::installedDBFile()
                             || journal.registry == EZXPkgInstall::cardRegistryFile();
    if ((onCard(journal.registry) || onCard(journal.directory)) && !cardPresent())
        return false;
    if (!journal.directory.isEmpty())
        removeApplicationFolder(journal.directory, journal.uid);
    if (ownRegistry) {
        ZConfig registry(journal.registry, false);
        if (registry.groupExists(journal.uid) && !registry.removeGroup(journal.uid))
            return false;
    }
    return removeFromMenusAndAutorun(journal.uid);
}

} // namespace

PkgWriter::PkgWriter(int waitMs)
    : m_lock(waitMs)
{
    if (m_lock.first())
        recoverInterruptedWork();
}

PkgWriter::~PkgWriter() = default;

QString PkgJournal::path()
{
    return QLatin1String(kJournal);
}

PkgJournal PkgJournal::read()
{
    PkgJournal journal;
    if (QFileInfo(phoneHostPath(path())).size() > kJournalMaxBytes)
        return journal;
    const ZConfig file(path(), false);
    const QString group = QLatin1String(kJournalGroup);
    const QString operation = file.readEntry(group, QStringLiteral("Operation"), QString());
    if (operation == QLatin1String("install"))
        journal.operation = Install;
    else if (operation == QLatin1String("uninstall"))
        journal.operation = Uninstall;
    journal.directory = file.readEntry(group, QStringLiteral("Directory"), QString());
    journal.uid = file.readEntry(group, QStringLiteral("Uid"), QString());
    journal.registry = file.readEntry(group, QStringLiteral("Registry"), QString());
    return journal;
}

bool PkgJournal::write() const
{
    if (!clear())
        return false;
    ZConfig file(path(), false);
    const QString name = operation == Install ? QStringLiteral("install") : QStringLiteral("uninstall");
    // The first change of a store object is saved at once, atomically and
    // flushed: the journal is on the disk before the work it announces.
    return file.writeEntries(QLatin1String(kJournalGroup),
                             {{QStringLiteral("Operation"), name},
                              {QStringLiteral("Directory"), directory},
                              {QStringLiteral("Uid"), uid},
                              {QStringLiteral("Registry"), registry}});
}

bool PkgJournal::clear()
{
    return phoneRemoveFileDurably(path());
}

bool recoverInterruptedWork()
{
    bool ok = true;
    if (phoneExists(PkgJournal::path())) {
        const PkgJournal journal = PkgJournal::read();
        if (journal.operation == PkgJournal::Install)
            ok = finishInstall(journal);
        else if (journal.operation == PkgJournal::Uninstall)
            ok = finishUninstall(journal);
        if (ok)
            PkgJournal::clear();
    }
    const QString area = EZXPkgInstall::installAreaFolder();
    if (phoneIsDir(area) && !phoneIsSymLink(area))
        phoneEmptyFolder(area);
    return ok;
}

bool addToMenuFolders(const QString& uid)
{
    ZConfig menu(EZXPkgInstall::userMenuTreeFile(), false);
    ZConfig::GroupEntries lists;
    for (const char* folder : {EZXPkgInstall::kMenuFolderA, EZXPkgInstall::kMenuFolderB}) {
        const QString group = QLatin1String(folder);
        QString list = menu.readEntry(group, items(), QString());
        if (listHasEntry(list, uid))
            continue;
        if (!list.isEmpty() && list.endsWith(QLatin1Char(';')))
            list += uid;
        else
            list += QLatin1Char(';') + uid;
        lists.append({group, {{items(), list}}});
    }
    // Both lists as one change: the menu tree is saved once.
    return lists.isEmpty() || (menu.writeGroups(lists) && menu.flush());
}

bool removeFromMenusAndAutorun(const QString& uid)
{
    if (uid.trimmed().isEmpty())
        return false;
    bool ok = true;
    {
        ZConfig menu(EZXPkgInstall::userMenuTreeFile(), false);
        QStringList groups;
        menu.getGroupsKeyList(groups);
        const QString sentinel = QLatin1String(kItemsSentinel);
        ZConfig::GroupEntries lists;
        for (const QString& group : groups) {
            const QString list = menu.readEntry(group, items(), sentinel);
            if (list.isEmpty() || list == sentinel)
                continue;
            const QString cut = listWithoutEntry(list, uid);
            if (cut != list)
                lists.append({group, {{items(), cut}}});
        }
        ok = lists.isEmpty() || (menu.writeGroups(lists) && menu.flush());
    }
    // The start-at-boot list lives in a file the platform makes; it is never
    // created here.
    if (phoneIsFile(QLatin1String(phonefile::kAutorunRegistry))) {
        ZConfig autorun(QLatin1String(phonefile::kAutorunRegistry), false);
        const QString apps = autorun.readEntry(QStringLiteral("AutoRun"), QStringLiteral("Apps"), QString());
        const QString cut = listWithoutEntry(apps, uid);
        if (!apps.isNull() && cut != apps)
            ok = autorun.writeEntry(QStringLiteral("AutoRun"), QStringLiteral("Apps"), cut)
                 && autorun.flush() && ok;
    }
    return ok;
}

void pkgCrashPoint(const char* point)
{
    static const QByteArray wanted = qgetenv("EZX_CRASH_AT");
    if (!wanted.isEmpty() && wanted == point)
        ::kill(::getpid(), SIGKILL);
}

PkgProblems findProblems()
{
    PkgProblems found;
    found.cardPresent = cardPresent();
    QSet<QString> knownUids;
    QSet<QString> recordFolders;
    for (const QString& file : EZXPkgInstall::recordRegistries()) {
        const bool card = file == EZXPkgInstall::cardRegistryFile();
        if (card && !found.cardPresent)
            continue;
        const ZConfig registry(file, false);
        QStringList groups;
        registry.getGroupsKeyList(groups);
        const bool owned = card || file == EZXPkgInstall::installedDBFile();
        for (const QString& uid : groups) {
            knownUids.insert(uid);
            const QString directory = registry.readEntry(uid, QStringLiteral("Directory"), QString());
            if (directory.isEmpty())
                continue;
            recordFolders.insert(phoneCleanPath(directory));
            if (owned && phoneIsApplicationFolderPath(directory) && (onCard(directory) ? found.cardPresent : true)
                && !phoneIsDir(directory))
                found.recordsWithoutFolder.append({uid, file, directory});
        }
    }
    if (found.cardPresent) {
        const QString parent = EZXPkgInstall::downLoadFolder();
        const QStringList folders =
            phoneEntryList(parent, QDir::Dirs | QDir::NoSymLinks | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
        for (const QString& name : folders) {
            const QString folder = parent + QLatin1Char('/') + name;
            if (folder != EZXPkgInstall::installAreaFolder() && phoneExists(folder)
                && !recordFolders.contains(folder))
                found.foldersWithoutRecord.append(folder);
        }
        // Without the card, every card application would look unknown.
        const ZConfig menu(EZXPkgInstall::userMenuTreeFile(), false);
        QStringList groups;
        menu.getGroupsKeyList(groups);
        const QSet<QString> menuFolders(groups.begin(), groups.end());
        for (const QString& group : groups) {
            const QStringList entries = menu.readEntry(group, items(), QString()).split(QLatin1Char(';'));
            for (const QString& entry : entries)
                if (!entry.trimmed().isEmpty() && !knownUids.contains(entry) && !menuFolders.contains(entry)
                    && !found.menuEntriesWithoutRecord.contains(entry))
                    found.menuEntriesWithoutRecord.append(entry);
        }
    }
    return found;
}

bool repairProblems(const PkgProblems& problems)
{
    bool ok = true;
    for (const QString& folder : problems.foldersWithoutRecord)
        ok = removeApplicationFolder(folder) && ok;
    for (const PkgProblems::Record& record : problems.recordsWithoutFolder) {
        if (phoneIsDir(record.directory))
            continue;
        ZConfig registry(record.registry, false);
        ok = (!registry.groupExists(record.uid) || registry.removeGroup(record.uid)) && ok;
        ok = removeFromMenusAndAutorun(record.uid) && ok;
    }
    for (const QString& uid : problems.menuEntriesWithoutRecord)
        ok = removeFromMenusAndAutorun(uid) && ok;
    return ok;
}
