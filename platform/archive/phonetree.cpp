#include "phonetree.h"

#include "phonearchive.h"
#include "phonepath.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QSet>

#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

// Every walk here works relative to open folders: an entry is reached by its
// name in the folder that holds it (openat, fstatat, unlinkat, readlinkat),
// never by its path from the walked folder. A path lookup costs one step per
// folder on the way; done for every entry of a tree nested a few hundred
// deep, that is tens of thousands of steps, each a request to the file
// system when the card sits behind FUSE. And a package may nest folders
// deeper than any path the system takes whole (PATH_MAX).

namespace {

// A folder to list and to work in.
constexpr int kListFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// A folder only to reach entries in by name: no read permission needed, and
// opening it asks nothing of the file system beyond the lookup.
constexpr int kReachFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// An open descriptor, closed when it goes out of scope.
class Fd
{
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_fd, -1));
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

// The target of the link `name` in the folder open at `dirFd`; empty when
// it cannot be read whole.
QByteArray linkTargetAt(int dirFd, const char* name)
{
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t n = readlinkat(dirFd, name, target.data(), target.size());
    if (n <= 0 || n >= target.size())
        return {};
    target.truncate(n);
    return target;
}

// Makes a folder that an archive left without read, write or search
// permission for its owner usable again, so that it can be walked and
// emptied (an ordinary user cannot otherwise remove what a folder of mode
// 0555 holds). Where the mode cannot be changed (FAT has no modes) the
// folder is left as it is. `name` is relative to the folder open at `dirFd`
// (AT_FDCWD for a path). True when the mode was changed.
bool makeUsableAt(int dirFd, const char* name, mode_t mode)
{
    return faccessat(dirFd, name, R_OK | W_OK | X_OK, AT_EACCESS) != 0
           && fchmodat(dirFd, name, (mode & 07777) | S_IRWXU, 0) == 0;
}

// The names in the folder open for reading at `fd` (without "." and ".."),
// read from its start; `ok` false when it could not be read whole. Read with
// getdents64 rather than fdopendir, which would stat the folder first: a
// request to a FUSE card, for nothing.
std::vector<QByteArray> namesAt(int fd, bool* ok)
{
    std::vector<QByteArray> names;
    if (lseek(fd, 0, SEEK_SET) != 0) {
        *ok = false;
        return names;
    }
    std::vector<char> buffer(32768);
    for (;;) {
        const ssize_t n = getdents64(fd, buffer.data(), buffer.size());
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *ok = false;
            break;
        }
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const dirent64*>(buffer.data() + at);
            const QByteArray name(e->d_name);
            if (name != "." && name != "..")
                names.push_back(name);
            at += e->d_reclen;
        }
    }
    return names;
}

// Opens the folder at `rel` (components separated by "/") below the folder
// open at `fromFd`, one component at a time and never following a link, for
// reaching entries in it by name. Invalid when a component is missing, no
// folder, or a link.
Fd reachBelow(int fromFd, const QByteArray& rel)
{
    Fd at(openat(fromFd, ".", kReachFlags));
    for (const QByteArray& comp : rel.split('/')) {
        if (comp.isEmpty() || !at)
            continue;
        at = Fd(openat(at.get(), comp.constData(), kReachFlags));
    }
    return at;
}

// Which file an open descriptor stands for. Only the identity is asked for,
// from what the kernel holds: a full stat of a folder just read would make
// FUSE ask the file system again (reading a folder marks its access time
// stale), and a FUSE card answers each request by walking its path anew.
bool identityOf(int fd, dev_t* dev, ino_t* ino)
{
    struct statx stx;
    if (statx(fd, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, STATX_INO, &stx) != 0 || !(stx.stx_mask & STATX_INO))
        return false;
    *dev = makedev(stx.stx_dev_major, stx.stx_dev_minor);
    *ino = ino_t(stx.stx_ino);
    return true;
}

