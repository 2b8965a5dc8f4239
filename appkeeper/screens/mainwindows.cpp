#include "mainwindows.h"

#include "am_global.h"
#include "captiondefaults.h"
#include "ezxpkginstall.h"
#include "langcaption.h"
#include "msgdialogs.h"
#include "myclass_buttongroup.h"
#include "pkgtexts.h"
#include "pkgwriter.h"
#include "qpopupmenu.h"
#include "softinstalldlg.h"
#include "softpropertiesdlg.h"
#include "softrenamedlg.h"
#include "zglobal.h"
#include "zpushbutton.h"
#include "zscrollview.h"

#include <QAbstractButton>
#include <QTimer>

namespace {

int ask(const QString& text)
{
    return showMsgAskDlg(text, QString(), QString());
}

void hint(const QString& text)
{
    showMsgHintDlg(text);
}

const QString kBlankLine = QStringLiteral("\r\n\r\n");

} // namespace

MainWindows::MainWindows(const QString& caption, bool editMode, QWidget* parent,
                         const char* name, Qt::WindowFlags f)
    : ZMainWidget(caption, editMode, parent, name, f)
{
    initComponent();

    pMainMenu = new QPopupMenu(this, "pMainMenu");
    pMenuBtn->setPopup(pMainMenu);
    connect(pMainMenu, &QPopupMenu::activated, this, &MainWindows::slotMainMenuClick);
    idInstall = pMainMenu->insertItem(CAPTION(Win_MainMenu_Item1), -1, -1);
    idRename = pMainMenu->insertItem(CAPTION(Win_MainMenu_Item2), -1, -1);
    idUninstall = pMainMenu->insertItem(CAPTION(Win_MainMenu_Item3), -1, -1);
    idProperties = pMainMenu->insertItem(CAPTION(Win_MainMenu_Item4), -1, -1);
    idRefresh = pMainMenu->insertItem(CAPTION(Win_MainMenu_Item5), -1, -1);
    idAbout = pMainMenu->insertItem(CAPTION(Win_MainMenu_About), -1, -1);

    pButtonGroup = new MyClass_ButtonGroup(1, Qt::Horizontal, pContentView->viewport(), nullptr);
    pButtonGroup->setMinimumWidth(240);
    pButtonGroup->resize(240, 210);
    pContentView->addChild(pButtonGroup, 0, 0);
    pButtonGroup->initFromInstalledDB();
    pButtonGroup->initFromCardRegistry();
    // A registry that cannot be read (a card's file past any phone's size,
    // a folder in its place) lists nothing: said once the window is up.
    const QStringList unreadable = pButtonGroup->unreadableFiles();
    if (!unreadable.isEmpty())
        QTimer::singleShot(0, this, [unreadable] {
            hint(pkgCaption(PkgText::RegistryUnreadable).arg(unreadable.join(QStringLiteral(", "))));
        });
    // The keyboard starts on the first entry (without selecting it): Up and
    // Down move through the list, Space selects the entry under the focus.
    if (auto* first = pButtonGroup->findChild<QAbstractButton*>())
        first->setFocus();
}

MainWindows::~MainWindows() = default;

void MainWindows::initComponent()
{
    pContentView = getContentWidget(true);
    pContentView->enableClipper(true);
    QWidget* cst = getCSTWidget(true);
    const QRect bar = ZGlobal::getCstR();

    pMenuBtn = new ZPushButton(QStringLiteral("CST_Menu"), cst, 6, -1, -1);
    pMenuBtn->setObjectName(QStringLiteral("pMenuBtn"));
    pMenuBtn->setGeometry(ZGlobal::diffRect(bar, ZGlobal::getCst3_1R()));

    pMidBtn = new ZPushButton(cst, 7, -1, -1);
    pMidBtn->setObjectName(QStringLiteral("pMidBtn"));
    pMidBtn->setText(CAPTION(Win_MidBtn1));
    pMidBtn->setGeometry(ZGlobal::diffRect(bar, ZGlobal::getCst3_2R()));
    connect(pMidBtn, &QAbstractButton::clicked, this, &MainWindows::slotMidBtnClick);

    pExitBtn = new ZPushButton(QStringLiteral("CST_Exit"), cst, 5, -1, -1);
    pExitBtn->setObjectName(QStringLiteral("pExitBtn"));
    pExitBtn->setGeometry(ZGlobal::diffRect(bar, ZGlobal::getCst3_3R()));
    connect(pExitBtn, &QAbstractButton::clicked, this, &MainWindows::slotRightBtnClick);
}

