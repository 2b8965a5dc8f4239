// The install area's folder walks on a deeply nested package: the check of
// the unpack against the archive's listing, the confinement and the emptying
// of the area (phoneCheckUnpacked, phoneConfineTree, phoneEmptyFolder), on a
// FAT card image mounted with fusefat (as the phone-world tests mount it) and
// on tmpfs (/dev/shm), for a package folder holding a chain of folders 400
// and 2,000 deep with a file at the bottom (on tmpfs also a relative link
// beside it, which the confinement resolves).
//
//   bench_phonetree [--benchmark_filter=BM_WalkDeepTree/1]   # 0: tmpfs, 1: FAT
//
// The counters give each walk's share (check_ms, confine_ms, empty_ms) and
// `ok` (1 when every walk succeeded, 0 when one gave up). The program lowers
// its descriptor limit to Linux's default of 1024, below the deepest tree.
// Mounting the FAT image needs fusefat and mkfs.vfat (and FUSE allowed); where
// that fails the FAT rows are skipped with a message.

#include "phonearchive.h"
#include "phonetree.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <chrono>
#include <memory>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kArea = QStringLiteral("/mmc/mmca1/.system/QTDownLoad/installtmp");

QString tool(const char* name)
{
    return QStandardPaths::findExecutable(QLatin1String(name), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"),
                                                                QStringLiteral("/usr/bin"), QStringLiteral("/bin")});
}

// A phone root whose card is a tmpfs folder or a FAT image of its own.
struct Card
{
    std::unique_ptr<QTemporaryDir> dir;
    QString root;
    QString mountPoint;
    bool fat = false;
    QString error;   // why the card could not be made

    explicit Card(bool onFat) : fat(onFat)
    {
        dir.reset(onFat ? new QTemporaryDir : new QTemporaryDir(QStringLiteral("/dev/shm/bench_phonetree-XXXXXX")));
        root = dir->path() + QStringLiteral("/root");
        mountPoint = root + QStringLiteral("/mmc/mmca1");
        QDir().mkpath(mountPoint);
        if (onFat && !mountFat())
            return;
        if (!QDir().mkpath(host(kArea)))
            error = QStringLiteral("cannot make the install area");
    }
    ~Card()
    {
        if (fat && error.isEmpty())
            QProcess::execute(tool("fusermount"), {QStringLiteral("-u"), QStringLiteral("-z"), mountPoint});
    }

    QString host(const QString& phonePath) const { return root + phonePath; }

    // As tests/common/phoneroot.h mounts the test cards: the kernel keeps
    // names and attributes, owner another user.
    bool mountFat()
    {
        const QString image = dir->path() + QStringLiteral("/card.img");
        QFile img(image);
        if (!img.open(QIODevice::WriteOnly) || !img.resize(qint64(64) << 20)) {
            error = QStringLiteral("cannot make the card image");
            return false;
        }
        img.close();
        if (tool("mkfs.vfat").isEmpty() || tool("fusefat").isEmpty()) {
            error = QStringLiteral("needs mkfs.vfat and fusefat (apt-get install dosfstools fusefat)");
            return false;
        }
        if (QProcess::execute(tool("mkfs.vfat"), {QStringLiteral("-n"), QStringLiteral("CARD"), image}) != 0) {
            error = QStringLiteral("mkfs.vfat failed");
            return false;
        }
        const int started = QProcess::execute(
            tool("fusefat"), {QStringLiteral("-o"),
                              QStringLiteral("rw+,allow_other,uid=4321,gid=4321,entry_timeout=86400,attr_timeout=86400"),
                              image, mountPoint});
        struct stat parent, card;
        for (int i = 0; started == 0 && i < 500; ++i) {
            if (stat(QFile::encodeName(mountPoint).constData(), &card) == 0
                && stat(QFile::encodeName(root + QStringLiteral("/mmc")).constData(), &parent) == 0
                && card.st_dev != parent.st_dev)
                return true;
            QThread::msleep(10);
        }
        error = QStringLiteral("fusefat did not mount the image (no /dev/fuse, or no permission)");
        fat = false;
        return false;
    }
};

