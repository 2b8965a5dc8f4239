// Listing package archives without unpacking them: the names tar would
// unpack, and whether the archive is whole. Each archive is made at test time
// by Python's tarfile and gzip, then changed as the row says; sparse files by
// GNU tar, and unpacked by GNU and BusyBox tar to check the tree they leave.

#include "phonearchive.h"
#include "phonetree.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

// Python that defines `t` (a tarfile on a buffer in the given format) and
// helpers, runs the row's lines, and writes the row's bytes to argv[1].
const char kPrelude[] = R"(
import gzip, io, sys, tarfile
fmt = {'gnu': tarfile.GNU_FORMAT, 'pax': tarfile.PAX_FORMAT, 'ustar': tarfile.USTAR_FORMAT}[sys.argv[2]]
buf = io.BytesIO()
t = tarfile.open(fileobj=buf, mode='w', format=fmt)
def add(name, data=b'x', kind=tarfile.REGTYPE, link=''):
    ti = tarfile.TarInfo(name); ti.type = kind; ti.linkname = link; ti.mtime = 0
    if kind == tarfile.REGTYPE:
        ti.size = len(data); t.addfile(ti, io.BytesIO(data))
    else:
        t.addfile(ti)
def tarbytes():
    t.close(); return buf.getvalue()
def gz(b):
    return gzip.compress(b, mtime=0)
def sparse_stored_as(stored, name, realsize):
    ti = tarfile.TarInfo(stored); ti.size = 1; ti.pax_headers = {'GNU.sparse.major': '1',
        'GNU.sparse.minor': '0', 'GNU.sparse.name': name, 'GNU.sparse.realsize': str(realsize)}
    t.addfile(ti, io.BytesIO(b'x'))
)";

bool runIn(const QString& dir, const QString& program, const QStringList& args)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    const bool ok = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit
                    && p.exitCode() == 0;
    if (!ok)
        qWarning() << program << args << p.readAll();
    return ok;
}

// In `dir`: app/big, 3 MB holding a few bytes at five places (more than the
// four map entries an old GNU header holds) and holes between, and app/s.txt.
// False when the file system keeps no holes.
bool makeSparseTree(const QString& dir)
{
    QFile big(dir + QStringLiteral("/app/big"));
    if (!QDir().mkpath(dir + QStringLiteral("/app")) || !big.open(QIODevice::WriteOnly)
        || !big.resize(3 << 20))
        return false;
    for (int i = 1; i <= 5; ++i)
        if (!big.seek(qint64(i) << 19) || big.write("data") != 4)
            return false;
    big.close();
    QFile small(dir + QStringLiteral("/app/s.txt"));
    if (!small.open(QIODevice::WriteOnly) || small.write("small\n") != 6)
        return false;
    small.close();
    struct stat st;
    return stat(QFile::encodeName(big.fileName()).constData(), &st) == 0
           && qint64(st.st_blocks) * 512 < st.st_size;
}

} // namespace

class PhoneArchive : public QObject
{
    Q_OBJECT

private slots:
    void listing_data();
    void listing();
    void missingFile();
    void sparseListing_data();
    void sparseListing();
    void sparseUnpacked_data();
    void sparseUnpacked();
};

