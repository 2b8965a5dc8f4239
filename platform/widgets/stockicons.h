#pragma once
// The platform's stock pictures for soft keys and pickers, drawn by code.
//
// Names: "CST_Menu" (menu soft key), "CST_Exit" (exit soft key),
// "InSet_Picker_Folder" (the small button that opens a folder picker),
// "Picker_Folder" and "Picker_File" (entries of a file picker),
// "Picker_Up" (the parent-folder entry), "AM_InstallComplete" (the notice
// that an installation has completed), "AM_Application" and "AM_Folder"
// (32 by 32: an application without an icon of its own, and a folder, in the
// main menu). An unknown name gives a null pixmap.

#include <QPixmap>
#include <QString>

QPixmap stockIcon(const QString& name);
bool stockIconExists(const QString& name);
