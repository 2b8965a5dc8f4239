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
    // Depth-first with a list of its own rather than recursion: an archive
    // may nest folders thousands deep, more than the call stack holds.
    void removeAll(const QByteArray& path)
    {
        struct Pending
        {
            QByteArray path;
            bool emptied;   // its children are already removed (folders only)
        };
        std::vector<Pending> stack{{path, false}};
        while (!stack.empty()) {
            Pending top = std::move(stack.back());
            stack.pop_back();
            if (top.emptied) {
                if (rmdir(top.path.constData()) != 0)
                    fail();
                continue;
            }
            struct stat st;
            if (lstat(top.path.constData(), &st) != 0) {
                if (errno != ENOENT)
                    fail();
                continue;
            }
            if (!S_ISDIR(st.st_mode)) {
                if (unlink(top.path.constData()) != 0)
                    fail();
                continue;
            }
            stack.push_back({top.path, true});
            for (QByteArray& child : children(top.path))
                stack.push_back({std::move(child), false});
        }
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
        if (st.st_uid != owner) {
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
        return S_ISDIR(st.st_mode);
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
    walk.visitBelow(root);

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
