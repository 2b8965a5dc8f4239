// Fuzz target for the configuration store.
//
// Each input is used twice:
// 1. as a file's bytes: the parser takes any bytes, an unchanged document
//    writes them back byte for byte, and every group and key it lists reads;
// 2. split at 0x01 bytes into a group name, a key and a value (as UTF-8),
//    written through ZConfig into a real file holding the input itself, and
//    read back with a new object: the value must be the one written, and
//    every other group and key of the file must keep its value.
//
// Built two ways: with clang's libFuzzer (scripts/fuzz.sh), and, with
// ZCONFIG_FUZZ_REPLAY defined, as a program that runs every file of the
// corpus folders it is given (the CTest replay in every build).

#include "zconfig.h"
#include "zconfig_document.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void fail(const char* what)
{
    std::fprintf(stderr, "zconfig fuzz: %s\n", what);
    std::abort();
}

QString scratchFile()
{
    static QTemporaryDir dir;
    if (!dir.isValid())
        fail("no temporary folder");
    return dir.path() + QStringLiteral("/Registry");
}

void parseAndKeep(const QByteArray& bytes)
{
    const ZConfigDocument doc(bytes);
    if (doc.toByteArray() != bytes)
        fail("an unchanged document does not write back its bytes");
    for (const QString& group : doc.groups()) {
        if (!doc.hasGroup(group))
            fail("a listed group is not there");
        for (const QString& key : doc.keys(group))
            if (doc.value(group, key).isNull())
                fail("a listed key has no value");
    }
}

void writeAndReadBack(const QByteArray& bytes)
{
    const QList<QByteArray> parts = bytes.split('\x01');
    if (parts.size() < 3)
        return;
    const QString group = QString::fromUtf8(parts[0]);
    const QString key = QString::fromUtf8(parts[1]);
    const QString value = QString::fromUtf8(parts[2]);
    // The rest of the input is the file the write lands in.
    const QByteArray file = parts.size() > 3 ? bytes.mid(parts[0].size() + parts[1].size()
                                                         + parts[2].size() + 3)
                                             : QByteArray();
    const QString path = scratchFile();
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(file) != file.size())
            fail("cannot write the scratch file");
    }
    const ZConfigDocument before(file);
    {
        ZConfig cfg(path, false);
        if (!cfg.writeEntry(group, key, value))
            fail("a write to a writable file answered false");
    }
    const ZConfig back(path, false);
    if (back.readEntry(group, key, QStringLiteral("<absent>")) != value)
        fail("the value written does not read back");
    for (const QString& g : before.groups()) {
        if (!back.groupExists(g))
            fail("a group of the file was lost");
        for (const QString& k : before.keys(g)) {
            if (g == group && k == key)
                continue;
            if (back.readEntry(g, k, QStringLiteral("<absent>")) != before.value(g, k))
                fail("another key changed its value");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    parseAndKeep(bytes);
    writeAndReadBack(bytes);
    return 0;
}

#ifdef ZCONFIG_FUZZ_REPLAY
// zconfig_fuzz_replay <corpus folder or file>...
int main(int argc, char** argv)
{
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QFile::decodeName(argv[i]);
        QStringList files;
        if (QFileInfo(arg).isDir()) {
            for (const QString& name : QDir(arg).entryList(QDir::Files, QDir::Name))
                files << arg + QLatin1Char('/') + name;
        } else {
            files << arg;
        }
        for (const QString& name : files) {
            QFile f(name);
            if (!f.open(QIODevice::ReadOnly))
                fail("cannot read a corpus file");
            const QByteArray bytes = f.readAll();
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                   std::size_t(bytes.size()));
            ++inputs;
        }
    }
    std::printf("replayed %d inputs\n", inputs);
    return inputs > 0 ? 0 : 1;
}
#endif
