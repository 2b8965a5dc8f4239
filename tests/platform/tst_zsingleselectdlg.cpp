// ZSingleSelectDlg: keys move and choose, leaving gives -1, long lists scroll,
// texts show as typed and the dialog takes the phone screen.

#include "modalhelpers.h"
#include "zsingleselectdlg.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTextEdit>
#include <QtTest>

namespace {

QStringList numbered(int n)
{
    QStringList out;
    for (int i = 1; i <= n; ++i)
        out << QStringLiteral("Entry %1").arg(i);
    return out;
}

void keys(QWidget* dlg, const QList<int>& ks)
{
    for (int k : ks) {
        QWidget* target = dlg->focusWidget() ? dlg->focusWidget() : dlg;
        QTest::keyClick(target, Qt::Key(k));
    }
}

} // namespace

class TestZSingleSelectDlg : public QObject
{
    Q_OBJECT
private slots:
    void keysChoose_data();
    void keysChoose();
    void markedEntryWhileOpen();
    void longListScrollsToTheChoice();
    void softKeysAndDoubleClick_data();
    void softKeysAndDoubleClick();
    void showsTitleAndTextAsTyped();
    void takesThePhoneScreen();
};

void TestZSingleSelectDlg::keysChoose_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("return takes the first") << 3 << QList<int>{Qt::Key_Return} << 0 << true;
    QTest::newRow("down, return") << 3 << QList<int>{Qt::Key_Down, Qt::Key_Return} << 1 << true;
    QTest::newRow("down, enter") << 3 << QList<int>{Qt::Key_Down, Qt::Key_Enter} << 1 << true;
    QTest::newRow("down twice, F1") << 3 << QList<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_F1}
                                    << 2 << true;
    QTest::newRow("down stops at the end")
        << 3 << QList<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_F1}
        << 2 << true;
    QTest::newRow("up stops at the top") << 3 << QList<int>{Qt::Key_Up, Qt::Key_Return} << 0
                                         << true;
    QTest::newRow("down, up") << 3 << QList<int>{Qt::Key_Down, Qt::Key_Up, Qt::Key_Return} << 0
                              << true;
    QTest::newRow("end") << 3 << QList<int>{Qt::Key_End, Qt::Key_Return} << 2 << true;
    QTest::newRow("escape leaves") << 3 << QList<int>{Qt::Key_Down, Qt::Key_Escape} << -1
                                   << false;
    QTest::newRow("F2 leaves") << 3 << QList<int>{Qt::Key_F2} << -1 << false;
    QTest::newRow("empty list, return") << 0 << QList<int>{Qt::Key_Down, Qt::Key_Return} << -1
                                        << true;
    QTest::newRow("letters do nothing") << 3 << QList<int>{Qt::Key_A, Qt::Key_1, Qt::Key_Return}
                                        << 0 << true;
}

void TestZSingleSelectDlg::keysChoose()
{
    QFETCH(int, entries);
    QFETCH(QList<int>, keys);
    QFETCH(int, expected);
    QFETCH(bool, accepted);

    ZSingleSelectDlg dlg(QStringLiteral("Pick"), QStringLiteral("One of these"), nullptr,
                         "picker", true, {}, 0);
    dlg.addItemsList(numbered(entries));
    modal::whenModal([keys](QWidget* w) { ::keys(w, keys); });
    const int result = dlg.exec();
    QCOMPARE(result == QDialog::Accepted, accepted);
    QCOMPARE(dlg.getCheckedItemIndex(), expected);
    QCOMPARE(dlg.objectName(), QStringLiteral("picker"));
}

void TestZSingleSelectDlg::markedEntryWhileOpen()
{
    ZSingleSelectDlg dlg(QStringLiteral("t"), QStringLiteral("x"));
    QCOMPARE(dlg.getCheckedItemIndex(), -1);
    dlg.addItemsList({QStringLiteral("a"), QStringLiteral("b")});
    QCOMPARE(dlg.getCheckedItemIndex(), 0);
    // A second batch is appended and keeps the mark where it was.
    dlg.addItemsList({QStringLiteral("c")});
    QCOMPARE(dlg.items(), (QStringList{"a", "b", "c"}));
    QCOMPARE(dlg.getCheckedItemIndex(), 0);
}

