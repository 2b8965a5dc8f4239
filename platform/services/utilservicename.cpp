#include "utilservicename.h"

#include "phonepath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstring>

const char* const kServiceNamePath = "/ezx_user/download/appwrite/setup/servicename";

namespace {

QString serviceNameHostPath()
{
    return phoneHostPath(QString::fromLatin1(kServiceNamePath));
}

bool isContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

std::size_t utf8PrefixLength(const char* bytes, std::size_t size, std::size_t limit)
{
    if (size <= limit)
        return size;
    // bytes[limit] is the first byte left out. When it continues a character,
    // that character started inside the prefix and is left out whole. A UTF-8
    // character has at most three continuation bytes, so backing up further
    // would only be hunting through bytes that are not UTF-8 at all.
    std::size_t n = limit;
    for (int steps = 0; n > 0 && steps < 3 && isContinuationByte(bytes[n]); ++steps)
        --n;
    return n;
}

bool UTIL_SetServiceName(const char* name)
{
    if (!name)
        return false;
    const QString host = serviceNameHostPath();
    const QString folder = QFileInfo(host).absolutePath();
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder))
        return false;
    QSaveFile file(host);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const qint64 size = static_cast<qint64>(std::strlen(name));
    if (file.write(name, size) != size) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool UTIL_GetServiceName(char* buffer)
{
    if (!buffer)
        return false;
    buffer[0] = '\0';
    QFile file(serviceNameHostPath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // One byte beyond what fits tells whether the name is cut, and where.
    char bytes[kServiceNameBufferSize];
    const qint64 got = file.read(bytes, sizeof bytes);
    if (got < 0)
        return false;
    std::size_t size = static_cast<std::size_t>(got);
    if (const void* zero = std::memchr(bytes, 0, size))
        size = static_cast<std::size_t>(static_cast<const char*>(zero) - bytes);
    const std::size_t keep = utf8PrefixLength(bytes, size, kServiceNameBufferSize - 1);
    std::memcpy(buffer, bytes, keep);
    buffer[keep] = '\0';
    return true;
}
