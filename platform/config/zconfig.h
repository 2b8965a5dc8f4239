#pragma once
// ZConfig: the platform's INI configuration store.
//
// A file holds groups ("[name]") of "key = value" lines in UTF-8. The path is a
// phone path and goes through phoneHostPath(). Reading accepts what people and
// the platform write (comments, blank lines, CRLF, a byte order mark, blanks
// around '=', duplicate keys and groups); writing keeps every line a call does
// not name, in place, and escapes values, keys and group names so that none
// can add or break a line. Saves are atomic (temporary file beside it, then
// rename). What was written is in the file once the object is destroyed.
//
// The first change through an object is saved at once, so that its result
// tells whether the file can be written; later changes are saved by flush()
// or by the destructor, or at once when the file system has no room left for
// the new file (so that no change answered true is lost). Only regular files
// are read: a FIFO, device or folder in its place reads as unreadable. A
// file that exists but cannot be read is never overwritten (every write
// answers false), and so is a file larger than kLargestFile; with EZX_ROOT
// set, a file that is a link out of the phone
// is never written. A save made after another writer changed the file makes
// this object's changes on the newer version.
// The parser itself is ZConfigDocument (zconfig_document.h).

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class ZConfigData;

class ZConfig
{
public:
    // How the file's bytes are read. Utf8OrGb18030 reads a file that is not
    // valid UTF-8 as GB18030 (a superset of GB2312), as desktop files made
    // on Chinese systems often are; such a file is saved in UTF-8.
    enum Encoding { Utf8, Utf8OrGb18030 };

    // `flag` is the platform's own and not used here (the programs pass false).
    explicit ZConfig(const QString& path, bool flag = false, Encoding encoding = Utf8);
    virtual ~ZConfig();

    ZConfig(const ZConfig&) = delete;
    ZConfig& operator=(const ZConfig&) = delete;

    // The stored text, or `defaultValue` when the group or the key is absent.
    // A key stored with an empty value reads as an empty (not null) string.
    QString readEntry(const QString& group, const QString& key,
                      const QString& defaultValue = QString()) const;

    // Stores the value, creating group and key when absent; false when the
    // file cannot be written. A null value is stored as an empty one.
    bool writeEntry(const QString& group, const QString& key, const QString& value);
    bool writeEntry(const QString& group, const QString& key, const char* value);

    // Stores several keys of one group (in this order) as one change: when it
    // is the first change, the file holds either none of them or all of them.
    using Entries = QList<QPair<QString, QString>>;
    bool writeEntries(const QString& group, const Entries& entries);
    // The same for keys of several groups (in this order), as one change.
    using GroupEntries = QList<QPair<QString, Entries>>;
    bool writeGroups(const GroupEntries& groups);

    bool groupExists(const QString& group) const;

    // Fills `list` with the names of all groups, in file order (replacing what it held).
    void getGroupsKeyList(QStringList& list) const;

    // Removes the group and all its keys; false when the file cannot be written.
    virtual bool removeGroup(const QString& group);

    // Writes pending changes now; false when the file cannot be written.
    bool flush();

    // The phone path this object was opened on.
    QString path() const;

    // False when the file exists but could not be read: not a regular file,
    // unreadable, or larger than kLargestFile. It then reads as empty and is
    // never written.
    bool readable() const;
    // 8 MB: a registry of 10,000 applications takes about 1.4 MB.
    static constexpr qint64 kLargestFile = qint64(8) << 20;

private:
    ZConfigData* d;
};
