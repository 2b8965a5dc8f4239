#pragma once
// The list of installed applications: a column of radio buttons, one per
// application, each carrying the application's UID and JavaId besides its
// name. The main window selects, relabels and removes entries through it.

#include <QRadioButton>
#include <QString>
#include <QStringList>
#include <QWidget>

class QButtonGroup;
class QGridLayout;
class QLabel;

class MyClass_RadioButton : public QRadioButton
{
    Q_OBJECT
public:
    explicit MyClass_RadioButton(QWidget* parent = nullptr, const char* name = nullptr);
    MyClass_RadioButton(const QString& text, QWidget* parent = nullptr,
                        const char* name = nullptr);

    QString appUID;     // the record's group name in the registry it came from
    QString appJavaId;  // "JavaId" of the record; "JavaIdError" when it had none

    // The application's name, shown as written: an "&" in it is no keyboard
    // shortcut and shows as "&".
    void setText(const QString& text);

protected:
    // The whole row takes a tap, not just the indicator and the text: the
    // entries fill the width of a touch screen.
    bool hitButton(const QPoint& pos) const override;
    // The centre key selects the focused entry; on the entry already
    // selected it goes on to the window (its middle key).
    void keyPressEvent(QKeyEvent* event) override;
    // The selected row is lit, the focused one framed; a name too long for
    // the row ends in "…" at the edge of what shows.
    void paintEvent(QPaintEvent* event) override;

private:
    void init();
};

// The group is a widget that lays its entries out in strips (one strip with
// Qt::Horizontal: one entry per row, in the order they were added) and keeps
// them in an exclusive QButtonGroup, which maps identifiers to entries.
//
// Keys: Up and Down move to the entry above or below and select it, so the
// selection is where the joystick is; the focus stays in the list when an
// entry is deleted (on the next entry, or the last).
//
// Identifiers: entry k (from 1) gets identifier k while nothing was deleted,
// as the group's entry count would give. They come from a counter that only
// ever grows, so an entry added after a deletion never gets the identifier of
// an entry still listed (or of a deleted one), and a click always reaches the
// entry that was clicked.
class MyClass_ButtonGroup : public QWidget
{
    Q_OBJECT
public:
    explicit MyClass_ButtonGroup(QWidget* parent = nullptr, const char* name = nullptr);
    MyClass_ButtonGroup(const QString& title, QWidget* parent = nullptr,
                        const char* name = nullptr);
    MyClass_ButtonGroup(int strips, Qt::Orientation orientation, QWidget* parent = nullptr,
                        const char* name = nullptr);
    MyClass_ButtonGroup(int strips, Qt::Orientation orientation, const QString& title,
                        QWidget* parent = nullptr, const char* name = nullptr);

    int selectedId;                   // -1 while nothing is selected
    MyClass_RadioButton* lastButton;  // the entry added last (null before the first)

    // The selected entry; null when nothing is selected.
    MyClass_RadioButton* getButton();
    // The entry with this identifier, or null.
    MyClass_RadioButton* find(int id) const;
    // Number of entries listed.
    int count() const;

    // Appends an entry and sizes the group to keep room for one more
    // (240 wide; 210 high, or (entries + 1) x entry height once that is more).
    void addButton(QString name, QString uid, QString javaId);
    // Relabels the selected entry (its UID and JavaId stay).
    void updateButton(QString text);
    // Deletes the selected entry and clears the selection; the size stays.
    void delButton();

    // One entry per group of the registry file, in file order: "Name"
    // (default "NameError"), the group name as UID, "JavaId" (default "JavaIdError").
    void initConfigFile(QString path);
    void initFromInstalledDB();
    void initFromUserRegistry();
    void initFromSysRegistry();
    void initFromCardRegistry();
    // The registries initConfigFile found but could not read (no regular
    // file, unreadable, or past the store's size limit): they listed nothing.
    QStringList unreadableFiles() const { return m_unreadable; }

    QString title() const;

signals:
    // An entry was clicked; its identifier (selectedId is already set).
    void clicked(int id);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void slotButtonClicked(int id);

private:
    void init(int strips, Qt::Orientation orientation, const QString& title, const char* name);

    QButtonGroup* m_group = nullptr;
    QGridLayout* m_layout = nullptr;
    QLabel* m_title = nullptr;
    int m_strips = 1;
    Qt::Orientation m_orientation = Qt::Horizontal;
    int m_nextId = 1;    // identifier of the next entry
    int m_nextCell = 0;  // layout cell of the next entry
    QStringList m_unreadable;
};
