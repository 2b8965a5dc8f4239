#pragma once
// The main menu as the application manager builds it from the phone's files.
//
// The menu tree "/ezx_user/download/appwrite/am/UserMenuTree" holds one group
// per folder: "Name" and "Items", the UIDs of the folder's applications
// separated by ";". Each UID names the group of an application record in one
// of the registries, looked up in this order: InstalledDB, the user registry,
// the system registry, the card registry (whose records, written by others,
// never take a phone application's UID). Only the keys the menu needs are
// read. Everything is read through ZConfig, which reads only regular files:
// a missing, unreadable or FIFO registry reads as empty.
//
// What cannot be shown is left out, and said on the warnings list: unknown
// UIDs, repeated ones in one folder, empty items, records without "Name",
// "Exec" or "Directory", a "Directory" that is not an application's own folder
// (strictly inside a place where applications live, through every link), an
// "Exec" that is absolute, climbs with "..", or leads out of its folder.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

struct AmApplication
{
    QString uid;
    QString name;
    QString exec;        // relative to directory
    QString icon;        // relative to directory; may be empty
    QString directory;   // phone path
    QString args;
    QString javaId;
    QString registry;    // phone path of the registry the record came from

    // A Java application: "JavaId" neither "-1" nor empty.
    bool isJava() const;
    // Phone paths of the program and of the icon (null when no icon).
    QString execPath() const;
    QString iconPath() const;
};

struct AmFolder
{
    QString uid;
    QString name;
    QList<AmApplication> applications;
};

struct AmMenu
{
    QList<AmFolder> folders;
    QStringList warnings;
    int applicationCount() const;
};

// The registries the menu's records are read from, in lookup order.
namespace ampaths {
QStringList registries();
} // namespace ampaths

// Reads the menu tree and the registries now.
AmMenu loadAmMenu();

// The records of all registries by UID, first one wins (lookup order).
class AmRecords
{
public:
    AmRecords();   // reads the registries
    // The record for `uid`; false (with `why` set) when there is none or it
    // cannot be shown.
    bool find(const QString& uid, AmApplication* app, QString* why) const;
    // What was left out while reading: registries that cannot be read, card
    // records that reuse a phone UID.
    QStringList warnings() const { return m_warnings; }

private:
    QHash<QString, AmApplication> m_records;
    QStringList m_warnings;
};

// The UIDs of a ";"-separated list: blanks trimmed, empty items dropped,
// repeats dropped (the first kept).
QStringList splitUidList(const QString& items);

// The text `am --list` prints: each folder's name on a line, then each of its
// applications as two blanks, the UID, two blanks and the name. Control
// characters in names are shown as blanks, so that one entry is one line.
QString formatAmMenu(const AmMenu& menu);

// The start-at-boot list: the UIDs of group "AutoRun", key "Apps" of the
// system settings, in order.
QStringList bootApplications();