void PhoneArchive::listing_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("python");     // lines that end with out = <bytes>
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QStringList>("members"); // "<kind> <path>", kind f d l h s

    const QString app = "add('app', kind=tarfile.DIRTYPE); add('app/a.desktop', b'[Desktop Entry]')\n";
    const QStringList appMembers{"d app", "f app/a.desktop"};

    QTest::newRow("plain gnu") << "gnu" << app + "out = gz(tarbytes())" << true << appMembers;
    QTest::newRow("GNU long name")
        << "gnu" << "add('app/' + 'n' * 150)\nout = gz(tarbytes())" << true
        << QStringList{"f app/" + QString(150, 'n')};
    QTest::newRow("ustar prefix field")
        << "ustar" << "add('p' * 90 + '/' + 'q' * 90)\nout = gz(tarbytes())" << true
        << QStringList{"f " + QString(90, 'p') + "/" + QString(90, 'q')};
    QTest::newRow("pax path, UTF-8")
        << "pax" << "add('\u8f6f\u4ef6/x')\nout = gz(tarbytes())" << true
        << QStringList{QString::fromUtf8("f \u8f6f\u4ef6/x")};
    QTest::newRow("./ and leading / dropped")
        << "gnu" << "add('./app/x'); add('/abs/y'); add('./', kind=tarfile.DIRTYPE)\nout = gz(tarbytes())"
        << true << QStringList{"f app/x", "f abs/y", "d "};
    QTest::newRow("links and specials")
        << "gnu"
        << "add('a/f'); add('a/l', kind=tarfile.SYMTYPE, link='f'); add('a/h', kind=tarfile.LNKTYPE, link='./a/f')\n"
           "add('a/fifo', kind=tarfile.FIFOTYPE)\nout = gz(tarbytes())"
        << true << QStringList{"f a/f", "l a/l", "h a/h -> a/f", "s a/fifo"};
    QTest::newRow("dotdot is unsafe")
        << "gnu" << "add('app/../../x')\nout = gz(tarbytes())" << true << QStringList{"f! app/../../x"};
    QTest::newRow("sparse file stored outside is unsafe")
        << "pax" << "sparse_stored_as('../GNUSparseFile.1/big', 'app/big', 9)\nout = gz(tarbytes())" << true
        << QStringList{"f! app/big"};
    QTest::newRow("hard link out is unsafe")
        << "gnu" << "add('app/h', kind=tarfile.LNKTYPE, link='../x')\nout = gz(tarbytes())" << true
        << QStringList{"h! app/h -> ../x"};
    QTest::newRow("the area itself as a link is unsafe")
        << "gnu" << "add('.', kind=tarfile.SYMTYPE, link='/tmp')\nout = gz(tarbytes())" << true
        << QStringList{"l! "};
    QTest::newRow("padding after the stream")
        << "gnu" << app + "out = gz(tarbytes()) + b'\\0' * 5 + b'junk'" << true << appMembers;
    QTest::newRow("two gzip members")
        << "gnu" << app + "b = tarbytes()\nout = gz(b[:512]) + gz(b[512:])" << true << appMembers;
    QTest::newRow("no end-of-archive blocks")
        << "gnu" << app + "b = tarbytes()\nout = gz(b[:2048])" << true << appMembers;
    QTest::newRow("cut compressed stream")
        << "gnu" << "add('a/big', bytes(range(256)) * 4000)\nb = gz(tarbytes())\nout = b[:len(b) // 2]"
        << false << QStringList{"f a/big"};
    QTest::newRow("damaged data, checksum wrong")
        << "gnu"
        << "import random\nrandom.seed(1)\nadd('a/big', bytes(random.getrandbits(8) for _ in range(200000)))\n"
           "b = bytearray(gz(tarbytes()))\nfor i in range(100000, 100016): b[i] ^= 0xff\nout = bytes(b)"
        << false << QStringList{"f a/big"};
    QTest::newRow("tar cut inside a member")
        << "gnu" << "add('a/big', b'y' * 5000)\nb = tarbytes()\nout = gz(b[:512 + 1024])" << false
        << QStringList{"f a/big"};
    QTest::newRow("damaged header") << "gnu" << app + "b = bytearray(tarbytes())\nb[10] ^= 1\nout = gz(bytes(b))"
                                    << false << QStringList();
    QTest::newRow("not gzip") << "gnu" << "out = b'plain text, no archive'" << false << QStringList();
    QTest::newRow("empty file") << "gnu" << "out = b''" << false << QStringList();
}

void PhoneArchive::listing()
{
    QFETCH(QString, format);
    QFETCH(QString, python);
    QFETCH(bool, complete);
    QFETCH(QStringList, members);

    QTemporaryDir dir;
    const QString pkg = dir.path() + QStringLiteral("/a.pkg");
    const QString script = QString::fromUtf8(kPrelude) + python
                           + QStringLiteral("\nopen(sys.argv[1], 'wb').write(out)\n");
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("python3"), {QStringLiteral("-c"), script, pkg, format});
    QVERIFY(p.waitForFinished(60000));
    QVERIFY2(p.exitCode() == 0, p.readAll().constData());

    const PhoneArchiveListing listing = phoneArchiveListing(pkg);
    QVERIFY2(listing.complete == complete, qPrintable(listing.error));
    QCOMPARE(listing.error.isEmpty(), complete);
    QStringList got;
    for (const PhoneArchiveMember& m : listing.members) {
        static const char kinds[] = {'f', 'h', 'l', 'd', 's', 'o'};
        QString line = QLatin1Char(kinds[m.kind]) + QString(m.unsafe ? "! " : " ")
                       + QString::fromUtf8(m.path);
        if (m.kind == PhoneArchiveMember::HardLink)
            line += QStringLiteral(" -> ") + QString::fromUtf8(m.linkTarget);
        got << line;
    }
    QCOMPARE(got, members);
}

void PhoneArchive::missingFile()
{
    const PhoneArchiveListing listing = phoneArchiveListing(QStringLiteral("/nonexistent/x.pkg"));
    QVERIFY(!listing.complete);
    QVERIFY(!listing.error.isEmpty());
    QVERIFY(listing.members.empty());
}

