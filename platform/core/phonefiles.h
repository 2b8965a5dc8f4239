#pragma once
// The phone's own files and folders, by the names the rest of the code uses.
// These are phone paths: phoneHostPath() maps them under EZX_ROOT.

namespace phonefile {

// Folders.
inline constexpr char kAmFolder[] = "/ezx_user/download/appwrite/am";
inline constexpr char kSetupFolder[] = "/ezx_user/download/appwrite/setup";
inline constexpr char kCardSystemFolder[] = "/mmc/mmca1/.system";
inline constexpr char kCardDownLoadFolder[] = "/mmc/mmca1/.system/QTDownLoad";
inline constexpr char kInstallArea[] = "/mmc/mmca1/.system/QTDownLoad/installtmp";
inline constexpr char kCardJavaFolder[] = "/mmc/mmca1/.system/java";
inline constexpr char kUserAppsFolder[] = "/ezx_user/apps";
inline constexpr char kPreloadAppsFolder[] = "/usr/data_resource/preloadapps";

// Registries of application records.
inline constexpr char kInstalledDB[] = "/ezx_user/download/appwrite/am/InstalledDB";
inline constexpr char kUserRegistry[] = "/ezx_user/download/appwrite/am/UserRegistry";
inline constexpr char kCardRegistry[] = "/mmc/mmca1/.system/java/CardRegistry";
// The preloaded applications' records ("SysRegistry").
inline constexpr char kPreloadRegistry[] = "/usr/data_resource/preloadapps/SysRegistry";

// The main menu's folders.
inline constexpr char kUserMenuTree[] = "/ezx_user/download/appwrite/am/UserMenuTree";

// The system settings (the phone's language among them).
inline constexpr char kSystemSettings[] = "/ezx_user/download/appwrite/setup/ezx_system.cfg";
// The system registry: the start-at-boot list ("ezx_sysregistry.cfg").
inline constexpr char kAutorunRegistry[] = "/ezx_user/download/appwrite/setup/ezx_sysregistry.cfg";

} // namespace phonefile
