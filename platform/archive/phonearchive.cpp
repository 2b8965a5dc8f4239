#include "phonearchive.h"

#include "phonepath.h"

#include <QFile>

#include <zlib.h>

#include <cstring>

namespace {

constexpr int kBlock = 512;
// Extended headers (long names, pax records) larger than this are refused:
// no package needs them, and an archive must not make the reader hold
// gigabytes.
constexpr qint64 kMaxExtendedHeader = 1 << 20;

// A number field of a tar header: octal digits (blanks and NULs around
// them), or GNU's base-256 form (first byte with its high bit set).
qint64 headerNumber(const char* field, int size, bool* ok)
{
    *ok = true;
    const auto* u = reinterpret_cast<const unsigned char*>(field);
    if (u[0] & 0x80) {
        if (u[0] & 0x40) {   // negative: never a valid size
            *ok = false;
            return 0;
        }
        quint64 v = u[0] & 0x3f;
        for (int i = 1; i < size; ++i) {
            if (v >> 55) {
                *ok = false;
                return 0;
            }
            v = (v << 8) | u[i];
        }
        return qint64(v);
    }
    int i = 0;
    while (i < size && (field[i] == ' ' || field[i] == '\0'))
        ++i;
    quint64 v = 0;
    bool digits = false;
    for (; i < size && field[i] >= '0' && field[i] <= '7'; ++i) {
        if (v >> 60) {
            *ok = false;
            return 0;
        }
        v = v * 8 + quint64(field[i] - '0');
        digits = true;
    }
    for (; i < size; ++i)
        if (field[i] != ' ' && field[i] != '\0')
            *ok = false;
    if (!digits && field[0] != '\0' && field[0] != ' ')
        *ok = false;
    return qint64(v);
}

QByteArray cString(const char* field, int size)
{
    return QByteArray(field, int(strnlen(field, size_t(size))));
}

// The path as tar unpacks it; `unsafe` when a component is "..".
QByteArray normalisedPath(const QByteArray& raw, bool* unsafe)
{
    QByteArray out;
    for (const QByteArray& comp : raw.split('/')) {
        if (comp.isEmpty() || comp == ".")
            continue;
        if (comp == "..")
            *unsafe = true;
        if (!out.isEmpty())
            out += '/';
        out += comp;
    }
    return out;
}

// Reads the tar stream as it is decompressed, block by block.
class TarReader
{
public:
    std::vector<PhoneArchiveMember> members;
    QString error;
    bool ended = false;   // the end-of-archive block was read

    bool failed() const { return !error.isEmpty(); }
    // Between two members: a stream that stops here lacks nothing.
    bool atMemberBoundary() const { return m_state == State::Header && m_partial.isEmpty(); }

    void feed(const char* p, qint64 n)
    {
        while (n > 0 && !ended && !failed()) {
            qint64 take = 0;
            switch (m_state) {
            case State::Skip:
                take = qMin(n, m_left);
                m_left -= take;
                if (m_left == 0)
                    m_state = State::Header;
                break;
            case State::Collect:
                take = qMin(n, m_left);
                m_extended.append(p, int(take));
                m_left -= take;
                if (m_left == 0)
                    finishExtended();
                break;
            case State::Header:
            case State::SparseMap:
                take = qMin<qint64>(n, kBlock - m_partial.size());
                m_partial.append(p, int(take));
                if (m_partial.size() == kBlock) {
                    const QByteArray block = m_partial;
                    m_partial.clear();
                    if (m_state == State::Header)
                        header(block.constData());
                    else if (block[504] == '\0')   // the last block of a sparse map
                        skip(m_sparseData);
                }
                break;
            }
            p += take;
            n -= take;
        }
    }

private:
    enum class State { Header, Skip, Collect, SparseMap };
    enum class Extended { LongName, LongLink, Pax };

    State m_state = State::Header;
    qint64 m_left = 0;
    QByteArray m_partial;
    QByteArray m_extended;
    Extended m_extendedKind = Extended::Pax;
    qint64 m_extendedPadding = 0;
    qint64 m_sparseData = 0;
    // What extended headers said about the next member.
    QByteArray m_longName, m_longLink, m_paxPath, m_paxLink;
    qint64 m_paxSize = -1;
    // pax records of a GNU sparse file: the stored name and size are not the file's.
    bool m_sparse = false;
    QByteArray m_sparseName;   // GNU.sparse.name (formats 0.1 and 1.0)
    qint64 m_sparseSize = -1;  // GNU.sparse.realsize (1.0) or GNU.sparse.size (0.0, 0.1)

    static qint64 padded(qint64 size) { return (size + kBlock - 1) / kBlock * kBlock; }

    void skip(qint64 bytes)
    {
        m_left = bytes;
        m_state = bytes > 0 ? State::Skip : State::Header;
    }

