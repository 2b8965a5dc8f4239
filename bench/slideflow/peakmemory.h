#pragma once
// The highest resident memory this process has had (VmHWM), in MB; -1 when
// /proc cannot tell.

#include <QByteArray>
#include <QFile>

inline double peakMemoryMB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}