QList<int> MainWindows::menuIds() const
{
    return {idInstall, idRename, idUninstall, idProperties, idRefresh, idAbout};
}

void MainWindows::slotMainMenuClick(int id)
{
    if (id == idAbout)
        displayAboutInfo();
    else if (id == idInstall)
        installSoft();
    else if (id == idRename)
        renameSoftName();
    else if (id == idUninstall)
        unInstallSoft();
    else if (id == idProperties)
        SoftProperties();
    else if (id == idRefresh)
        reflashMenu();
}

void MainWindows::slotMidBtnClick()
{
    SoftProperties();
}

void MainWindows::slotRightBtnClick()
{
    if (ask(CAPTION(AppName) + kBlankLine + CAPTION(Msg_AskInfo_Items1)) == 0)
        close();
}

void MainWindows::displayAboutInfo()
{
    hint(CAPTION(AppName) + kBlankLine + CAPTION(AppAbout));
}

void MainWindows::installSoft()
{
    auto* dlg = new SoftInstallDlg(CAPTION(Dlg_Win_Caption3), this, "dlg", 1, {},
                                   MyClass_Dlg::Dlg_Large);
    dlg->exec();
    if (!dlg->installedName.isNull() && !dlg->installedUID.isNull()) {
        pButtonGroup->addButton(dlg->installedName, dlg->installedUID, QStringLiteral("-1"));
        // The new entry is selected and takes the focus: the user sees where
        // it went, and the next action applies to it.
        pButtonGroup->lastButton->setFocus(Qt::OtherFocusReason);
        pButtonGroup->lastButton->click();
    }
    delete dlg;
    update();
}

void MainWindows::renameSoftName()
{
    if (pButtonGroup->selectedId == -1 || !pButtonGroup->getButton()) {
        hint(CAPTION(Msg_HintInfo_Items1));
        return;
    }
    auto* dlg = new SoftReNameDlg(pButtonGroup->getButton()->appUID, CAPTION(Dlg_Win_Caption1),
                                  this, "aaaaa", 1, {}, MyClass_Dlg::Dlg_Middle);
    dlg->exec();
    if (!dlg->newName.isNull())
        pButtonGroup->updateButton(dlg->newName);
    delete dlg;
    update();
}

void MainWindows::SoftProperties()
{
    if (pButtonGroup->selectedId == -1 || !pButtonGroup->getButton()) {
        hint(CAPTION(Msg_HintInfo_Items2));
        return;
    }
    auto* dlg = new SoftPropertiesDlg(pButtonGroup->getButton()->appUID,
                                      CAPTION(Dlg_Win_Caption2), this, "dlg", 1, {},
                                      MyClass_Dlg::Dlg_Large);
    dlg->exec();
    delete dlg;
    update();
}

void MainWindows::unInstallSoft()
{
    MyClass_RadioButton* entry =
        pButtonGroup->selectedId == -1 ? nullptr : pButtonGroup->getButton();
    if (!entry) {
        hint(readLabelCaption(QStringLiteral("Msg_HintInfo_Items16"),
                              Text_code(CaptionDefault::Msg_HintInfo_Items16_Uninstall)));
        return;
    }
    if (ask(entry->text() + kBlankLine + CAPTION(Msg_AskInfo_Items2)) != 0)
        return;
    const PkgWriter writer;
    if (!writer.held()) {
        hint(pkgCaption(writer.refusal()));
        return;
    }
    EZXPkgInstall engine{QString()};
    if (engine.unInstallSoft(entry->appUID) == 1)
        pButtonGroup->delButton();
    else
        hint(pkgCaption(engine.journalFailed() ? PkgText::NoJournal : PkgText::UninstallFailed));
    update();
}

void MainWindows::reflashMenu()
{
    // On the phone "kill $(pidof am)"; on a desktop only the phone root's own
    // application manager is asked to start again.
    if (ask(CAPTION(Msg_AskInfo_Items5)) == 0)
        AM_Global::restartMenu();
}
