#include "softpropertiesdlg.h"

#include "autorun.h"
#include "captiondefaults.h"
#include "langcaption.h"
#include "msgdialogs.h"
#include "phonefiles.h"
#include "pkgtexts.h"
#include "pkgwriter.h"
#include "phonepath.h"
#include "phonestyle.h"
#include "texttrim.h"
#include "zconfig.h"
#include "zmultilineedit.h"
#include "zpushbutton.h"
#include "zscrollview.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QSaveFile>

#include <cstdio>
#include <memory>

namespace {


void fileError(const QString& path = QString())
{
    std::printf("File Error%s\n", path.toLocal8Bit().constData());
    std::fflush(stdout);
}

// The registry that holds the record of `uid`, InstalledDB first; null when
// neither does.
std::unique_ptr<ZConfig> openRecord(const QString& uid)
{
    auto db = std::make_unique<ZConfig>(QString::fromLatin1(phonefile::kInstalledDB), false);
    if (db->groupExists(uid))
        return db;
    auto card = std::make_unique<ZConfig>(QString::fromLatin1(phonefile::kCardRegistry), false);
    if (card->groupExists(uid))
        return card;
    return nullptr;
}

// A line of registry.txt split at its first colon. The key is trimmed of
// blanks; the value is trimmed of blanks and of the line's end (LF, CR LF).
struct RegistryLine
{
    bool hasKey = false;
    QByteArray key;
    QByteArray value;
    bool crlf = false;
};

RegistryLine splitLine(const QByteArray& line)
{
    RegistryLine r;
    QByteArray body = line;
    if (body.endsWith('\n'))
        body.chop(1);
    if (body.endsWith('\r')) {
        body.chop(1);
        r.crlf = true;
    }
    const int colon = body.indexOf(':');
    if (colon < 0)
        return r;
    r.hasKey = true;
    r.key = QByteArray::fromStdString(DelSpaceISO(body.left(colon).toStdString()));
    r.value = QByteArray::fromStdString(DelSpaceISO(body.mid(colon + 1).toStdString()));
    return r;
}

// Makes the file end with a line feed, so that its last line is complete.
// False when the file cannot be read or appended to.
bool ensureFinalLineFeed(const QString& hostPath)
{
    QFile f(hostPath);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = f.size();
    if (size == 0)
        return true;
    if (!f.seek(size - 1))
        return false;
    char last = 0;
    if (!f.getChar(&last))
        return false;
    f.close();
    if (last == '\n')
        return true;
    QFile append(hostPath);
    if (!append.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    return append.write("\n", 1) == 1 && append.flush();
}

// The start-at-boot failure has a caption key of its own: under the key of
// the main window's uninstall hint, a caption file holding one text would
// show the other hint's words here.
QString autorunFailedText()
{
    return readLabelCaption(QStringLiteral("Msg_HintInfo_Items17"),
                            Text_code(CaptionDefault::Msg_HintInfo_Items16_Autorun));
}

const QStringList& domainEntries()
{
    static const QStringList entries = {QStringLiteral("Untrusted"), QStringLiteral("Operator"),
                                        QStringLiteral("Third party"),
                                        QStringLiteral("Manufacturer")};
    return entries;
}

} // namespace

SoftPropertiesDlg::SoftPropertiesDlg(const QString& uid, const QString& title, QWidget* parent,
                                     const char* name, int modal, Qt::WindowFlags f,
                                     Dlg_Size size)
    : MyClass_Dlg(title, parent, name, modal, f, size)
{
    pOKBtn = makeSoftKey(ZPushButton::DialogAccept, CAPTION(Dlg_Win_Button1));
    connect(pOKBtn, &QAbstractButton::clicked, this, &SoftPropertiesDlg::slotOK);
    pCancelBtn = makeSoftKey(ZPushButton::DialogCancel, CAPTION(Dlg_Win_Button2));
    connect(pCancelBtn, &QAbstractButton::clicked, this, &SoftPropertiesDlg::slotCancel);
    appUID = uid;
    initSoftProperties(uid);
}

SoftPropertiesDlg::~SoftPropertiesDlg() = default;

QLabel* SoftPropertiesDlg::makeLabel(const QString& text, const char* name)
{
    auto* label = new QLabel(text, pContent->viewport());
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->adjustSize();
    return label;
}

QComboBox* SoftPropertiesDlg::makeSelector(const QStringList& entries, const char* name,
                                           int labelWidth)
{
    auto* box = new QComboBox(pContent->viewport());
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(false);
    box->addItems(entries);
    box->setMinimumWidth(205 - labelWidth);
    box->resize(qMax(box->minimumWidth(), box->sizeHint().width()), 22);
    return box;
}

void SoftPropertiesDlg::initSoftProperties(const QString& uid)
{
    appUID = uid;
    if (uid.isNull())
        return;
    std::unique_ptr<ZConfig> reg = openRecord(uid);
    if (!reg)
        return;
    const QString args = reg->readEntry(uid, QStringLiteral("Args"), QString());
    const QString name = reg->readEntry(uid, QStringLiteral("Name"), QString());
    const QString javaId = reg->readEntry(uid, QStringLiteral("JavaId"), QString());
    const QString userId = reg->readEntry(uid, QStringLiteral("UserID"), QString());
    const QString groupId = reg->readEntry(uid, QStringLiteral("GroupID"), QString());
    appDirectory = reg->readEntry(uid, QStringLiteral("Directory"), QString());
    // "-1" or an empty value marks an MPKG application; anything else, an
    // absent key too, a Java one.
    isJava = !(javaId == QLatin1String("-1") || (!javaId.isNull() && javaId.isEmpty()));

    QWidget* area = pContent->viewport();

    pLabel1 = makeLabel(CAPTION(Dlg_Win_Item3), "pLabel1");
    pContent->addChild(pLabel1, 2, 2);
    ml_SoftName = new ZMultiLineEdit(area, "ml_SoftName");
    ml_SoftName->setMinimumWidth(215);
    ml_SoftName->setFixedLines(2);
    ml_SoftName->resize(215, ml_SoftName->height());
    ml_SoftName->setEdited(false);
    ml_SoftName->setReadOnly(true);
    ml_SoftName->setText(name);
    int y = 2 + pLabel1->height() + 10;
    pContent->addChild(ml_SoftName, 2, y);
    y += ml_SoftName->height() + 10;

    pLabel3 = makeLabel(CAPTION(Dlg_Win_Item4), "pLabel3");
    pContent->addChild(pLabel3, 2, y);
    pLabel4 = makeLabel(isJava ? CAPTION(Dlg_Win_Item6) : CAPTION(Dlg_Win_Item5), "pLabel4");
    pContent->addChild(pLabel4, pLabel3->width() + 10, y);
    y += pLabel4->height() + 10;

    if (isJava) {
        pLabel5 = makeLabel(CAPTION(Dlg_Win_Item7), "pLabel5");
        pComBoxDomain = makeSelector(domainEntries(), "pComBoxDomain", pLabel5->width());
        const QString stored = getJavaDomain(appDirectory).toUpper();
        for (int i = 0; i < domainEntries().size(); ++i) {
            if (domainEntries().at(i).toUpper() == stored) {
                pComBoxDomain->setCurrentIndex(i);
                break;
            }
        }
        const int rowH = qMax(pLabel5->height(), pComBoxDomain->height());
        pContent->addChild(pLabel5, 2, y + (rowH - pLabel5->height()) / 2);
        pContent->addChild(pComBoxDomain, pLabel5->width() + 10, y);
        y += pComBoxDomain->height() + 10;
    }

    pLabel6 = makeLabel(CAPTION(Dlg_Win_Item8), "pLabel6");
    pComBoxUser = makeSelector({QStringLiteral("root"), QStringLiteral("ezx")}, "pComBoxUser",
                               pLabel6->width());
    pComBoxUser->setCurrentIndex(userId == QLatin1String("root") ? 0 : 1);
    pContent->addChild(pLabel6, 2, y + (pComBoxUser->height() - pLabel6->height()) / 2);
    pContent->addChild(pComBoxUser, pLabel6->width() + 10, y);
    y += pComBoxUser->height() + 10;

    pLabel7 = makeLabel(CAPTION(Dlg_Win_Item9), "pLabel7");
    pComBoxGroup = makeSelector({CAPTION(Dlg_Win_ComBox_Item1), CAPTION(Dlg_Win_ComBox_Item2)},
                                "pComBoxGroup", pLabel7->width());
    pComBoxGroup->setCurrentIndex(groupId == QLatin1String("root") ? 0 : 1);
    pContent->addChild(pLabel7, 2, y + (pComBoxGroup->height() - pLabel7->height()) / 2);
    pContent->addChild(pComBoxGroup, pLabel7->width() + 10, y);
    y += pComBoxGroup->height();

    pCButton1 = new QCheckBox(withLiteralAmpersands(CAPTION(Dlg_Win_Item12)), area);
    pCButton1->setObjectName(QStringLiteral("pCButton1"));
    pCButton1->setChecked(false);
    pCButton1->adjustSize();
    pContent->addChild(pCButton1, 2, y);
    y += pCButton1->height();

    pLabel8 = makeLabel(CAPTION(Dlg_Win_Item11), "pLabel8");
    pContent->addChild(pLabel8, 2, y);
    y += pLabel8->height();
    ml_Args = new ZMultiLineEdit(area, "ml_Args");
    ml_Args->setMinimumWidth(200);
    ml_Args->resize(215, ml_Args->height());
    ml_Args->setEdited(false);
    ml_Args->setReadOnly(true);
    ml_Args->setText(args);
    pContent->addChild(ml_Args, 2, y);

    // Only an application already in the autorun list has editable arguments.
    if (checkAppAutorun(uid) == 1) {
        pCButton1->setChecked(true);
        ml_Args->setEdited(true);
        ml_Args->setReadOnly(false);
    }
    (pComBoxDomain ? static_cast<QWidget*>(pComBoxDomain) : pComBoxUser)->setFocus();
}

void SoftPropertiesDlg::saveSoftProperties()
{
    // The record, registry.txt and the start-at-boot list change together,
    // under the phone's one writer lock.
    const PkgWriter writer;
    if (!writer.held()) {
        showMsgHintDlg(pkgCaption(writer.refusal()));
        return;
    }
    std::unique_ptr<ZConfig> reg = appUID.isNull() ? nullptr : openRecord(appUID);
    if (!reg || !pComBoxUser) {
        showMsgHintDlg(CAPTION(Msg_HintInfo_Items3));
        return;
    }
    bool written = reg->writeEntry(appUID, QStringLiteral("GroupID"), pComBoxGroup->currentText());
    written = reg->writeEntry(appUID, QStringLiteral("UserID"), pComBoxUser->currentText())
              && written;
    written = reg->writeEntry(appUID, QStringLiteral("Args"), ml_Args->text()) && written;
    written = reg->flush() && written;
    reg.reset();
    if (!written) {
        // The record could not be stored: say so rather than report success.
        showMsgHintDlg(CAPTION(Msg_HintInfo_Items3));
        return;
    }

    if (isJava)
        setJavaDomain(appDirectory);

    if (pCButton1->isChecked()) {
        if (addAppAutorun(appUID) != 1)
            showMsgHintDlg(autorunFailedText(),
                           QString(), nullptr);
    } else {
        deleteAppAutorun(appUID);
    }
    showMsgHintDlg(CAPTION(Msg_HintInfo_Items4));
}

QString SoftPropertiesDlg::getJavaDomain(QString folder)
{
    const QString host = phoneHostPath(folder + QStringLiteral("/registry.txt"));
    if (folder.isEmpty() || !QFile::exists(host))
        return QString();
    QFile f(host);
    if (!f.open(QIODevice::ReadOnly)) {
        fileError();
        return QString();
    }
    f.close();
    // A file that cannot be given its final line feed is still read as it is.
    ensureFinalLineFeed(host);
    if (!f.open(QIODevice::ReadOnly)) {
        fileError();
        return QString();
    }
    while (!f.atEnd()) {
        const QByteArray line = f.readLine();
        if (line.isEmpty() && !f.atEnd()) {
            fileError();
            break;
        }
        const RegistryLine r = splitLine(line);
        if (r.hasKey && r.key == "Domain")
            return QString::fromLatin1(r.value);
    }
    return QString();
}

void SoftPropertiesDlg::setJavaDomain(QString folder)
{
    if (!pComBoxDomain || folder.isEmpty())
        return;
    const QString host = phoneHostPath(folder + QStringLiteral("/registry.txt"));
    if (!QFile::exists(host))
        return;
    QFile in(host);
    if (!in.open(QIODevice::ReadOnly)) {
        fileError();
        return;
    }
    in.close();
    ensureFinalLineFeed(host);
    if (!in.open(QIODevice::ReadOnly)) {
        fileError();
        return;
    }

    // The new file is written beside the old one and renamed over it only
    // once it is complete, so a full card or an unwritable folder leaves the
    // old file whole.
    QSaveFile out(host);
    if (!out.open(QIODevice::WriteOnly)) {
        fileError(folder + QStringLiteral("/registry.txt"));
        return;
    }
    const QByteArray domain = pComBoxDomain->currentText().toLatin1();
    bool changed = false;
    bool ok = true;
    while (ok && !in.atEnd()) {
        const QByteArray line = in.readLine();
        if (line.isEmpty()) {
            ok = false;  // a read error: keep the old file
            break;
        }
        const RegistryLine r = splitLine(line);
        if (r.hasKey && r.key == "Domain") {
            const QByteArray replaced =
                QByteArrayLiteral("Domain: ") + domain + (r.crlf ? "\r\n" : "\n");
            ok = out.write(replaced) == replaced.size();
            changed = true;
        } else {
            ok = out.write(line) == line.size();
        }
    }
    if (!ok) {
        out.cancelWriting();
        fileError(folder + QStringLiteral("/registry.txt"));
        return;
    }
    if (!changed) {
        out.cancelWriting();  // nothing to change: the file stays as it is
        return;
    }
    if (!out.commit())
        fileError(folder + QStringLiteral("/registry.txt"));
}

void SoftPropertiesDlg::slotOK()
{
    saveSoftProperties();
    close();
}

void SoftPropertiesDlg::slotCancel()
{
    close();
}
