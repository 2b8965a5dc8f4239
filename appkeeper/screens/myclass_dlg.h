#pragma once
// MyClass_Dlg: the frame of every appkeeper dialog.
//
// Three stacked areas on a ZBaseDialog, placed from the platform's screen
// rectangles for one of three sizes: a title bar showing the caption, a
// scrolling content area for the fields, and a soft-key bar for the two keys.
// Subclasses put their fields on pContent->viewport() with addChild() and
// their keys into pCst (see addSoftKeys()).

#include "zbasedialog.h"

class QWidget;
class ZMainWidget;
class ZPushButton;
class ZScrollView;

class MyClass_Dlg : public ZBaseDialog
{
    Q_OBJECT
public:
    enum Dlg_Size { Dlg_Small = 0, Dlg_Middle = 1, Dlg_Large = 2 };

    MyClass_Dlg(const QString& title, QWidget* parent, const char* name, int modal,
                Qt::WindowFlags f, Dlg_Size size);
    // The same frame without a title bar (pTitleBar stays null).
    MyClass_Dlg(QWidget* parent, const char* name, int modal, Qt::WindowFlags f, Dlg_Size size);
    ~MyClass_Dlg() override;

    ZScrollView* contentView() const { return pContent; }
    QWidget* softKeyBar() const { return pCst; }
    ZMainWidget* titleBar() const { return pTitleBar; }

protected:
    // The dialog convention for the two soft keys: the accepting key (style 10)
    // on the left and the cancelling key (style 9) on the right of the soft-key
    // bar, at the large dialog's key positions whatever the size.
    ZPushButton* makeSoftKey(int style, const QString& text);

    ZScrollView* pContent = nullptr;   // "dlgContent"
    QWidget* pCst = nullptr;           // "dlgCst"
    ZMainWidget* pTitleBar = nullptr;  // "dlgTitleBar"

private:
    void build(const QString* title, Dlg_Size size);
};
