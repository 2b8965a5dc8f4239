#pragma once
// One phone per test: a phone root with the card, the registries and the
// program's own folder, and the records the tests start from.

#include "screentest.h"
#include "zconfig.h"

#include <QDir>
#include <QStringList>

namespace screentest {

constexpr char kInstalledDB[] = "/ezx_user/download/appwrite/am/InstalledDB";
constexpr char kCardRegistry[] = "/mmc/mmca1/.system/java/CardRegistry";
constexpr char kMenuTree[] = "/ezx_user/download/appwrite/am/UserMenuTree";
constexpr char kAutorun[] = "/ezx_user/download/appwrite/setup/ezx_sysregistry.cfg";
constexpr char kDownLoad[] = "/mmc/mmca1/.system/QTDownLoad";
constexpr char kInstallTmp[] = "/mmc/mmca1/.system/QTDownLoad/installtmp";

class Phone
{
public:
    Phone()
    {
        bin = root.outer() + QStringLiteral("/bin");
        QDir().mkpath(bin);
        setProgram(bin + QStringLiteral("/appkeeper"));
        Bool_LocalLanguage = true;
    }

    bool write(const QString& phonePath, const QByteArray& bytes) const
    {
        return root.writeFile(phonePath, bytes);
    }
    QByteArray read(const QString& phonePath) const { return root.readFile(phonePath); }
    QString host(const QString& phonePath) const { return root.host(phonePath); }
    bool exists(const QString& phonePath) const { return QFileInfo::exists(host(phonePath)); }

    QString entry(const char* file, const QString& uid, const char* key) const
    {
        ZConfig cfg(QString::fromLatin1(file), false);
        return cfg.readEntry(uid, QString::fromLatin1(key), QString());
    }
    QStringList groups(const char* file) const
    {
        ZConfig cfg(QString::fromLatin1(file), false);
        QStringList list;
        cfg.getGroupsKeyList(list);
        return list;
    }

    // A record of `file` for `uid`; keys not given are left out.
    void record(const char* file, const QString& uid, const QMap<QString, QString>& keys) const
    {
        QDir().mkpath(host(QString::fromLatin1(file)).section(QLatin1Char('/'), 0, -2));
        ZConfig cfg(QString::fromLatin1(file), false);
        for (auto it = keys.begin(); it != keys.end(); ++it)
            cfg.writeEntry(uid, it.key(), it.value());
    }

    // An autorun list that exists (the feature is off without the file).
    void autorunList(const QString& apps) const
    {
        ZConfig cfg(QString::fromLatin1(kAutorun), false);
        cfg.writeEntry(QStringLiteral("AutoRun"), QStringLiteral("Apps"), apps);
    }
    QString autorunApps() const
    {
        ZConfig cfg(QString::fromLatin1(kAutorun), false);
        return cfg.readEntry(QStringLiteral("AutoRun"), QStringLiteral("Apps"), QString());
    }

    // A package on the card, made with tar: one folder with a desktop file.
    bool package(const QString& phonePath, const QString& folder, const QString& name) const
    {
        return makePackage(host(phonePath),
                           {{folder + QStringLiteral("/app.desktop"), desktopEntry(name)},
                            {folder + QStringLiteral("/run.sh"), "#!/bin/sh\n"}});
    }

    PhoneRoot root;
    QString bin;
};

} // namespace screentest
