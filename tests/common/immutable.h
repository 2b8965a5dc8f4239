#pragma once
// Sets and clears the immutable attribute (chattr +i): the one way to make a
// file or a folder unwritable for root, as the tests run. Cleared again when
// the guard goes, so a failing check cannot leave an undeletable file behind.

#include <QProcess>
#include <QString>

class Immutable
{
public:
    explicit Immutable(const QString& hostPath) : m_path(hostPath)
    {
        m_ok = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), m_path}) == 0;
    }
    ~Immutable()
    {
        if (m_ok)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), m_path});
    }
    Immutable(const Immutable&) = delete;
    Immutable& operator=(const Immutable&) = delete;

    bool ok() const { return m_ok; }

private:
    QString m_path;
    bool m_ok = false;
};
