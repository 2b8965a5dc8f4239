#pragma once
// The application manager's main menu: the folders of the menu tree, and in
// each folder its applications with their names and icons, in phone style.
//
// Keys: Up/Down move, Return (the centre key) or F1 opens the folder or
// starts the application, F2 goes back to the folders, and from there hides
// the menu (the idle screen shows again). The window also serves the phone's
// requests (amchannel.h): "show" brings it up on top.
//
// Given a watcher of the menu's files, it reads the menu again whenever they
// change (an install or an uninstall shows at once) and keeps the user's
// place. A folder without applications, or a menu without folders, says so
// on a line of its own, and the key that would open or start is blank.

#include "amregistry.h"
#include "zmainwidget.h"

#include <QList>
#include <QPointer>

class QListWidget;
class QListWidgetItem;
class AmChannelServer;
class AmMenuWatcher;
class QLocalSocket;
class QTimer;
class ZPushButton;

class AmMenuWindow : public ZMainWidget
{
    Q_OBJECT
public:
    explicit AmMenuWindow(const AmMenu& menu, QWidget* parent = nullptr);
    ~AmMenuWindow() override;

    // Listens for the phone's requests; false when the socket cannot be made.
    bool listen();

    // Shows the menu on top with the keyboard; `reply`, when given, is
    // answered "shown" once the menu has been drawn.
    void showMenu(QLocalSocket* reply = nullptr);

    // Reads the menu again whenever `watcher` tells of a change.
    void follow(AmMenuWatcher* watcher);
    // Shows `menu` instead, keeping the folder open and the entry the user
    // is on (by UID; the same row when that entry is gone).
    void setMenu(const AmMenu& menu);

    // -1 while the folders show, else the folder shown.
    int openFolder() const { return m_folder; }
    QListWidget* list() const { return m_list; }

    // The centre key on the current entry, and the back key.
    void activateCurrent();
    void goBack();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showFolders(int select);
    void showFolder(int index, int select);
    void showNotice(const QString& text);
    void offerEntries(bool offered);
    void readMenuAgain();
    void loadSomeIcons();
    void serveRequest(const QByteArray& request, QLocalSocket* client);
    void say(const QString& text);

    AmMenu m_menu;
    int m_folder = -1;
    QListWidget* m_list = nullptr;
    ZPushButton* m_leftKey = nullptr;
    ZPushButton* m_rightKey = nullptr;
    QTimer* m_iconTimer = nullptr;
    int m_nextIcon = 0;
    AmChannelServer* m_channel = nullptr;
    QList<QPointer<QLocalSocket>> m_waitingForPaint;
    bool m_announcePaint = false;
};
