#include "qpopupmenu.h"

#include "phonestyle.h"

QPopupMenu::QPopupMenu(QWidget* parent, const char* name)
    : QMenu(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    QFont f = font();
    f.setPixelSize(15);
    setFont(f);
    setStyleSheet(QStringLiteral(
        "QMenu { background: white; border: 1px solid #1d3f7a; padding: 2px; }"
        " QMenu::item { padding: 5px 16px 5px 10px; color: black; }"
        " QMenu::item:selected { background: #3d6fb6; color: white; }"));
    connect(this, &QMenu::triggered, this, [this](QAction* action) {
        bool ok = false;
        const int id = action->data().toInt(&ok);
        if (ok)
            emit activated(id);
    });
}

QPopupMenu::~QPopupMenu() = default;

int QPopupMenu::insertItem(const QString& text, int id, int index)
{
    if (id < 0 || actionOf(id))
        id = m_nextId;
    while (actionOf(id))
        ++id;
    m_nextId = qMax(m_nextId, id + 1);
    // "&" in a caption is a character, not a keyboard shortcut: a menu shows
    // "&&" as "&".
    auto* action = new QAction(withLiteralAmpersands(text), this);
    action->setData(id);
    const QList<QAction*> all = actions();
    if (index >= 0 && index < all.size())
        insertAction(all.at(index), action);
    else
        addAction(action);
    return id;
}

void QPopupMenu::removeItem(int id)
{
    if (QAction* a = actionOf(id)) {
        removeAction(a);
        delete a;
    }
}

int QPopupMenu::count() const
{
    return actions().size();
}

int QPopupMenu::idAt(int index) const
{
    const QList<QAction*> all = actions();
    if (index < 0 || index >= all.size())
        return -1;
    return all.at(index)->data().toInt();
}

QString QPopupMenu::text(int id) const
{
    QAction* a = actionOf(id);
    return a ? a->text().replace(QLatin1String("&&"), QLatin1String("&")) : QString();
}

QAction* QPopupMenu::actionOf(int id) const
{
    for (QAction* a : actions()) {
        bool ok = false;
        if (a->data().toInt(&ok) == id && ok)
            return a;
    }
    return nullptr;
}
