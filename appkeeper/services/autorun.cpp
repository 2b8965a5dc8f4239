#include "autorun.h"

#include "phonepath.h"
#include "zconfig.h"

namespace {

const char kSysRegistry[] = "/ezx_user/download/appwrite/setup/ezx_sysregistry.cfg";
const char kGroup[] = "AutoRun";
const char kKey[] = "Apps";

bool registryExists()
{
    return phoneExists(QLatin1String(kSysRegistry));
}

// The first occurrence of `pattern` in `text` at or after `from` whose ends
// fall on entry boundaries (the start or end of the list, or a ";"), so that
// cutting it never eats into a longer entry that merely contains the UID.
int boundedIndexOf(const QString& text, const QString& pattern, int from = 0)
{
    const auto boundaryBefore = [&](int at) {
        return at == 0 || text.at(at - 1) == QLatin1Char(';') || pattern.startsWith(QLatin1Char(';'));
    };
    const auto boundaryAfter = [&](int end) {
        return end == text.size() || text.at(end) == QLatin1Char(';')
               || pattern.endsWith(QLatin1Char(';'));
    };
    for (int at = text.indexOf(pattern, from); at >= 0; at = text.indexOf(pattern, at + 1)) {
        if (boundaryBefore(at) && boundaryAfter(at + pattern.size()))
            return at;
    }
    return -1;
}

// `text` with the first whole-entry occurrence of `pattern` cut out. The cut
// is made on the text itself, not on 8-bit bytes, so a hand-edited list that
// holds other characters keeps them.
QString cutEntry(QString text, const QString& pattern)
{
    const int at = boundedIndexOf(text, pattern);
    if (at >= 0)
        text.remove(at, pattern.size());
    return text;
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
    const ZConfig cfg(QLatin1String(kSysRegistry), false);
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
    ZConfig cfg(QLatin1String(kSysRegistry), false);
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
    ZConfig cfg(QLatin1String(kSysRegistry), false);
    const QString apps = cfg.readEntry(QLatin1String(kGroup), QLatin1String(kKey), QString());
    if (apps.isNull() || !apps.contains(uid, Qt::CaseSensitive))
        return 1;
    // Each form at most once: ";uid", then "uid;", then "uid" alone.
    QString updated = cutEntry(apps, QLatin1Char(';') + uid);
    updated = cutEntry(updated, uid + QLatin1Char(';'));
    updated = cutEntry(updated, uid);
    if (updated == apps)
        return 1;  // only part of a longer entry: nothing of ours to remove
    if (!cfg.writeEntry(QLatin1String(kGroup), QLatin1String(kKey), updated))
        return 0;
    return cfg.flush() ? 1 : 0;
}
