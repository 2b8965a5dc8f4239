#include "phonetree.h"

#include "phonepath.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <climits>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct Walk
{
    PhoneConfineResult result;
    std::vector<QByteArray> links;   // relative links kept for the resolution check
    uid_t owner = geteuid();

    void fail() { result.ok = false; }

    std::vector<QByteArray> children(const QByteArray& dir)
    {
        std::vector<QByteArray> names;
        DIR* d = opendir(dir.constData());
        if (!d) {
            fail();
            return names;
        }
        errno = 0;
        while (dirent* e = readdir(d)) {
            const QByteArray name(e->d_name);
            if (name != "." && name != "..")
                names.push_back(dir + '/' + name);
        }
        if (errno != 0)
            fail();
        closedir(d);
        return names;
    }

    // Removes the entry at `path` (never following a link), with all it holds.
    void removeAll(const QByteArray& path)
    {
        struct stat st;
        if (lstat(path.constData(), &st) != 0) {
            if (errno != ENOENT)
                fail();
            return;
        }
        if (S_ISDIR(st.st_mode)) {
            for (const QByteArray& child : children(path))
                removeAll(child);
            if (rmdir(path.constData()) != 0)
                fail();
        } else if (unlink(path.constData()) != 0) {
            fail();
        }
    }

    void drop(const QByteArray& path)
    {
        removeAll(path);
        result.removed << QFile::decodeName(path);
    }

    // One entry; `topLevel` for the direct children of the walked folder.
    void visit(const QByteArray& path, bool topLevel)
    {
        struct stat st;
        if (lstat(path.constData(), &st) != 0) {
            fail();
            return;
        }
        if (st.st_uid != owner) {
            drop(path);
            return;
        }
        if (S_ISLNK(st.st_mode)) {
            char target[PATH_MAX];
            const ssize_t n = readlink(path.constData(), target, sizeof target);
            if (topLevel || n <= 0 || n >= ssize_t(sizeof target) || target[0] == '/')
                drop(path);
            else
                links.push_back(path);
            return;
        }
        if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) {
            drop(path);
            return;
        }
        if (st.st_mode & (S_ISUID | S_ISGID)) {
            if (chmod(path.constData(), st.st_mode & 07777 & ~(S_ISUID | S_ISGID)) != 0)
                fail();
            else
                result.modesCleared << QFile::decodeName(path);
        }
        if (S_ISDIR(st.st_mode))
            for (const QByteArray& child : children(path))
                visit(child, false);
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
        char target[PATH_MAX];
        const ssize_t n = readlink(path.constData(), target, sizeof target);
        if (n <= 0 || n >= ssize_t(sizeof target) || target[0] == '/')
            return false;
        current.pop_back();
        const QList<QByteArray> parts = QByteArray(target, n).split('/');
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
    for (const QByteArray& child : walk.children(root))
        walk.visit(child, true);

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
