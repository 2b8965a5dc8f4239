#include "weekdayservice.h"

int main(int argc, char** argv)
{
    return runDayBadgeService(argc, argv);
}
