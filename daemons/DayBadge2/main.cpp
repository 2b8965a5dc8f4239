#include "weekdaylabel.h"

int main(int argc, char** argv)
{
    return runDayBadgeLabel(argc, argv);
}
