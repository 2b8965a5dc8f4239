#include "phonetree.h"

#include "phonearchive.h"
#include "phonepath.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <map>
#include <unordered_map>
#include <vector>

namespace {

// The target of the link at `path`; empty when it cannot be read whole.
QByteArray linkTarget(const QByteArray& path)
{
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t n = readlink(path.constData(), target.data(), target.size());
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
bool makeUsableAt(int dirFd, const char* name, const struct stat& st)
{
    return faccessat(dirFd, name, R_OK | W_OK | X_OK, AT_EACCESS) != 0
           && fchmodat(dirFd, name, (st.st_mode & 07777) | S_IRWXU, 0) == 0;
}

bool makeUsable(const QByteArray& dir, const struct stat& st)
{
    return makeUsableAt(AT_FDCWD, dir.constData(), st);
}

// The names in the folder open at `fd` (without "." and ".."); `ok` false
// when it could not be read whole.
// The next entry of an open folder, or null at its end or on a read error
// (then *ok is set false). errno is cleared before each call: the caller's
// work between calls (memory allocation among it) may leave it set, which
// would be taken for a failed read.
dirent* nextEntry(DIR* d, bool* ok)
{
    errno = 0;
    dirent* e = readdir(d);
    if (!e && errno != 0)
        *ok = false;
    return e;
}

std::vector<QByteArray> namesAt(int fd, bool* ok)
{
    std::vector<QByteArray> names;
    const int own = openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* d = own >= 0 ? fdopendir(own) : nullptr;
    if (!d) {
        if (own >= 0)
            close(own);
        *ok = false;
        return names;
    }
    while (dirent* e = nextEntry(d, ok)) {
        const QByteArray name(e->d_name);
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(d);
    return names;
}

// Removes the entry `name` of the folder open at `parentFd`, never following
// a link, with all it holds. It works down one folder at a time, relative
// to the folder it is in, and climbs back through "..": an archive may nest
// folders thousands deep, deeper than a path or the call stack can reach,
// and more than the descriptors a process may hold open at once.
bool removeEntryAt(int parentFd, const QByteArray& name)
{
    struct stat st;
    if (fstatat(parentFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(st.st_mode))
        return unlinkat(parentFd, name.constData(), 0) == 0;

    bool ok = true;
    struct Level
    {
        QByteArray name;                 // its name in the folder above
        std::vector<QByteArray> left;    // entries still to remove
    };
    auto enter = [&](int from, const QByteArray& dir, const struct stat& dst) {
        makeUsableAt(from, dir.constData(), dst);
        return openat(from, dir.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    };
    int cur = enter(parentFd, name, st);
    if (cur < 0)
        return false;
    std::vector<Level> levels;
    levels.push_back({name, namesAt(cur, &ok)});
    while (!levels.empty()) {
        Level& level = levels.back();
        if (level.left.empty()) {
            const QByteArray done = level.name;
            levels.pop_back();
            const int up = levels.empty() ? -1 : openat(cur, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            close(cur);
            if (levels.empty())
                return unlinkat(parentFd, done.constData(), AT_REMOVEDIR) == 0 && ok;
            if (up < 0)
                return false;
            cur = up;
            if (unlinkat(cur, done.constData(), AT_REMOVEDIR) != 0)
                ok = false;
            continue;
        }
        const QByteArray entry = level.left.back();
        level.left.pop_back();
        struct stat est;
        if (fstatat(cur, entry.constData(), &est, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                ok = false;
            continue;
        }
        if (!S_ISDIR(est.st_mode)) {
            if (unlinkat(cur, entry.constData(), 0) != 0)
                ok = false;
            continue;
        }
        const int down = enter(cur, entry, est);
        if (down < 0) {
            ok = false;
            continue;
        }
        close(cur);
        cur = down;
        levels.push_back({entry, namesAt(cur, &ok)});
    }
    return ok;
}

struct Walk
{
    PhoneConfineResult result;
    std::vector<QByteArray> links;   // relative links kept for the resolution check
    uid_t owner = geteuid();
    uid_t areaOwner = geteuid();     // the walked folder's own owner
    // Files with more than one name: how many of their names lie in the tree.
    struct Names
    {
        nlink_t links = 0;
        std::vector<QByteArray> paths;
    };
    std::map<std::pair<dev_t, ino_t>, Names> linked;

    void fail() { result.ok = false; }

    // An entry belongs to the package when the program's user or the owner
    // of the walked folder owns it: on FAT every entry shows the mount's
    // owner, whoever runs the program.
    bool ownEntry(const struct stat& st) const { return st.st_uid == owner || st.st_uid == areaOwner; }

    std::vector<QByteArray> children(const QByteArray& dir)
    {
        std::vector<QByteArray> names;
        DIR* d = opendir(dir.constData());
        if (!d) {
            fail();
            return names;
        }
        bool ok = true;
        while (dirent* e = nextEntry(d, &ok)) {
            const QByteArray name(e->d_name);
            if (name != "." && name != "..")
                names.push_back(dir + '/' + name);
        }
        if (!ok)
            fail();
        closedir(d);
        return names;
    }

    // Removes the entry at `path` (never following a link), with all it holds.
    void removeAll(const QByteArray& path)
    {
        const qsizetype slash = path.lastIndexOf('/');
        const QByteArray parent = slash > 0 ? path.left(slash) : QByteArray(slash == 0 ? "/" : ".");
        const int fd = open(parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0 || !removeEntryAt(fd, path.mid(slash + 1)))
            fail();
        if (fd >= 0)
            close(fd);
    }

    void drop(const QByteArray& path)
    {
        removeAll(path);
        result.removed << QFile::decodeName(path);
    }

    // Looks at every entry below `root`, never following a link. Depth-first
    // with a list of its own, for the same reason as removeAll.
    void visitBelow(const QByteArray& root)
    {
        std::vector<std::pair<QByteArray, bool>> stack;   // path, is a direct child of root
        for (QByteArray& child : children(root))
            stack.emplace_back(std::move(child), true);
        while (!stack.empty()) {
            auto [path, topLevel] = std::move(stack.back());
            stack.pop_back();
            if (visit(path, topLevel))
                for (QByteArray& child : children(path))
                    stack.emplace_back(std::move(child), false);
        }
    }

    // One entry; `topLevel` for the direct children of the walked folder.
    // True when it is a folder that stays, whose children are to be visited.
    bool visit(const QByteArray& path, bool topLevel)
    {
        struct stat st;
        if (lstat(path.constData(), &st) != 0) {
            fail();
            return false;
        }
        if (!ownEntry(st)) {
            drop(path);
            return false;
        }
        if (S_ISLNK(st.st_mode)) {
            const QByteArray target = linkTarget(path);
            if (topLevel || target.isEmpty() || target.startsWith('/'))
                drop(path);
            else
                links.push_back(path);
            return false;
        }
        if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) {
            drop(path);
            return false;
        }
        if (st.st_mode & (S_ISUID | S_ISGID)) {
            if (chmod(path.constData(), st.st_mode & 07777 & ~(S_ISUID | S_ISGID)) != 0)
                fail();
            else
                result.modesCleared << QFile::decodeName(path);
        }
        if (S_ISDIR(st.st_mode))
            makeUsable(path, st);
        if (S_ISREG(st.st_mode) && st.st_nlink > 1) {
            Names& names = linked[{st.st_dev, st.st_ino}];
            names.links = st.st_nlink;
            names.paths.push_back(path);
        }
        return S_ISDIR(st.st_mode);
    }

    // A file with a name outside the tree (a hard link that a tar made
    // through a link, to a file of someone else's) is no part of the
    // package: its names here go, and the tree is not to be trusted.
    void dropOutwardHardLinks()
    {
        for (const auto& [inode, names] : linked) {
            if (names.paths.size() >= names.links)
                continue;
            for (const QByteArray& path : names.paths)
                drop(path);
            fail();
        }
    }
};

// Follows `start` (a path relative to the folder `top`) the way the system
// would, component by component and through every link on the way, but
// inside `top` only: true when it ends at an existing entry without ever
// stepping above `top`, meeting an absolute link target or looping. What
// holds here holds the same for a copy of `top` anywhere else.
bool resolvesInside(const QByteArray& top, const QByteArray& start)
{
    std::vector<QByteArray> current;
    std::vector<QByteArray> pending;   // components still to walk, last one first
    const QList<QByteArray> first = start.split('/');
    for (auto it = first.rbegin(); it != first.rend(); ++it)
        pending.push_back(*it);
    int linksFollowed = 0;
    while (!pending.empty()) {
        const QByteArray comp = pending.back();
        pending.pop_back();
        if (comp.isEmpty() || comp == ".")
            continue;
        if (comp == "..") {
            if (current.empty())
                return false;
            current.pop_back();
            continue;
        }
        current.push_back(comp);
        QByteArray path = top;
        for (const QByteArray& c : current)
            path += '/' + c;
        struct stat st;
        if (lstat(path.constData(), &st) != 0)
            return false;
        if (!S_ISLNK(st.st_mode))
            continue;
        if (++linksFollowed > 40)
            return false;
        const QByteArray target = linkTarget(path);
        if (target.isEmpty() || target.startsWith('/'))
            return false;
        current.pop_back();
        const QList<QByteArray> parts = target.split('/');
        for (auto it = parts.rbegin(); it != parts.rend(); ++it)
            pending.push_back(*it);
    }
    return true;
}

} // namespace

PhoneConfineResult phoneConfineTree(const QString& phoneDir)
{
    Walk walk;
    const QByteArray root = QFile::encodeName(phoneHostPath(phoneDir));
    struct stat st;
    if (phoneDir.isEmpty() || lstat(root.constData(), &st) != 0
        || !S_ISDIR(st.st_mode)) {
        walk.fail();
        return walk.result;
    }
    walk.areaOwner = st.st_uid;
    walk.visitBelow(root);
    walk.dropOutwardHardLinks();

    // A kept link must resolve, through every link on its way, to a place
    // inside its own top-level folder. Removing one link can break another
    // that led through it, so repeat until nothing changes.
    bool changed = true;
    while (changed) {
        changed = false;
        for (auto it = walk.links.begin(); it != walk.links.end();) {
            const QByteArray rel = it->mid(root.size() + 1);
            const qsizetype slash = rel.indexOf('/');
            const QByteArray top = root + '/' + rel.left(slash);
            if (slash < 0 || !resolvesInside(top, rel.mid(slash + 1))) {
                walk.drop(*it);
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
    makeUsable(dir, st);
    const int fd = open(dir.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = true;
    for (const QByteArray& name : namesAt(fd, &ok))
        removeEntryAt(fd, name);
    // What could not be removed is still listed.
    ok = true;
    const bool empty = namesAt(fd, &ok).empty() && ok;
    close(fd);
    return empty;
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

    // Whether each folder on a member's way is a real folder (never a link),
    // remembered per folder.
    std::unordered_map<std::string, bool> realDir;
    auto wayIsReal = [&](const QByteArray& rel) {
        qsizetype slash = -1;
        while ((slash = rel.indexOf('/', slash + 1)) > 0) {
            const std::string dir = rel.left(slash).toStdString();
            auto it = realDir.find(dir);
            if (it == realDir.end()) {
                struct stat st;
                const QByteArray full = root + '/' + QByteArray::fromStdString(dir);
                const bool real = lstat(full.constData(), &st) == 0 && S_ISDIR(st.st_mode);
                it = realDir.emplace(dir, real).first;
            }
            if (!it->second)
                return false;
        }
        return true;
    };
    // The kind of entry at a member path: -1 when nothing is there (or only
    // through a link).
    auto kindAt = [&](const QByteArray& rel) -> int {
        struct stat st;
        if (rel.isEmpty() || !wayIsReal(rel))
            return -1;
        if (lstat((root + '/' + rel).constData(), &st) != 0)
            return -1;
        return int(st.st_mode & S_IFMT);
    };

    auto sizeAt = [&](const QByteArray& rel) -> qint64 {
        struct stat st;
        return lstat((root + '/' + rel).constData(), &st) == 0 ? qint64(st.st_size) : -1;
    };

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
        if (m.sparse && !m.storedPath.isEmpty() && kindAt(m.storedPath) != -1) {
            check.ok = false;
            check.missing << QFile::decodeName(m.path);
            check.sparseNotUnpacked << QFile::decodeName(m.path);
            continue;
        }
        if (last[m.path.toStdString()] != i || m.path.isEmpty())
            continue;
        const int kind = kindAt(m.path);
        bool present = false;
        switch (m.kind) {
        case PhoneArchiveMember::File:
            // A file cut short (a full card) is not the member, nor a sparse
            // file's stored data alone (BusyBox tar with pax format 0.0).
            present = kind == S_IFREG && (m.size < 0 || sizeAt(m.path) == m.size);
            break;
        case PhoneArchiveMember::Directory:
            present = kind == S_IFDIR;
            break;
        case PhoneArchiveMember::SymLink:
            // A card that cannot hold links (FAT), or a tar that skips the
            // links it deems unsafe, leaves them out; nothing else may stand
            // in their place.
            if (kind == -1)
                check.leftOutLinks << QFile::decodeName(m.path);
            present = kind == -1 || kind == S_IFLNK;
            break;
        case PhoneArchiveMember::HardLink:
            // Where the card cannot hold a second name for a file, the file
            // is copied under that name instead.
            if (kind == -1 && kindAt(m.linkTarget) == S_IFREG && wayIsReal(m.path)) {
                present = QFile::copy(QFile::decodeName(root + '/' + m.linkTarget),
                                      QFile::decodeName(root + '/' + m.path));
            } else {
                present = kind == S_IFREG;
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
    int opened = 0;
    Walk walk;
    std::vector<QByteArray> pending{QFile::encodeName(phoneHostPath(phoneDir))};
    while (!pending.empty()) {
        const QByteArray dir = pending.back();
        pending.pop_back();
        struct stat st;
        if (lstat(dir.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
            continue;
        if (makeUsable(dir, st))
            ++opened;
        for (QByteArray& child : walk.children(dir))
            pending.push_back(std::move(child));
    }
    return opened;
}
