#include "zconfig_document.h"

#include <QIODevice>
#include <QSet>

#include <cstring>

namespace {

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

inline int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

inline bool isControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Whether the byte at `at` is escaped: preceded by an odd number of backslashes.
inline bool escapedAt(const char* data, qsizetype at)
{
    qsizetype n = 0;
    while (at - n - 1 >= 0 && data[at - n - 1] == '\\')
        ++n;
    return n % 2 == 1;
}

// Trims blanks from both ends of [b, e).
inline void trim(const char* data, qsizetype& b, qsizetype& e)
{
    while (b < e && isBlank(data[b]))
        ++b;
    while (e > b && isBlank(data[e - 1]))
        --e;
}

// UTF-8 bytes as text, keeping a leading byte order mark as U+FEFF (Qt's
// own decoding drops it): in a value, key or group name it is a character.
QString utf8Exact(const char* data, qsizetype size)
{
    QString out;
    while (size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0) {
        out += QChar(0xFEFF);
        data += 3;
        size -= 3;
    }
    return out + QString::fromUtf8(data, size);
}

QString nonNull(QString s)
{
    if (s.isNull())
        return QStringLiteral("");
    return s;
}

} // namespace

QByteArray zconfigEscape(const QString& text, ZConfigEscape kind)
{
    static const char hex[] = "0123456789abcdef";
    const qsizetype n = text.size();
    QString out;
    out.reserve(n + 8);
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text.at(i).unicode();
        switch (c) {
        case u'\\': out += u"\\\\"; continue;
        case u'\n': out += u"\\n"; continue;
        case u'\t': out += u"\\t"; continue;
        case u'\r': out += u"\\r"; continue;
        case u' ':
            if (i == 0 || i == n - 1)
                out += u"\\s";
            else
                out += u' ';
            continue;
        case u'[':
        case u']':
        case u'=':
            if (kind != ZConfigEscape::Value)
                out += u'\\';
            out += QChar(c);
            continue;
        case u'#':
        case u';':
            if (kind == ZConfigEscape::Key && i == 0)
                out += u'\\';
            out += QChar(c);
            continue;
        default:
            break;
        }
        if (isControl(c)) {
            out += u"\\x";
            out += QLatin1Char(hex[(c >> 4) & 0xF]);
            out += QLatin1Char(hex[c & 0xF]);
        } else {
            out += QChar(c);
        }
    }
    return out.toUtf8();
}

QString zconfigUnescape(const char* data, qsizetype size)
{
    if (!std::memchr(data, '\\', size_t(size)))
        return nonNull(utf8Exact(data, size));

    QString out;
    out.reserve(size);
    qsizetype run = 0;  // start of the literal bytes not yet decoded
    qsizetype i = 0;
    while (i < size) {
        if (data[i] != '\\' || i + 1 >= size) {
            ++i;
            continue;
        }
        char16_t decoded = 0;
        qsizetype length = 2;
        switch (data[i + 1]) {
        case 'n': decoded = u'\n'; break;
        case 't': decoded = u'\t'; break;
        case 'r': decoded = u'\r'; break;
        case 's': decoded = u' '; break;
        case '\\': decoded = u'\\'; break;
        case '[': decoded = u'['; break;
        case ']': decoded = u']'; break;
        case '=': decoded = u'='; break;
        case '#': decoded = u'#'; break;
        case ';': decoded = u';'; break;
        case 'x':
            if (i + 3 < size && hexDigit(data[i + 2]) >= 0 && hexDigit(data[i + 3]) >= 0) {
                decoded = char16_t(hexDigit(data[i + 2]) * 16 + hexDigit(data[i + 3]));
                length = 4;
            } else {
                length = 0;
            }
            break;
        default:
            length = 0;  // unknown: the backslash stays a plain character
            break;
        }
        if (length == 0) {
            ++i;
            continue;
        }
        out += utf8Exact(data + run, i - run);
        out += QChar(decoded);
        i += length;
        run = i;
    }
    out += utf8Exact(data + run, size - run);
    return nonNull(out);
}

