#include "zbasedialog.h"

#include "keyboardhandback.h"
#include "phonestyle.h"
#include "zpushbutton.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <algorithm>

ZBaseDialog::ZBaseDialog(QWidget* parent, const char* name, int modal, Qt::WindowFlags f)
    : QDialog(parent, f)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    setModal(modal != 0);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    markKeyboardFocus(this);
    handKeyboardBackAfterModals();
}

ZBaseDialog::~ZBaseDialog() = default;

QList<ZPushButton*> ZBaseDialog::softKeys() const
{
    QList<ZPushButton*> keys;
    for (ZPushButton* b : findChildren<ZPushButton*>()) {
        if (b->isSoftKey() && b->isVisibleTo(const_cast<ZBaseDialog*>(this)))
            keys.append(b);
    }
    auto xOf = [this](const ZPushButton* b) { return b->mapTo(this, QPoint(0, 0)).x(); };
    std::stable_sort(keys.begin(), keys.end(),
                     [&](const ZPushButton* a, const ZPushButton* b) { return xOf(a) < xOf(b); });
    return keys;
}

void ZBaseDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // As for the main window: the dialog takes the keyboard itself.
    activateWindow();
    for (QComboBox* combo : findChildren<QComboBox*>()) {
        combo->removeEventFilter(this);
        combo->installEventFilter(this);
        combo->view()->removeEventFilter(this);
        combo->view()->installEventFilter(this);
    }
}

bool ZBaseDialog::eventFilter(QObject* watched, QEvent* event)
{
    // Up and Down move between the fields, as the phone's joystick does; a
    // closed selector changes its entry only through its list (Return).
    if (event->type() == QEvent::KeyPress && qobject_cast<QComboBox*>(watched)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            focusNextPrevChild(key == Qt::Key_Down);
            return true;
        }
    }
    // The soft keys work while a selector's list is open: it closes, and the
    // key does what it does everywhere in the dialog.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F1 || key->key() == Qt::Key_F2) {
            for (QComboBox* combo : findChildren<QComboBox*>()) {
                if (combo->view() == watched) {
                    combo->hidePopup();
                    keyPressEvent(key);
                    return true;
                }
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ZBaseDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->isAutoRepeat()) {
        QDialog::keyPressEvent(event);
        return;
    }
    const int key = event->key();
    if (key == Qt::Key_F1 || key == Qt::Key_F2) {
        const QList<ZPushButton*> keys = softKeys();
        ZPushButton* target = nullptr;
        if (key == Qt::Key_F1 && !keys.isEmpty())
            target = keys.first();
        else if (key == Qt::Key_F2 && keys.size() > 1)
            target = keys.last();
        if (target && target->isEnabled())
            target->click();
        event->accept();
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        QWidget* focus = focusWidget();
        if (auto* button = qobject_cast<QAbstractButton*>(focus)) {
            if (button->isEnabled())
                button->click();
        } else if (auto* combo = qobject_cast<QComboBox*>(focus)) {
            combo->showPopup();
        } else {
            // On a text field (or nowhere) the centre key confirms, as the
            // accepting soft key does.
            const QList<ZPushButton*> keys = softKeys();
            if (!keys.isEmpty() && keys.first()->isEnabled())
                keys.first()->click();
        }
        event->accept();
        return;
    }
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
        focusNextPrevChild(key == Qt::Key_Down);
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
