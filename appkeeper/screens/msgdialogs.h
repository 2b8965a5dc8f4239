#pragma once
// The two message boxes of appkeeper, over the platform's ZMessageBox.
//
// A null button text selects the caption-file default ("Msg_Hint_Button1",
// "Msg_Ask_Button1", "Msg_Ask_Button2"); an empty one is used as it is. A null
// parent means the application's active window. The result is the index of
// the button pressed, counted from 0; -1 when there is no application object
// (nothing is shown then). A question counts as confirmed when it returns 0.

#include <QString>

class QWidget;

int showMsgHintDlg(const QString& text, const QString& buttonText = QString(),
                   QWidget* parent = nullptr);

int showMsgAskDlg(const QString& text, const QString& yesText = QString(),
                  const QString& noText = QString(), const QString& thirdText = QString(),
                  QWidget* parent = nullptr);
