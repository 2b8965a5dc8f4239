#pragma once
// QPopupMenu: the pop-up menu of the phone's toolkit, on QMenu.
//
// Entries are appended with insertItem(text) and known by the identifier it
// returns; choosing an entry emits activated(identifier). Up and Down move,
// Return chooses, Escape closes.

#include <QMenu>

class QPopupMenu : public QMenu
{
    Q_OBJECT
public:
    explicit QPopupMenu(QWidget* parent = nullptr, const char* name = nullptr);
    ~QPopupMenu() override;

    // Appends (or, with index >= 0, inserts at that position) an entry and
    // returns its identifier: `id` when it is >= 0 and unused, else a fresh one.
    int insertItem(const QString& text, int id = -1, int index = -1);
    void removeItem(int id);

    int count() const;
    int idAt(int index) const;          // -1 when out of range
    QString text(int id) const;         // as inserted; null when unknown
    QAction* actionOf(int id) const;    // null when unknown

signals:
    void activated(int id);

private:
    int m_nextId = 0;
};