Card& card(bool fat)
{
    static Card tmpfs(false);
    static Card fatCard(true);
    return fat ? fatCard : tmpfs;
}

PhoneArchiveMember member(const QByteArray& path, PhoneArchiveMember::Kind kind, qint64 size = -1)
{
    PhoneArchiveMember m;
    m.path = path;
    m.kind = kind;
    m.size = size;
    return m;
}

// Makes "p/d/d/.../d/deep" (`depth` folders "d") in the area, relative to
// one open folder at a time, with a relative link "p/d/.../d/link" -> "deep"
// where the card holds links; returns the listing an archive of it would have.
PhoneArchiveListing makeTree(const Card& c, int depth, bool* ok)
{
    PhoneArchiveListing listing;
    listing.complete = true;
    *ok = false;
    int fd = open(QFile::encodeName(c.host(kArea)).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || mkdirat(fd, "p", 0755) != 0)
        return listing;
    QByteArray path = "p";
    listing.members.push_back(member(path, PhoneArchiveMember::Directory));
    for (int level = 0; level <= depth; ++level) {
        const int down = openat(fd, level == 0 ? "p" : "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(fd);
        fd = down;
        if (fd < 0)
            return listing;
        if (level == depth)
            break;
        if (mkdirat(fd, "d", 0755) != 0)
            return listing;
        path += "/d";
        listing.members.push_back(member(path, PhoneArchiveMember::Directory));
    }
    const int file = openat(fd, "deep", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    const bool written = file >= 0 && write(file, "deep\n", 5) == 5;
    if (file >= 0)
        close(file);
    listing.members.push_back(member(path + "/deep", PhoneArchiveMember::File, 5));
    bool linked = true;
    if (!c.fat) {
        linked = symlinkat("deep", fd, "link") == 0;
        listing.members.push_back(member(path + "/link", PhoneArchiveMember::SymLink));
    }
    close(fd);
    *ok = written && linked;
    return listing;
}

double msSince(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// Argument 0: 0 for tmpfs, 1 for FAT; argument 1: the depth.
void BM_WalkDeepTree(benchmark::State& state)
{
    Card& c = card(state.range(0) == 1);
    if (!c.error.isEmpty()) {
        state.SkipWithError(qPrintable(c.error));
        return;
    }
    qputenv("EZX_ROOT", QFile::encodeName(c.root));
    double check = 0, confine = 0, empty = 0;
    bool allOk = true;
    for (auto _ : state) {
        bool made = false;
        const PhoneArchiveListing listing = makeTree(c, int(state.range(1)), &made);
        if (!made) {
            state.SkipWithError("cannot make the tree");
            break;
        }
        auto t0 = std::chrono::steady_clock::now();
        const PhoneUnpackCheck checked = phoneCheckUnpacked(kArea, listing);
        const double a = msSince(t0);
        t0 = std::chrono::steady_clock::now();
        const PhoneConfineResult confined = phoneConfineTree(kArea);
        const double b = msSince(t0);
        t0 = std::chrono::steady_clock::now();
        const bool emptied = phoneEmptyFolder(kArea);
        const double e = msSince(t0);
        state.SetIterationTime((a + b + e) / 1000.0);
        check += a;
        confine += b;
        empty += e;
        allOk = allOk && checked.ok && confined.ok && confined.removed.isEmpty() && emptied;
        if (!emptied) {
            state.SkipWithError("the area could not be emptied");
            break;
        }
    }
    const double n = double(qMax<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["check_ms"] = check / n;
    state.counters["confine_ms"] = confine / n;
    state.counters["empty_ms"] = empty / n;
    state.counters["ok"] = allOk ? 1 : 0;
}

} // namespace

BENCHMARK(BM_WalkDeepTree)
    ->Args({0, 400})->Args({0, 2000})->Args({1, 400})->Args({1, 2000})
    ->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    // Linux's default limit of open descriptors: the walks must reach the
    // bottom of the deepest tree within it.
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur > 1024) {
        limit.rlim_cur = 1024;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
