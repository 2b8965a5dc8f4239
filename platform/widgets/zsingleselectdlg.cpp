#include "zsingleselectdlg.h"
#include "dragscroll.h"

#include "phonelanguage.h"
#include "zmessagebox_screen.h"
#include "phonestyle.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QtMath>

namespace {

constexpr int TitleHeight = 24;
constexpr int CstHeight = 30;
constexpr int MaxTextHeight = 88;   // a longer text scrolls in this much room

// Draws each entry as a radio button; the marked one is the list's current row.
class RadioDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        QStyleOptionViewItem o(option);
        initStyleOption(&o, index);
        const QWidget* w = o.widget;
        QStyle* st = w ? w->style() : QApplication::style();
        st->drawPrimitive(QStyle::PE_PanelItemViewItem, &o, p, w);

        const int side = indicatorSide(st, w);
        const auto* view = qobject_cast<const QAbstractItemView*>(w);
        const bool marked = view && view->currentIndex() == index;
        QStyleOptionButton radio;
        if (w)
            radio.initFrom(w);
        radio.rect = QRect(o.rect.left() + 4, o.rect.center().y() - side / 2, side, side);
        radio.state = QStyle::State_Enabled | (marked ? QStyle::State_On : QStyle::State_Off);
        st->drawPrimitive(QStyle::PE_IndicatorRadioButton, &radio, p, w);

        const QRect textRect = o.rect.adjusted(side + 10, 0, -4, 0);
        p->save();
        p->setFont(o.font);
        p->setPen(o.state & QStyle::State_Selected ? o.palette.color(QPalette::HighlightedText)
                                                   : o.palette.color(QPalette::Text));
        p->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                    o.fontMetrics.elidedText(o.text, Qt::ElideRight, textRect.width(),
                                             Qt::TextSingleLine));
        p->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        const QWidget* w = option.widget;
        QStyle* st = w ? w->style() : QApplication::style();
        const int h = qMax(option.fontMetrics.height(), indicatorSide(st, w)) + 10;
        return QSize(option.rect.width() > 0 ? option.rect.width() : 200, h);
    }

private:
    static int indicatorSide(QStyle* st, const QWidget* w)
    {
        return st->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, w);
    }
};

QPushButton* softKey(const QString& text, QWidget* parent, const char* name)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoDefault(false);
    b->setFlat(true);
    b->setStyleSheet(QStringLiteral(
        "QPushButton { color: white; font-weight: bold; border: none; padding: 4px 10px; }"
        "QPushButton:pressed { background: #5b6b8a; }"));
    return b;
}

} // namespace

ZSingleSelectDlg::ZSingleSelectDlg(const QString& title, const QString& text, QWidget* parent,
                                   const char* name, bool modal, Qt::WindowFlags f, int /*style*/)
    : QDialog(parent, f | Qt::Dialog | Qt::FramelessWindowHint)
    , m_titleText(title)
    , m_textText(text)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    setModal(modal);
    setWindowTitle(title);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::Base, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("titleBar"));
    m_title->setTextFormat(Qt::PlainText);
    m_title->setFixedHeight(TitleHeight);
    m_title->setStyleSheet(titleStripStyleSheet(QStringLiteral("titleBar"), 14));
    column->addWidget(m_title);

    // The text as typed (never markup), wrapped, scrolling when long.
    m_text = createPlainTextView(this, QStringLiteral("selectText"), text);
    m_text->setMinimumSize(0, 0);
    const int textHeight = ezxscreen::plainTextHeight(text, m_text->font(), ezxscreen::PhoneWidth);
    m_text->setFixedHeight(qBound(0, textHeight, MaxTextHeight));
    m_text->setVerticalScrollBarPolicy(textHeight > MaxTextHeight ? Qt::ScrollBarAsNeeded
                                                                  : Qt::ScrollBarAlwaysOff);
    m_text->setVisible(!text.isEmpty());
    column->addWidget(m_text);

    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    column->addWidget(rule);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("selectList"));
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setUniformItemSizes(true);
    m_list->setItemDelegate(new RadioDelegate(m_list));
    column->addWidget(m_list, 1);
    // A tap on an entry chooses it as Return would; a drag scrolls the list.
    connect(m_list, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        m_list->setCurrentItem(item);
        accept();
    });
    enableDragScrolling(m_list);

    m_cst = createSoftKeyStrip(this, QStringLiteral("cstBar"));
    m_cst->setFixedHeight(CstHeight);
    auto* keys = new QHBoxLayout(m_cst);
    keys->setContentsMargins(4, 0, 4, 0);
    m_select = softKey(platformText(PlatformText::Select), m_cst, "selectKey");
    m_back = softKey(platformText(PlatformText::Back), m_cst, "backKey");
    keys->addWidget(m_select);
    keys->addStretch(1);
    keys->addWidget(m_back);
    connect(m_select, &QPushButton::clicked, this, &ZSingleSelectDlg::accept);
    connect(m_back, &QPushButton::clicked, this, &ZSingleSelectDlg::reject);
    column->addWidget(m_cst);

    installEventFilter(this);
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
    m_list->setFocus();
    speakAsTheTexts();

    resize(ezxscreen::PhoneWidth, ezxscreen::PhoneHeight);
    move(ezxscreen::phoneScreenRect().topLeft());
    updateTitle();
}

