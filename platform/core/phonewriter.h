#pragma once
// What a writer of the phone's registries and application folders needs to
// survive a second writer, a pulled battery and a full card: one lock for all
// writers (a file "/ezx_user/download/appwrite/am/.writer.lock"), removals
// that survive a power cut, data flushed before the record that points at
// it, and the free space of a file system.

#include <QString>

// The lock every writer of the registries, the menu tree and the application
// folders takes. It is a file in phone memory locked with flock(), so the
// kernel releases it when its holder dies, however it dies. Within one
// process the lock is shared: a second PhoneWriterLock while one is held
// takes nothing and waits for nothing.
class PhoneWriterLock
{
public:
    // Waits at most `waitMs` for another process to release the lock (by
    // default EZX_WRITER_WAIT seconds when set, else 10 s).
    explicit PhoneWriterLock(int waitMs = -1);
    ~PhoneWriterLock();
    PhoneWriterLock(const PhoneWriterLock&) = delete;
    PhoneWriterLock& operator=(const PhoneWriterLock&) = delete;

    bool held() const { return m_held; }
    // True when another process held the lock for the whole wait (as
    // opposed to a lock file that could not be opened at all).
    bool busy() const { return m_busy; }
    // True when this object took the lock from nobody in this process: the
    // first writer of a process, which looks after what an earlier one left.
    bool first() const { return m_first; }

private:
    bool m_held = false;
    bool m_busy = false;
    bool m_first = false;
};

// Removes the file and flushes its folder, so that the removal survives a
// power cut. True when no file is there afterwards.
bool phoneRemoveFileDurably(const QString& phonePath);

// Flushes everything written below the phone path to its storage: once for
// the whole file system where the system allows it (syncfs), otherwise file
// by file and folder by folder. True when the flush succeeded.
bool phoneFlushTree(const QString& phonePath);

// The bytes an ordinary user may still write on the file system holding the
// phone path (or its nearest existing parent); -1 when that cannot be told.
qint64 phoneFreeBytes(const QString& phonePath);

// The allocation unit of that file system (its fragment size); 4096 when it
// cannot be told.
qint64 phoneBlockBytes(const QString& phonePath);

// True when the file at the phone path could be replaced by a writer (its
// folder and, when it exists, the file itself are writable).
bool phoneCanReplaceFile(const QString& phonePath);
