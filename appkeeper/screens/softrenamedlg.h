#pragma once
// SoftReNameDlg: changes the display name ("Name") of one installed application.

#include "myclass_dlg.h"

#include <QString>

class QLabel;
class ZMultiLineEdit;
class ZPushButton;

class SoftReNameDlg : public MyClass_Dlg
{
    Q_OBJECT
public:
    SoftReNameDlg(const QString& uid, const QString& title, QWidget* parent, const char* name,
                  int modal, Qt::WindowFlags f, Dlg_Size size);
    ~SoftReNameDlg() override;

    void initSoftProperties(const QString& uid);

    QString newName;    // the name stored by a successful rename; null otherwise
    QLabel* pl_Label1 = nullptr;
    QLabel* pl_Label2 = nullptr;
    ZMultiLineEdit* ml_OldName = nullptr;
    ZMultiLineEdit* ml_NewName = nullptr;
    ZPushButton* pOKBtn = nullptr;
    ZPushButton* pCancelBtn = nullptr;
    QString appUID;

public slots:
    void slotCancel();
    void slotOK();
};
