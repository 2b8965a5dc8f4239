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
// - an entry not owned by the effective user is removed with all it holds;
// - set-user-ID and set-group-ID bits are cleared.
// Top-level plain files are kept (mended as above). `ok` is false when an
// entry could not be examined or removed (for instance a path too long for
// the system), in which case the tree must not be trusted.
PhoneConfineResult phoneConfineTree(const QString& phoneDir);