ZSingleSelectDlg::~ZSingleSelectDlg() = default;

void ZSingleSelectDlg::addItemsList(const QStringList& items)
{
    const bool wasEmpty = m_list->count() == 0;
    m_list->addItems(items);
    if (wasEmpty && m_list->count() > 0)
        moveTo(0);
    speakAsTheTexts();
}

void ZSingleSelectDlg::speakAsTheTexts()
{
    const bool chinese = textsAreChinese(QStringList{m_titleText, m_textText} + items());
    m_select->setText(platformText(PlatformText::Select, chinese));
    m_back->setText(platformText(PlatformText::Back, chinese));
}

QStringList ZSingleSelectDlg::items() const
{
    QStringList out;
    for (int i = 0; i < m_list->count(); ++i)
        out << m_list->item(i)->text();
    return out;
}

int ZSingleSelectDlg::getCheckedItemIndex() const
{
    if (m_closed)
        return m_chosen;
    return m_list->count() > 0 ? m_list->currentRow() : -1;
}

void ZSingleSelectDlg::accept()
{
    if (m_closed)
        return;
    m_closed = true;
    m_chosen = m_list->count() > 0 ? m_list->currentRow() : -1;
    QDialog::accept();
}

void ZSingleSelectDlg::reject()
{
    if (m_closed)
        return;
    m_closed = true;
    m_chosen = -1;
    QDialog::reject();
}

bool ZSingleSelectDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto* e = static_cast<QKeyEvent*>(event);
    // Rows that fit in the list, less one kept in view.
    const auto page = [this] {
        return qMax(1, m_list->viewport()->height() / qMax(1, m_list->sizeHintForRow(0)) - 1);
    };
    // At an end of the list, Up and Down read on in a long question.
    const auto step = [this](QAbstractSlider::SliderAction action) {
        m_text->verticalScrollBar()->triggerAction(action);
    };
    switch (e->key()) {
    case Qt::Key_Up:
        if (m_list->currentRow() <= 0)
            step(QAbstractSlider::SliderSingleStepSub);
        else
            moveBy(-1);
        return true;
    case Qt::Key_Down:
        if (m_list->currentRow() >= m_list->count() - 1)
            step(QAbstractSlider::SliderSingleStepAdd);
        else
            moveBy(1);
        return true;
    case Qt::Key_PageUp: moveBy(-page()); return true;
    case Qt::Key_PageDown: moveBy(page()); return true;
    case Qt::Key_Home: moveTo(0); return true;
    case Qt::Key_End: moveTo(m_list->count() - 1); return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F1:
    case Qt::Key_Select:
        accept();
        return true;
    case Qt::Key_F2:
    case Qt::Key_Escape:
    case Qt::Key_Back:
        reject();
        return true;
    default:
        return QDialog::eventFilter(watched, event);
    }
}

void ZSingleSelectDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    updateTitle();
}

void ZSingleSelectDlg::moveBy(int rows)
{
    if (m_list->count() == 0)
        return;
    const int from = qMax(0, m_list->currentRow());
    moveTo(qBound(0, from + rows, m_list->count() - 1));
}

void ZSingleSelectDlg::moveTo(int row)
{
    if (row < 0 || row >= m_list->count())
        return;
    m_list->setCurrentRow(row);
    m_list->scrollToItem(m_list->item(row));
    m_list->viewport()->update();
}

void ZSingleSelectDlg::updateTitle()
{
    // One line: a long title is cut with an ellipsis, the whole stays the
    // window title.
    m_title->ensurePolished();
    const int room = qMax(0, m_title->width() - 12);
    m_title->setText(m_title->fontMetrics().elidedText(m_titleText, Qt::ElideRight, room,
                                                       Qt::TextSingleLine));
}