void ZConfigDocument::parse(const QByteArray& bytes)
{
    m_source = bytes;
    m_sections.clear();
    m_byName.clear();
    m_crlf = false;
    m_spacedEquals = true;
    bool sawEntry = false;

    m_sections.emplace_back();  // the lines before the first group
    // Lines of the current group gather here and move into it in one piece
    // when the group ends, so that each group's list is allocated once.
    std::vector<Line> pending;
    pending.reserve(64);
    auto closeSection = [&] {
        m_sections.back().lines.assign(std::make_move_iterator(pending.begin()),
                                       std::make_move_iterator(pending.end()));
        pending.clear();
    };
    const char* data = m_source.constData();
    const qsizetype n = m_source.size();
    qsizetype pos = 0;
    bool first = true;
    while (pos < n) {
        const char* nl = static_cast<const char*>(std::memchr(data + pos, '\n', size_t(n - pos)));
        const qsizetype end = nl ? (nl - data) + 1 : n;
        qsizetype b = pos;
        qsizetype e = end;
        if (e > b && data[e - 1] == '\n')
            --e;
        if (e > b && data[e - 1] == '\r') {
            --e;
            if (first)
                m_crlf = true;
        }
        if (first && e - b >= 3 && std::memcmp(data + b, "\xEF\xBB\xBF", 3) == 0)
            b += 3;
        first = false;
        const qsizetype contentEnd = e;
        trim(data, b, e);

        Line line;
        line.start = pos;
        line.size = end - pos;
        // A header may be followed by a comment: "[name] ; note".
        qsizetype close = -1;
        if (b < e && data[b] == '[') {
            if (e - b >= 2 && data[e - 1] == ']' && !escapedAt(data + b, e - 1 - b)) {
                close = e - 1;
            } else {
                for (qsizetype i = b + 1; i < e; ++i) {
                    if (data[i] == '\\') {
                        ++i;
                    } else if (data[i] == ']') {
                        qsizetype after = i + 1;
                        while (after < e && isBlank(data[after]))
                            ++after;
                        if (after < e && (data[after] == ';' || data[after] == '#'))
                            close = i;
                        break;
                    }
                }
            }
        }
        if (close > b) {
            qsizetype nb = b + 1, ne = close;
            trim(data, nb, ne);
            Section section;
            section.name = zconfigUnescape(data + nb, ne - nb);
            section.hasHeader = true;
            section.header = line;
            closeSection();
            m_sections.push_back(std::move(section));
        } else {
            if (b < e && data[b] != '#' && data[b] != ';') {
                // The first '=' that is not escaped ends the key.
                qsizetype eq = -1;
                for (qsizetype i = b; i < e; ++i) {
                    if (data[i] == '\\') {
                        ++i;
                    } else if (data[i] == '=') {
                        eq = i;
                        break;
                    }
                }
                if (eq >= 0) {
                    qsizetype kb = b, ke = eq;
                    trim(data, kb, ke);
                    // The value starts after the blanks that follow '=' (for
                    // an empty value: after all of them, so that a new value
                    // keeps the line's "key = " form).
                    qsizetype vb = eq + 1;
                    while (vb < contentEnd && isBlank(data[vb]))
                        ++vb;
                    line.kind = Kind::Entry;
                    line.keyOffset = kb - pos;
                    line.keySize = ke - kb;
                    line.plainKey = isPlainKey(data + kb, ke - kb);
                    line.valueOffset = vb - pos;
                    line.valueSize = e > vb ? e - vb : 0;
                    if (!sawEntry) {
                        sawEntry = true;
                        m_spacedEquals = eq > b && isBlank(data[eq - 1]);
                    }
                }
            }
            pending.push_back(std::move(line));
        }
        pos = end;
    }
    closeSection();
    rebuildIndex();
}

bool ZConfigDocument::parse(QIODevice* device)
{
    if (!device || !device->isReadable()) {
        parse(QByteArray());
        return false;
    }
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const qint64 got = device->read(buffer, sizeof buffer);
        if (got < 0) {
            parse(QByteArray());
            return false;
        }
        if (got == 0)
            break;
        bytes.append(buffer, got);
    }
    parse(bytes);
    return true;
}

void ZConfigDocument::rebuildIndex()
{
    m_byName.clear();
    for (int i = 0; i < int(m_sections.size()); ++i)
        if (m_sections[size_t(i)].hasHeader)
            m_byName[m_sections[size_t(i)].name].push_back(i);
}

