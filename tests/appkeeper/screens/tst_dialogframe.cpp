// The dialog frame: where its title, content and soft-key areas go for each
// size, and where the dialogs put their two soft keys.

#include "phonefixture.h"
#include "softrenamedlg.h"
#include "zglobal.h"
#include "zmainwidget.h"
#include "zpushbutton.h"
#include "zscrollview.h"

#include <QtTest>

using namespace screentest;

class TestDialogFrame : public QObject
{
    Q_OBJECT

private slots:
    void placement_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QRect>("dialog");
        QTest::addColumn<QRect>("content");
        QTest::addColumn<QRect>("cst");
        QTest::addColumn<QRect>("title");
        QTest::newRow("small") << 0 << ZGlobal::getDlgSmallR() << ZGlobal::getDlgSmallConR()
                               << ZGlobal::getDlgCstSR() << ZGlobal::getDlgTitleSR();
        QTest::newRow("middle") << 1 << ZGlobal::getDlgMiddleR() << ZGlobal::getDlgMiddleConR()
                                << ZGlobal::getDlgCstMR() << ZGlobal::getDlgTitleMR();
        QTest::newRow("large") << 2 << ZGlobal::getDlgLargeR() << ZGlobal::getDlgLargeConR()
                               << ZGlobal::getDlgCstLR() << ZGlobal::getDlgTitleLR();
    }
    void placement()
    {
        QFETCH(int, size);
        QFETCH(QRect, dialog);
        QFETCH(QRect, content);
        QFETCH(QRect, cst);
        QFETCH(QRect, title);
        MyClass_Dlg dlg(QStringLiteral("Caption"), nullptr, "d", 1, {},
                        MyClass_Dlg::Dlg_Size(size));
        QCOMPARE(dlg.geometry(), dialog);
        QCOMPARE(dlg.contentView()->geometry(), ZGlobal::diffRect(dialog, content));
        QCOMPARE(dlg.softKeyBar()->geometry(), ZGlobal::diffRect(dialog, cst));
        QVERIFY(dlg.titleBar());
        QCOMPARE(dlg.titleBar()->geometry(), ZGlobal::diffRect(dialog, title));
        QCOMPARE(dlg.titleBar()->caption(), QStringLiteral("Caption"));
        QCOMPARE(dlg.contentView()->objectName(), QStringLiteral("dlgContent"));
        QCOMPARE(dlg.softKeyBar()->objectName(), QStringLiteral("dlgCst"));
        QCOMPARE(dlg.titleBar()->objectName(), QStringLiteral("dlgTitleBar"));

        MyClass_Dlg untitled(nullptr, "u", 1, {}, MyClass_Dlg::Dlg_Size(size));
        QVERIFY(!untitled.titleBar());
        QCOMPARE(untitled.geometry(), dialog);
    }

    // A size outside 0..2 leaves every part where the toolkit put it.
    void unknownSize()
    {
        MyClass_Dlg dlg(QStringLiteral("Caption"), nullptr, "d", 1, {}, MyClass_Dlg::Dlg_Size(3));
        MyClass_Dlg plain(QStringLiteral("Caption"), nullptr, "p", 1, {},
                          MyClass_Dlg::Dlg_Size(-1));
        for (MyClass_Dlg* d : {&dlg, &plain}) {
            for (const QRect r : {ZGlobal::getDlgSmallR(), ZGlobal::getDlgMiddleR(),
                                  ZGlobal::getDlgLargeR()})
                QVERIFY(d->geometry() != r);
            QCOMPARE(d->contentView()->pos(), QPoint(0, 0));
            QCOMPARE(d->softKeyBar()->pos(), QPoint(0, 0));
        }
    }

    // The middle-sized rename dialog puts its keys where the large dialogs do.
    void renameKeys()
    {
        Phone phone;
        SoftReNameDlg dlg(QStringLiteral("uid"), QStringLiteral("Rename"), nullptr, "aaaaa", 1, {},
                          MyClass_Dlg::Dlg_Middle);
        QCOMPARE(dlg.pOKBtn->parentWidget(), dlg.softKeyBar());
        QCOMPARE(dlg.pOKBtn->style(), 10);
        QCOMPARE(dlg.pCancelBtn->style(), 9);
        QCOMPARE(dlg.pOKBtn->geometry(),
                 ZGlobal::diffRect(ZGlobal::getDlgCstLR(), ZGlobal::getDlgA2a_1R()));
        QCOMPARE(dlg.pCancelBtn->geometry(),
                 ZGlobal::diffRect(ZGlobal::getDlgCstLR(), ZGlobal::getDlgA2a_2R()));
        QCOMPARE(dlg.pOKBtn->text(), CAP(Dlg_Win_Button1));
        QCOMPARE(dlg.pCancelBtn->text(), CAP(Dlg_Win_Button2));
    }
};

SCREENS_TEST_MAIN(TestDialogFrame)
#include "tst_dialogframe.moc"
