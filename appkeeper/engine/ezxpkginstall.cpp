#include "ezxpkginstall.h"

#include "phonearchive.h"
#include "phonefiles.h"
#include "phonepath.h"
#include "phonetree.h"
#include "phonewriter.h"
#include "pkgwriter.h"
#include "shellrunner.h"
#include "utilservicename.h"
#include "zconfig.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <cstdio>
#include <future>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace {

const char kDesktopGroup[] = "Desktop Entry";

// tar run as root restores the archive's owners and modes (set-ID bits
// included). These options make it extract as an ordinary user would; GNU
// and BusyBox tar both know them. A "./" member may still change the mode of
// the install area itself: exPKGInstallTmp puts it back.
const char kTarSafetyOptions[] = " --no-same-owner --no-same-permissions";

// Makes sure the folder exists: runs "mkdir <dir>" when it does not, and
// tests again.
bool ensureFolder(const QString& dir)
{
    if (phoneIsDir(dir))
        return true;
    runShellCommand(QStringLiteral("mkdir ") + shellPath(dir));
    return phoneIsDir(dir);
}

void trace(const QString& line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Why an archive must not be installed, whatever its unpack looks like;
// empty when it may be.
QString whyRefused(const PhoneArchiveListing& listing)
{
    if (!listing.complete)
        return QStringLiteral("Package not complete: ") + listing.error;
    for (const PhoneArchiveMember& member : listing.members)
        if (member.unsafe)
            return QStringLiteral("Package names a place outside itself: \"")
                   + QFile::decodeName(member.path) + QLatin1Char('"');
    return QString();
}

// What the unpacked archive takes on a file system of this allocation unit:
// every file rounded up to whole units, a unit per folder and link.
qint64 unpackedBytes(const PhoneArchiveListing& listing, qint64 unit)
{
    qint64 total = 0;
    for (const PhoneArchiveMember& member : listing.members) {
        if (member.kind == PhoneArchiveMember::File)
            total += (qMax<qint64>(member.size, 0) + unit - 1) / unit * unit;
        else if (member.kind != PhoneArchiveMember::HardLink)
            total += unit;
    }
    return total;
}

// The size the gzip trailer of the package states for its content (the
// last member's, modulo 4 GB); -1 when it cannot be read. Untrusted: only
// used to tell that an archive surely fits without reading all of it.
qint64 statedGzipSize(const QString& package)
{
    const int fd = ::open(QFile::encodeName(phoneHostPath(package)).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    unsigned char tail[4];
    const off_t end = ::lseek(fd, 0, SEEK_END);
    const bool ok = end >= 18 && ::pread(fd, tail, 4, end - 4) == 4;
    ::close(fd);
    if (!ok)
        return -1;
    return qint64(tail[0]) | qint64(tail[1]) << 8 | qint64(tail[2]) << 16 | qint64(tail[3]) << 24;
}

// True when the archive fits whatever it holds: its content is at most the
// stated size, and it cannot hold more members than 512-byte headers.
bool surelyFits(qint64 stated, qint64 unit, qint64 free)
{
    if (stated < 0 || free < 0)
        return free < 0;   // nothing to go by: the unpack itself will tell
    const qint64 worst = stated + (stated / 512 + 1) * unit;
    return 2 * worst <= free;
}

} // namespace

const char* const EZXPkgInstall::kMenuFolderA = "cb839c8f-72c3-42ac-bf17-b01080cb5705";
const char* const EZXPkgInstall::kMenuFolderB = "67dc1191-2928-4938-abce-1a73cb5ce490";

QString EZXPkgInstall::userMenuTreeFile()
{
    return QLatin1String(phonefile::kUserMenuTree);
}

QString EZXPkgInstall::installedDBFile()
{
    return QLatin1String(phonefile::kInstalledDB);
}

QString EZXPkgInstall::cardRegistryFile()
{
    return QLatin1String(phonefile::kCardRegistry);
}

QString EZXPkgInstall::downLoadFolder()
{
    return QLatin1String(phonefile::kCardDownLoadFolder);
}

QString EZXPkgInstall::installAreaFolder()
{
    return QLatin1String(phonefile::kInstallArea);
}

EZXPkgInstall::~EZXPkgInstall()
{
    if (m_installOpen)
        undoInstall();
}

// Takes the writer lock for the rest of the engine's life (shared with a
// caller that holds it already). On its first taking in the process, what an
// earlier writer left is finished or undone.
bool EZXPkgInstall::holdWriter()
{
    if (m_writer && m_writer->held())
        return true;
    m_writer.reset(new PkgWriter);
    return m_writer->held();
}

// Undoes a copied install that is not to be committed, in the order that
// keeps the phone whole if this is cut short too: menu entries, record,
// folder, journal.
void EZXPkgInstall::undoInstall()
{
    if (!softUID.isEmpty()) {
        removeFromMenusAndAutorun(softUID);
        ZConfig registry(installDBFile, false);
        if (registry.groupExists(softUID)
            && phoneCleanPath(registry.readEntry(softUID, QStringLiteral("Directory"))) == phoneCleanPath(softDirectory))
            registry.removeGroup(softUID);
    }
    if (!softDirectory.isEmpty() && phoneExists(softDirectory)) {
        // A copy cut short may be nested deeper than the shell's rm reaches:
        // BusyBox rm holds a folder open per level, and stops about a
        // thousand deep at the usual limit of 1024 descriptors. Emptied here
        // first, folder by folder; rm then removes what is left.
        if (phoneIsDir(softDirectory) && !phoneIsSymLink(softDirectory))
            phoneEmptyFolder(softDirectory);
        runShellCommand(QStringLiteral("rm -rf ") + shellPath(softDirectory));
    }
    if (!phoneExists(softDirectory))
        PkgJournal::clear();
    m_installOpen = false;
    softDirectory.clear();
}

EZXPkgInstall::EZXPkgInstall(const QString& pkgFile)
{
    if (!pkgFile.isNull())
        this->pkgFile = pkgFile;
    installTmpPath = QLatin1String(phonefile::kInstallArea);
    downLoadPath = QLatin1String(phonefile::kCardDownLoadFolder);
    installDBFile = QLatin1String(phonefile::kCardRegistry);
}

QString EZXPkgInstall::unpackedFolder() const
{
    return installTmpPath + QLatin1Char('/') + pkgFolder;
}

QString EZXPkgInstall::unpackedDesktopFile() const
{
    return unpackedFolder() + QLatin1Char('/') + pkgDesktopFile;
}

bool EZXPkgInstall::checkPKGFile()
{
    return !pkgFile.isNull() && phoneExists(pkgFile);
}

bool EZXPkgInstall::checkInstallTmpPath()
{
    // The first step that changes anything: from here on this engine is the
    // phone's one writer.
    if (!holdWriter())
        return false;
    // A link in place of the area would let the emptying and the unpack
    // reach wherever it leads.
    if (phoneIsSymLink(installTmpPath))
        return false;
    // What an earlier package left must not block this install: the area
    // is emptied whatever it holds, and the step fails only when that is
    // impossible.
    if (phoneIsDir(installTmpPath))
        return phoneEmptyFolder(installTmpPath);
    if (!ensureFolder(QLatin1String(phonefile::kCardSystemFolder)))
        return false;
    if (!ensureFolder(downLoadPath))
        return false;
    runShellCommand(QStringLiteral("mkdir ") + shellPath(installTmpPath));
    return phoneIsDir(installTmpPath);
}

bool EZXPkgInstall::checkInstallDB()
{
    if (phoneIsFile(installDBFile))
        return true;
    if (!ensureFolder(QLatin1String(phonefile::kCardSystemFolder)))
        return false;
    if (!ensureFolder(QLatin1String(phonefile::kCardJavaFolder)))
        return false;
    if (!phoneIsFile(installDBFile))
        phoneTouchFile(installDBFile);
    return phoneIsFile(installDBFile);
}

void EZXPkgInstall::exPKGInstallTmp()
{
    m_unpackOk = false;
    m_spaceNeeded = m_spaceFree = m_unpackedBytes = -1;
    m_sparseNotUnpacked.clear();
    if (!holdWriter() || !phoneIsDir(installTmpPath) || phoneIsSymLink(installTmpPath))
        return;
    // The area must hold nothing at all before an unpack: what could not be
    // removed would mix with the package (or let it write through a link).
    if (!phoneEmptyFolder(installTmpPath))
        return;
    // The unpack and its copy stand on the card together. Where the card
    // surely has room for them, the archive's own listing is read while tar
    // unpacks it (reading it first would add its whole decompression to
    // every install); otherwise it is read first, and a package that does
    // not fit is refused before anything is written.
    const qint64 unit = phoneBlockBytes(installTmpPath);
    const qint64 freeBefore = phoneFreeBytes(installTmpPath);
    std::future<PhoneArchiveListing> reading;
    PhoneArchiveListing readFirst;
    const bool concurrent = surelyFits(statedGzipSize(pkgFile), unit, freeBefore);
    if (concurrent) {
        reading = std::async(std::launch::async, phoneArchiveListing, pkgFile);
    } else {
        readFirst = phoneArchiveListing(pkgFile);
        const qint64 needed = 2 * unpackedBytes(readFirst, unit);
        if (readFirst.complete && whyRefused(readFirst).isEmpty() && needed > freeBefore) {
            m_spaceNeeded = needed;
            m_spaceFree = freeBefore;
            trace(QStringLiteral("Card full: %1 bytes needed, %2 free").arg(needed).arg(freeBefore));
            return;
        }
    }
    const PhoneFolderState area = phoneFolderState(installTmpPath);
    const QString unpack = QStringLiteral("tar zxf ") + shellPath(pkgFile) + QStringLiteral(" -C ")
                           + shellPath(installTmpPath) + QLatin1String(kTarSafetyOptions);
    runShellCommand(unpack);
    bool areaKept = phoneRestoreFolderState(installTmpPath, area);
    const PhoneArchiveListing listing = concurrent ? reading.get() : readFirst;
    m_unpackedBytes = unpackedBytes(listing, unit);
    // An archive that is cut or damaged, or names places outside the area,
    // is refused whatever tar made of it, and what tar made goes at once.
    const QString refusal = whyRefused(listing);
    if (!refusal.isEmpty()) {
        trace(refusal);
        phoneEmptyFolder(installTmpPath);
        return;
    }
    // tar's exit status differs between GNU and BusyBox tar and is not 0
    // for padding after a whole archive or on a card without links: the
    // tree it left is compared with the archive instead.
    PhoneUnpackCheck check = phoneCheckUnpacked(installTmpPath, listing);
    // BusyBox tar run by an ordinary user cannot fill a folder of mode 0555
    // that it has just made. A second pass over the same tree, with those
    // folders opened, completes the unpack. (BusyBox tar also stops at the
    // first link a FAT card refuses, and knows no option to skip it: such a
    // package fails here, with the links named.)
    if (!check.ok && phoneOpenUpFolders(installTmpPath) > 0) {
        runShellCommand(unpack);
        areaKept = phoneRestoreFolderState(installTmpPath, area) && areaKept;
        check = phoneCheckUnpacked(installTmpPath, listing);
    }
    for (const QString& link : check.leftOutLinks)
        trace(QStringLiteral("Link not installed: \"") + link + QLatin1Char('"'));
    for (const QString& missing : check.missing)
        trace(QStringLiteral("Not unpacked: \"") + missing + QLatin1Char('"'));
    for (const QString& sparse : check.sparseNotUnpacked)
        trace(QStringLiteral("Sparse file not unpacked: \"") + sparse + QLatin1Char('"'));
    m_sparseNotUnpacked = check.sparseNotUnpacked;
    // An unpack that failed on a card without room for it: the card is full,
    // the package is not at fault.
    if (!check.ok && freeBefore >= 0 && 2 * m_unpackedBytes > freeBefore) {
        m_spaceNeeded = 2 * m_unpackedBytes;
        m_spaceFree = freeBefore;
    }
    const PhoneConfineResult confined = phoneConfineTree(installTmpPath);
    m_unpackOk = areaKept && check.ok && confined.ok;
}

// A name listed in the area that leads to nothing: its bytes are no valid
// UTF-8 (the listing shows replacement characters), so the engine cannot
// name it in a command or a registry.
bool EZXPkgInstall::isNameable(const QString& folder, const QString& name)
{
    return phoneExists(folder + QLatin1Char('/') + name);
}

bool EZXPkgInstall::getPKGPathFromInstallTmpPath()
{
    // The package folders, without "." and "..": a name such as "-x" or "!x"
    // sorts before "." and must not shift ".." into the first place. A link
    // is never a package folder.
    const QStringList dirs = phoneEntryList(installTmpPath,
                                            QDir::Dirs | QDir::NoSymLinks | QDir::NoDotAndDotDot,
                                            QDir::Name | QDir::IgnoreCase);
    if (m_unpackOk) {
        for (const QString& dir : dirs) {
            if (isNameable(installTmpPath, dir)) {
                pkgFolder = dir;
                return true;
            }
        }
    }
    clearInstallTmp();
    return false;
}

bool EZXPkgInstall::getPKGDesktopFile()
{
    const QStringList files = phoneEntryList(unpackedFolder(), QDir::Files, QDir::Name);
    for (const QString& name : files) {
        if (name.indexOf(QStringLiteral(".desktop"), 1) > 0 && isNameable(unpackedFolder(), name)) {
            pkgDesktopFile = name;
            return true;
        }
    }
    clearInstallTmp();
    return false;
}

bool EZXPkgInstall::getPKGSoftInfo()
{
    const std::unique_ptr<ZConfig> desktop(
        new ZConfig(unpackedDesktopFile(), false, ZConfig::Utf8OrGb18030));
    if (!desktop->groupExists(QLatin1String(kDesktopGroup)))
        return false;
    softName = desktop->readEntry(QLatin1String(kDesktopGroup), QStringLiteral("Name"), QString());
    return !softName.isNull();
}

bool EZXPkgInstall::copyPKGFolderFromInstallTmpPath()
{
    const QString base = downLoadPath + QLatin1Char('/') + pkgFolder;
    QString destination = base;
    // phoneExists, not only phoneIsDir: a plain file or a link at the
    // candidate would make cp write into or beside something else.
    for (int n = 0; phoneExists(destination); ++n)
        destination = base + QString::number(n);
    if (!holdWriter()) {
        clearInstallTmp();
        return false;
    }
    // The journal names the folder before it exists: whoever takes the lock
    // after a kill or a power cut removes it unless its record was written.
    PkgJournal journal;
    journal.operation = PkgJournal::Install;
    journal.directory = destination;
    m_journalFailed = !journal.write();
    if (m_journalFailed) {
        clearInstallTmp();
        return false;
    }
    m_installOpen = true;
    softDirectory = destination;
    pkgCrashPoint("install-journal");
    const qint64 freeBefore = phoneFreeBytes(downLoadPath);
    const int status = runShellCommand(QStringLiteral("cp -rf ") + shellPath(unpackedFolder())
                                       + QLatin1Char(' ') + shellPath(destination));
    pkgCrashPoint("install-copied");
    // The files reach the card before any record points at them. The
    // unpacked files are of no use once copied: removed before the flush,
    // they are never written to the card at all (half the writes, and far
    // cheaper to remove), and the record is read from the copy.
    const bool copied = shellSucceeded(status) && phoneIsDir(destination);
    if (copied)
        clearInstallTmp();
    if (copied && phoneFlushTree(destination)) {
        pkgCrashPoint("install-flushed");
        return true;
    }
    // A copy cut short (a full card) leaves a folder with part of the
    // application in it; it was made just now under a free name, so it goes.
    undoInstall();
    if (freeBefore >= 0 && m_unpackedBytes > freeBefore) {
        m_spaceNeeded = m_unpackedBytes;
        m_spaceFree = freeBefore;
    }
    clearInstallTmp();
    return false;
}

bool EZXPkgInstall::regSoftInfo_InstallDB()
{
    // The copy step empties the install area once the folder is copied; the
    // installed copy holds the same desktop file.
    const QString desktopFile = phoneExists(unpackedDesktopFile()) || softDirectory.isEmpty()
                                    ? unpackedDesktopFile()
                                    : softDirectory + QLatin1Char('/') + pkgDesktopFile;
    const std::unique_ptr<ZConfig> desktop(new ZConfig(desktopFile, false, ZConfig::Utf8OrGb18030));
    const QString group = QLatin1String(kDesktopGroup);
    if (!desktop->groupExists(group)) {
        clearInstallTmp();
        return false;
    }
    auto fromDesktop = [&](const char* key) {
        return desktop->readEntry(group, QLatin1String(key), QString());
    };
    // The whole record in the registry's key order, written as one change:
    // the card registry then holds either all of it or none of it, even when
    // the card fills up while it is saved.
    ZConfig::Entries record;
    for (const char* key : {"BigIcon", "Exec", "Icon", "Name", "OsVersion", "Shared", "Comment"})
        record.append({QLatin1String(key), fromDesktop(key)});
    record.append({QStringLiteral("AppID"), QLatin1Char('{') + softUID + QLatin1Char('}')});
    record.append({QStringLiteral("Directory"), softDirectory});
    record.append({QStringLiteral("InstalledDate"), QDate::currentDate().toString(Qt::TextDate)});
    static const char* const fixed[][2] = {
        {"AniIcon", ""},          {"Args", ""},          {"Attribute", "2"},
        {"Daemon", "0"},          {"Eraseable", "1"},    {"FixedAllPosition", "0"},
        {"FixedPosition", "0"},   {"GroupID", "ezx"},    {"JavaId", "-1"},
        {"MassStorageStatus", "0"}, {"MpkgFile", ""},    {"Type", "2"},
        {"UserID", "ezx"},        {"Visible", "1"},      {"Size", ""},
    };
    for (const auto& entry : fixed)
        record.append({QLatin1String(entry[0]), QLatin1String(entry[1])});

    std::unique_ptr<ZConfig> registry(new ZConfig(installDBFile, false));
    if (!registry->writeEntries(softUID, record) || !registry->flush()) {
        // The store would save the refused record when it is closed; it
        // must not appear later behind the caller's back.
        registry->removeGroup(softUID);
        registry.reset();
        // Without its record the copied folder is an orphan: it goes.
        if (m_installOpen)
            undoInstall();
        clearInstallTmp();
        return false;
    }
    pkgCrashPoint("install-registered");
    return true;
}

bool EZXPkgInstall::regSoftInfo_Menu()
{
    if (softUID.trimmed().isEmpty())
        return false;
    if (!addToMenuFolders(softUID)) {
        // A record without its menu entries is half an install: the record
        // and the folder go again.
        if (m_installOpen)
            undoInstall();
        return false;
    }
    pkgCrashPoint("install-menu");
    // The record and its menu entries are in place: the install is committed.
    if (m_installOpen) {
        PkgJournal::clear();
        m_installOpen = false;
    }
    return true;
}

namespace {

// Every registry that holds application records.
const char* const kRecordRegistries[] = {
    phonefile::kInstalledDB, phonefile::kUserRegistry, phonefile::kAutorunRegistry,
    phonefile::kCardRegistry, phonefile::kPreloadRegistry,
};

// The platform's other registries and settings.
const char* const kSettingsFiles[] = {
    phonefile::kUserMenuTree, phonefile::kSystemSettings, kServiceNamePath,
};

} // namespace

QStringList EZXPkgInstall::recordRegistries()
{
    QStringList files;
    for (const char* file : kRecordRegistries)
        files << QLatin1String(file);
    return files;
}

namespace {

bool strictlyInside(const QString& path, const QString& folder)
{
    return path.startsWith(folder + QLatin1Char('/'));
}

// Where a path leads, or its cleaned text when nothing is there.
QString realOrClean(const QString& path)
{
    const QString clean = phoneCleanPath(path);
    const QString real = phoneRealPath(clean);
    return real.isNull() ? clean : real;
}

} // namespace

bool EZXPkgInstall::isUnsafeDirectory(const QString& directory, const QString& ownUid)
{
    if (directory.isEmpty() || !directory.startsWith(QLatin1Char('/')))
        return true;
    if (directory.split(QLatin1Char('/')).contains(QStringLiteral("..")))
        return true;
    const QString clean = phoneCleanPath(directory);
    if (!phoneIsApplicationFolderPath(clean) || !phoneIsDir(clean) || phoneIsSymLink(clean))
        return true;
    // Links on the way may lead anywhere: what the path really names must
    // pass the same test (and lie inside the phone).
    const QString real = phoneRealPath(clean);
    if (real.isNull() || !phoneIsApplicationFolderPath(real))
        return true;
    for (const char* file : kSettingsFiles) {
        const QString where = realOrClean(QLatin1String(file));
        if (where == real || strictlyInside(where, real))
            return true;
    }
    for (const char* file : kRecordRegistries) {
        const QString registry = realOrClean(QLatin1String(file));
        if (registry == real || strictlyInside(registry, real))
            return true;
        const std::unique_ptr<ZConfig> records(new ZConfig(QLatin1String(file), false));
        QStringList groups;
        records->getGroupsKeyList(groups);
        for (const QString& group : groups) {
            if (group == ownUid)
                continue;
            const QString other = records->readEntry(group, QStringLiteral("Directory"), QString());
            if (!other.startsWith(QLatin1Char('/')))
                continue;
            const QString where = realOrClean(other);
            if (where == real || strictlyInside(where, real))
                return true;
        }
    }
    return false;
}

int EZXPkgInstall::unInstallSoft(const QString& uid)
{
    trace(uid);
    // An empty or blank UID names no application: removing it from the menu
    // lists would join their neighbours.
    if (uid.trimmed().isEmpty())
        return 0;
    const PkgWriter writer;
    if (!writer.held())
        return 0;

    std::unique_ptr<ZConfig> registry(new ZConfig(installedDBFile(), false));
    trace(installedDBFile());
    if (!registry->groupExists(uid)) {
        registry.reset(new ZConfig(installDBFile, false));
        trace(installDBFile);
        if (!registry->groupExists(uid))
            return 0;
    }
    const QString registryPath = registry->path();
    const QString directory = registry->readEntry(uid, QStringLiteral("Directory"), QString());
    registry.reset();
    // A registry that cannot be rewritten keeps its record: nothing else
    // may go either.
    if (!phoneCanReplaceFile(registryPath))
        return 0;
    // A record naming no folder of its own must not wipe what others keep
    // there (its own record aside, which is about to go).
    const bool removable = !isUnsafeDirectory(directory, uid);
    if (!removable)
        trace(QStringLiteral("Directory not removed: \"") + directory + QLatin1Char('"'));

    PkgJournal journal;
    journal.operation = PkgJournal::Uninstall;
    journal.uid = uid;
    journal.registry = registryPath;
    if (removable)
        journal.directory = phoneRealPath(phoneCleanPath(directory));
    m_journalFailed = !journal.write();
    if (m_journalFailed)
        return 0;
    pkgCrashPoint("uninstall-journal");
    // From here the uninstall is finished by whoever takes the lock next,
    // should this one be cut short. The folder goes first: on a full card
    // the registry can only be saved once its room is free.
    if (removable)
        runShellCommand(QStringLiteral("rm -rf ") + shellPath(journal.directory));
    pkgCrashPoint("uninstall-folder");
    registry.reset(new ZConfig(registryPath, false));
    if (!registry->removeGroup(uid))
        return 0;
    registry.reset();
    pkgCrashPoint("uninstall-record");

    trace(userMenuTreeFile());
    removeFromMenusAndAutorun(uid);
    pkgCrashPoint("uninstall-menu");
    PkgJournal::clear();
    return 1;
}

InstallStep EZXPkgInstall::runInstall(const std::function<bool()>& confirm,
                                      const std::function<QString()>& makeUid)
{
    if (!checkPKGFile())
        return InstallStep::CheckPackage;
    if (!checkInstallTmpPath())
        return InstallStep::InstallArea;
    if (!checkInstallDB())
        return InstallStep::CardRegistry;
    // A failed unpack shows in the next step: no package folder is found.
    exPKGInstallTmp();
    if (!getPKGPathFromInstallTmpPath())
        return InstallStep::FindFolder;
    if (!getPKGDesktopFile())
        return InstallStep::DesktopFile;
    if (!getPKGSoftInfo())
        return InstallStep::SoftInfo;
    if (confirm && !confirm()) {
        clearInstallTmp();
        return InstallStep::Declined;
    }
    if (!copyPKGFolderFromInstallTmpPath())
        return InstallStep::Copy;
    softUID = makeUid();
    if (!regSoftInfo_InstallDB())
        return InstallStep::Register;
    if (!regSoftInfo_Menu())
        return InstallStep::Menu;
    clearInstallTmp();
    return InstallStep::Done;
}

void EZXPkgInstall::clearInstallTmp()
{
    // Everything goes, dot-files and folders without write permission
    // included, however many entries there are.
    phoneEmptyFolder(installTmpPath);
}
