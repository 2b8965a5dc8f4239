// slideflow [folder]: the pictures of a folder (the current one by default) as a flow.
#include "slideviewer.h"

int main(int argc, char** argv)
{
    return slideViewerMain(argc, argv);
}
