#pragma once
// What a package archive holds, read without unpacking it.
//
// A package is a gzip-compressed tar archive that the shell's tar unpacks.
// tar's exit status says little about the result: GNU tar answers 2 for a
// whole archive followed by a few bytes of padding, and on a card that cannot
// hold links; BusyBox tar quietly skips links it deems unsafe. So the unpack
// is judged by the tree it leaves, against this listing of the archive.

#include <QByteArray>
#include <QString>

#include <vector>

struct PhoneArchiveMember
{
    enum Kind { File, HardLink, SymLink, Directory, Special, Other };

    // The path as tar unpacks it: relative, without empty or "." components
    // (a leading "/" is dropped, as tar drops it). Bytes, as the archive
    // holds them; they need not be UTF-8.
    QByteArray path;
    Kind kind = File;
    QByteArray linkTarget;   // a hard link's member path (normalised as `path`)
    qint64 size = -1;        // a plain file's size (a sparse file's real size); -1 when unknown
    // A sparse file (GNU tar's --sparse): the archive holds only its data
    // blocks and a map of them, which a tar that knows no sparse form
    // unpacks as they are.
    bool sparse = false;
    // The name a sparse member is stored under when that is not its path
    // (GNU tar's pax forms use "<folder>/GNUSparseFile.<n>/<name>"): where
    // such a tar writes the stored data. Normalised as `path`; empty otherwise.
    QByteArray storedPath;
    // The member names a place outside the unpack folder (a ".." component,
    // in its path, its stored path or a hard link's target) or replaces the
    // folder itself with something that is no folder.
    bool unsafe = false;
};

struct PhoneArchiveListing
{
    // Every gzip member up to the last one decompressed with a valid
    // checksum, and every tar member read whole. Bytes after the last gzip
    // member (padding left by some tools and transfers) are ignored.
    bool complete = false;
    QString error;                            // why the archive is not complete
    std::vector<PhoneArchiveMember> members;  // archive order; a later member of
                                              // the same path replaces the earlier
};

// Lists the archive at `path` (a phone path, mapped as everywhere, or a path
// of the host used as given).
PhoneArchiveListing phoneArchiveListing(const QString& path);
