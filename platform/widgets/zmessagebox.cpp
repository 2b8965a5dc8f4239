#include "zmessagebox.h"

#include "zmessagebox_screen.h"
#include "phonestyle.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTextEdit>
#include <QTimer>
#include <QtMath>
#include <QVBoxLayout>
#include <QVector>

#include <climits>

namespace {

constexpr int ScreenMargin = 4;       // space kept free around the box on the phone screen
constexpr int InnerMargin = 8;        // space inside the box's border
constexpr int MaxIconSide = 48;       // larger icons are scaled down to this
constexpr int MaxBoxHeight = ezxscreen::PhoneHeight - 2 * ScreenMargin;

// The box itself: icon and text side by side, buttons in a row below. All keys
// are handled here, whichever child has the focus, so that the phone's keys
// (and their keyboard stand-ins) work the same everywhere in the box.
class MessageBoxDialog : public QDialog
{
public:
    MessageBoxDialog(QWidget* parent, const QPixmap& icon, const QString& text,
                     const QStringList& buttonTexts, const QVector<int>& positions,
                     bool closesByKey)
        : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
        , m_positions(positions)
        , m_closesByKey(closesByKey)
    {
        setObjectName(QStringLiteral("ZMessageBox"));
        setModal(true);

        auto* outer = new QVBoxLayout(this);
        outer->setContentsMargins(InnerMargin, InnerMargin, InnerMargin, InnerMargin);
        outer->setSpacing(InnerMargin);

        auto* top = new QHBoxLayout;
        top->setSpacing(InnerMargin);
        outer->addLayout(top, 1);

        const int boxWidth = ezxscreen::PhoneWidth - 2 * ScreenMargin;
        int textWidth = boxWidth - 2 * InnerMargin;
        int iconHeight = 0;

        m_icon = new QLabel(this);
        m_icon->setObjectName(QStringLiteral("messageIcon"));
        if (!icon.isNull()) {
            QPixmap shown = icon;
            if (shown.width() > MaxIconSide || shown.height() > MaxIconSide)
                shown = shown.scaled(MaxIconSide, MaxIconSide, Qt::KeepAspectRatio,
                                     Qt::SmoothTransformation);
            m_icon->setPixmap(shown);
            m_icon->setFixedSize(shown.size());
            textWidth -= shown.width() + InnerMargin;
            iconHeight = shown.height();
        } else {
            m_icon->hide();
        }
        top->addWidget(m_icon, 0, Qt::AlignTop);

        // Plain text, never markup: a script's "<message>" must show as typed.
        m_text = createPlainTextView(this, QStringLiteral("messageText"), text);
        m_text->viewport()->setAutoFillBackground(false);
        m_text->setStyleSheet(QStringLiteral("QTextEdit { background: transparent; }"));
        // The box computes the text's height itself (below); the view's own
        // minimum would make short messages sit in a tall box.
        m_text->setMinimumSize(0, 0);
        m_text->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
        top->addWidget(m_text, 1);

        int buttonRowHeight = 0;
        if (!buttonTexts.isEmpty()) {
            auto* row = new QHBoxLayout;
            row->setSpacing(InnerMargin / 2);
            for (int i = 0; i < buttonTexts.size(); ++i) {
                // "&&" shows an "&" of the caption; a single one would be a shortcut.
                auto* b = new QPushButton(withLiteralAmpersands(buttonTexts.at(i)), this);
                b->setObjectName(QStringLiteral("button%1").arg(positions.at(i)));
                b->setAutoDefault(false);
                b->setFocusPolicy(Qt::StrongFocus);
                // The focused button (the one Return presses) must stand out.
                b->setStyleSheet(QStringLiteral(
                    "QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
                    " stop:0 #fdfdfd, stop:1 #dde2ea); border: 1px solid #8a94a6;"
                    " border-radius: 3px; padding: 4px 6px; color: black; }"
                    "QPushButton:focus { border: 2px solid #2f5d9b; background: #d6e4f7; }"
                    "QPushButton:pressed { background: #b8cbe8; }"));
                connect(b, &QPushButton::clicked, this, [this, i] { press(i); });
                row->addWidget(b);
                m_buttons.append(b);
                buttonRowHeight = qMax(buttonRowHeight, b->sizeHint().height());
            }
            outer->addLayout(row);
        }

        // Size: as tall as the text needs, at most the phone screen; longer
        // texts scroll inside the box.
        const int textHeight = ezxscreen::plainTextHeight(text, m_text->font(), textWidth);
        const int chrome = 2 * InnerMargin + (buttonRowHeight ? buttonRowHeight + InnerMargin : 0);
        const int wanted = chrome + qMax(textHeight, iconHeight);
        const int boxHeight = qMin(wanted, MaxBoxHeight);
        if (wanted > MaxBoxHeight)
            m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        else
            m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setFixedSize(boxWidth, boxHeight);
        ezxscreen::centreOnPhone(this);

        installEventFilter(this);
        for (QWidget* w : findChildren<QWidget*>())
            w->installEventFilter(this);
        if (!m_buttons.isEmpty())
            m_buttons.first()->setFocus();
    }

    // The position (as given by the caller) of the button pressed, or the one
    // that stands for leaving the box.
    int pressed() const { return m_result; }

