#pragma once
// ZOpenDlg: the platform's modal file picker in phone style.
//
// It shows the folders of the current folder and those of its files whose
// names match one of the patterns (wildcards, letter case counts), starting in
// the folder it is given. Up and Down move; Return, or the left soft key (F1),
// opens a folder or chooses a file; ".." and Backspace go up one folder; the
// right soft key (F2) or Escape leaves without a choice.
//
// Folders and the chosen file are phone paths: listing goes through
// phoneHostPath(), and with EZX_ROOT set the folders above the phone's own
// trees ("/", "/usr") show only the way into those trees.

#include "zbasedialog.h"

#include <QStringList>

class QLabel;
class QListWidget;
class QListWidgetItem;

class ZOpenDlg : public ZBaseDialog
{
    Q_OBJECT
public:
    // `flag` is the platform's own (a folder-only mode on the phone) and not
    // used here: the programs pass false.
    ZOpenDlg(const QStringList& filters, const QString& startDir, bool flag = false,
             QWidget* parent = nullptr, const char* name = nullptr);
    ~ZOpenDlg() override;

    // The full phone path of the chosen file; empty when nothing was chosen.
    QString getFile() const;

    // The folder shown now, and the names it lists (".." first when there is a
    // parent, then folders, then files, each group sorted by name).
    QString currentDir() const { return m_dir; }
    QStringList entries() const;

    // Opens `phoneDir` (or, when it is no folder, the nearest folder above it).
    void setDir(const QString& phoneDir);
    // Chooses the entry called `name` as Return would: a folder is opened, a
    // file is chosen and the picker closes. False when no entry has that name.
    bool activateEntry(const QString& name);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void slotOpen();
    void slotCancel();

private:
    void activate(QListWidgetItem* item);
    void goUp();

    QStringList m_filters;
    QString m_dir;
    QString m_file;
    QLabel* m_title;
    QListWidget* m_list;
};
