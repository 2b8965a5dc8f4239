// promptpick: a choice dialog for shell scripts; the exit status is the
// chosen position (1, 2, ...) or 0 when none was chosen.

#include "promptpick.h"
#include "zapplication.h"

int main(int argc, char** argv)
{
    int status;
    // Without a screen nothing can be chosen: status 0, never abort()'s 134.
    ZApplication::exitIfNoDisplay("promptpick", 0);
    {
        ZApplication app(argc, argv, 1);
        status = promptPickMain(app, argc, argv);
    }
    return status;
}
