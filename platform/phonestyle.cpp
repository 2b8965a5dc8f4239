#include "phonestyle.h"

#include <QTextEdit>

QString titleStripStyleSheet(const QString& objectName, int fontPixels)
{
    return QStringLiteral("QLabel#%1 { color: white; font-weight: bold; font-size: %2px;"
                          " padding-left: 6px; padding-right: 6px;"
                          " background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
                          " stop:0 #3d6fb6, stop:1 #1d3f7a); }")
        .arg(objectName)
        .arg(fontPixels);
}

QWidget* createSoftKeyStrip(QWidget* parent, const QString& objectName)
{
    auto* strip = new QWidget(parent);
    strip->setObjectName(objectName);
    strip->setAttribute(Qt::WA_StyledBackground, true);
    strip->setStyleSheet(QStringLiteral("QWidget#%1 { background: qlineargradient(x1:0, y1:0,"
                                        " x2:0, y2:1, stop:0 #4a4f5c, stop:1 #1e2128); }")
                             .arg(objectName));
    return strip;
}

QTextEdit* createPlainTextView(QWidget* parent, const QString& objectName, const QString& text)
{
    auto* view = new QTextEdit(parent);
    view->setObjectName(objectName);
    view->setReadOnly(true);
    view->setFrameShape(QFrame::NoFrame);
    view->setFocusPolicy(Qt::NoFocus);
    view->setContextMenuPolicy(Qt::NoContextMenu);
    view->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setPlainText(text);
    return view;
}
