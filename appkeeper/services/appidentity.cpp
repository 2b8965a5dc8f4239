#include "appidentity.h"
#include "phonefiles.h"

#include "pkgwriter.h"
#include "zconfig.h"

#include <QSet>
#include <QStringList>
#include <QRandomGenerator>
#include <QUuid>

#include <cstdlib>
#include <ctime>

namespace {


// Attempts are counted from 0; the last one is 55,534.
const int kLastAttempt = 55534;

// The program's source draws from the system's random generator, which
// needs no seed: two installs in the same second (two phones' scripts, two
// processes) get different candidates, where a clock-seeded rand() gave
// both the same one.
UidRandomSource defaultSource()
{
    UidRandomSource s;
    s.now = [] { return static_cast<long long>(std::time(nullptr)); };
    s.seed = [](unsigned int) {};
    s.next = [] { return static_cast<long long>(QRandomGenerator::system()->generate() >> 1); };
    return s;
}

UidRandomSource& currentSource()
{
    static UidRandomSource source = defaultSource();
    return source;
}

// truncate(r * n * 2^-31) + 1: a draw of the source spread over 1..n.
unsigned int field(unsigned int n)
{
    long long r = currentSource().next();
    if (r < 0)
        r = 0;
    if (r > 0x7fffffffLL)
        r = 0x7fffffffLL;
    return static_cast<unsigned int>((static_cast<unsigned long long>(r) * n) >> 31) + 1;
}

// The name functions look in this order.
const char* const kNameRegistries[] = {phonefile::kInstalledDB, phonefile::kUserRegistry, phonefile::kPreloadRegistry,
                                       phonefile::kCardRegistry};

} // namespace

UidRandomSource setUidRandomSource(UidRandomSource source)
{
    const UidRandomSource defaults = defaultSource();
    if (!source.now)
        source.now = defaults.now;
    if (!source.seed)
        source.seed = defaults.seed;
    if (!source.next)
        source.next = defaults.next;
    UidRandomSource previous = currentSource();
    currentSource() = source;
    return previous;
}

namespace {

QString drawBraced()
{
    // The order of the draws is fixed: data1, data2, data3, data4[0..7].
    const uint d1 = field(10000000);
    const ushort d2 = static_cast<ushort>(field(10000));
    const ushort d3 = static_cast<ushort>(field(10000));
    uchar d4[8];
    for (uchar& b : d4)
        b = static_cast<uchar>(field(255));
    const QUuid uuid(d1, d2, d3, d4[0], d4[1], d4[2], d4[3], d4[4], d4[5], d4[6], d4[7]);
    return uuid.toString(QUuid::WithBraces);
}

// The group names of every registry an application can be listed in. The
// preloaded-application registry is among them: a new UID must not name a
// record there either.
QSet<QString> takenUids()
{
    QSet<QString> taken;
    for (const char* path :
         {phonefile::kUserRegistry, phonefile::kInstalledDB, phonefile::kAutorunRegistry, phonefile::kCardRegistry, phonefile::kPreloadRegistry}) {
        const ZConfig cfg(QLatin1String(path), false);
        QStringList groups;
        cfg.getGroupsKeyList(groups);
        for (const QString& g : groups)
            taken.insert(g);
    }
    return taken;
}

} // namespace

QString CreateUID()
{
    // The registries are read once for all attempts; writers hold the
    // phone's writer lock while they make a UID and register it.
    const QSet<QString> taken = takenUids();
    const long long now = currentSource().now();
    QString braced;
    for (int i = 0; i <= kLastAttempt; ++i) {
        currentSource().seed(static_cast<unsigned int>(now + i));
        braced = drawBraced();
        const QString candidate = braced.mid(1, 36);
        if (!taken.contains(candidate))
            return candidate;
    }
    return braced;
}

QString getAppNameInfo(const QString& uid)
{
    if (uid.isNull())
        return QString();
    for (const char* path : kNameRegistries) {
        const ZConfig cfg(QLatin1String(path), false);
        const QString name = cfg.readEntry(uid, QStringLiteral("Name"), QString());
        if (!name.isNull())
            return name;
    }
    return QString();
}

int setAppNameInfo(const QString& uid, const QString& name)
{
    if (uid.isNull() || name.isNull())
        return -1;
    // One writer at a time: a rename waits for an install in progress.
    const PkgWriter writer;
    if (!writer.held())
        return 0;
    for (const char* path : kNameRegistries) {
        ZConfig cfg(QLatin1String(path), false);
        if (!cfg.groupExists(uid))
            continue;
        // Only the first registry holding the record is changed. A write the
        // file refuses (a read-only preloaded registry) is a failed rename.
        if (!cfg.writeEntry(uid, QStringLiteral("Name"), name))
            return 0;
        return cfg.flush() ? 1 : 0;
    }
    return 0;
}
