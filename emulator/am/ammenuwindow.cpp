#include "ammenuwindow.h"

#include "amchannel.h"
#include "ammenuwatcher.h"
#include "appstarter.h"
#include "dragscroll.h"
#include "phonelanguage.h"
#include "phonestyle.h"
#include "safefile.h"
#include "stockicons.h"
#include "zglobal.h"
#include "zmessagebox.h"
#include "zpushbutton.h"

#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

#include <csignal>
#include <cstdio>

namespace {
constexpr int kIconSize = 32;
constexpr int kIconsPerStep = 16;
}

AmMenuWindow::AmMenuWindow(const AmMenu& menu, QWidget* parent)
    : ZMainWidget(platformText(PlatformText::MainMenu), false, parent, "amMenu"), m_menu(menu)
{
    QWidget* strip = getCSTWidget(true);
    m_leftKey = new ZPushButton(strip, ZPushButton::SoftKeyMiddle, -1, -1);
    m_leftKey->setText(platformText(PlatformText::Open));
    m_leftKey->setGeometry(ZGlobal::diffRect(ZGlobal::getCstR(), ZGlobal::getCst2_1R()));
    m_rightKey = new ZPushButton(strip, ZPushButton::SoftKeyMiddle, -1, -1);
    m_rightKey->setText(platformText(PlatformText::Back));
    m_rightKey->setGeometry(ZGlobal::diffRect(ZGlobal::getCstR(), ZGlobal::getCst2_2R()));
    connect(m_leftKey, &QAbstractButton::clicked, this, &AmMenuWindow::activateCurrent);
    connect(m_rightKey, &QAbstractButton::clicked, this, &AmMenuWindow::goBack);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("amList"));
    m_list->setProperty("ownFocusLook", true);
    m_list->setIconSize(QSize(kIconSize, kIconSize));
    m_list->setUniformItemSizes(true);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setTextElideMode(Qt::ElideRight);
    m_list->setStyleSheet(QStringLiteral(
        "QListWidget#amList { background: white; font-size: 15px; }"
        "QListWidget#amList::item { padding: 3px; }"
        "QListWidget#amList::item:selected { background: #2f6fc6; color: white; }"
        "QListWidget#amList::item:disabled { color: #555555; }"));
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);
    connect(m_list, &QListWidget::itemClicked, this, [this] { activateCurrent(); });
    // A long menu is scrolled with a finger; a drag opens nothing.
    enableDragScrolling(m_list);

    m_iconTimer = new QTimer(this);
    m_iconTimer->setInterval(0);
    connect(m_iconTimer, &QTimer::timeout, this, &AmMenuWindow::loadSomeIcons);

    showFolders(0);
}

AmMenuWindow::~AmMenuWindow() = default;

bool AmMenuWindow::listen()
{
    m_channel = new AmChannelServer(
        [this](const QByteArray& request, QLocalSocket* client) { serveRequest(request, client); },
        this);
    return m_channel->listen();
}

void AmMenuWindow::serveRequest(const QByteArray& request, QLocalSocket* client)
{
    if (request == "show") {
        showMenu(client);
    } else if (request == "quit") {
        // Ends as the platform's kill would end it: SIGTERM, which also
        // takes the socket away.
        client->write("quitting\n");
        client->flush();
        client->waitForBytesWritten(500);
        std::raise(SIGTERM);
    } else if (request == "status") {
        client->write(QStringLiteral("ready %1 %2\n")
                          .arg(m_menu.folders.size())
                          .arg(m_menu.applicationCount())
                          .toUtf8());
    } else {
        client->write("unknown\n");
    }
}

void AmMenuWindow::showMenu(QLocalSocket* reply)
{
    if (reply)
        m_waitingForPaint << reply;
    m_announcePaint = true;
    if (m_folder >= 0)
        showFolders(m_folder);
    show();
    raise();
    activateWindow();
    m_list->setFocus();
    m_list->viewport()->update();
}

void AmMenuWindow::follow(AmMenuWatcher* watcher)
{
    connect(watcher, &AmMenuWatcher::changed, this, &AmMenuWindow::readMenuAgain);
}

void AmMenuWindow::readMenuAgain()
{
    setMenu(loadAmMenu());
    say(QStringLiteral("menu read again, %1 folders, %2 applications")
            .arg(m_menu.folders.size())
            .arg(m_menu.applicationCount()));
}

void AmMenuWindow::setMenu(const AmMenu& menu)
{
    // The user's place is kept: the folder open and the entry on, by UID;
    // one that is gone leaves the cursor on the same row, bounded.
    const int row = m_list->currentRow();
    const QString openUid = m_folder >= 0 ? m_menu.folders.at(m_folder).uid : QString();
    QString entryUid;
    if (m_folder >= 0)
        entryUid = m_menu.folders.at(m_folder).applications.value(row).uid;
    else
        entryUid = m_menu.folders.value(row).uid;
    const bool wasInFolder = m_folder >= 0;
    const int wasFolder = m_folder;
    m_menu = menu;

    auto folderOf = [this](const QString& uid) {
        for (int i = 0; i < m_menu.folders.size(); ++i)
            if (m_menu.folders.at(i).uid == uid)
                return i;
        return -1;
    };
    if (!wasInFolder) {
        const int at = folderOf(entryUid);
        showFolders(at >= 0 ? at : row);
        return;
    }
    const int folder = folderOf(openUid);
    if (folder < 0) {
        showFolders(wasFolder);   // the folder itself is gone
        return;
    }
    int at = -1;
    const QList<AmApplication>& apps = m_menu.folders.at(folder).applications;
    for (int i = 0; i < apps.size() && at < 0; ++i)
        if (apps.at(i).uid == entryUid)
            at = i;
    showFolder(folder, at >= 0 ? at : row);
}

