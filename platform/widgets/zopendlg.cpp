#include "zopendlg.h"

#include "dragscroll.h"
#include "phonelanguage.h"
#include "phonepath.h"
#include "phonestyle.h"
#include "stockicons.h"
#include "zglobal.h"
#include "zpushbutton.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>

namespace {

enum EntryKind { ParentEntry = 1, FolderEntry, FileEntry };
constexpr int KindRole = Qt::UserRole + 1;

// Folders above the phone's own trees when a phone root stands in for them.
bool isAboveTrees(const QString& phoneDir)
{
    return phoneRootSet() && !isPhoneTreePath(phoneDir) && isPhoneTreeRoot(phoneDir);
}

QString hostDir(const QString& phoneDir)
{
    if (isAboveTrees(phoneDir)) {
        QString root = qEnvironmentVariable("EZX_ROOT");
        while (root.size() > 1 && root.endsWith(QLatin1Char('/')))
            root.chop(1);
        return phoneDir == QLatin1String("/") ? root : root + phoneDir;
    }
    return phoneHostPath(phoneDir);
}

QString childPath(const QString& dir, const QString& name)
{
    return dir.endsWith(QLatin1Char('/')) ? dir + name : dir + QLatin1Char('/') + name;
}

QString parentPath(const QString& dir)
{
    if (dir == QLatin1String("/"))
        return dir;
    const int slash = dir.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : dir.left(slash);
}

} // namespace

ZOpenDlg::ZOpenDlg(const QStringList& filters, const QString& startDir, bool /*flag*/,
                   QWidget* parent, const char* name)
    : ZBaseDialog(parent, name ? name : "ZOpenDlg", 1), m_filters(filters)
{
    const QRect dlg = ZGlobal::getDlgLargeR();
    setGeometry(dlg);

    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("pickerTitle"));
    m_title->setTextFormat(Qt::PlainText);
    m_title->setStyleSheet(titleStripStyleSheet(QStringLiteral("pickerTitle"), 13));
    m_title->setGeometry(ZGlobal::diffRect(dlg, ZGlobal::getDlgTitleLR()));

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("pickerList"));
    m_list->setGeometry(ZGlobal::diffRect(dlg, ZGlobal::getDlgLargeConR()));
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setIconSize(QSize(18, 16));
    m_list->setUniformItemSizes(true);
    m_list->setTextElideMode(Qt::ElideMiddle);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont f = m_list->font();
    f.setPixelSize(14);
    m_list->setFont(f);
    m_list->setStyleSheet(QStringLiteral(
        "QListWidget::item { padding: 3px; }"
        " QListWidget::item:selected { background: #3d6fb6; color: white; }"));
    // Return reaches the dialog (the list only reports it); a tap on a row
    // opens it as Return would, and a drag scrolls the list.
    // Opening a folder refills the list: done once the click has been
    // delivered, not under the view that is still handling it.
    connect(m_list, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const int row = m_list->row(item);
        QMetaObject::invokeMethod(this, [this, row] { activate(m_list->item(row)); },
                                  Qt::QueuedConnection);
    });
    enableDragScrolling(m_list);

    auto* cst = createSoftKeyStrip(this, QStringLiteral("pickerCst"));
    const QRect cstR = ZGlobal::getDlgCstLR();
    cst->setGeometry(ZGlobal::diffRect(dlg, cstR));
    auto* open = new ZPushButton(cst, ZPushButton::DialogAccept);
    open->setText(platformText(PlatformText::Open));
    open->setGeometry(ZGlobal::diffRect(cstR, ZGlobal::getDlgA2a_1R()));
    connect(open, &QAbstractButton::clicked, this, &ZOpenDlg::slotOpen);
    auto* cancel = new ZPushButton(cst, ZPushButton::DialogCancel);
    cancel->setText(platformText(PlatformText::Cancel));
    cancel->setGeometry(ZGlobal::diffRect(cstR, ZGlobal::getDlgA2a_2R()));
    connect(cancel, &QAbstractButton::clicked, this, &ZOpenDlg::slotCancel);

    QString start = startDir.isEmpty() ? QStringLiteral("/") : QDir::cleanPath(startDir);
    if (!start.startsWith(QLatin1Char('/')))
        start.prepend(QLatin1Char('/'));
    setDir(start);
    m_list->setFocus();
}