QByteArray ZConfigDocument::toByteArray() const
{
    qsizetype total = 0;
    for (const Section& s : m_sections) {
        if (s.hasHeader)
            total += lineSize(s.header) + 2;
        for (const Line& l : s.lines)
            total += lineSize(l) + 2;
    }
    QByteArray out;
    out.reserve(total);
    const QByteArray eol = newLine();
    auto put = [&](const Line& l) {
        // A line that had no end (the last one of the source) gets one as
        // soon as something follows it.
        // (one that ends in a lone CR gets the LF that completes it).
        if (!out.isEmpty() && !out.endsWith('\n'))
            out += out.endsWith('\r') ? QByteArray("\n") : eol;
        out.append(lineData(l), lineSize(l));
    };
    for (const Section& s : m_sections) {
        if (s.hasHeader)
            put(s.header);
        for (const Line& l : s.lines)
            put(l);
    }
    return out;
}

QString ZConfigDocument::lineValue(const Line& line) const
{
    return zconfigUnescape(lineData(line) + line.valueOffset, line.valueSize);
}

// Keys are compared without decoding them where that is exact: bytes made of
// printable ASCII other than '\\', '[' and ']' decode to themselves, and the
// escape of such a text gives the same bytes back (a key line cannot start
// with '#' or ';', hold '=' or end in a blank), so for them "decodes to key"
// is "equals the escaped key".
bool ZConfigDocument::isPlainKey(const char* data, qsizetype size)
{
    for (qsizetype i = 0; i < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        if (c < 0x20 || c >= 0x7F || c == '\\' || c == '[' || c == ']')
            return false;
    }
    return true;
}

QString ZConfigDocument::lineKey(const Line& line) const
{
    return zconfigUnescape(lineData(line) + line.keyOffset, line.keySize);
}

bool ZConfigDocument::keyMatches(const Line& line, const QString& key,
                                 const QByteArray& escapedKey) const
{
    if (line.plainKey)
        return line.keySize == escapedKey.size() &&
               std::memcmp(lineData(line) + line.keyOffset, escapedKey.constData(),
                           size_t(line.keySize)) == 0;
    return lineKey(line) == key;
}

QString ZConfigDocument::value(const QString& group, const QString& key) const
{
    const auto it = m_byName.constFind(group);
    if (it == m_byName.cend())
        return QString();
    const QByteArray escapedKey = zconfigEscape(key, ZConfigEscape::Key);
    const std::vector<int>& indices = it.value();
    for (auto s = indices.rbegin(); s != indices.rend(); ++s) {
        const std::vector<Line>& lines = m_sections[size_t(*s)].lines;
        for (auto l = lines.rbegin(); l != lines.rend(); ++l)
            if (l->kind == Kind::Entry && keyMatches(*l, key, escapedKey))
                return lineValue(*l);
    }
    return QString();
}

QStringList ZConfigDocument::groups() const
{
    QStringList list;
    QSet<QString> seen;
    for (const Section& s : m_sections) {
        if (!s.hasHeader || seen.contains(s.name))
            continue;
        seen.insert(s.name);
        list.append(s.name);
    }
    return list;
}

QStringList ZConfigDocument::keys(const QString& group) const
{
    QStringList list;
    const auto it = m_byName.constFind(group);
    if (it == m_byName.cend())
        return list;
    QSet<QString> seen;
    for (int s : it.value()) {
        for (const Line& l : m_sections[size_t(s)].lines) {
            if (l.kind != Kind::Entry)
                continue;
            const QString k = lineKey(l);
            if (seen.contains(k))
                continue;
            seen.insert(k);
            list.append(k);
        }
    }
    return list;
}

bool ZConfigDocument::isEmpty() const
{
    for (const Section& s : m_sections)
        if (s.hasHeader || !s.lines.empty())
            return false;
    return true;
}

