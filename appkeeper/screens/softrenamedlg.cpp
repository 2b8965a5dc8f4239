#include "softrenamedlg.h"

#include "appidentity.h"
#include "captiondefaults.h"
#include "langcaption.h"
#include "msgdialogs.h"
#include "pkgtexts.h"
#include "pkgwriter.h"
#include "zmultilineedit.h"
#include "zpushbutton.h"
#include "zscrollview.h"

#include <QLabel>
#include <QTextCursor>

SoftReNameDlg::SoftReNameDlg(const QString& uid, const QString& title, QWidget* parent,
                             const char* name, int modal, Qt::WindowFlags f, Dlg_Size size)
    : MyClass_Dlg(title, parent, name, modal, f, size)
{
    pOKBtn = makeSoftKey(ZPushButton::DialogAccept, CAPTION(Dlg_Win_Button1));
    connect(pOKBtn, &QAbstractButton::clicked, this, &SoftReNameDlg::slotOK);
    pCancelBtn = makeSoftKey(ZPushButton::DialogCancel, CAPTION(Dlg_Win_Button2));
    connect(pCancelBtn, &QAbstractButton::clicked, this, &SoftReNameDlg::slotCancel);
    initSoftProperties(uid);
}

SoftReNameDlg::~SoftReNameDlg() = default;

void SoftReNameDlg::initSoftProperties(const QString& uid)
{
    appUID = uid;
    const QString current = getAppNameInfo(uid);
    QWidget* area = pContent->viewport();

    pl_Label1 = new QLabel(CAPTION(Dlg_Win_Item1), area);
    pl_Label1->setObjectName(QStringLiteral("pl_Label1"));
    pl_Label1->setTextFormat(Qt::PlainText);
    pl_Label1->adjustSize();
    pContent->addChild(pl_Label1, 2, 2);

    ml_OldName = new ZMultiLineEdit(area, "ml_OldName");
    ml_OldName->setMinimumWidth(215);
    ml_OldName->setFixedLines(2);
    ml_OldName->resize(215, ml_OldName->height());
    ml_OldName->setEdited(false);
    ml_OldName->setReadOnly(true);
    ml_OldName->setText(current);
    const int oldY = 2 + pl_Label1->height();
    pContent->addChild(ml_OldName, 2, oldY);

    pl_Label2 = new QLabel(CAPTION(Dlg_Win_Item2), area);
    pl_Label2->setObjectName(QStringLiteral("pl_Label2"));
    pl_Label2->setTextFormat(Qt::PlainText);
    pl_Label2->adjustSize();
    const int label2Y = oldY + ml_OldName->height() + 10;
    pContent->addChild(pl_Label2, 2, label2Y);

    ml_NewName = new ZMultiLineEdit(area, "ml_NewName");
    ml_NewName->setMinimumWidth(215);
    ml_NewName->setFixedLines(2);
    ml_NewName->resize(215, ml_NewName->height());
    ml_NewName->setText(current);
    pContent->addChild(ml_NewName, 2, label2Y + pl_Label2->height());
    ml_NewName->moveCursor(QTextCursor::End);
    ml_NewName->setFocus();
}

void SoftReNameDlg::slotOK()
{
    const QString typed = ml_NewName->text();
    if (typed.simplified().trimmed().isEmpty())
        return;  // a blank name is refused silently; the dialog stays open
    const PkgWriter writer;
    if (!writer.held()) {
        showMsgHintDlg(pkgCaption(writer.refusal()));
        close();
        return;
    }
    if (setAppNameInfo(appUID, typed) == 1)
        newName = typed;
    else
        showMsgHintDlg(CAPTION(Msg_HintInfo_Items6));
    close();
}

void SoftReNameDlg::slotCancel()
{
    close();
}
