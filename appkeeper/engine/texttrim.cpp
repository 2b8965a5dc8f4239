#include "texttrim.h"

#include <QByteArray>
#include <QStringList>

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

namespace {

int boundedIndexOf(const QString& text, const QString& pattern)
{
    const auto boundaryBefore = [&](int at) {
        return at == 0 || text.at(at - 1) == QLatin1Char(';') || pattern.startsWith(QLatin1Char(';'));
    };
    const auto boundaryAfter = [&](int end) {
        return end == text.size() || text.at(end) == QLatin1Char(';')
               || pattern.endsWith(QLatin1Char(';'));
    };
    if (pattern.isEmpty())
        return -1;
    for (int at = text.indexOf(pattern); at >= 0; at = text.indexOf(pattern, at + 1)) {
        if (boundaryBefore(at) && boundaryAfter(at + pattern.size()))
            return at;
    }
    return -1;
}

} // namespace

QString StrDeleteEntry(QString text, const QString& pattern)
{
    const int at = boundedIndexOf(text, pattern);
    if (at >= 0)
        text.remove(at, pattern.size());
    return text;
}

QString listWithoutEntry(const QString& list, const QString& uid)
{
    QString cut = StrDeleteEntry(list, QLatin1Char(';') + uid);
    cut = StrDeleteEntry(cut, uid + QLatin1Char(';'));
    return StrDeleteEntry(cut, uid);
}

bool listHasEntry(const QString& list, const QString& uid)
{
    return !uid.isEmpty() && list.split(QLatin1Char(';')).contains(uid);
}