    void header(const char* b)
    {
        static const char zeros[kBlock] = {};
        if (std::memcmp(b, zeros, kBlock) == 0) {
            ended = true;
            return;
        }
        bool ok = true;
        const qint64 stored = headerNumber(b + 148, 8, &ok);
        long unsignedSum = 0, signedSum = 0;
        for (int i = 0; i < kBlock; ++i) {
            const bool inSum = i >= 148 && i < 156;
            unsignedSum += inSum ? ' ' : static_cast<unsigned char>(b[i]);
            signedSum += inSum ? ' ' : static_cast<signed char>(b[i]);
        }
        if (!ok || (stored != unsignedSum && stored != signedSum)) {
            error = QStringLiteral("damaged tar header (checksum)");
            return;
        }
        const qint64 rawSize = headerNumber(b + 124, 12, &ok);
        if (!ok || rawSize < 0) {
            error = QStringLiteral("damaged tar header (size)");
            return;
        }
        const char type = b[156];

        switch (type) {
        case 'L':
            return collect(Extended::LongName, rawSize);
        case 'K':
            return collect(Extended::LongLink, rawSize);
        case 'x':
            return collect(Extended::Pax, rawSize);
        case 'g':
        case 'V':   // global pax records and volume labels name no member
            return skip(padded(rawSize));
        default:
            break;
        }
        const qint64 size = m_paxSize >= 0 ? m_paxSize : rawSize;

        QByteArray storedName = m_longName;
        if (!m_paxPath.isEmpty())
            storedName = m_paxPath;
        if (storedName.isEmpty()) {
            storedName = cString(b, 100);
            // POSIX ustar puts the start of a long name in the prefix field;
            // GNU's magic ("ustar  ") uses that space for other things.
            if (std::memcmp(b + 257, "ustar\0", 6) == 0) {
                const QByteArray prefix = cString(b + 345, 155);
                if (!prefix.isEmpty())
                    storedName = prefix + '/' + storedName;
            }
        }
        // GNU tar stores a pax sparse file under a name of its own and keeps
        // the real one in a record (0.0 kept the name as it is).
        const QByteArray name = m_sparseName.isEmpty() ? storedName : m_sparseName;
        QByteArray link = m_paxLink.isEmpty() ? m_longLink : m_paxLink;
        if (link.isEmpty())
            link = cString(b + 157, 100);
        const bool paxSparse = m_sparse;
        const qint64 paxRealSize = m_sparseSize;
        m_longName.clear();
        m_longLink.clear();
        m_paxPath.clear();
        m_paxLink.clear();
        m_paxSize = -1;
        m_sparse = false;
        m_sparseName.clear();
        m_sparseSize = -1;

        PhoneArchiveMember m;
        qint64 data = 0;
        switch (type) {
        case '0': case '\0': case '7':
            m.kind = name.endsWith('/') ? PhoneArchiveMember::Directory : PhoneArchiveMember::File;
            data = size;
            if (m.kind == PhoneArchiveMember::File) {
                m.sparse = paxSparse;
                m.size = paxSparse ? paxRealSize : size;
            }
            break;
        case 'S': {   // old GNU sparse file: its map may go on in extra blocks
            m.kind = PhoneArchiveMember::File;
            m.sparse = true;
            m.size = headerNumber(b + 483, 12, &ok);   // the real size
            if (!ok || m.size < 0) {
                error = QStringLiteral("damaged tar header (sparse size)");
                return;
            }
            data = size;
            break;
        }
        case '1':
            m.kind = PhoneArchiveMember::HardLink;
            break;
        case '2':
            m.kind = PhoneArchiveMember::SymLink;
            break;
        case '3': case '4': case '6':
            m.kind = PhoneArchiveMember::Special;
            break;
        case '5':
            m.kind = PhoneArchiveMember::Directory;
            break;
        case 'D':   // GNU dump directory: a folder followed by its listing
            m.kind = PhoneArchiveMember::Directory;
            data = size;
            break;
        default:
            m.kind = PhoneArchiveMember::Other;
            data = size;
            break;
        }
        m.path = normalisedPath(name, &m.unsafe);
        if (m.path.isEmpty() && m.kind != PhoneArchiveMember::Directory)
            m.unsafe = true;
        if (m.sparse && name != storedName) {
            // A tar that knows no pax sparse form writes the stored data
            // there: that name must stay inside the folder as well.
            m.storedPath = normalisedPath(storedName, &m.unsafe);
            if (m.storedPath == m.path)
                m.storedPath.clear();
            else if (m.storedPath.isEmpty())
                m.unsafe = true;
        }
        if (m.kind == PhoneArchiveMember::HardLink)
            m.linkTarget = normalisedPath(link, &m.unsafe);
        members.push_back(std::move(m));

        if (type == 'S' && b[482] != '\0') {
            m_sparseData = padded(data);
            m_state = State::SparseMap;
            return;
        }
        skip(padded(data));
    }

    void collect(Extended kind, qint64 size)
    {
        if (size > kMaxExtendedHeader) {
            error = QStringLiteral("extended tar header too large");
            return;
        }
        m_extendedKind = kind;
        m_extended.clear();
        m_extendedPadding = padded(size) - size;
        m_left = size;
        m_state = size > 0 ? State::Collect : State::Header;
        if (size == 0)
            finishExtended();
    }

