#pragma once
// MainWindows: the software manager's main window.
//
// The content area lists the installed applications; the soft-key bar holds
// the menu key (install, rename, uninstall, change properties, refresh menu,
// about), the middle key (change properties) and the exit key. Every
// operation runs one modal dialog and then brings the list up to date.

#include "zmainwidget.h"

class MyClass_ButtonGroup;
class QPopupMenu;
class ZPushButton;
class ZScrollView;

class MainWindows : public ZMainWidget
{
    Q_OBJECT
public:
    MainWindows(const QString& caption, bool editMode, QWidget* parent = nullptr,
                const char* name = nullptr, Qt::WindowFlags f = {});
    ~MainWindows() override;

    void initComponent();

    void installSoft();
    void renameSoftName();
    void unInstallSoft();
    void SoftProperties();
    void reflashMenu();
    void displayAboutInfo();

    MyClass_ButtonGroup* appList() const { return pButtonGroup; }
    QPopupMenu* mainMenu() const { return pMainMenu; }
    // The menu identifiers, in menu order: install, rename, uninstall,
    // properties, refresh, about.
    QList<int> menuIds() const;

public slots:
    void slotMidBtnClick();
    void slotRightBtnClick();
    void slotMainMenuClick(int id);

private:
    ZScrollView* pContentView = nullptr;
    ZPushButton* pMenuBtn = nullptr;
    ZPushButton* pMidBtn = nullptr;
    ZPushButton* pExitBtn = nullptr;
    QPopupMenu* pMainMenu = nullptr;
    int idAbout = -1;
    int idInstall = -1;
    int idRename = -1;
    int idUninstall = -1;
    int idProperties = -1;
    int idRefresh = -1;
    MyClass_ButtonGroup* pButtonGroup = nullptr;
};
