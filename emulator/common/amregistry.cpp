#include "amregistry.h"

#include "phonefiles.h"
#include "phonepath.h"
#include "zconfig.h"

#include <QSet>

namespace ampaths {

QStringList registries()
{
    return {QLatin1String(phonefile::kInstalledDB), QLatin1String(phonefile::kUserRegistry),
            QLatin1String(phonefile::kPreloadRegistry), QLatin1String(phonefile::kCardRegistry)};
}
} // namespace ampaths

namespace {

bool climbs(const QString& path)
{
    const QStringList parts = path.split(QLatin1Char('/'));
    return parts.contains(QStringLiteral(".."));
}

// A path below a record's folder: not empty, not absolute, never "..".
bool safeRelative(const QString& path)
{
    return !path.isEmpty() && !path.startsWith(QLatin1Char('/')) && !climbs(path)
           && !path.contains(QChar(0));
}

bool safeDirectory(const QString& dir)
{
    if (!dir.startsWith(QLatin1Char('/')) || climbs(dir) || dir.contains(QChar(0)))
        return false;
    // On a desktop the folder must lie in the phone, never on the host.
    if (phoneRootSet() && !isPhoneTreePath(dir))
        return false;
    // An application's own folder, where applications live: never the card's
    // root, a folder applications share, or (through a link) any other place.
    if (!phoneIsApplicationFolderPath(dir))
        return false;
    return !phoneExists(dir) || !phoneApplicationFolder(dir).isNull();
}

// An Exec that is there must be a file inside its own folder, links
// followed (a link to the system's shell is no application's program).
bool execInside(const QString& dir, const QString& exec)
{
    const QString path = phoneCleanPath(dir + QLatin1Char('/') + exec);
    if (!phoneExists(path))
        return true;   // said when it is started
    const QString folder = phoneApplicationFolder(dir);
    const QString real = phoneRealPath(path);
    return !folder.isNull() && !real.isNull() && real.startsWith(folder + QLatin1Char('/'));
}

// A name as the menu shows it: one from the card may be thousands of
// characters long; past a screen's worth it is cut and ends in "…" (the
// registry keeps it as it is).
QString shownName(const QString& name)
{
    const int kLongest = 200;
    return name.size() <= kLongest ? name : name.left(kLongest) + QChar(0x2026);
}

QString oneLine(QString text)
{
    for (QChar& c : text)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator
            || c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    return text;
}

} // namespace

bool AmApplication::isJava() const
{
    return !javaId.isEmpty() && javaId != QLatin1String("-1");
}

QString AmApplication::execPath() const
{
    return phoneCleanPath(directory + QLatin1Char('/') + exec);
}

QString AmApplication::iconPath() const
{
    if (!safeRelative(icon))
        return QString();
    return phoneCleanPath(directory + QLatin1Char('/') + icon);
}

int AmMenu::applicationCount() const
{
    int n = 0;
    for (const AmFolder& f : folders)
        n += f.applications.size();
    return n;
}

AmRecords::AmRecords()
{
    for (const QString& path : ampaths::registries()) {
        const ZConfig reg(path, false);
        if (!reg.readable())
            m_warnings << QStringLiteral("%1: cannot be read (no regular file, unreadable, or larger than "
                                         "%2 MB): its applications are left out")
                              .arg(path)
                              .arg(ZConfig::kLargestFile >> 20);
        QStringList groups;
        reg.getGroupsKeyList(groups);
        const bool card = path == QLatin1String(phonefile::kCardRegistry);
        for (const QString& uid : groups) {
            if (m_records.contains(uid)) {
                // The card is written by strangers: it never takes the place
                // of an application of the phone's own registries.
                if (card)
                    m_warnings << QStringLiteral("%1: the card's record is left out: the phone has an "
                                                 "application of that UID").arg(oneLine(uid));
                continue;
            }
            AmApplication app;
            app.uid = uid;
            app.name = shownName(reg.readEntry(uid, QStringLiteral("Name")));
            app.exec = reg.readEntry(uid, QStringLiteral("Exec"));
            app.icon = reg.readEntry(uid, QStringLiteral("Icon"));
            app.directory = reg.readEntry(uid, QStringLiteral("Directory"));
            app.args = reg.readEntry(uid, QStringLiteral("Args"));
            app.javaId = reg.readEntry(uid, QStringLiteral("JavaId"));
            app.registry = path;
            m_records.insert(uid, app);
        }
    }
}

bool AmRecords::find(const QString& uid, AmApplication* app, QString* why) const
{
    auto it = m_records.constFind(uid);
    if (it == m_records.constEnd())
        it = m_records.constFind(uid.toLower());
    if (it == m_records.constEnd()) {
        *why = QStringLiteral("no application record");
        return false;
    }
    const AmApplication& a = *it;
    if (a.name.trimmed().isEmpty())
        *why = QStringLiteral("record without Name");
    else if (a.exec.isEmpty())
        *why = QStringLiteral("record without Exec");
    else if (a.directory.isEmpty())
        *why = QStringLiteral("record without Directory");
    else if (!safeDirectory(a.directory))
        *why = QStringLiteral("Directory is not a phone folder: ") + oneLine(a.directory);
    else if (!safeRelative(a.exec) || !execInside(a.directory, a.exec))
        *why = QStringLiteral("Exec leaves its Directory: ") + oneLine(a.exec);
    else {
        *app = a;
        return true;
    }
    return false;
}

QStringList splitUidList(const QString& items)
{
    QStringList uids;
    QSet<QString> seen;
    for (const QString& part : items.split(QLatin1Char(';'))) {
        const QString uid = part.trimmed();
        if (uid.isEmpty() || seen.contains(uid))
            continue;
        seen.insert(uid);
        uids << uid;
    }
    return uids;
}

AmMenu loadAmMenu()
{
    AmMenu menu;
    const AmRecords records;
    menu.warnings << records.warnings();
    const ZConfig tree(QLatin1String(phonefile::kUserMenuTree), false);
    QStringList groups;
    tree.getGroupsKeyList(groups);
    for (const QString& group : groups) {
        AmFolder folder;
        folder.uid = group;
        folder.name = tree.readEntry(group, QStringLiteral("Name")).trimmed();
        if (folder.name.isEmpty())
            folder.name = group;
        const QString items = tree.readEntry(group, QStringLiteral("Items"));
        for (const QString& uid : splitUidList(items)) {
            AmApplication app;
            QString why;
            if (records.find(uid, &app, &why))
                folder.applications << app;
            else
                menu.warnings << QStringLiteral("%1: %2: %3").arg(oneLine(folder.name), oneLine(uid), why);
        }
        menu.folders << folder;
    }
    return menu;
}

QString formatAmMenu(const AmMenu& menu)
{
    QString out;
    for (const AmFolder& f : menu.folders) {
        out += oneLine(f.name) + QLatin1Char('\n');
        for (const AmApplication& a : f.applications)
            out += QStringLiteral("  ") + oneLine(a.uid) + QStringLiteral("  ") + oneLine(a.name)
                   + QLatin1Char('\n');
    }
    return out;
}

QStringList bootApplications()
{
    const ZConfig settings(QLatin1String(phonefile::kAutorunRegistry), false);
    return splitUidList(settings.readEntry(QStringLiteral("AutoRun"), QStringLiteral("Apps")));
}
