#pragma once
// The registry that the crash test's writer rewrites: 1,000 records of 25
// keys and a closing group. Every value has a fixed width, so each whole
// version of the file has the same size, and a record's "Gen" tells which
// rewrite it comes from.
#include <QByteArray>
#include <QString>
#include <QVector>

namespace crashformat {

constexpr int kRecords = 1000;

inline QString group(int record)
{
    return QStringLiteral("rec%1").arg(record, 4, 10, QLatin1Char('0'));
}

inline QString gen(int generation)
{
    return QStringLiteral("%1").arg(generation, 8, 10, QLatin1Char('0'));
}

// The bytes of the file whose records carry the given generations.
inline QByteArray bytes(const QVector<int>& gens)
{
    QByteArray out;
    for (int r = 0; r < kRecords; ++r) {
        const QByteArray id = QByteArray::number(r).rightJustified(4, '0');
        out += "[rec" + id + "]\nName = app" + id + "\n";
        for (int k = 1; k <= 23; ++k)
            out += 'K' + QByteArray::number(k).rightJustified(2, '0') + " = /mmc/mmca1/app" + id + "/v" +
                   QByteArray::number(k) + "\n";
        out += "Gen = " + gen(gens.value(r)).toLatin1() + "\n\n";
    }
    out += "[end]\nlast = yes\n";
    return out;
}

} // namespace crashformat
