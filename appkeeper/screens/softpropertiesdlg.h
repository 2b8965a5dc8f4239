#pragma once
// SoftPropertiesDlg: the registry record of one installed application and the
// properties the software manager may change: user, group, start-up
// arguments, start at boot and, for a Java application, its security domain.
//
// The record is read from InstalledDB or, failing that, from the card
// registry. The Java domain lives in the "Domain" line of the application
// folder's registry.txt; that file is only ever replaced whole (written beside
// it, then renamed over), so a failed write leaves it as it was.

#include "myclass_dlg.h"

#include <QString>

class QCheckBox;
class QComboBox;
class QLabel;
class ZMultiLineEdit;
class ZPushButton;

class SoftPropertiesDlg : public MyClass_Dlg
{
    Q_OBJECT
public:
    SoftPropertiesDlg(const QString& uid, const QString& title, QWidget* parent,
                      const char* name, int modal, Qt::WindowFlags f, Dlg_Size size);
    ~SoftPropertiesDlg() override;

    void initSoftProperties(const QString& uid);
    // The value of the "Domain" line of folder/registry.txt; null when there
    // is no such file or line.
    QString getJavaDomain(QString folder);
    // Writes the domain selector's current text into folder/registry.txt.
    void setJavaDomain(QString folder);
    void saveSoftProperties();

    QString appUID;
    QString appDirectory;
    bool isJava = false;

    ZPushButton* pOKBtn = nullptr;
    ZPushButton* pCancelBtn = nullptr;
    QLabel* pLabel1 = nullptr;
    ZMultiLineEdit* ml_SoftName = nullptr;
    QLabel* pLabel3 = nullptr;
    QLabel* pLabel4 = nullptr;
    QLabel* pLabel5 = nullptr;
    QComboBox* pComBoxDomain = nullptr;
    QLabel* pLabel6 = nullptr;
    QComboBox* pComBoxUser = nullptr;
    QLabel* pLabel7 = nullptr;
    QComboBox* pComBoxGroup = nullptr;
    QCheckBox* pCButton1 = nullptr;
    QLabel* pLabel8 = nullptr;
    ZMultiLineEdit* ml_Args = nullptr;

public slots:
    void slotCancel();
    void slotOK();

private:
    QLabel* makeLabel(const QString& text, const char* name);
    QComboBox* makeSelector(const QStringList& entries, const char* name, int labelWidth);
};
