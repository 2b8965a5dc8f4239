#include "zmainwidget.h"

#include <QShowEvent>

#include "keyboardhandback.h"
#include "phonestyle.h"
#include "zglobal.h"
#include "zpushbutton.h"
#include "zscrollview.h"

#include <QKeyEvent>
#include <QShowEvent>
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <algorithm>

namespace zsoftkeys {

QList<ZPushButton*> keysOf(const QWidget* strip)
{
    QList<ZPushButton*> keys;
    if (!strip)
        return keys;
    for (QObject* o : strip->children()) {
        auto* b = qobject_cast<ZPushButton*>(o);
        if (b && !b->isHidden())
            keys.append(b);
    }
    std::stable_sort(keys.begin(), keys.end(),
                     [](const ZPushButton* a, const ZPushButton* b) { return a->x() < b->x(); });
    return keys;
}

bool press(const QWidget* strip, int key, bool withMiddle)
{
    const QList<ZPushButton*> keys = keysOf(strip);
    if (keys.isEmpty())
        return false;
    ZPushButton* target = nullptr;
    if (key == Qt::Key_F1)
        target = keys.first();
    else if (key == Qt::Key_F2 && keys.size() > 1)
        target = keys.last();
    else if (withMiddle && (key == Qt::Key_Return || key == Qt::Key_Enter) && keys.size() == 3)
        target = keys.at(1);
    if (!target || !target->isEnabled())
        return false;
    target->click();
    return true;
}

} // namespace zsoftkeys

ZMainWidget::ZMainWidget(const QString& caption, bool editMode, QWidget* parent,
                         const char* name, Qt::WindowFlags f)
    : QWidget(parent, f)
{
    init(caption, editMode, name);
}

ZMainWidget::ZMainWidget(bool editMode, QWidget* parent, const char* name, Qt::WindowFlags f)
    : QWidget(parent, f)
{
    init(QString(), editMode, name);
}

ZMainWidget::~ZMainWidget() = default;

void ZMainWidget::init(const QString& caption, bool editMode, const char* name)
{
    m_editMode = editMode;
    if (name)
        setObjectName(QString::fromLatin1(name));
    setAttribute(Qt::WA_StyledBackground, true);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("titleBar"));
    m_title->setStyleSheet(titleStripStyleSheet(QStringLiteral("titleBar"), 14));
    m_title->setTextFormat(Qt::PlainText);
    setCaption(caption);
    if (isWindow()) {
        resize(ZGlobal::getScreenR().size());
        handKeyboardBackAfterModals();
    }
    layoutAreas();
}

ZScrollView* ZMainWidget::getContentWidget(bool create)
{
    if (!m_content && create) {
        m_content = new ZScrollView(this, "contentView");
        m_content->setAutoFillBackground(true);
        QPalette pal = m_content->palette();
        pal.setColor(QPalette::Window, Qt::white);
        m_content->setPalette(pal);
        m_content->viewport()->setAutoFillBackground(false);
        layoutAreas();
        m_content->show();
    }
    return m_content;
}

QWidget* ZMainWidget::getCSTWidget(bool create)
{
    if (!m_cst && create) {
        m_cst = createSoftKeyStrip(this, QStringLiteral("cstBar"));
        layoutAreas();
        m_cst->show();
    }
    return m_cst;
}

QWidget* ZMainWidget::getTitleBarWidget() const
{
    return m_title;
}

QString ZMainWidget::caption() const
{
    return m_caption;
}

void ZMainWidget::setCaption(const QString& caption)
{
    m_caption = caption;
    setWindowTitle(caption);
    showCaption();
}

void ZMainWidget::showCaption()
{
    // One line; a caption longer than the strip ends in "…".
    m_title->ensurePolished();
    const int room = qMax(0, m_title->width() - 12);
    m_title->setText(m_title->fontMetrics().elidedText(m_caption, Qt::ElideRight, room));
}

ZPushButton* ZMainWidget::leftSoftKey() const
{
    const auto keys = zsoftkeys::keysOf(m_cst);
    return keys.isEmpty() ? nullptr : keys.first();
}

ZPushButton* ZMainWidget::middleSoftKey() const
{
    const auto keys = zsoftkeys::keysOf(m_cst);
    return keys.size() == 3 ? keys.at(1) : nullptr;
}

ZPushButton* ZMainWidget::rightSoftKey() const
{
    const auto keys = zsoftkeys::keysOf(m_cst);
    return keys.size() > 1 ? keys.last() : nullptr;
}

void ZMainWidget::showEvent(QShowEvent* event)
{
    if (isWindow() && !event->spontaneous()) {
        if (!testAttribute(Qt::WA_Moved))
            setGeometry(ZGlobal::getScreenR());
        // On the phone (and on an X server without a window manager) nobody
        // else gives the new window the keyboard; a window shown without
        // activating (the idle screen, beneath everything) waits for it.
        if (!testAttribute(Qt::WA_ShowWithoutActivating))
            activateWindow();
    }
    QWidget::showEvent(event);
}

void ZMainWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutAreas();
}

void ZMainWidget::layoutAreas()
{
    const int w = width();
    const int h = height();
    const int titleH = qMin<int>(ZGlobal::TitleHeight, h);
    m_title->setGeometry(0, 0, w, titleH);
    showCaption();
    int bottom = h;
    if (m_cst) {
        const int cstH = qMin<int>(ZGlobal::CstHeight, qMax(0, h - titleH));
        m_cst->setGeometry(0, h - cstH, w, cstH);
        bottom = h - cstH;
    }
    if (m_content)
        m_content->setGeometry(0, titleH, w, qMax(0, bottom - titleH));
}

void ZMainWidget::keyPressEvent(QKeyEvent* event)
{
    if (!event->isAutoRepeat() && zsoftkeys::press(m_cst, event->key(), true)) {
        event->accept();
        return;
    }
    // Up and Down that no control took move the focus through the content.
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
        focusNextPrevChild(event->key() == Qt::Key_Down);
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}
