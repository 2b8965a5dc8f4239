#include "myclass_buttongroup.h"
#include "phonefiles.h"

#include "phonestyle.h"
#include "zconfig.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QStringList>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace {


const int kGroupWidth = 240;
const int kEmptyHeight = 210;
const int kEntryMinWidth = 225;
const int kIndicatorInset = 4;

} // namespace

MyClass_RadioButton::MyClass_RadioButton(QWidget* parent, const char* name)
    : QRadioButton(parent)
{
    if (name)
        setObjectName(QLatin1String(name));
    init();
}

MyClass_RadioButton::MyClass_RadioButton(const QString& text, QWidget* parent, const char* name)
    : QRadioButton(parent)
{
    if (name)
        setObjectName(QLatin1String(name));
    init();
    setText(text);
}

void MyClass_RadioButton::init()
{
    // The lit row shows the focus; no frame is drawn over it.
    setProperty("ownFocusLook", true);
}

void MyClass_RadioButton::setText(const QString& text)
{
    // A name from the card may be megabytes long, and laying it out would
    // keep the window from opening: what is shown stops well past a row's
    // width (the registry keeps the name whole).
    const int kLongest = 256;
    QRadioButton::setText(text.size() <= kLongest ? text : text.left(kLongest) + QChar(0x2026));
    setShortcut(QKeySequence());
}

void MyClass_RadioButton::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && !event->isAutoRepeat()) {
        if (!isChecked()) {
            click();
            event->accept();
        } else {
            event->ignore();
        }
        return;
    }
    QRadioButton::keyPressEvent(event);
}

