#include "texttrim.h"

#include <QByteArray>

std::string DelSpaceISO(std::string s)
{
    const std::string::size_type first = s.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    const std::string::size_type last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

QString DelSpace(QString s)
{
    const QByteArray bytes = s.toLatin1();
    const std::string trimmed = DelSpaceISO(std::string(bytes.constData(), size_t(bytes.size())));
    return QString::fromLatin1(trimmed.data(), qsizetype(trimmed.size()));
}

QString StrDelete(QString text, QString pattern)
{
    QByteArray t = text.toLatin1();
    const QByteArray p = pattern.toLatin1();
    if (t.size() < p.size() || p.isEmpty())
        return QString::fromLatin1(t);
    const qsizetype at = t.indexOf(p);
    if (at >= 0)
        t.remove(at, p.size());
    return QString::fromLatin1(t);
}
