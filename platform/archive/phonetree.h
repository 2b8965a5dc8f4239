#pragma once
// Confining an unpacked tree to itself.
//
// An archive unpacked by the shell's tar may leave what an installed
// application must never carry: symbolic links that lead out of their folder
// (or nowhere), device nodes, FIFOs and sockets, set-user-ID or set-group-ID
// files, entries owned by another user. phoneConfineTree() walks a folder
// without following any link and removes or mends those entries, so that
// each top-level folder of it can be copied elsewhere as a self-contained
// whole.

#include <QString>
#include <QStringList>

struct PhoneConfineResult
{
    bool ok = true;            // false when the walk could not look at every entry
    QStringList removed;       // host paths removed (links, special files, foreign entries)
    QStringList modesCleared;  // host paths whose set-ID bits were cleared
};

// Walks the folder at the phone path `phoneDir` (mapped with phoneHostPath):
// - a top-level symbolic link, device node, FIFO or socket is removed;
// - below a top-level folder, the same kinds are removed, except symbolic
//   links with a relative target whose whole resolution exists and stays
//   inside that top-level folder;
// - an entry owned neither by the effective user nor by the owner of the
//   walked folder is removed with all it holds;
// - a folder its owner cannot read, write or search is made so (when the
//   file system keeps modes), so that it can be walked and removed later;
// - set-user-ID and set-group-ID bits are cleared.
// Top-level plain files are kept (mended as above). The walk goes folder by
// folder, so a tree nested deeper than the longest path the system takes is
// walked whole. `ok` is false when an entry could not be examined or removed
// (for instance a folder that cannot be read), in which case the tree must
// not be trusted.
PhoneConfineResult phoneConfineTree(const QString& phoneDir);

// Removes everything inside the folder at the phone path, names beginning
// with a dot included, never following a link, making folders without write
// permission writable first. Names are handled as bytes, whatever their
// encoding. True when the folder exists and is empty afterwards.
bool phoneEmptyFolder(const QString& phoneDir);

// The mode and owner of an entry, to put back what an unpack changed.
struct PhoneFolderState
{
    bool valid = false;
    unsigned mode = 0;
    unsigned uid = 0;
    unsigned gid = 0;
};
PhoneFolderState phoneFolderState(const QString& phoneDir);
// Puts back the mode and owner of `before`; true when they are as before.
bool phoneRestoreFolderState(const QString& phoneDir, const PhoneFolderState& before);

struct PhoneArchiveListing;

// How an unpacked tree compares with the listing of its archive.
struct PhoneUnpackCheck
{
    bool ok = true;            // every member is there as what it is
    QStringList missing;       // member paths not there, or unsafe
    QStringList leftOutLinks;  // symbolic links the unpack left out
    // Sparse files the unpack did not restore (also in `missing`): the tar
    // knows no sparse form, or not this one.
    QStringList sparseNotUnpacked;
};

// Compares the folder at the phone path with the archive's members, never
// following a link: files, folders and hard links must be there as such
// (a hard link the file system could not make is copied from its target);
// a symbolic link may be left out (a FAT card holds none) but nothing else
// may stand in its place; devices and FIFOs are never required. A member
// marked unsafe fails the check. A sparse file must be there at its real
// size, and nothing at the name it is stored under.
PhoneUnpackCheck phoneCheckUnpacked(const QString& phoneDir, const PhoneArchiveListing& listing);

// Makes every folder below the phone path that its owner cannot read, write
// or search usable again (see phoneConfineTree), never following a link.
// Returns how many folders it changed.
int phoneOpenUpFolders(const QString& phoneDir);
