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
    void softKeysTapsAndDrags_data();
    void softKeysTapsAndDrags();
    void oneLanguageAndALongQuestion_data();
    void oneLanguageAndALongQuestion();
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

void TestZSingleSelectDlg::softKeysTapsAndDrags_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("expected");
    QTest::newRow("select key") << "selectKey" << 1;
    QTest::newRow("back key") << "backKey" << -1;
    QTest::newRow("one tap on the third") << "tap" << 2;
    QTest::newRow("a drag scrolls and chooses nothing") << "drag" << -1;
}

void TestZSingleSelectDlg::softKeysTapsAndDrags()
{
    QFETCH(QString, how);
    QFETCH(int, expected);
    ZSingleSelectDlg dlg(QStringLiteral("t"), QStringLiteral("x"));
    dlg.addItemsList(numbered(60));
    int scrolled = 0;
    modal::whenModal([&](QWidget* w) {
        keys(w, {Qt::Key_Down});
        auto* list = w->findChild<QListWidget*>(QStringLiteral("selectList"));
        QWidget* area = list->viewport();
        const QPoint at = list->visualItemRect(list->item(2)).center();
        if (how == QLatin1String("tap")) {
            QTest::mouseClick(area, Qt::LeftButton, {}, at);
        } else if (how == QLatin1String("drag")) {
            QTest::mousePress(area, Qt::LeftButton, {}, at + QPoint(0, 100));
            for (int dy = 80; dy >= 0; dy -= 20)
                QTest::mouseMove(area, at + QPoint(0, dy));
            QTest::mouseRelease(area, Qt::LeftButton, {}, at);
            scrolled = list->verticalScrollBar()->value();
            QCOMPARE(list->currentRow(), 1);   // the drag marked no row
        } else {
            QTest::mouseClick(w->findChild<QPushButton*>(how), Qt::LeftButton);
        }
        if (w->isVisible())   // not taken: leave, so that the check fails
            QTest::keyClick(w, Qt::Key_Escape);
    });
    dlg.exec();
    QCOMPARE(dlg.getCheckedItemIndex(), expected);
    if (how == QLatin1String("drag"))
        QVERIFY(scrolled > 0);
}

// The soft keys speak the language of what the script shows; a question too
// long for its box is read on with Up at the top of the list and Down at its
// bottom.
void TestZSingleSelectDlg::oneLanguageAndALongQuestion_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("selectKey");
    QTest::newRow("English texts on a Chinese phone") << "Backup" << "Memory card" << "Select";
    QTest::newRow("Chinese texts") << QString::fromUtf8("备份") << QString::fromUtf8("存储卡")
                                   << QString::fromUtf8("选择");
    QTest::newRow("no letters: the phone's language") << "1" << "2" << QString::fromUtf8("选择");
}

void TestZSingleSelectDlg::oneLanguageAndALongQuestion()
{
    QFETCH(QString, title);
    QFETCH(QString, entry);
    QFETCH(QString, selectKey);
    QString question;
    for (int i = 0; i < 40; ++i)
        question += QStringLiteral("%1\n").arg(i);
    ZSingleSelectDlg dlg(title, question);
    dlg.addItemsList({entry, entry});
    dlg.show();
    QCOMPARE(dlg.findChild<QPushButton*>(QStringLiteral("selectKey"))->text(), selectKey);
    auto* bar = dlg.findChild<QTextEdit*>(QStringLiteral("selectText"))->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    keys(&dlg, {Qt::Key_Down});
    QCOMPARE(bar->value(), 0);   // the list moved first
    keys(&dlg, {Qt::Key_Down, Qt::Key_Down});
    QVERIFY(bar->value() > 0);
    const int down = bar->value();
    keys(&dlg, {Qt::Key_Up});   // back up the list, the text stays
    QCOMPARE(bar->value(), down);
    keys(&dlg, {Qt::Key_Up});
    QVERIFY(bar->value() < down);
    QCOMPARE(dlg.getCheckedItemIndex(), 0);
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
