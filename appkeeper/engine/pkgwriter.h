#pragma once
// One writer at a time, and old state or new state after any interruption.
//
// Every change of the registries, the menu tree, the start-at-boot list or
// an application folder is made under PkgWriter, which holds the phone's
// writer lock (phonewriter.h). An install or uninstall first writes a small
// journal of what it is about to do; the first writer of a process, once it
// has the lock, finishes or undoes what an earlier writer left (killed, or
// cut off by a power cut):
// - an install whose record was written (its folder was flushed before) gets
//   its menu entries; one without a record loses its copied folder;
// - an uninstall is finished: folder, record, menu entries, start-at-boot
//   entry.
// The install area, scratch space of one install, is emptied.

#include "phonewriter.h"
#include "pkgtexts.h"

#include <QString>
#include <QStringList>

#include <memory>

class PkgWriter
{
public:
    // Waits for the lock as PhoneWriterLock does (-1: the default wait).
    explicit PkgWriter(int waitMs = -1);
    ~PkgWriter();

    bool held() const { return m_lock.held(); }
    bool busy() const { return m_lock.busy(); }
    // The message for a writer that did not get the lock.
    PkgText refusal() const { return busy() ? PkgText::WriterBusy : PkgText::WriterUnavailable; }

private:
    PhoneWriterLock m_lock;
};

// The journal of the one operation in flight, in phone memory.
struct PkgJournal
{
    enum Operation { None, Install, Uninstall };
    Operation operation = None;
    QString directory;   // install: the folder being copied; uninstall: the folder to remove
    QString uid;         // uninstall: the record's UID
    QString registry;    // uninstall: the registry holding the record

    static QString path();   // "/ezx_user/download/appwrite/am/.writer.journal"
    // The journal on disk (operation None when there is none or it is unreadable).
    static PkgJournal read();
    // Writes it durably; false when phone memory cannot hold it.
    bool write() const;
    // Removes it durably: the operation is complete.
    static bool clear();
};

// Finishes or undoes what the journal names, and empties the install area.
// Runs under the lock. False when the work could not be finished (for
// instance the memory card is not there): the journal then stays.
bool recoverInterruptedWork();

// The menu folders' lists with the UID appended where it is not already an
// entry (both folders new applications join), saved as one change.
bool addToMenuFolders(const QString& uid);

// Every menu folder's list without the UID as a whole entry; the
// start-at-boot list as well. Saved once per file; false when a file that
// held the UID could not be written.
bool removeFromMenusAndAutorun(const QString& uid);

// A test hook: when the environment names this point in EZX_CRASH_AT, the
// process kills itself here with SIGKILL, as a pulled battery would stop it.
void pkgCrashPoint(const char* point);

// What `ezxpkg check` reports and `ezxpkg repair` removes.
struct PkgProblems
{
    QStringList foldersWithoutRecord;   // phone paths under the card's application folder
    struct Record { QString uid; QString registry; QString directory; };
    QList<Record> recordsWithoutFolder; // records whose folder is gone
    QStringList menuEntriesWithoutRecord;   // UIDs
    bool cardPresent = true;            // false: card records were not examined
    bool empty() const
    {
        return foldersWithoutRecord.isEmpty() && recordsWithoutFolder.isEmpty()
               && menuEntriesWithoutRecord.isEmpty();
    }
};
PkgProblems findProblems();
// Removes what findProblems() reports (folders only inside the places
// applications live). True when everything went.
bool repairProblems(const PkgProblems& problems);
