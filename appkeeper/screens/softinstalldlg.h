#pragma once
// SoftInstallDlg: the dialog through which every package is installed.
//
// A read-only field with the package path, a picker button that opens the
// file picker on ".pkg" files, and the install and cancel keys. Install runs
// the package engine step by step, shows the message of the first step that
// fails, asks once before copying, and on success records the new
// application's name and UID for the caller. The dialog closes after the
// install key whatever the outcome.

#include "myclass_dlg.h"

#include <QString>

class QLabel;
class ZMultiLineEdit;
class ZOpenDlg;
class ZPushButton;

class SoftInstallDlg : public MyClass_Dlg
{
    Q_OBJECT
public:
    SoftInstallDlg(const QString& title, QWidget* parent, const char* name, int modal,
                   Qt::WindowFlags f, Dlg_Size size);
    SoftInstallDlg(const QString& path, const QString& title, QWidget* parent, const char* name,
                   int modal, Qt::WindowFlags f, Dlg_Size size);
    ~SoftInstallDlg() override;

    // Runs the install on the package path; 1 on success, 0 otherwise.
    int setupPkgSoft();

    ZPushButton* pInstallBtn = nullptr;
    ZPushButton* pCancelBtn = nullptr;
    QString pkgPath;         // null until given by the constructor or picked
    QString installedName;   // set by a successful install only
    QString installedUID;    // set by a successful install only

public slots:
    void slotCancel();
    void slotOK();
    void slotSelectPKG();

private:
    void initComponent();

    ZOpenDlg* pOpenDlg = nullptr;    // valid only while slotSelectPKG() runs
    QLabel* pLabel1 = nullptr;
    ZMultiLineEdit* ml_PkgPath = nullptr;
    ZPushButton* pPickerBtn = nullptr;
};
