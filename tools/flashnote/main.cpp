// flashnote: a message box for shell scripts; always exits with status 0.

#include "mainwidget.h"
#include "zapplication.h"

int main(int argc, char** argv)
{
    // It promises status 0, also where no screen can be opened.
    ZApplication::exitIfNoDisplay("flashnote", 0);
    ZApplication app(argc, argv, 1);
    MainWidget w(QStringLiteral("flashnote"), true, nullptr, nullptr, {});
    app.setMainWidget(&w);
    // The box runs its own event loop; the application's is never entered.
    w.showpopup(argc, argv);
    app.setMainWidget(nullptr);
    return 0;
}
