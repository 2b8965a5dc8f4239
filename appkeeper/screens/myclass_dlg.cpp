#include "myclass_dlg.h"

#include "zglobal.h"
#include "zmainwidget.h"
#include "zpushbutton.h"
#include "zscrollview.h"

namespace {

struct SizeRects
{
    QRect (*dialog)();
    QRect (*content)();
    QRect (*cst)();
    QRect (*title)();
};

const SizeRects* rectsFor(int size)
{
    static const SizeRects table[] = {
        {&ZGlobal::getDlgSmallR, &ZGlobal::getDlgSmallConR, &ZGlobal::getDlgCstSR,
         &ZGlobal::getDlgTitleSR},
        {&ZGlobal::getDlgMiddleR, &ZGlobal::getDlgMiddleConR, &ZGlobal::getDlgCstMR,
         &ZGlobal::getDlgTitleMR},
        {&ZGlobal::getDlgLargeR, &ZGlobal::getDlgLargeConR, &ZGlobal::getDlgCstLR,
         &ZGlobal::getDlgTitleLR},
    };
    return size >= 0 && size <= 2 ? &table[size] : nullptr;
}

} // namespace

MyClass_Dlg::MyClass_Dlg(const QString& title, QWidget* parent, const char* name, int modal,
                         Qt::WindowFlags f, Dlg_Size size)
    : ZBaseDialog(parent, name, modal, f)
{
    build(&title, size);
}

MyClass_Dlg::MyClass_Dlg(QWidget* parent, const char* name, int modal, Qt::WindowFlags f,
                         Dlg_Size size)
    : ZBaseDialog(parent, name, modal, f)
{
    build(nullptr, size);
}

MyClass_Dlg::~MyClass_Dlg() = default;

void MyClass_Dlg::build(const QString* title, Dlg_Size size)
{
    QFont f = font();
    f.setPixelSize(13);
    setFont(f);

    pContent = new ZScrollView(this, "dlgContent", {});
    pContent->enableClipper(true);

    pCst = new QWidget(this);
    pCst->setObjectName(QStringLiteral("dlgCst"));
    pCst->setAttribute(Qt::WA_StyledBackground, true);
    pCst->setStyleSheet(QStringLiteral(
        "QWidget#dlgCst { background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
        " stop:0 #4a4f5c, stop:1 #1e2128); }"));

    if (title) {
        setWindowTitle(*title);
        pTitleBar = new ZMainWidget(*title, false, this, "dlgTitleBar", {});
    }

    const SizeRects* r = rectsFor(size);
    if (!r)
        return;  // an unknown size leaves every part where the toolkit put it
    setGeometry(r->dialog());
    pContent->setGeometry(ZGlobal::diffRect(r->dialog(), r->content()));
    pCst->setGeometry(ZGlobal::diffRect(r->dialog(), r->cst()));
    if (pTitleBar)
        pTitleBar->setGeometry(ZGlobal::diffRect(r->dialog(), r->title()));
}

ZPushButton* MyClass_Dlg::makeSoftKey(int style, const QString& text)
{
    auto* key = new ZPushButton(pCst, style, -1, -1);
    key->setText(text);
    const QRect at = style == ZPushButton::DialogAccept ? ZGlobal::getDlgA2a_1R()
                                                        : ZGlobal::getDlgA2a_2R();
    key->setGeometry(ZGlobal::diffRect(ZGlobal::getDlgCstLR(), at));
    return key;
}
