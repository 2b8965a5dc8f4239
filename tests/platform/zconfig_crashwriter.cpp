// Rewrites the crash test's registry (argument 1, a host path) for ever: each
// round opens it, sets "Gen" of every record to the next generation and
// closes it, so each round saves twice: at its first write and at the end. The test kills it with SIGKILL at random moments.
#include "zconfig.h"
#include "zconfig_crashformat.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: zconfig_crashwriter <registry>\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    // Go on from the generation of the file's last record (the first record
    // may already hold the next one).
    int start = 0;
    {
        const ZConfig cfg(path);
        start = cfg.readEntry(crashformat::group(crashformat::kRecords - 1), QStringLiteral("Gen"), QStringLiteral("0")).toInt();
    }
    for (int generation = start + 1;; ++generation) {
        ZConfig cfg(path);
        for (int r = 0; r < crashformat::kRecords; ++r)
            if (!cfg.writeEntry(crashformat::group(r), QStringLiteral("Gen"), crashformat::gen(generation)))
                return 1;
    }
}
