#include "promptpick.h"

#include "zapplication.h"
#include "zsingleselectdlg.h"

#include <QTextCodec>

#include <cstring>

PromptRequest readPromptArgs(int argc, char** argv, QTextCodec* codec)
{
    auto decode = [codec](const char* s) {
        return codec ? codec->toUnicode(s, int(std::strlen(s))) : QString::fromUtf8(s);
    };
    PromptRequest r;
    if (argc > 1 && argv[1])
        r.title = decode(argv[1]);
    if (argc > 2 && argv[2])
        r.text = decode(argv[2]);
    for (int i = 3; i < argc && argv[i]; ++i) {
        if (std::strcmp(argv[i], "0") == 0)
            break;
        r.entries << decode(argv[i]);
    }
    return r;
}

int promptExitStatus(int checkedIndex)
{
    return checkedIndex < 0 ? 0 : checkedIndex + 1;
}

int promptPickMain(ZApplication& app, int argc, char** argv)
{
    QTextCodec* utf8 = QTextCodec::codecForName("UTF-8");
    const PromptRequest req = readPromptArgs(argc, argv, utf8);

    auto* dlg = new ZSingleSelectDlg(req.title, req.text, nullptr, "lalalal", true, {}, 0);
    dlg->addItemsList(req.entries);
    app.setMainWidget(dlg);
    dlg->show();
    app.exec();
    const int index = dlg->getCheckedItemIndex();
    app.setMainWidget(nullptr);
    delete dlg;
    return promptExitStatus(index);
}