ZOpenDlg::~ZOpenDlg() = default;

QString ZOpenDlg::getFile() const
{
    return m_file;
}

QStringList ZOpenDlg::entries() const
{
    QStringList names;
    for (int i = 0; i < m_list->count(); ++i)
        names.append(m_list->item(i)->text());
    return names;
}

void ZOpenDlg::setDir(const QString& phoneDir)
{
    QString dir = QDir::cleanPath(phoneDir);
    // A folder that is gone (or a file) opens the nearest folder above it.
    while (dir != QLatin1String("/") && !QFileInfo(hostDir(dir)).isDir())
        dir = parentPath(dir);
    m_dir = dir;
    m_title->setText(m_title->fontMetrics().elidedText(dir, Qt::ElideLeft,
                                                      m_title->width() - 12));
    m_list->clear();

    if (dir != QLatin1String("/")) {
        auto* up = new QListWidgetItem(QIcon(stockIcon(QStringLiteral("Picker_Up"))),
                                       QStringLiteral(".."), m_list);
        up->setData(KindRole, ParentEntry);
    }
    QDir host(hostDir(dir));
    const bool above = isAboveTrees(dir);
    const QStringList folders = host.entryList(QDir::Dirs | QDir::NoDotAndDotDot,
                                               QDir::Name | QDir::IgnoreCase);
    for (const QString& name : folders) {
        const QString path = childPath(dir, name);
        if (above && !isPhoneTreePath(path) && !isPhoneTreeRoot(path))
            continue;
        auto* item = new QListWidgetItem(QIcon(stockIcon(QStringLiteral("Picker_Folder"))),
                                         name, m_list);
        item->setData(KindRole, FolderEntry);
    }
    if (!above) {
        QDir files(host);
        files.setNameFilters(m_filters);
        files.setFilter(QDir::Files | QDir::CaseSensitive);
        files.setSorting(QDir::Name | QDir::IgnoreCase);
        const QStringList names = m_filters.isEmpty() ? QStringList() : files.entryList();
        for (const QString& name : names) {
            auto* item = new QListWidgetItem(QIcon(stockIcon(QStringLiteral("Picker_File"))),
                                             name, m_list);
            item->setData(KindRole, FileEntry);
        }
    }
    // The cursor starts on the first folder or file rather than on "..".
    if (m_list->count() > 0)
        m_list->setCurrentRow(dir != QLatin1String("/") && m_list->count() > 1 ? 1 : 0);
}

bool ZOpenDlg::activateEntry(const QString& name)
{
    for (int i = 0; i < m_list->count(); ++i) {
        if (m_list->item(i)->text() == name) {
            m_list->setCurrentRow(i);
            activate(m_list->item(i));
            return true;
        }
    }
    return false;
}

void ZOpenDlg::activate(QListWidgetItem* item)
{
    if (!item)
        return;
    switch (item->data(KindRole).toInt()) {
    case ParentEntry:
        goUp();
        break;
    case FolderEntry:
        setDir(childPath(m_dir, item->text()));
        break;
    case FileEntry:
        m_file = childPath(m_dir, item->text());
        accept();
        break;
    default:
        break;
    }
}

void ZOpenDlg::goUp()
{
    const QString from = m_dir;
    setDir(parentPath(m_dir));
    // Keep the folder we came from under the cursor.
    const QString name = from.section(QLatin1Char('/'), -1);
    for (int i = 0; i < m_list->count(); ++i)
        if (m_list->item(i)->text() == name)
            m_list->setCurrentRow(i);
}

void ZOpenDlg::slotOpen()
{
    activate(m_list->currentItem());
}

void ZOpenDlg::slotCancel()
{
    m_file.clear();
    reject();
}

void ZOpenDlg::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        slotOpen();
        event->accept();
        return;
    case Qt::Key_Backspace:
        if (m_dir != QLatin1String("/"))
            goUp();
        event->accept();
        return;
    default:
        ZBaseDialog::keyPressEvent(event);
    }
}
