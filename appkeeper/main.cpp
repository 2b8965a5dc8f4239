// appkeeper: the software manager. No argument opens the main window; "--help"
// prints the identification line; any other word followed by a package path
// opens the install dialog on that package alone.
#include "captiondefaults.h"
#include "commandline.h"
#include "langcaption.h"
#include "mainwindows.h"
#include "zapplication.h"

#include <cstring>

int main(int argc, char** argv)
{
    Bool_LocalLanguage = true;
    if (argc <= 1) {
        auto* app = new ZApplication(argc, argv, 1);
        auto* win = new MainWindows(readLabelCaption(QStringLiteral("Win_Caption1"),
                                                     Text_code(CaptionDefault::Win_Caption1)),
                                    false, nullptr, "MainWin", {});
        app->setMainWidget(win);
        win->show();
        app->exec();
        delete win;
        delete app;
        return 0;
    }
    // The whole argument must match: "--helpx" or "--hel" is no match.
    if (std::strcmp(argv[1], "--help") == 0) {
        DisHelp();
        return 0;
    }
    auto* app = new ZApplication(argc, argv, 1);
    // The toolkit may have taken its own options out of the argument list.
    InstallPKG(argv[1] ? argv[2] : nullptr);
    delete app;
    return 1;
}