void TestZSingleSelectDlg::longListScrollsToTheChoice()
{
    ZSingleSelectDlg dlg(QStringLiteral("Many"), QStringLiteral("300 entries"));
    dlg.addItemsList(numbered(300));
    int scrolledAtEnd = 0, rowAfterPage = 0;
    bool lastVisible = false;
    modal::whenModal([&](QWidget* w) {
        auto* list = w->findChild<QListWidget*>(QStringLiteral("selectList"));
        keys(w, {Qt::Key_PageDown});
        rowAfterPage = list->currentRow();
        keys(w, {Qt::Key_End});
        scrolledAtEnd = list->verticalScrollBar()->value();
        lastVisible = list->viewport()->rect().contains(
            list->visualItemRect(list->item(299)));
        keys(w, {Qt::Key_Up, Qt::Key_Return});
    });
    dlg.exec();
    QVERIFY(rowAfterPage > 1);
    QVERIFY(scrolledAtEnd > 0);
    QVERIFY(lastVisible);
    QCOMPARE(dlg.getCheckedItemIndex(), 298);
}

void TestZSingleSelectDlg::softKeysAndDoubleClick_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("expected");
    QTest::newRow("select key") << "selectKey" << 1;
    QTest::newRow("back key") << "backKey" << -1;
    QTest::newRow("double click on the third") << "double" << 2;
}

void TestZSingleSelectDlg::softKeysAndDoubleClick()
{
    QFETCH(QString, how);
    QFETCH(int, expected);
    ZSingleSelectDlg dlg(QStringLiteral("t"), QStringLiteral("x"));
    dlg.addItemsList(numbered(3));
    modal::whenModal([how](QWidget* w) {
        keys(w, {Qt::Key_Down});
        if (how == QLatin1String("double")) {
            auto* list = w->findChild<QListWidget*>(QStringLiteral("selectList"));
            const QPoint at = list->visualItemRect(list->item(2)).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
            if (w->isVisible())   // not taken: end the dialog so that the check fails
                QTest::keyClick(w, Qt::Key_Escape);
        } else {
            QTest::mouseClick(w->findChild<QPushButton*>(how), Qt::LeftButton);
        }
    });
    dlg.exec();
    QCOMPARE(dlg.getCheckedItemIndex(), expected);
}

void TestZSingleSelectDlg::showsTitleAndTextAsTyped()
{
    const QString title = QString::fromUtf8("选择 <b>");
    const QString text = QStringLiteral("Pick <i>one</i> & go");
    ZSingleSelectDlg dlg(title, text);
    dlg.addItemsList({QString::fromUtf8("第一"), QStringLiteral("<b>2</b>")});
    dlg.show();
    QCOMPARE(dlg.findChild<QLabel*>(QStringLiteral("titleBar"))->text(), title);
    QCOMPARE(dlg.findChild<QTextEdit*>(QStringLiteral("selectText"))->toPlainText(), text);
    QCOMPARE(dlg.items(), (QStringList{QString::fromUtf8("第一"), QStringLiteral("<b>2</b>")}));

    // A title too long for the strip is cut, and a long text scrolls.
    ZSingleSelectDlg longOne(QString(500, QLatin1Char('T')), QString(20000, QLatin1Char('w')));
    longOne.show();
    const QString shown = longOne.findChild<QLabel*>(QStringLiteral("titleBar"))->text();
    QVERIFY(shown.size() < 500);
    QVERIFY(shown.endsWith(QChar(0x2026)));
    auto* t = longOne.findChild<QTextEdit*>(QStringLiteral("selectText"));
    QVERIFY(t->height() < 120);
    QVERIFY(t->verticalScrollBar()->maximum() > 0);
}

void TestZSingleSelectDlg::takesThePhoneScreen()
{
    ZSingleSelectDlg dlg(QStringLiteral("t"), QStringLiteral("x"));
    dlg.show();
    QCOMPARE(dlg.size(), QSize(240, 320));
    auto* list = dlg.findChild<QListWidget*>(QStringLiteral("selectList"));
    QVERIFY(list->height() > 120);
}

QTEST_MAIN(TestZSingleSelectDlg)
#include "tst_zsingleselectdlg.moc"