void PhoneArchive::sparseListing_data()
{
    QTest::addColumn<QStringList>("format");
    QTest::addColumn<QString>("stored");   // where the sparse file is stored, N for the number
    QTest::newRow("pax 1.0") << QStringList{"--format=posix"} << " in app/GNUSparseFile.N/big";
    QTest::newRow("pax 0.1") << QStringList{"--format=posix", "--sparse-version=0.1"}
                             << " in app/GNUSparseFile.N/big";
    QTest::newRow("pax 0.0") << QStringList{"--format=posix", "--sparse-version=0.0"} << "";
    QTest::newRow("old GNU, map in an extra block") << QStringList{"--format=gnu"} << "";
}

// A sparse file made by GNU tar is listed under its real path at its real
// size, and the member after it is read where it starts.
void PhoneArchive::sparseListing()
{
    QFETCH(QStringList, format);
    QFETCH(QString, stored);
    QTemporaryDir dir;
    if (!makeSparseTree(dir.path()))
        QSKIP("the file system here keeps no sparse files");
    const QString pkg = dir.path() + QStringLiteral("/a.pkg");
    QVERIFY(runIn(dir.path(), QStringLiteral("tar"),
                  QStringList{"--sparse", "-czf", pkg} + format + QStringList{"app/big", "app/s.txt"}));

    const PhoneArchiveListing listing = phoneArchiveListing(pkg);
    QVERIFY2(listing.complete, qPrintable(listing.error));
    QStringList got;
    for (const PhoneArchiveMember& m : listing.members) {
        QString line = QString::fromUtf8(m.path) + (m.unsafe ? "! " : " ") + QString::number(m.size)
                       + (m.sparse ? " sparse" : "");
        if (!m.storedPath.isEmpty())
            line += " in " + QString::fromUtf8(m.storedPath).replace(QRegularExpression("\\.\\d+/"), ".N/");
        got << line;
    }
    QCOMPARE(got, QStringList({"app/big 3145728 sparse" + stored, "app/s.txt 6"}));
}

void PhoneArchive::sparseUnpacked_data()
{
    QTest::addColumn<QString>("tar");
    QTest::addColumn<bool>("plainCopyAfter");   // the archive holds the file once more, not sparse
    QTest::addColumn<bool>("ok");
    QTest::newRow("GNU tar restores it") << "tar" << false << true;
    QTest::newRow("BusyBox tar leaves the stored data") << "busybox" << false << false;
    QTest::newRow("BusyBox tar, stored data beside a plain copy") << "busybox" << true << false;
}

// The tree a tar left from a pax sparse file passes only when the file is
// there whole; BusyBox tar writes the stored data under
// GNUSparseFile.<n>/ and exits 0.
void PhoneArchive::sparseUnpacked()
{
    QFETCH(QString, tar);
    QFETCH(bool, plainCopyAfter);
    QFETCH(bool, ok);
    const QString program = QStandardPaths::findExecutable(tar);
    if (program.isEmpty())
        QSKIP(qPrintable(tar + QStringLiteral(" is not installed")));
    QTemporaryDir dir;
    if (!makeSparseTree(dir.path()))
        QSKIP("the file system here keeps no sparse files");
    QVERIFY(runIn(dir.path(), QStringLiteral("tar"),
                  {"--sparse", "--format=posix", "-cf", "a.tar", "app/big", "app/s.txt"}));
    if (plainCopyAfter)
        QVERIFY(runIn(dir.path(), QStringLiteral("tar"), {"--format=posix", "-rf", "a.tar", "app/big"}));
    QVERIFY(runIn(dir.path(), QStringLiteral("gzip"), {"a.tar"}));
    const PhoneArchiveListing listing = phoneArchiveListing(dir.path() + QStringLiteral("/a.tar.gz"));
    QVERIFY2(listing.complete, qPrintable(listing.error));

    const QString area = dir.path() + QStringLiteral("/area");
    QVERIFY(QDir().mkpath(area));
    QStringList args{"zxf", dir.path() + QStringLiteral("/a.tar.gz"), "-C", area};
    if (tar == "busybox")
        args.prepend(QStringLiteral("tar"));
    QVERIFY(runIn(dir.path(), program, args));

    const PhoneUnpackCheck check = phoneCheckUnpacked(area, listing);
    QCOMPARE(check.ok, ok);
    const QStringList notUnpacked = ok ? QStringList() : QStringList{"app/big"};
    QCOMPARE(check.sparseNotUnpacked, notUnpacked);
    QCOMPARE(check.missing, notUnpacked);
}

QTEST_GUILESS_MAIN(PhoneArchive)
#include "tst_phonearchive.moc"
