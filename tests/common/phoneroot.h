#pragma once
// A throw-away phone root for one test: a temporary folder that EZX_ROOT points
// at while the object lives, with the phone's usual folders made.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QString>

class PhoneRoot
{
public:
    explicit PhoneRoot(bool makeFolders = true)
        : m_previous(qgetenv("EZX_ROOT")), m_hadPrevious(qEnvironmentVariableIsSet("EZX_ROOT"))
    {
        // The phone root lives in a folder of its own inside the temporary
        // folder, so a test can look at what was written beside it.
        m_root = m_outer.path() + QStringLiteral("/root");
        QDir().mkpath(m_root);
        qputenv("EZX_ROOT", m_root.toLocal8Bit());
        if (makeFolders) {
            for (const char* d : {"/mmc/mmca1", "/ezx_user/download/appwrite/am",
                                  "/ezx_user/download/appwrite/setup",
                                  "/usr/data_resource/preloadapps"})
                QDir().mkpath(host(QLatin1String(d)));
        }
    }
    ~PhoneRoot()
    {
        if (m_hadPrevious)
            qputenv("EZX_ROOT", m_previous);
        else
            qunsetenv("EZX_ROOT");
    }

    bool isValid() const { return m_outer.isValid(); }
    // The host folder that stands for the phone's "/".
    QString root() const { return m_root; }
    // The folder around the root: nothing may ever appear here but "root".
    QString outer() const { return m_outer.path(); }
    QString host(const QString& phonePath) const { return m_root + phonePath; }

    bool writeFile(const QString& phonePath, const QByteArray& bytes) const
    {
        const QString h = host(phonePath);
        QDir().mkpath(h.section(QLatin1Char('/'), 0, -2));
        QFile f(h);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        return f.write(bytes) == bytes.size();
    }
    QByteArray readFile(const QString& phonePath) const
    {
        QFile f(host(phonePath));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_outer;
    QString m_root;
    QByteArray m_previous;
    bool m_hadPrevious;
};
