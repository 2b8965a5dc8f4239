#include "commandline.h"

#include "captiondefaults.h"
#include "langcaption.h"
#include "softinstalldlg.h"

#include <cstdio>

void DisHelp()
{
    std::printf("%s\r\n", "vortelin");
    std::fflush(stdout);
}

void InstallPKG(const char* path)
{
    const QString pkg = path ? QString::fromLocal8Bit(path) : QString();
    const QString caption = readLabelCaption(QStringLiteral("Dlg_Win_Caption3"),
                                             Text_code(CaptionDefault::Dlg_Win_Caption3));
    auto* dlg = new SoftInstallDlg(pkg, caption, nullptr, "dlg", 1, {}, MyClass_Dlg::Dlg_Large);
    dlg->exec();
    delete dlg;
}
