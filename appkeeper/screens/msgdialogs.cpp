#include "msgdialogs.h"

#include "captiondefaults.h"
#include "langcaption.h"
#include "zmessagebox.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>

namespace {

// Message boxes need a widget application; without one nothing is shown.
bool haveApplication()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

QPixmap emptyIcon()
{
    return QPixmap::fromImage(QImage());
}

QString buttonCaption(const QString& given, const char* key, const char* gbDefault)
{
    if (!given.isNull())
        return given;
    return getMsgButtonCaption(QLatin1String(key), Text_code(gbDefault));
}

} // namespace

int showMsgHintDlg(const QString& text, const QString& buttonText, QWidget* parent)
{
    if (!haveApplication())
        return -1;
    if (!parent)
        parent = QApplication::activeWindow();
    const QString button0 =
        buttonCaption(buttonText, "Msg_Hint_Button1", CaptionDefault::Msg_Hint_Button1);
    return ZMessageBox::information(parent, emptyIcon(), text, button0, QString(), QString(), 2);
}

int showMsgAskDlg(const QString& text, const QString& yesText, const QString& noText,
                  const QString& thirdText, QWidget* parent)
{
    if (!haveApplication())
        return -1;
    if (!parent)
        parent = QApplication::activeWindow();
    const QString button0 =
        buttonCaption(yesText, "Msg_Ask_Button1", CaptionDefault::Msg_Ask_Button1);
    const QString button1 =
        buttonCaption(noText, "Msg_Ask_Button2", CaptionDefault::Msg_Ask_Button2);
    return ZMessageBox::information(parent, emptyIcon(), text, button0, button1, thirdText, 2);
}