    void finishExtended()
    {
        QByteArray text = m_extended;
        switch (m_extendedKind) {
        case Extended::LongName:
            m_longName = cString(text.constData(), int(text.size()));
            break;
        case Extended::LongLink:
            m_longLink = cString(text.constData(), int(text.size()));
            break;
        case Extended::Pax:
            readPax(text);
            break;
        }
        skip(m_extendedPadding);
    }

    // Records "<length> <key>=<value>\n".
    void readPax(const QByteArray& text)
    {
        qsizetype pos = 0;
        while (pos < text.size()) {
            const qsizetype space = text.indexOf(' ', pos);
            bool ok = false;
            const qint64 length = space > pos ? text.mid(pos, space - pos).toLongLong(&ok) : 0;
            if (!ok || length <= space - pos || pos + length > text.size()) {
                error = QStringLiteral("damaged pax header");
                return;
            }
            QByteArray record = text.mid(space + 1, length - (space - pos) - 1);
            if (record.endsWith('\n'))
                record.chop(1);
            const qsizetype eq = record.indexOf('=');
            if (eq > 0) {
                const QByteArray key = record.left(eq);
                const QByteArray value = record.mid(eq + 1);
                if (key.startsWith("GNU.sparse."))
                    m_sparse = true;
                if (key == "path")
                    m_paxPath = value;
                else if (key == "GNU.sparse.name")
                    m_sparseName = value;
                else if (key == "linkpath")
                    m_paxLink = value;
                else if (key == "size" || key == "GNU.sparse.realsize" || key == "GNU.sparse.size") {
                    qint64& field = key == "size" ? m_paxSize : m_sparseSize;
                    field = value.toLongLong(&ok);
                    if (!ok || field < 0) {
                        error = QStringLiteral("damaged pax header (size)");
                        return;
                    }
                }
            }
            pos += length;
        }
    }
};

} // namespace

PhoneArchiveListing phoneArchiveListing(const QString& path)
{
    PhoneArchiveListing listing;
    QFile file(phoneHostPath(path));
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        listing.error = QStringLiteral("cannot be read");
        return listing;
    }

    z_stream zs{};
    if (inflateInit2(&zs, 15 + 16) != Z_OK) {   // gzip wrapper only
        listing.error = QStringLiteral("no decompressor");
        return listing;
    }
    TarReader tar;
    constexpr qint64 kChunk = 256 * 1024;
    QByteArray in(kChunk, Qt::Uninitialized);
    QByteArray out(kChunk, Qt::Uninitialized);
    bool fileEnded = false;
    bool gzipDone = false;     // the last gzip member ended; what follows is ignored
    bool memberEnded = false;  // the current gzip member ended with a valid checksum

    // Keeps at least `want` unread bytes in `in` while the file has them.
    auto refill = [&](qint64 want) {
        const qint64 unread = zs.avail_in;
        if (unread >= want || fileEnded)
            return;
        std::memmove(in.data(), zs.next_in ? reinterpret_cast<const char*>(zs.next_in) : in.constData(),
                     size_t(unread));
        const qint64 n = file.read(in.data() + unread, kChunk - unread);
        if (n <= 0)
            fileEnded = true;
        zs.next_in = reinterpret_cast<Bytef*>(in.data());
        zs.avail_in = uInt(unread + qMax<qint64>(n, 0));
    };

    while (!gzipDone && listing.error.isEmpty()) {
        refill(1);
        if (zs.avail_in == 0 && fileEnded) {
            if (!memberEnded)
                listing.error = QStringLiteral("cut short");
            break;
        }
        zs.next_out = reinterpret_cast<Bytef*>(out.data());
        zs.avail_out = uInt(kChunk);
        const int ret = inflate(&zs, Z_NO_FLUSH);
        tar.feed(out.constData(), kChunk - zs.avail_out);
        if (ret == Z_STREAM_END) {
            memberEnded = true;
            // Another gzip member may follow (gzip -d reads them all); any
            // other bytes are padding.
            refill(2);
            if (zs.avail_in >= 2 && zs.next_in[0] == 0x1f && zs.next_in[1] == 0x8b) {
                inflateReset(&zs);
                memberEnded = false;
            } else {
                gzipDone = true;
            }
        } else if (ret != Z_OK && !(ret == Z_BUF_ERROR && zs.avail_in == 0)) {
            listing.error = QStringLiteral("damaged compressed data");
        }
    }
    inflateEnd(&zs);
    if (file.error() != QFileDevice::NoError && listing.error.isEmpty())
        listing.error = QStringLiteral("read error");

    if (listing.error.isEmpty() && tar.failed())
        listing.error = tar.error;
    if (listing.error.isEmpty() && !tar.ended && !tar.atMemberBoundary())
        listing.error = QStringLiteral("archive cut inside a member");
    listing.complete = listing.error.isEmpty();
    listing.members = std::move(tar.members);
    return listing;
}