    void reject() override
    {
        // Leaving the box (Escape, closing the window) means its last button.
        m_result = m_positions.isEmpty() ? -1 : m_positions.last();
        QDialog::reject();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && handleKey(static_cast<QKeyEvent*>(event)))
            return true;
        return QDialog::eventFilter(watched, event);
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().window());
        p.setPen(QPen(QColor(0x2f, 0x5d, 0x9b), 2));
        p.drawRect(rect().adjusted(1, 1, -1, -1));
    }

private:
    bool handleKey(QKeyEvent* e)
    {
        const int key = e->key();
        const int n = m_buttons.size();
        switch (key) {
        case Qt::Key_1:
        case Qt::Key_2:
        case Qt::Key_3: {
            const int i = key - Qt::Key_1;
            if (i < n)
                press(i);
            return true;
        }
        case Qt::Key_F1:
            if (n > 0)
                press(0);
            else if (m_closesByKey)
                reject();
            return true;
        case Qt::Key_F2:
        case Qt::Key_Escape:
            if (n > 0)
                press(n - 1);
            else if (m_closesByKey)
                reject();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            if (n == 0) {
                if (m_closesByKey)
                    reject();
                return true;
            }
            int i = m_buttons.indexOf(qobject_cast<QPushButton*>(focusWidget()));
            press(i < 0 ? 0 : i);
            return true;
        }
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Tab:
        case Qt::Key_Backtab: {
            if (n == 0)
                return true;
            int i = m_buttons.indexOf(qobject_cast<QPushButton*>(focusWidget()));
            const bool back = key == Qt::Key_Left || key == Qt::Key_Backtab;
            i = i < 0 ? 0 : (i + (back ? n - 1 : 1)) % n;
            m_buttons.at(i)->setFocus();
            return true;
        }
        case Qt::Key_Up:
        case Qt::Key_Down: {
            // The joystick scrolls a long text; where there is nothing more
            // to see that way it moves between the buttons.
            QScrollBar* bar = m_text->verticalScrollBar();
            const bool down = key == Qt::Key_Down;
            if (n > 1 && (down ? bar->value() >= bar->maximum() : bar->value() <= bar->minimum())) {
                int i = m_buttons.indexOf(qobject_cast<QPushButton*>(focusWidget()));
                i = i < 0 ? 0 : (i + (down ? 1 : n - 1)) % n;
                m_buttons.at(i)->setFocus();
                return true;
            }
            bar->triggerAction(down ? QAbstractSlider::SliderSingleStepAdd
                                    : QAbstractSlider::SliderSingleStepSub);
            return true;
        }
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End: {
            QScrollBar* bar = m_text->verticalScrollBar();
            switch (key) {
            case Qt::Key_PageUp: bar->triggerAction(QAbstractSlider::SliderPageStepSub); break;
            case Qt::Key_PageDown: bar->triggerAction(QAbstractSlider::SliderPageStepAdd); break;
            case Qt::Key_Home: bar->triggerAction(QAbstractSlider::SliderToMinimum); break;
            default: bar->triggerAction(QAbstractSlider::SliderToMaximum); break;
            }
            return true;
        }
        default:
            return false;
        }
    }

    void press(int i)
    {
        m_result = m_positions.at(i);
        accept();
    }

    QLabel* m_icon = nullptr;
    QTextEdit* m_text = nullptr;
    QVector<QPushButton*> m_buttons;
    QVector<int> m_positions;
    bool m_closesByKey;
    int m_result = -1;
};

bool haveWidgetApplication()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

} // namespace

int ZMessageBox::information(QWidget* parent, const QPixmap& icon, const QString& text,
                             const QString& button0, const QString& button1,
                             const QString& button2, int /*style*/)
{
    if (!haveWidgetApplication())
        return -1;
    QStringList texts;
    QVector<int> positions;
    const QString given[3] = {button0, button1, button2};
    for (int i = 0; i < 3; ++i) {
        if (!given[i].isNull()) {
            texts << given[i];
            positions << i;
        }
    }
    // A box without any button could never be answered: then the leaving keys
    // close it, and the result is -1.
    MessageBoxDialog box(parent, icon, text, texts, positions, texts.isEmpty());
    box.exec();
    return box.pressed();
}

int ZMessageBox::timerMessage(QWidget* parent, const QPixmap& icon, const QString& text,
                              int seconds, int /*style*/)
{
    if (!haveWidgetApplication())
        return -1;
    MessageBoxDialog box(parent, icon, text, QStringList(), QVector<int>(), true);

    // QTimer takes at most INT_MAX milliseconds (about 24 days); a longer wait
    // is done in several legs so that no count overflows.
    qint64 remaining = seconds > 0 ? qint64(seconds) * 1000 : 0;
    QTimer timer;
    timer.setSingleShot(true);
    // A coarse timer may fire up to 5 % early; a script that asked for ten
    // seconds must get ten.
    timer.setTimerType(Qt::PreciseTimer);
    auto arm = [&] {
        const qint64 leg = qMin<qint64>(remaining, INT_MAX);
        remaining -= leg;
        timer.start(int(leg));
    };
    QObject::connect(&timer, &QTimer::timeout, &box, [&] {
        if (remaining > 0)
            arm();
        else
            box.accept();
    });
    arm();
    box.exec();
    return 0;
}