// The entry `name` of the folder open at `dirFd`, never following a link.
// A folder's kind, mode and owner are taken as the kernel holds them: they
// change only through this system, which keeps them current, whereas its
// times and link count change with every entry made in it, and a full stat
// would then have a FUSE card asked again (fusefat answers each request by
// walking the entry's whole path: seconds over a tree a few hundred deep).
// Anything else is looked at afresh, as a file's size and links must be.
bool statAt(int dirFd, const char* name, struct stat* st)
{
    struct statx stx;
    constexpr unsigned kWanted = STATX_TYPE | STATX_MODE | STATX_UID | STATX_GID | STATX_INO;
    if (statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC, kWanted, &stx) == 0
        && (stx.stx_mask & kWanted) == kWanted && S_ISDIR(stx.stx_mode)) {
        *st = {};
        st->st_dev = makedev(stx.stx_dev_major, stx.stx_dev_minor);
        st->st_ino = ino_t(stx.stx_ino);
        st->st_mode = stx.stx_mode;
        st->st_uid = stx.stx_uid;
        st->st_gid = stx.stx_gid;
        st->st_nlink = stx.stx_nlink;
        st->st_size = off_t(stx.stx_size);
        return true;
    }
    return fstatat(dirFd, name, st, AT_SYMLINK_NOFOLLOW) == 0;
}

// A depth-first walk of everything below one folder, never following a
// link. It works in one folder at a time and holds a single descriptor of
// its own, whatever the depth: to go down it opens the sub-folder and lets
// go of the folder above; to come back it opens ".." of the folder it
// leaves and makes sure, by device and inode, that this is the folder it
// came from. So trees nested thousands deep cost no more descriptors than
// flat ones, and each entry a fixed number of lookups.
class TreeWalk
{
public:
    virtual ~TreeWalk() = default;

