#include "am_global.h"

#include "menuchannel.h"
#include "phonelanguage.h"
#include "stockicons.h"
#include "zmessagebox.h"

QString AM_Global::menuChannelName()
{
    return ::menuChannelName();
}

bool AM_Global::restartMenu()
{
    return restartPhoneMenu();
}

void AM_Global::installCompleteMessageBox(QWidget* parent)
{
    ZMessageBox::information(parent, stockIcon(QStringLiteral("AM_InstallComplete")),
                             platformText(PlatformText::InstallComplete),
                             platformText(PlatformText::Ok));
}
