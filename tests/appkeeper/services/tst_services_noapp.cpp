// The services before the application object exists.

#include "captiondefaults.h"
#include "langcaption.h"
#include "msgdialogs.h"

#include <QtTest>

class TestServicesNoApp : public QObject
{
    Q_OBJECT
private slots:
    void identityWithoutApplication()
    {
        QVERIFY(!QCoreApplication::instance());
        QCOMPARE(getAppPath(), QStringLiteral("/"));
        QCOMPARE(getAppName(true), QStringLiteral("AppName"));
        QCOMPARE(getAppName(false), QStringLiteral("AppName"));
    }
    void codecsWork()
    {
        QCOMPARE(Text_code(CaptionDefault::Msg_Hint_Button1), QStringLiteral(u"确定"));
    }
    void messageBoxesShowNothing()
    {
        QCOMPARE(showMsgHintDlg(QStringLiteral("text")), -1);
        QCOMPARE(showMsgAskDlg(QStringLiteral("question")), -1);
        QCOMPARE(showMsgAskDlg(QStringLiteral("q"), QStringLiteral("y"), QStringLiteral("n"),
                               QStringLiteral("third")),
                 -1);
    }
};

QTEST_APPLESS_MAIN(TestServicesNoApp)
#include "tst_services_noapp.moc"
