#include "softinstalldlg.h"

#include "am_global.h"
#include "appidentity.h"
#include "captiondefaults.h"
#include "ezxpkginstall.h"
#include "langcaption.h"
#include "msgdialogs.h"
#include "pkgtexts.h"
#include "pkgwriter.h"
#include "zmultilineedit.h"
#include "zopendlg.h"
#include "zpushbutton.h"
#include "zscrollview.h"

#include <QLabel>

namespace {

void hint(const QString& text)
{
    showMsgHintDlg(text);
}

// Tells why the card could not take the package; false when it could.
bool hintedCardFull(const EZXPkgInstall& engine)
{
    if (!engine.lacksSpace())
        return false;
    hint(pkgCaption(PkgText::CardFull)
             .arg(pkgSizeText(engine.spaceNeeded()), pkgSizeText(engine.spaceFree())));
    return true;
}

} // namespace

SoftInstallDlg::SoftInstallDlg(const QString& title, QWidget* parent, const char* name,
                               int modal, Qt::WindowFlags f, Dlg_Size size)
    : MyClass_Dlg(title, parent, name, modal, f, size)
{
    initComponent();
}

SoftInstallDlg::SoftInstallDlg(const QString& path, const QString& title, QWidget* parent,
                               const char* name, int modal, Qt::WindowFlags f, Dlg_Size size)
    : MyClass_Dlg(title, parent, name, modal, f, size)
{
    initComponent();
    ml_PkgPath->setText(path);
    pkgPath = path;
}

SoftInstallDlg::~SoftInstallDlg() = default;

void SoftInstallDlg::initComponent()
{
    pInstallBtn = makeSoftKey(ZPushButton::DialogAccept, CAPTION(Dlg_Win_Button3));
    connect(pInstallBtn, &QAbstractButton::clicked, this, &SoftInstallDlg::slotOK);
    pCancelBtn = makeSoftKey(ZPushButton::DialogCancel, CAPTION(Dlg_Win_Button2));
    connect(pCancelBtn, &QAbstractButton::clicked, this, &SoftInstallDlg::slotCancel);

    QWidget* area = pContent->viewport();
    pLabel1 = new QLabel(CAPTION(Dlg_Win_Item10), area);
    pLabel1->setObjectName(QStringLiteral("pLabel1"));
    pLabel1->setTextFormat(Qt::PlainText);
    pLabel1->adjustSize();
    pContent->addChild(pLabel1, 2, 2);
    const int h = pLabel1->height();

    ml_PkgPath = new ZMultiLineEdit(area, nullptr);
    ml_PkgPath->setEdited(false);
    ml_PkgPath->setReadOnly(true);
    ml_PkgPath->setFixedLines(2);
    ml_PkgPath->setMinimumWidth(180);
    ml_PkgPath->setMaximumWidth(180);
    ml_PkgPath->resize(180, ml_PkgPath->height());
    pContent->addChild(ml_PkgPath, 2, h + 2);

    pPickerBtn = new ZPushButton(QStringLiteral("InSet_Picker_Folder"), area, 0, -1, -1);
    pPickerBtn->setObjectName(QStringLiteral("pPickerBtn"));
    pContent->addChild(pPickerBtn, ml_PkgPath->width() + 2, h + 4);
    connect(pPickerBtn, &QAbstractButton::clicked, this, &SoftInstallDlg::slotSelectPKG);
    pPickerBtn->setFocus();
}

void SoftInstallDlg::slotSelectPKG()
{
    const QStringList filters = {QStringLiteral("*.pkg"), QStringLiteral("*.PKG")};
    pOpenDlg = new ZOpenDlg(filters, QStringLiteral("/"), false);
    pOpenDlg->exec();
    const QString file = pOpenDlg->getFile();
    delete pOpenDlg;
    pOpenDlg = nullptr;
    if (!file.isEmpty()) {
        ml_PkgPath->setText(file);
        pkgPath = file;
    }
}

void SoftInstallDlg::slotOK()
{
    setupPkgSoft();
    close();
}

void SoftInstallDlg::slotCancel()
{
    close();
}

int SoftInstallDlg::setupPkgSoft()
{
    // One writer at a time: a script's install, or a second manager, is
    // waited for a while, then named, and nothing is changed.
    const PkgWriter writer;
    if (!writer.held()) {
        hint(pkgCaption(writer.refusal()));
        return 0;
    }
    EZXPkgInstall engine(pkgPath);
    const auto confirm = [&engine] {
        const QString question =
            engine.softName + QStringLiteral("\r\n\r\n") + CAPTION(Msg_AskInfo_Items4);
        return showMsgAskDlg(question, QString(), QString(), QString(), nullptr) == 0;
    };
    switch (engine.runInstall(confirm, [] { return CreateUID(); })) {
    case InstallStep::Done:
        break;
    case InstallStep::CheckPackage:
        hint(CAPTION(Msg_HintInfo_Items7));
        return 0;
    case InstallStep::InstallArea:
        hint(CAPTION(Msg_HintInfo_Items8));
        return 0;
    case InstallStep::CardRegistry:
        hint(CAPTION(Msg_HintInfo_Items9));
        return 0;
    case InstallStep::FindFolder:
        if (hintedCardFull(engine))
            return 0;
        if (!engine.sparseNotUnpacked().isEmpty())
            hint(pkgCaption(PkgText::SparseNotUnpacked).arg(engine.sparseNotUnpacked().first()));
        else
            hint(CAPTION(Msg_HintInfo_Items10));
        return 0;
    case InstallStep::DesktopFile:
        hint(CAPTION(Msg_HintInfo_Items11));
        return 0;
    case InstallStep::SoftInfo:
        hint(CAPTION(Msg_HintInfo_Items12));
        return 0;
    case InstallStep::Declined:
        hint(CAPTION(Msg_HintInfo_Items18));
        return 0;
    case InstallStep::Copy:
        if (!hintedCardFull(engine))
            hint(engine.journalFailed() ? pkgCaption(PkgText::NoJournal) : CAPTION(Msg_HintInfo_Items13));
        return 0;
    case InstallStep::Register:
        hint(CAPTION(Msg_HintInfo_Items14));
        return 0;
    case InstallStep::Menu:
        hint(CAPTION(Msg_HintInfo_Items15));
        return 0;
    }
    AM_Global::installCompleteMessageBox();
    installedName = engine.softName;
    installedUID = engine.softUID;
    return 1;
}