void MyClass_RadioButton::paintEvent(QPaintEvent*)
{
    QStylePainter p(this);
    QStyleOptionButton opt;
    initStyleOption(&opt);
    // Only the selected entry is lit: it is the one every action of the
    // window applies to. The joystick's place, where nothing is selected yet,
    // shows as a thin frame.
    if (isChecked()) {
        p.fillRect(rect(), QColor(0xd6, 0xe4, 0xf7));
        p.setPen(QPen(QColor(0x2f, 0x5d, 0x9b), 2));
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    } else if (hasFocus()) {
        p.setPen(QPen(QColor(0x2f, 0x5d, 0x9b), 1, Qt::DashLine));
        p.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
    opt.state &= ~QStyle::State_HasFocus;  // the style's dotted line is not needed
    // The indicator keeps clear of the screen's edge, which would cut its rim.
    opt.rect = rect().adjusted(kIndicatorInset, 0, 0, 0);
    // Cut the name where the row stops showing (a scroll bar may cover its
    // right end), so that the "…" is seen.
    const QRect label = style()->subElementRect(QStyle::SE_RadioButtonContents, &opt, this);
    int right = rect().right() - 4;
    const QRect shows = visibleRegion().boundingRect();
    if (!shows.isEmpty())
        right = qMin(right, shows.right() - 4);
    const int room = qMax(0, right - label.left());
    opt.text = withLiteralAmpersands(fontMetrics().elidedText(text(), Qt::ElideRight, room));
    p.drawControl(QStyle::CE_RadioButton, opt);
}

bool MyClass_RadioButton::hitButton(const QPoint& pos) const
{
    return rect().contains(pos);
}

MyClass_ButtonGroup::MyClass_ButtonGroup(QWidget* parent, const char* name)
    : QWidget(parent), selectedId(-1), lastButton(nullptr)
{
    init(1, Qt::Horizontal, QString(), name);
}

MyClass_ButtonGroup::MyClass_ButtonGroup(const QString& title, QWidget* parent, const char* name)
    : QWidget(parent), selectedId(-1), lastButton(nullptr)
{
    init(1, Qt::Horizontal, title, name);
}

MyClass_ButtonGroup::MyClass_ButtonGroup(int strips, Qt::Orientation orientation, QWidget* parent,
                                         const char* name)
    : QWidget(parent), selectedId(-1), lastButton(nullptr)
{
    init(strips, orientation, QString(), name);
}

MyClass_ButtonGroup::MyClass_ButtonGroup(int strips, Qt::Orientation orientation,
                                         const QString& title, QWidget* parent, const char* name)
    : QWidget(parent), selectedId(-1), lastButton(nullptr)
{
    init(strips, orientation, title, name);
}

void MyClass_ButtonGroup::init(int strips, Qt::Orientation orientation, const QString& title,
                               const char* name)
{
    if (name)
        setObjectName(QLatin1String(name));
    m_strips = strips > 0 ? strips : 1;
    m_orientation = orientation;

    m_group = new QButtonGroup(this);
    m_group->setExclusive(true);
    connect(m_group, &QButtonGroup::idClicked, this, &MyClass_ButtonGroup::slotButtonClicked);

    m_layout = new QGridLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    if (!title.isEmpty()) {
        m_title = new QLabel(title, this);
        m_layout->addWidget(m_title, 0, 0, 1, -1);
    }
}

QString MyClass_ButtonGroup::title() const
{
    return m_title ? m_title->text() : QString();
}

void MyClass_ButtonGroup::slotButtonClicked(int id)
{
    selectedId = id;
    emit clicked(id);
}

MyClass_RadioButton* MyClass_ButtonGroup::getButton()
{
    return find(selectedId);
}

MyClass_RadioButton* MyClass_ButtonGroup::find(int id) const
{
    if (id == -1)
        return nullptr;
    return qobject_cast<MyClass_RadioButton*>(m_group->button(id));
}

int MyClass_ButtonGroup::count() const
{
    return m_group->buttons().size();
}

void MyClass_ButtonGroup::addButton(QString name, QString uid, QString javaId)
{
    auto* entry = new MyClass_RadioButton(this);
    lastButton = entry;
    entry->setText(name);
    entry->appUID = uid;
    entry->appJavaId = javaId;
    entry->setMinimumWidth(kEntryMinWidth);

    // Until it is laid out the entry has the toolkit's default height; the
    // group is sized from that, keeping room for one entry more than it holds.
    const int h = entry->height();
    const int c = count() + 1;  // the new entry included
    if (c * h + h > kEmptyHeight - 1)
        resize(kGroupWidth, (c + 1) * h);
    else
        resize(kGroupWidth, kEmptyHeight);
    // Rows as high as the room the group keeps for them.
    entry->setMinimumHeight(h);

    const int id = m_nextId++;
    m_group->addButton(entry, id);
    entry->installEventFilter(this);

    const int cell = m_nextCell++;
    const int offset = m_title ? 1 : 0;
    if (m_orientation == Qt::Horizontal)
        m_layout->addWidget(entry, offset + cell / m_strips, cell % m_strips);
    else
        m_layout->addWidget(entry, offset + cell % m_strips, cell / m_strips);
    entry->show();
}

void MyClass_ButtonGroup::updateButton(QString text)
{
    if (selectedId == -1)
        return;
    if (MyClass_RadioButton* entry = find(selectedId))
        entry->setText(text);
}

void MyClass_ButtonGroup::delButton()
{
    if (selectedId == -1)
        return;
    MyClass_RadioButton* entry = find(selectedId);
    selectedId = -1;
    if (!entry)
        return;
    if (lastButton == entry)
        lastButton = nullptr;
    // The focus goes to the next entry (or the last): a deleted widget would
    // take it along and leave the keys nowhere to go.
    const QList<QAbstractButton*> entries = m_group->buttons();
    const int at = entries.indexOf(entry);
    QAbstractButton* heir = at + 1 < entries.size() ? entries.at(at + 1)
                            : at > 0               ? entries.at(at - 1)
                                                   : nullptr;
    QWidget* focus = window()->focusWidget();
    const bool keepFocus = !focus || focus == entry || focus == window();
    m_group->removeButton(entry);
    delete entry;
    if (heir && keepFocus)
        heir->setFocus(Qt::OtherFocusReason);
}

bool MyClass_ButtonGroup::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)
            && key->modifiers() == Qt::NoModifier) {
            const QList<QAbstractButton*> entries = m_group->buttons();
            const int at = entries.indexOf(qobject_cast<QAbstractButton*>(watched));
            if (at >= 0) {
                const int to = at + (key->key() == Qt::Key_Down ? 1 : -1);
                if (to >= 0 && to < entries.size()) {
                    entries.at(to)->setFocus(Qt::OtherFocusReason);
                    entries.at(to)->click();
                }
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MyClass_ButtonGroup::initConfigFile(QString path)
{
    const ZConfig cfg(path, false);
    if (!cfg.readable())
        m_unreadable << path;
    QStringList groups;
    cfg.getGroupsKeyList(groups);
    for (const QString& g : groups) {
        // A group without a name (a line "[]") is no application: its blank
        // UID would reach the uninstall and the menu lists.
        if (g.trimmed().isEmpty())
            continue;
        const QString name = cfg.readEntry(g, QStringLiteral("Name"), QStringLiteral("NameError"));
        const QString javaId =
            cfg.readEntry(g, QStringLiteral("JavaId"), QStringLiteral("JavaIdError"));
        addButton(name, g, javaId);
    }
}

void MyClass_ButtonGroup::initFromInstalledDB()
{
    initConfigFile(QLatin1String(phonefile::kInstalledDB));
}

void MyClass_ButtonGroup::initFromUserRegistry()
{
    initConfigFile(QLatin1String(phonefile::kUserRegistry));
}

void MyClass_ButtonGroup::initFromSysRegistry()
{
    initConfigFile(QLatin1String(phonefile::kPreloadRegistry));
}

void MyClass_ButtonGroup::initFromCardRegistry()
{
    initConfigFile(QLatin1String(phonefile::kCardRegistry));
}
