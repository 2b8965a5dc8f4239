#pragma once
// ZConfigDocument: the in-memory form of one INI file, as ZConfig reads and
// writes it. Kept apart from the file handling so that it can be driven from a
// QByteArray or a QIODevice (a QBuffer in tests, a fuzzer) without files.
//
// The document keeps every line of the source: lines it does not change are
// written back byte for byte (comments, blank lines, lines it cannot make sense
// of, invalid UTF-8, NUL bytes, the byte order mark, CRLF endings). Only the
// lines a call names are replaced or added.
//
// Syntax read:
//   [group]            a group header; blanks around the name are dropped
//   key = value        an entry; blanks around key and value are dropped
//   # ... / ; ...      comments
// Lines before the first group, and lines that are neither of the above, are
// kept but carry no entries. A group that appears twice is one group (its keys
// merged); a key that appears twice in a group reads as its last occurrence.
//
// Escapes (one table, used both ways, see zconfigEscape / zconfigUnescape):
//   \\  backslash        \n  line feed        \t  tab        \r  carriage return
//   \s  blank (only written for a leading or trailing blank)
//   \xNN  any other control character (U+0000..U+001F, U+007F..U+009F)
//   \[ \] \=  in keys and group names;  \# \;  at the start of a key
// Any other backslash sequence is kept as it stands.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

class QIODevice;

enum class ZConfigEscape { Value, Key, Group };

// The UTF-8 bytes that stand for `text` as a value, key or group name.
QByteArray zconfigEscape(const QString& text, ZConfigEscape kind);
// The text that the (already trimmed) bytes stand for; unknown escapes stay.
QString zconfigUnescape(const char* data, qsizetype size);
inline QString zconfigUnescape(const QByteArray& bytes)
{
    return zconfigUnescape(bytes.constData(), bytes.size());
}

class ZConfigDocument
{
public:
    ZConfigDocument() = default;
    explicit ZConfigDocument(const QByteArray& bytes) { parse(bytes); }

    // Replaces the content by what `bytes` holds.
    void parse(const QByteArray& bytes);
    // Reads the device to its end and parses it; false (content empty) when
    // the device cannot be read.
    bool parse(QIODevice* device);

    // The file's bytes: unchanged lines as they were read, changed ones new.
    QByteArray toByteArray() const;

    // The stored value, or a null string when group or key is absent. An
    // entry with an empty value gives an empty, non-null string.
    QString value(const QString& group, const QString& key) const;
    bool hasGroup(const QString& group) const { return m_byName.contains(group); }
    // Group names in the order of their first header in the file.
    QStringList groups() const;
    // The keys of a group (every occurrence), each once, in file order.
    QStringList keys(const QString& group) const;

    // Sets the value (the last occurrence of the key when it appears twice),
    // adding group and key when absent. Returns whether the bytes changed.
    bool setValue(const QString& group, const QString& key, const QString& value);
    // Removes every occurrence of the group with its lines. Returns whether
    // anything was removed.
    bool removeGroup(const QString& group);

    bool isEmpty() const;

private:
    enum class Kind : quint8 { Other, Entry };

    struct Line
    {
        QByteArray own;          // the line's bytes once changed or added
        qsizetype start = 0;     // otherwise a slice of m_source
        qsizetype size = 0;
        qsizetype keyOffset = 0;    // key bytes (trimmed), relative to the line
        qsizetype keySize = 0;
        qsizetype valueOffset = 0;  // value bytes, relative to the line
        qsizetype valueSize = 0;
        Kind kind = Kind::Other;
        bool plainKey = false;      // key bytes need no decoding (see keyMatches)
    };

    struct Section
    {
        QString name;
        bool hasHeader = false;  // false only for the lines before any group
        Line header;
        std::vector<Line> lines;
    };

    const char* lineData(const Line& line) const
    {
        return line.own.isNull() ? m_source.constData() + line.start : line.own.constData();
    }
    qsizetype lineSize(const Line& line) const
    {
        return line.own.isNull() ? line.size : line.own.size();
    }
    QString lineValue(const Line& line) const;
    QString lineKey(const Line& line) const;
    // Whether the line's key is `key`, whose escaped form is `escapedKey`.
    bool keyMatches(const Line& line, const QString& key, const QByteArray& escapedKey) const;
    static bool isPlainKey(const char* data, qsizetype size);
    bool lastLineBlank() const;
    void rebuildIndex();
    QByteArray newLine() const { return m_crlf ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n"); }

    QByteArray m_source;
    std::vector<Section> m_sections;
    QHash<QString, std::vector<int>> m_byName;  // section indices, in file order
    bool m_crlf = false;           // the first line ended with CRLF: new lines do too
    bool m_spacedEquals = true;    // the first entry was "key = value": new ones are too
};
