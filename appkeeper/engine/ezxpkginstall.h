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

class EZXPkgInstall
{
public:
    explicit EZXPkgInstall(const QString& pkgFile);

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

    // Whether the last exPKGInstallTmp unpacked the whole archive and left a
    // tree fit to install (false before any unpack).
    bool unpackSucceeded() const { return m_unpackOk; }

    // The two menu folders every new application is added to, in this order.
    static const char* const kMenuFolderA;
    static const char* const kMenuFolderB;
    static QString userMenuTreeFile();   // "/ezx_user/download/appwrite/am/UserMenuTree"
    static QString installedDBFile();    // "/ezx_user/download/appwrite/am/InstalledDB"

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

    bool m_unpackOk = false;
};
