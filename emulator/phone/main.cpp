// phone: the phone's idle screen. Reads the service name once, at start.
#include "idlescreen.h"
#include "zapplication.h"

int main(int argc, char** argv)
{
    ZApplication::exitIfNoDisplay("phone", 1);
    ZApplication app(argc, argv);
    IdleScreen idle;
    app.setMainWidget(&idle);
    idle.showBelow();
    return app.exec();
}