void AmMenuWindow::showNotice(const QString& text)
{
    auto* item = new QListWidgetItem(text, m_list);
    item->setFlags(Qt::NoItemFlags);
}

void AmMenuWindow::offerEntries(bool offered)
{
    // Nothing to open or start: no key says otherwise.
    m_leftKey->setEnabled(offered);
    m_leftKey->setText(offered ? platformText(PlatformText::Open) : QString());
}

void AmMenuWindow::say(const QString& text)
{
    std::fprintf(stdout, "am: %s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

void AmMenuWindow::showFolders(int select)
{
    m_iconTimer->stop();
    m_folder = -1;
    setCaption(platformText(PlatformText::MainMenu));
    m_list->clear();
    const QIcon folderIcon(stockIcon(QStringLiteral("AM_Folder")));
    for (const AmFolder& f : m_menu.folders)
        new QListWidgetItem(folderIcon, f.name, m_list);
    offerEntries(!m_menu.folders.isEmpty());
    if (m_menu.folders.isEmpty())
        showNotice(platformText(PlatformText::NoFolders));
    else
        m_list->setCurrentRow(qBound(0, select, m_list->count() - 1));
}

void AmMenuWindow::showFolder(int index, int select)
{
    m_folder = index;
    const AmFolder& f = m_menu.folders.at(index);
    setCaption(f.name);
    m_list->clear();
    const QIcon stock(stockIcon(QStringLiteral("AM_Application")));
    for (const AmApplication& a : f.applications)
        new QListWidgetItem(stock, a.name, m_list);
    offerEntries(!f.applications.isEmpty());
    if (f.applications.isEmpty())
        showNotice(platformText(PlatformText::EmptyFolder));
    else
        m_list->setCurrentRow(qBound(0, select, m_list->count() - 1));
    // The icons are read a few at a time, so that a folder of a thousand
    // applications opens at once and fills in while the user looks.
    m_nextIcon = 0;
    m_iconTimer->start();
}

void AmMenuWindow::loadSomeIcons()
{
    if (m_folder < 0) {
        m_iconTimer->stop();
        return;
    }
    const QList<AmApplication>& apps = m_menu.folders.at(m_folder).applications;
    const int end = qMin(m_nextIcon + kIconsPerStep, int(apps.size()));
    for (; m_nextIcon < end; ++m_nextIcon) {
        const QImage image =
            loadPhonePicture(apps.at(m_nextIcon).iconPath(), QSize(kIconSize, kIconSize));
        if (!image.isNull() && m_nextIcon < m_list->count())
            m_list->item(m_nextIcon)->setIcon(QIcon(QPixmap::fromImage(image)));
    }
    if (m_nextIcon >= apps.size())
        m_iconTimer->stop();
}

void AmMenuWindow::activateCurrent()
{
    const int row = m_list->currentRow();
    if (row < 0)
        return;
    if (m_folder < 0) {
        showFolder(row, 0);
        return;
    }
    const AmApplication app = m_menu.folders.at(m_folder).applications.value(row);
    if (app.uid.isEmpty())
        return;
    const AmStart started = startApplication(app);
    switch (started.outcome) {
    case AmStart::Started:
        say(QStringLiteral("started %1 (%2, pid %3)").arg(app.name, app.uid).arg(started.pid));
        break;
    case AmStart::NeedsJava:
        say(QStringLiteral("not started %1 (%2): %3").arg(app.name, app.uid, started.reason));
        ZMessageBox::information(this, stockIcon(QStringLiteral("AM_Application")), started.shownReason,
                                 platformText(PlatformText::Ok));
        break;
    case AmStart::Failed:
        say(QStringLiteral("not started %1 (%2): %3").arg(app.name, app.uid, started.reason));
        ZMessageBox::information(this, QPixmap(),
                                 platformText(PlatformText::CannotStart).arg(app.name)
                                     + QLatin1Char('\n') + started.shownReason,
                                 platformText(PlatformText::Ok));
        break;
    }
}

void AmMenuWindow::goBack()
{
    if (m_folder >= 0) {
        showFolders(m_folder);
        return;
    }
    hide();
    say(QStringLiteral("menu hidden"));
}

void AmMenuWindow::resizeEvent(QResizeEvent* event)
{
    ZMainWidget::resizeEvent(event);
    m_list->setGeometry(0, ZGlobal::TitleHeight, width(),
                        qMax(0, height() - ZGlobal::TitleHeight - ZGlobal::CstHeight));
}

void AmMenuWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        goBack();
        return;
    }
    ZMainWidget::keyPressEvent(event);
}

bool AmMenuWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Select) {
            activateCurrent();
            return true;
        }
    }
    if (watched == m_list->viewport() && event->type() == QEvent::Paint && m_announcePaint) {
        // Answered once the drawing is done, after this paint event.
        m_announcePaint = false;
        QTimer::singleShot(0, this, [this] {
            for (const QPointer<QLocalSocket>& s : std::as_const(m_waitingForPaint))
                if (s && s->state() == QLocalSocket::ConnectedState)
                    s->write("shown\n");
            m_waitingForPaint.clear();
            say(QStringLiteral("menu shown"));
        });
    }
    return ZMainWidget::eventFilter(watched, event);
}
