#pragma once
// Folders and files named by their bytes.
//
// A memory card written by another phone or computer holds names in whatever
// encoding that system used (GB2312 on a Chinese phone, Latin-1 on an old
// desktop). QString names decode such bytes lossily, so a file listed that
// way can no longer be opened. These functions keep names as the bytes the
// file system gave, and map a phone path to the host the way phoneHostPath()
// does (EZX_ROOT in front of a path in one of the phone's trees).

#include <QByteArray>
#include <QList>

// The host path of a phone path given as bytes. A path that is valid UTF-8
// goes through phoneHostPath(); any other path in one of the phone's trees
// gets EZX_ROOT in front once its "." and ".." parts are resolved.
QByteArray phoneHostPathRaw(const QByteArray& phonePath);

// Names (bytes, unsorted) of the plain files of a folder: hidden ones
// included, no symbolic links, folders or devices. `readable` (when given)
// tells whether the folder could be read at all.
QList<QByteArray> phoneListFilesRaw(const QByteArray& phoneDir, bool* readable = nullptr);

// Opens a plain file for reading (close-on-exec); a descriptor, or -1.
int phoneOpenReadRaw(const QByteArray& phonePath);

// The current working folder as bytes (empty when it cannot be told).
QByteArray phoneCurrentFolderRaw();
