#pragma once
// Phone paths and the host file system.
//
// Program code names files by the phone's own absolute paths ("/mmc/mmca1/...",
// "/ezx_user/...", "/usr/data_resource/..."). These functions are the one place
// that turns such a path into a path on the host: with EZX_ROOT set, a path in
// one of the phone's trees is looked up under EZX_ROOT; every other path, and
// every path when EZX_ROOT is unset (as on the phone), is used as given.

#include <QDir>
#include <QString>
#include <QStringList>

// The host path of a phone path. EZX_ROOT is read on every call, so a test may
// change it between calls. A mapped path is cleaned first (a trailing slash
// kept), so that ".." can never climb out of EZX_ROOT.
QString phoneHostPath(const QString& phonePath);

// True when EZX_ROOT names a phone root (a desktop standing in for the phone).
bool phoneRootSet();

// True when the path lies in one of the phone's own trees.
bool isPhoneTreePath(const QString& phonePath);

// True for the roots of the phone's trees and the card ("/mmc", "/mmc/mmca1",
// "/ezx_user", "/usr/data_resource", "/usr", "/"), after cleaning the path.
bool isPhoneTreeRoot(const QString& phonePath);

// The phone path that `phonePath` names once every link on the way is
// followed: the cleaned path of the existing entry it leads to. A null
// string when nothing is there, or when it leads out of the phone's trees
// (out of EZX_ROOT when that is set).
QString phoneRealPath(const QString& phonePath);

// `phonePath` with ".", "..", repeated and trailing slashes resolved as the
// system resolves them, without looking at the file system.
QString phoneCleanPath(const QString& phonePath);

bool phoneExists(const QString& phonePath);   // anything at the path (no link followed at the end)
bool phoneIsDir(const QString& phonePath);
bool phoneIsSymLink(const QString& phonePath);   // the entry itself is a symbolic link
bool phoneIsFile(const QString& phonePath);

// Names (not paths) of the entries of a folder, as QDir::entryList gives them.
QStringList phoneEntryList(const QString& phoneDir, QDir::Filters filters,
                           QDir::SortFlags sort = QDir::NoSort);

// Creates an empty file when none exists; true when a file exists afterwards.
bool phoneTouchFile(const QString& phonePath);

// True when the cleaned phone path lies strictly inside one of the places
// where applications live ("/mmc/mmca1/.system", "/ezx_user/apps",
// "/usr/data_resource/preloadapps") and is none of the folders they share
// (the card's "QTDownLoad", its install area "installtmp", "java"): the
// place of one application's own folder, or something inside one.
bool phoneIsApplicationFolderPath(const QString& phonePath);

// The application's own folder that `directory` names once every link on
// the way is followed, as a phone path; null when it is none (missing, not
// a folder, outside the places applications live, out of the phone).
QString phoneApplicationFolder(const QString& directory);
