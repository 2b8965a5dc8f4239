// LineLabel: sets the platform's service name to the text given as the first
// argument, once, and ends. "-auth" in any letter case prints the banner.
#include "daemonbase.h"
#include "utilservicename.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 0;
    if (isOption(argv[1], "-auth")) {
        printBanner("LineLabel", "1.0.3", "2007-06-04");
        return 0;
    }
    if (!UTIL_SetServiceName(argv[1])) {
        std::fprintf(stderr, "LineLabel: the service name could not be stored\n");
        return 1;
    }
    return 0;
}
