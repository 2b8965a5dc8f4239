#include "am_global.h"

#include "stockicons.h"
#include "zmessagebox.h"

#include <QCoreApplication>

void AM_Global::installCompleteMessageBox(QWidget* parent)
{
    ZMessageBox::information(parent, stockIcon(QStringLiteral("AM_InstallComplete")),
                             QCoreApplication::translate("AM_Global", "Installation complete."),
                             QCoreApplication::translate("AM_Global", "OK"));
}
