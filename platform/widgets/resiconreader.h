#pragma once
// RES_ICON_Reader: the platform's icon resources by name.
//
// The dialog icons are the platform's own, drawn by code at 36 by 36 pixels:
// "Dialog_Complete.gif" (done), "Dialog_Error.gif" (failure),
// "Dialog_Exclamatory_Mark.gif" (warning), "Dialog_Question_Mark.gif"
// (question), "Dialog_Waiting.gif" (please wait), "Dialog_Information.gif"
// (note). A name may also be given without its ".gif". The platform's stock
// pictures ("CST_Menu", "CST_Exit", "InSet_Picker_Folder", ..., see
// stockicons.h) are found here too. An unknown name, or a call before the
// application object exists, gives a null pixmap.

#include <QPixmap>
#include <QString>
#include <QStringList>

class RES_ICON_Reader
{
public:
    RES_ICON_Reader();
    ~RES_ICON_Reader();

    // The icon called `name`. With `useCache` the picture is drawn once per
    // process and shared afterwards; without it a fresh one is drawn.
    QPixmap getIcon(const QString& name, bool useCache = true);

    // The names of the dialog icons, with their ".gif".
    static QStringList iconNames();
};
