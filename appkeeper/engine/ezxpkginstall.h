#pragma once
// EZXPkgInstall: the package engine of the software manager.
//
// One object serves one install (or one uninstall). The install dialog runs
// the steps in this order, stopping at the first false result:
//   checkPKGFile, checkInstallTmpPath, checkInstallDB, exPKGInstallTmp,
//   getPKGPathFromInstallTmpPath, getPKGDesktopFile, getPKGSoftInfo,
//   (user confirmation), copyPKGFolderFromInstallTmpPath, (softUID = CreateUID()),
//   regSoftInfo_InstallDB, regSoftInfo_Menu, clearInstallTmp.
// The engine shows nothing and asks nothing. All paths are phone paths; the
// platform layer maps them to the host and runs the shell commands.

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class PkgWriter;

// The steps of an install, numbered in the install dialog's order (its
// messages follow the same order); Done when every step ran through.
enum class InstallStep {
    Done = 0,
    CheckPackage = 1,
    InstallArea = 2,
    CardRegistry = 3,
    FindFolder = 5,     // after the unpack: no package folder (or no room)
    DesktopFile = 6,
    SoftInfo = 7,
    Declined = 8,       // the confirmation was answered no; the area is emptied
    Copy = 9,
    Register = 11,
    Menu = 12,
};

class EZXPkgInstall
{
public:
    explicit EZXPkgInstall(const QString& pkgFile);
    // An install copied but never registered is undone here: its folder goes.
    ~EZXPkgInstall();
    EZXPkgInstall(const EZXPkgInstall&) = delete;
    EZXPkgInstall& operator=(const EZXPkgInstall&) = delete;

    QString pkgFile;          // path of the package file (null for an uninstall)
    QString softName;         // desktop key "Name"
    QString softUID;          // set by the caller before registration
    QString installTmpPath;   // the install area
    QString downLoadPath;     // parent of every installed application folder
    QString pkgFolder;        // name of the package folder in the install area
    QString pkgDesktopFile;   // name of the desktop file in the package folder
    QString softDirectory;    // full path of the installed copy
    QString installDBFile;    // the card registry

    bool checkPKGFile();
    bool checkInstallTmpPath();
    bool checkInstallDB();
    void exPKGInstallTmp();
    bool getPKGPathFromInstallTmpPath();
    bool getPKGDesktopFile();
    bool getPKGSoftInfo();
    bool copyPKGFolderFromInstallTmpPath();
    bool regSoftInfo_InstallDB();
    bool regSoftInfo_Menu();
    int unInstallSoft(const QString& uid);
    void clearInstallTmp();

    // The whole install in its order: check, area, registry, unpack, folder,
    // desktop file, details, confirmation (`confirm`, asked once the name is
    // known; none: yes), copy, a UID from `makeUid`, record, menu, area
    // emptied. Returns the step that failed, or Done. The caller holds the
    // writer lock.
    InstallStep runInstall(const std::function<bool()>& confirm,
                           const std::function<QString()>& makeUid);

    // Whether the last exPKGInstallTmp unpacked the whole archive and left a
    // tree fit to install (false before any unpack).
    bool unpackSucceeded() const { return m_unpackOk; }

    // Set when the last unpack or copy was refused or failed for want of
    // room on the card: the bytes it needs (the unpack and its copy stand
    // on the card together) and the bytes the card had free.
    bool lacksSpace() const { return m_spaceNeeded > 0; }
    qint64 spaceNeeded() const { return m_spaceNeeded; }
    qint64 spaceFree() const { return m_spaceFree; }

    // Sparse files of the package that the tar in use could not unpack.
    QStringList sparseNotUnpacked() const { return m_sparseNotUnpacked; }

    // True when the last uninstall or copy failed because its journal could
    // not be written in phone memory.
    bool journalFailed() const { return m_journalFailed; }

    // The two menu folders every new application is added to, in this order.
    static const char* const kMenuFolderA;
    static const char* const kMenuFolderB;
    static QString userMenuTreeFile();   // "/ezx_user/download/appwrite/am/UserMenuTree"
    static QString installedDBFile();    // "/ezx_user/download/appwrite/am/InstalledDB"
    static QString cardRegistryFile();   // "/mmc/mmca1/.system/java/CardRegistry"
    static QString downLoadFolder();     // "/mmc/mmca1/.system/QTDownLoad"
    static QString installAreaFolder();  // "/mmc/mmca1/.system/QTDownLoad/installtmp"
    // Every registry that holds application records.
    static QStringList recordRegistries();

    // True when an uninstall must not delete the folder `directory`. Only an
    // application's own folder may go: a real folder (not a link, not a
    // file), inside one of the places applications live (the card's
    // ".system", "/ezx_user/apps", "/usr/data_resource/preloadapps") and
    // none of the folders they share, before and after every link on the
    // way is followed (and inside EZX_ROOT when set), holding no registry,
    // and neither the folder of another record in any registry nor a parent
    // of one (records of `ownUid` aside). Empty, relative and ".." paths
    // never qualify.
    static bool isUnsafeDirectory(const QString& directory, const QString& ownUid = QString());

private:
    QString unpackedFolder() const;
    QString unpackedDesktopFile() const;
    static bool isNameable(const QString& folder, const QString& name);
    bool holdWriter();
    void undoInstall();

    bool m_unpackOk = false;
    std::unique_ptr<PkgWriter> m_writer;
    bool m_journalFailed = false;
    bool m_installOpen = false;   // copied under a journal, not yet committed
    qint64 m_unpackedBytes = -1;  // what the unpacked package takes on the card
    qint64 m_spaceNeeded = -1;
    qint64 m_spaceFree = -1;
    QStringList m_sparseNotUnpacked;
};
