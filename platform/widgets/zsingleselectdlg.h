#pragma once
// ZSingleSelectDlg: the platform's single-choice dialog. It takes the whole
// phone screen: a title strip, a text, a list of entries with one choice
// marked, and a soft-key strip with "Select" (left) and "Back" (right).
//
// Keys: Up and Down move the choice (Page Up/Down, Home, End jump), and at
// either end of the list scroll a long text instead; Return, Enter or F1
// select it and close the dialog; F2 or Escape leave it without a choice.
// A tap on an entry selects it; a drag scrolls the list or the text. The soft
// keys speak the language of the title, text and entries.

#include <QDialog>
#include <QStringList>

class QLabel;
class QListWidget;
class QPushButton;
class QTextEdit;

class ZSingleSelectDlg : public QDialog
{
    Q_OBJECT
public:
    // `name` becomes the object name; `style` is the platform's and unused.
    ZSingleSelectDlg(const QString& title, const QString& text, QWidget* parent = nullptr,
                     const char* name = nullptr, bool modal = true, Qt::WindowFlags f = {},
                     int style = 0);
    ~ZSingleSelectDlg() override;

    // Appends the entries, in order. The first entry is marked when the list
    // was empty before.
    void addItemsList(const QStringList& items);

    // While the dialog is open: the marked entry (-1 for an empty list). Once
    // it has closed: the entry selected, or -1 when it was left without one.
    int getCheckedItemIndex() const;

    QString title() const { return m_titleText; }
    QString text() const { return m_textText; }
    QStringList items() const;
    QListWidget* getListBox() const { return m_list; }

public slots:
    void accept() override;   // select the marked entry
    void reject() override;   // leave without a choice

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void moveBy(int rows);
    void moveTo(int row);
    void updateTitle();
    // The soft keys in the language of the title, text and entries.
    void speakAsTheTexts();

    QString m_titleText;
    QString m_textText;
    QLabel* m_title = nullptr;
    QTextEdit* m_text = nullptr;
    QListWidget* m_list = nullptr;
    QWidget* m_cst = nullptr;
    QPushButton* m_select = nullptr;
    QPushButton* m_back = nullptr;
    bool m_closed = false;
    int m_chosen = -1;
};