bool ZConfigDocument::lastLineBlank() const
{
    for (auto s = m_sections.rbegin(); s != m_sections.rend(); ++s) {
        const Line* last = nullptr;
        if (!s->lines.empty())
            last = &s->lines.back();
        else if (s->hasHeader)
            last = &s->header;
        if (!last)
            continue;
        const char* d = lineData(*last);
        qsizetype i = 0;
        const qsizetype n = lineSize(*last);
        if (n >= 3 && std::memcmp(d, "\xEF\xBB\xBF", 3) == 0)
            i = 3;  // a byte order mark alone is no content
        for (; i < n; ++i)
            if (!isBlank(d[i]) && d[i] != '\r' && d[i] != '\n')
                return false;
        return true;
    }
    return true;  // nothing at all
}

bool ZConfigDocument::setValue(const QString& group, const QString& key, const QString& value)
{
    const QByteArray escaped = zconfigEscape(value, ZConfigEscape::Value);
    const QByteArray escapedKey = zconfigEscape(key, ZConfigEscape::Key);
    auto it = m_byName.find(group);
    if (it != m_byName.end()) {
        const std::vector<int>& indices = it.value();
        for (auto s = indices.rbegin(); s != indices.rend(); ++s) {
            std::vector<Line>& lines = m_sections[size_t(*s)].lines;
            for (auto l = lines.rbegin(); l != lines.rend(); ++l) {
                if (l->kind != Kind::Entry || !keyMatches(*l, key, escapedKey))
                    continue;
                if (lineValue(*l) == value)
                    return false;
                // Keep the key as it was written and what follows the value
                // (trailing blanks, the line's end); replace the value alone.
                const char* d = lineData(*l);
                const qsizetype size = lineSize(*l);
                QByteArray bytes;
                bytes.reserve(size - l->valueSize + escaped.size() + 1);
                bytes.append(d, l->valueOffset);
                // A key that someone wrote with a leading '[' and a value
                // ending in ']' would make the line read as a group header:
                // the closing bracket is then written escaped.
                qsizetype first = 0;
                while (first < l->valueOffset && isBlank(d[first]))
                    ++first;
                if (d[first] == '[' && escaped.endsWith(']')) {
                    bytes.append(escaped.constData(), escaped.size() - 1);
                    bytes.append("\\]");
                } else {
                    bytes.append(escaped);
                }
                const qsizetype newValueSize = bytes.size() - l->valueOffset;
                bytes.append(d + l->valueOffset + l->valueSize, size - l->valueOffset - l->valueSize);
                l->own = bytes;
                l->valueSize = newValueSize;
                return true;
            }
        }
    }

    Line line;
    line.kind = Kind::Entry;
    line.own = escapedKey;
    line.keySize = escapedKey.size();
    line.plainKey = isPlainKey(escapedKey.constData(), escapedKey.size());
    line.own += m_spacedEquals ? " = " : "=";
    line.valueOffset = line.own.size();
    line.valueSize = escaped.size();
    line.own += escaped;
    line.own += newLine();

    if (it != m_byName.end()) {
        // After the last entry of the group's last occurrence, so that blank
        // lines and comments that end the group stay after it.
        std::vector<Line>& lines = m_sections[size_t(it.value().back())].lines;
        size_t at = 0;
        for (size_t i = lines.size(); i > 0; --i) {
            if (lines[i - 1].kind == Kind::Entry) {
                at = i;
                break;
            }
        }
        lines.insert(lines.begin() + qsizetype(at), std::move(line));
        return true;
    }

    if (!lastLineBlank()) {
        Line blank;
        blank.own = newLine();
        Section& last = m_sections.back();
        last.lines.push_back(std::move(blank));
    }
    Section section;
    section.name = group;
    section.hasHeader = true;
    section.header.own = '[' + zconfigEscape(group, ZConfigEscape::Group) + ']' + newLine();
    section.lines.push_back(std::move(line));
    m_sections.push_back(std::move(section));
    m_byName[group].push_back(int(m_sections.size()) - 1);
    return true;
}

bool ZConfigDocument::removeGroup(const QString& group)
{
    if (!m_byName.contains(group))
        return false;
    std::vector<Section> kept;
    kept.reserve(m_sections.size());
    for (Section& s : m_sections)
        if (!s.hasHeader || s.name != group)
            kept.push_back(std::move(s));
    m_sections = std::move(kept);
    rebuildIndex();
    return true;
}