    // Walks below the folder open at `rootFd` (which stays open). False when
    // a folder could not be listed or entered, or the way back up was lost
    // (then the walk stops there).
    bool run(int rootFd)
    {
        dev_t rootDev;
        ino_t rootIno;
        if (!identityOf(rootFd, &rootDev, &rootIno))
            return false;
        bool ok = true;
        m_levels.clear();
        m_levels.push_back({QByteArray(), rootDev, rootIno, 0, entries(rootFd, QByteArray(), &ok)});
        QByteArray rel;   // the path of the folder walked in, below the root
        Fd own;           // that folder, unless it is the root
        while (true) {
            const int here = own ? own.get() : rootFd;
            Level& level = m_levels.back();
            if (level.left.empty()) {
                if (m_levels.size() == 1)
                    return ok;
                const QByteArray done = std::move(level.name);
                rel.truncate(level.parentRelSize);
                m_levels.pop_back();
                if (m_levels.size() == 1) {
                    own.reset();
                } else {
                    Fd up(openat(here, "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
                    dev_t dev;
                    ino_t ino;
                    if (!up || !identityOf(up.get(), &dev, &ino) || dev != m_levels.back().dev
                        || ino != m_levels.back().ino)
                        return false;
                    own = std::move(up);
                }
                leave(own ? own.get() : rootFd, done);
                continue;
            }
            const QByteArray name = std::move(level.left.back());
            level.left.pop_back();
            const QByteArray path = rel.isEmpty() ? name : rel + '/' + name;
            struct stat st;
            if (!statAt(here, name.constData(), &st)) {
                unexamined(path);
                continue;
            }
            if (!visit(here, name, st, path) || !S_ISDIR(st.st_mode))
                continue;
            Fd down(openat(here, name.constData(), m_listFolders ? kListFlags : kReachFlags));
            dev_t dev;
            ino_t ino;
            if (!down || !identityOf(down.get(), &dev, &ino) || dev != st.st_dev || ino != st.st_ino) {
                ok = false;
                continue;
            }
            std::vector<QByteArray> names = entries(down.get(), path, &ok);
            m_levels.push_back({name, dev, ino, rel.size(), std::move(names)});
            own = std::move(down);
            rel = path;
        }
    }

protected:
    // One entry of the folder open at `dirFd`; `rel` is its path below the
    // walked folder. True to walk into it, when it is a folder.
    virtual bool visit(int dirFd, const QByteArray& name, const struct stat& st, const QByteArray& rel) = 0;
    // An entry that could not be examined; errno tells why.
    virtual void unexamined(const QByteArray& rel) { Q_UNUSED(rel); }
    // All below the folder `name` of the folder open at `dirFd` is done.
    virtual void leave(int dirFd, const QByteArray& name)
    {
        Q_UNUSED(dirFd);
        Q_UNUSED(name);
    }
    // The names to look up in the folder at `rel`, for a walk that does not
    // list folders (m_listFolders false).
    virtual std::vector<QByteArray> wanted(const QByteArray& rel)
    {
        Q_UNUSED(rel);
        return {};
    }
    // 1 for the entries of the walked folder itself, 2 one folder below...
    int depth() const { return int(m_levels.size()); }

    // Whether folders are read for their names, or only reached for the
    // names wanted() gives.
    bool m_listFolders = true;

private:
    struct Level
    {
        QByteArray name;                 // its name in the folder above
        dev_t dev;                       // which folder it is, for the way back
        ino_t ino;
        qsizetype parentRelSize;         // the length of the path of the folder above
        std::vector<QByteArray> left;    // entries still to visit, last first
    };

    std::vector<QByteArray> entries(int fd, const QByteArray& rel, bool* ok)
    {
        return m_listFolders ? namesAt(fd, ok) : wanted(rel);
    }

    std::vector<Level> m_levels;
};

// Removes everything below the walked folder, making folders without write
// permission writable first.
class Remover : public TreeWalk
{
public:
    bool ok = true;

protected:
    bool visit(int dirFd, const QByteArray& name, const struct stat& st, const QByteArray&) override
    {
        if (S_ISDIR(st.st_mode)) {
            makeUsableAt(dirFd, name.constData(), st.st_mode);
            return true;
        }
        if (unlinkat(dirFd, name.constData(), 0) != 0)
            ok = false;
        return false;
    }
    void unexamined(const QByteArray&) override
    {
        if (errno != ENOENT)
            ok = false;
    }
    void leave(int dirFd, const QByteArray& name) override
    {
        if (unlinkat(dirFd, name.constData(), AT_REMOVEDIR) != 0)
            ok = false;
    }
};

// Removes the entry `name` of the folder open at `parentFd`, never following
// a link, with all it holds.
bool removeEntryAt(int parentFd, const QByteArray& name)
{
    struct stat st;
    if (!statAt(parentFd, name.constData(), &st))
        return errno == ENOENT;
    if (!S_ISDIR(st.st_mode))
        return unlinkat(parentFd, name.constData(), 0) == 0;
    makeUsableAt(parentFd, name.constData(), st.st_mode);
    Fd dir(openat(parentFd, name.constData(), kListFlags));
    if (!dir)
        return false;
    Remover remover;
    const bool walked = remover.run(dir.get());
    dir.reset();
    return unlinkat(parentFd, name.constData(), AT_REMOVEDIR) == 0 && walked && remover.ok;
}

// Removes the entry at `rel` below the folder open at `rootFd`.
bool removeBelow(int rootFd, const QByteArray& rel)
{
    const qsizetype slash = rel.lastIndexOf('/');
    const Fd parent = reachBelow(rootFd, slash < 0 ? QByteArray() : rel.left(slash));
    return parent && removeEntryAt(parent.get(), rel.mid(slash + 1));
}

class Confinement : public TreeWalk
{
public:
    explicit Confinement(const QByteArray& root) : m_root(root) {}

    PhoneConfineResult result;
    std::vector<QByteArray> links;   // relative links kept for the resolution check
    uid_t owner = geteuid();
    uid_t areaOwner = geteuid();     // the walked folder's own owner

    void fail() { result.ok = false; }

    // Removes the entry at `rel` below the walked folder (open at `rootFd`),
    // after the walk.
    void dropBelow(int rootFd, const QByteArray& rel)
    {
        if (!removeBelow(rootFd, rel))
            fail();
        result.removed << hostPath(rel);
    }

    // A file with a name outside the tree (a hard link that a tar made
    // through a link, to a file of someone else's) is no part of the
    // package: its names here go, and the tree is not to be trusted.
    void dropOutwardHardLinks(int rootFd)
    {
        for (const auto& [inode, names] : m_linked) {
            if (names.paths.size() >= names.links)
                continue;
            for (const QByteArray& rel : names.paths)
                dropBelow(rootFd, rel);
            fail();
        }
    }

protected:
    bool visit(int dirFd, const QByteArray& name, const struct stat& st, const QByteArray& rel) override
    {
        const bool topLevel = depth() == 1;
        if (!ownEntry(st)) {
            drop(dirFd, name, rel);
            return false;
        }
        if (S_ISLNK(st.st_mode)) {
            const QByteArray target = linkTargetAt(dirFd, name.constData());
            if (topLevel || target.isEmpty() || target.startsWith('/'))
                drop(dirFd, name, rel);
            else
                links.push_back(rel);
            return false;
        }
        if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) {
            drop(dirFd, name, rel);
            return false;
        }
        mode_t mode = st.st_mode;
        if (mode & (S_ISUID | S_ISGID)) {
            mode &= ~mode_t(S_ISUID | S_ISGID);
            // Not a link (seen above), so fchmodat cannot be led elsewhere.
            if (fchmodat(dirFd, name.constData(), mode & 07777, 0) != 0)
                fail();
            else
                result.modesCleared << hostPath(rel);
        }
        if (S_ISDIR(mode))
            makeUsableAt(dirFd, name.constData(), mode);
        if (S_ISREG(mode) && st.st_nlink > 1) {
            Names& names = m_linked[{st.st_dev, st.st_ino}];
            names.links = st.st_nlink;
            names.paths.push_back(rel);
        }
        return S_ISDIR(mode);
    }
    void unexamined(const QByteArray&) override { fail(); }

private:
    // An entry belongs to the package when the program's user or the owner
    // of the walked folder owns it: on FAT every entry shows the mount's
    // owner, whoever runs the program.
    bool ownEntry(const struct stat& st) const { return st.st_uid == owner || st.st_uid == areaOwner; }

    QString hostPath(const QByteArray& rel) const { return QFile::decodeName(m_root + '/' + rel); }

    void drop(int dirFd, const QByteArray& name, const QByteArray& rel)
    {
        if (!removeEntryAt(dirFd, name))
            fail();
        result.removed << hostPath(rel);
    }

    QByteArray m_root;
    // Files with more than one name: how many of their names lie in the tree.
    struct Names
    {
        nlink_t links = 0;
        std::vector<QByteArray> paths;
    };
    std::map<std::pair<dev_t, ino_t>, Names> m_linked;
};

// Follows `start` (a path relative to the folder open at `topFd`) the way
// the system would, component by component and through every link on the
// way, but inside that folder only: true when it ends at an existing entry
// without ever stepping above the folder, meeting an absolute link target
// or looping. What holds here holds the same for a copy of the folder
// anywhere else.
bool resolvesInside(int topFd, const QByteArray& start)
{
    std::vector<QByteArray> pending;   // components still to walk, last one first
    const QList<QByteArray> first = start.split('/');
    for (auto it = first.rbegin(); it != first.rend(); ++it)
        pending.push_back(*it);
    // The place reached lies `depth` components below the top folder. `at`
    // is that place, or, while `last` names an entry not yet stepped into,
    // the folder holding it: ".." after a file returns to the folder as the
    // components read, and only a component after it needs a folder.
    Fd at(openat(topFd, ".", kReachFlags));
    QByteArray last;
    size_t depth = 0;
    int linksFollowed = 0;
    while (!pending.empty()) {
        if (!at)
            return false;
        const QByteArray comp = pending.back();
        pending.pop_back();
        if (comp.isEmpty() || comp == ".")
            continue;
        if (comp == "..") {
            if (depth == 0)
                return false;
            --depth;
            // Never through a link, so ".." of the place is the one above it.
            if (!last.isEmpty())
                last.clear();
            else
                at = Fd(openat(at.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
            continue;
        }
        if (!last.isEmpty()) {
            at = Fd(openat(at.get(), last.constData(), kReachFlags));
            last.clear();
            if (!at)
                return false;
        }
        struct stat st;
        if (fstatat(at.get(), comp.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return false;
        if (!S_ISLNK(st.st_mode)) {
            last = comp;
            ++depth;
            continue;
        }
        if (++linksFollowed > 40)
            return false;
        const QByteArray target = linkTargetAt(at.get(), comp.constData());
        if (target.isEmpty() || target.startsWith('/'))
            return false;
        const QList<QByteArray> parts = target.split('/');
        for (auto it = parts.rbegin(); it != parts.rend(); ++it)
            pending.push_back(*it);
    }
    return true;
}

// What the tree holds at the paths an archive listing names: each entry
// reached by name from its folder, folders through which only a real folder
// (never a link) leads.
class ListedEntries : public TreeWalk
{
public:
    struct Entry
    {
        int kind = -1;   // S_IFREG, S_IFDIR...; -1 when nothing is there
        qint64 size = -1;
    };

    ListedEntries() { m_listFolders = false; }

    // Asks for the entry at `rel` and every folder on its way.
    void want(QByteArray rel)
    {
        while (!rel.isEmpty() && !m_asked.contains(rel)) {
            m_asked.insert(rel);
            const qsizetype slash = rel.lastIndexOf('/');
            const QByteArray parent = slash < 0 ? QByteArray() : rel.left(slash);
            m_names[parent].push_back(rel.mid(slash + 1));
            rel = parent;
        }
    }

    Entry at(const QByteArray& rel) const { return rel.isEmpty() ? Entry() : m_seen.value(rel); }
    // Whether the folder holding `rel` was reached through real folders.
    bool wayIsReal(const QByteArray& rel) const
    {
        const qsizetype slash = rel.lastIndexOf('/');
        return slash < 0 || at(rel.left(slash)).kind == S_IFDIR;
    }
    void found(const QByteArray& rel, const Entry& entry) { m_seen.insert(rel, entry); }

protected:
    bool visit(int, const QByteArray&, const struct stat& st, const QByteArray& rel) override
    {
        m_seen.insert(rel, {int(st.st_mode & S_IFMT), qint64(st.st_size)});
        return S_ISDIR(st.st_mode) && m_names.contains(rel);
    }
    std::vector<QByteArray> wanted(const QByteArray& rel) override { return m_names.value(rel); }

private:
    QSet<QByteArray> m_asked;
    QHash<QByteArray, std::vector<QByteArray>> m_names;   // folder -> names to look up in it
    QHash<QByteArray, Entry> m_seen;
};

// Copies the file at `from` to a new file at `to`, both below the folder
// open at `rootFd`, with the file's permission bits. A copy cut short is
// removed. Returns the size copied, or -1.
qint64 copyFileBelow(int rootFd, const QByteArray& from, const QByteArray& to)
{
    const qsizetype fromSlash = from.lastIndexOf('/');
    const qsizetype toSlash = to.lastIndexOf('/');
    const Fd fromDir = reachBelow(rootFd, fromSlash < 0 ? QByteArray() : from.left(fromSlash));
    const Fd toDir = reachBelow(rootFd, toSlash < 0 ? QByteArray() : to.left(toSlash));
    if (!fromDir || !toDir)
        return -1;
    const QByteArray toName = to.mid(toSlash + 1);
    const Fd in(openat(fromDir.get(), from.mid(fromSlash + 1).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (!in || fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    const Fd out(openat(toDir.get(), toName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        S_IRUSR | S_IWUSR));
    if (!out)
        return -1;
    qint64 copied = 0;
    bool ok = true;
    std::vector<char> buffer(1 << 16);
    while (ok) {
        const ssize_t n = read(in.get(), buffer.data(), buffer.size());
        if (n == 0)
            break;
        if (n < 0) {
            ok = errno == EINTR;
            continue;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = write(out.get(), buffer.data() + done, size_t(n - done));
            if (w > 0)
                done += w;
            else if (w < 0 && errno != EINTR)
                ok = false;
        }
        copied += n;
    }
    // Where the card keeps no modes (FAT) this changes nothing, and needs not.
    if (ok)
        fchmod(out.get(), st.st_mode & 0777);
    if (!ok) {
        unlinkat(toDir.get(), toName.constData(), 0);
        return -1;
    }
    return copied;
}

class FolderOpener : public TreeWalk
{
public:
    int opened = 0;

protected:
    bool visit(int dirFd, const QByteArray& name, const struct stat& st, const QByteArray&) override
    {
        if (!S_ISDIR(st.st_mode))
            return false;
        if (makeUsableAt(dirFd, name.constData(), st.st_mode))
            ++opened;
        return true;
    }
};

} // namespace

PhoneConfineResult phoneConfineTree(const QString& phoneDir)
{
    const QByteArray root = QFile::encodeName(phoneHostPath(phoneDir));
    Confinement walk(root);
    const Fd rootFd(phoneDir.isEmpty() ? -1 : open(root.constData(), kListFlags));
    struct stat st;
    if (!rootFd || fstat(rootFd.get(), &st) != 0) {
        walk.fail();
        return walk.result;
    }
    walk.areaOwner = st.st_uid;
    if (!walk.run(rootFd.get()))
        walk.fail();
    walk.dropOutwardHardLinks(rootFd.get());

    // A kept link must resolve, through every link on its way, to a place
    // inside its own top-level folder. Removing one link can break another
    // that led through it, so repeat until nothing changes.
    bool changed = true;
    while (changed) {
        changed = false;
        for (auto it = walk.links.begin(); it != walk.links.end();) {
            const qsizetype slash = it->indexOf('/');
            const Fd top(slash < 0 ? -1 : openat(rootFd.get(), it->left(slash).constData(), kReachFlags));
            if (!top || !resolvesInside(top.get(), it->mid(slash + 1))) {
                walk.dropBelow(rootFd.get(), *it);
                it = walk.links.erase(it);
                changed = true;
            } else {
                ++it;
            }
        }
    }
    return walk.result;
}

bool phoneEmptyFolder(const QString& phoneDir)
{
    const QByteArray dir = QFile::encodeName(phoneHostPath(phoneDir));
    struct stat st;
    if (phoneDir.isEmpty() || lstat(dir.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    makeUsableAt(AT_FDCWD, dir.constData(), st.st_mode);
    const Fd fd(open(dir.constData(), kListFlags));
    if (!fd)
        return false;
    Remover remover;
    remover.run(fd.get());
    // What could not be removed is still listed.
    bool ok = true;
    return namesAt(fd.get(), &ok).empty() && ok;
}

PhoneFolderState phoneFolderState(const QString& phoneDir)
{
    PhoneFolderState state;
    struct stat st;
    if (!phoneDir.isEmpty()
        && lstat(QFile::encodeName(phoneHostPath(phoneDir)).constData(), &st) == 0) {
        state.valid = true;
        state.mode = st.st_mode;
        state.uid = st.st_uid;
        state.gid = st.st_gid;
    }
    return state;
}

bool phoneRestoreFolderState(const QString& phoneDir, const PhoneFolderState& before)
{
    const PhoneFolderState now = phoneFolderState(phoneDir);
    if (!before.valid || !now.valid || (now.mode & S_IFMT) != (before.mode & S_IFMT))
        return false;
    const QByteArray path = QFile::encodeName(phoneHostPath(phoneDir));
    if ((now.uid != before.uid || now.gid != before.gid)
        && lchown(path.constData(), before.uid, before.gid) != 0)
        return false;
    if ((now.mode & 07777) != (before.mode & 07777)
        && chmod(path.constData(), before.mode & 07777) != 0)
        return false;
    const PhoneFolderState after = phoneFolderState(phoneDir);
    return after.mode == before.mode && after.uid == before.uid && after.gid == before.gid;
}

PhoneUnpackCheck phoneCheckUnpacked(const QString& phoneDir, const PhoneArchiveListing& listing)
{
    PhoneUnpackCheck check;
    const QByteArray root = QFile::encodeName(phoneHostPath(phoneDir));

    // The last member of each path is the one the tree must show.
    std::unordered_map<std::string, size_t> last;
    for (size_t i = 0; i < listing.members.size(); ++i)
        last[listing.members[i].path.toStdString()] = i;

    // One walk looks up every path the members name, each by its name in
    // its folder; what a link stands in the way of is not there.
    ListedEntries tree;
    for (const PhoneArchiveMember& m : listing.members) {
        if (m.unsafe)
            continue;
        tree.want(m.path);
        tree.want(m.storedPath);
        if (m.kind == PhoneArchiveMember::HardLink)
            tree.want(m.linkTarget);
    }
    const Fd rootFd(phoneDir.isEmpty() ? -1 : open(root.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (rootFd)
        tree.run(rootFd.get());

    for (size_t i = 0; i < listing.members.size(); ++i) {
        const PhoneArchiveMember& m = listing.members[i];
        if (m.unsafe) {
            check.ok = false;
            check.missing << QFile::decodeName(m.path);
            continue;
        }
        // BusyBox tar writes a pax sparse file's stored data (with the map
        // in front, for format 1.0) under the name it is stored under, and
        // exits 0. Whatever a later member of the path leaves, this file
        // was not unpacked as it is.
        if (m.sparse && !m.storedPath.isEmpty() && tree.at(m.storedPath).kind != -1) {
            check.ok = false;
            check.missing << QFile::decodeName(m.path);
            check.sparseNotUnpacked << QFile::decodeName(m.path);
            continue;
        }
        if (last[m.path.toStdString()] != i || m.path.isEmpty())
            continue;
        const ListedEntries::Entry entry = tree.at(m.path);
        bool present = false;
        switch (m.kind) {
        case PhoneArchiveMember::File:
            // A file cut short (a full card) is not the member, nor a sparse
            // file's stored data alone (BusyBox tar with pax format 0.0).
            present = entry.kind == S_IFREG && (m.size < 0 || entry.size == m.size);
            break;
        case PhoneArchiveMember::Directory:
            present = entry.kind == S_IFDIR;
            break;
        case PhoneArchiveMember::SymLink:
            // A card that cannot hold links (FAT), or a tar that skips the
            // links it deems unsafe, leaves them out; nothing else may stand
            // in their place.
            if (entry.kind == -1)
                check.leftOutLinks << QFile::decodeName(m.path);
            present = entry.kind == -1 || entry.kind == S_IFLNK;
            break;
        case PhoneArchiveMember::HardLink:
            // Where the card cannot hold a second name for a file, the file
            // is copied under that name instead.
            if (entry.kind == -1 && tree.at(m.linkTarget).kind == S_IFREG && tree.wayIsReal(m.path)) {
                const qint64 size = rootFd ? copyFileBelow(rootFd.get(), m.linkTarget, m.path) : -1;
                present = size >= 0;
                if (present)
                    tree.found(m.path, {S_IFREG, size});
            } else {
                present = entry.kind == S_IFREG;
            }
            break;
        case PhoneArchiveMember::Special:
        case PhoneArchiveMember::Other:
            present = true;   // never installed: removed by the confinement if there
            break;
        }
        if (!present) {
            check.ok = false;
            check.missing << QFile::decodeName(m.path);
            if (m.sparse)
                check.sparseNotUnpacked << QFile::decodeName(m.path);
        }
    }
    return check;
}

int phoneOpenUpFolders(const QString& phoneDir)
{
    const QByteArray dir = QFile::encodeName(phoneHostPath(phoneDir));
    struct stat st;
    if (lstat(dir.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return 0;
    int opened = makeUsableAt(AT_FDCWD, dir.constData(), st.st_mode) ? 1 : 0;
    const Fd fd(open(dir.constData(), kListFlags));
    if (!fd)
        return opened;
    FolderOpener opener;
    opener.run(fd.get());
    return opened + opener.opened;
}
