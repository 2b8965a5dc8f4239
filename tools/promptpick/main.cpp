// promptpick: a choice dialog for shell scripts; the exit status is the
// chosen position (1, 2, ...) or 0 when none was chosen.

#include "promptpick.h"
#include "zapplication.h"

int main(int argc, char** argv)
{
    int status;
    {
        ZApplication app(argc, argv, 1);
        status = promptPickMain(app, argc, argv);
    }
    return status;
}
