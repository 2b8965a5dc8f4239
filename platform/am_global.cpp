#include "am_global.h"

#include "phonelanguage.h"
#include "stockicons.h"
#include "zmessagebox.h"

void AM_Global::installCompleteMessageBox(QWidget* parent)
{
    ZMessageBox::information(parent, stockIcon(QStringLiteral("AM_InstallComplete")),
                             platformText(PlatformText::InstallComplete),
                             platformText(PlatformText::Ok));
}
