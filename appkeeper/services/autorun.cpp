#include "autorun.h"
#include "phonefiles.h"

#include "phonepath.h"
#include "pkgwriter.h"
#include "texttrim.h"
#include "zconfig.h"

namespace {

const char kGroup[] = "AutoRun";
const char kKey[] = "Apps";

bool registryExists()
{
    return phoneExists(QLatin1String(phonefile::kAutorunRegistry));
}

// Only a real entry can be looked up or changed: an empty text or one holding
// the separator would match or cut separators and neighbouring entries.
bool usableUid(const QString& uid)
{
    return !uid.isEmpty() && !uid.contains(QLatin1Char(';'));
}

} // namespace

int checkAppAutorun(const QString& uid)
{
    if (!registryExists())
        return -1;
    if (!usableUid(uid))
        return 0;
    const ZConfig cfg(QLatin1String(phonefile::kAutorunRegistry), false);
    const QString apps = cfg.readEntry(QLatin1String(kGroup), QLatin1String(kKey), QString());
    if (apps.isNull())
        return 0;
    return apps.contains(uid, Qt::CaseSensitive) ? 1 : 0;
}

int addAppAutorun(const QString& uid)
{
    if (!registryExists())
        return -1;
    if (!usableUid(uid))
        return 0;
    const PkgWriter writer;
    if (!writer.held())
        return 0;
    ZConfig cfg(QLatin1String(phonefile::kAutorunRegistry), false);
    const QString apps = cfg.readEntry(QLatin1String(kGroup), QLatin1String(kKey), QString());
    QString updated;
    if (apps.isNull()) {
        updated = uid;
    } else if (apps.contains(uid, Qt::CaseSensitive)) {
        return 1;
    } else if (apps.endsWith(QLatin1Char(';'))) {
        updated = apps + uid;
    } else {
        updated = apps + QLatin1Char(';') + uid;
    }
    if (!cfg.writeEntry(QLatin1String(kGroup), QLatin1String(kKey), updated))
        return 0;
    return cfg.flush() ? 1 : 0;
}

int deleteAppAutorun(const QString& uid)
{
    if (!registryExists())
        return -1;
    if (!usableUid(uid))
        return 0;
    const PkgWriter writer;
    if (!writer.held())
        return 0;
    ZConfig cfg(QLatin1String(phonefile::kAutorunRegistry), false);
    const QString apps = cfg.readEntry(QLatin1String(kGroup), QLatin1String(kKey), QString());
    if (apps.isNull() || !apps.contains(uid, Qt::CaseSensitive))
        return 1;
    // Each form at most once: ";uid", then "uid;", then "uid" alone.
    const QString updated = listWithoutEntry(apps, uid);
    if (updated == apps)
        return 1;  // only part of a longer entry: nothing of ours to remove
    if (!cfg.writeEntry(QLatin1String(kGroup), QLatin1String(kKey), updated))
        return 0;
    return cfg.flush() ? 1 : 0;
}
