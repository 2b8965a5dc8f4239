// The platform's phone-style widgets: screen rectangles, the scroll view, the
// main window and dialog keys, the file picker, menus and text fields.

#include "am_global.h"
#include "modalhelpers.h"
#include "phoneroot.h"
#include "qpopupmenu.h"
#include "zbasedialog.h"
#include "zglobal.h"
#include "zmainwidget.h"
#include "zmultilineedit.h"
#include "zopendlg.h"
#include "zmessagebox.h"
#include "zpushbutton.h"
#include "zscrollview.h"
#include "zsingleselectdlg.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QScrollBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextEdit>
#include <QtTest>

namespace {
// In a list of keys: a tap on the current row instead.
const int kTap = -1;
} // namespace

class TestWidgets : public QObject
{
    Q_OBJECT

private slots:
    // Each dialog size: a title strip at its top, the content right below,
    // the soft keys right below that, ending at the bottom of the screen.
    void dialogRects_data()
    {
        QTest::addColumn<QRect>("dialog");
        QTest::addColumn<QRect>("title");
        QTest::addColumn<QRect>("content");
        QTest::addColumn<QRect>("cst");
        QTest::newRow("small") << ZGlobal::getDlgSmallR() << ZGlobal::getDlgTitleSR()
                               << ZGlobal::getDlgSmallConR() << ZGlobal::getDlgCstSR();
        QTest::newRow("middle") << ZGlobal::getDlgMiddleR() << ZGlobal::getDlgTitleMR()
                                << ZGlobal::getDlgMiddleConR() << ZGlobal::getDlgCstMR();
        QTest::newRow("large") << ZGlobal::getDlgLargeR() << ZGlobal::getDlgTitleLR()
                               << ZGlobal::getDlgLargeConR() << ZGlobal::getDlgCstLR();
        QTest::newRow("main window") << ZGlobal::getScreenR() << ZGlobal::getTitleR()
                                     << ZGlobal::getContentR() << ZGlobal::getCstR();
    }
    void dialogRects()
    {
        QFETCH(QRect, dialog);
        QFETCH(QRect, title);
        QFETCH(QRect, content);
        QFETCH(QRect, cst);
        const QRect screen = ZGlobal::getScreenR();
        QCOMPARE(screen, QRect(0, 0, 240, 320));
        QVERIFY(screen.contains(dialog));
        QCOMPARE(title.top(), dialog.top());
        QCOMPARE(content.top(), title.bottom() + 1);
        QCOMPARE(cst.top(), content.bottom() + 1);
        QCOMPARE(cst.bottom(), dialog.bottom());
        QCOMPARE(dialog.bottom(), screen.bottom());
        for (const QRect& r : {title, content, cst}) {
            QCOMPARE(r.left(), dialog.left());
            QCOMPARE(r.width(), dialog.width());
            QVERIFY(r.height() > 0);
        }
        // The soft keys of every size sit where the large dialog puts them.
        QCOMPARE(cst, ZGlobal::getDlgCstLR());
    }

    void keyRects_data()
    {
        QTest::addColumn<QList<QRect>>("keys");
        QTest::newRow("three keys") << QList<QRect>{ZGlobal::getCst3_1R(), ZGlobal::getCst3_2R(),
                                                    ZGlobal::getCst3_3R()};
        QTest::newRow("dialog keys") << QList<QRect>{ZGlobal::getDlgA2a_1R(),
                                                     ZGlobal::getDlgA2a_2R()};
    }
    void keyRects()
    {
        QFETCH(QList<QRect>, keys);
        const QRect bar = ZGlobal::getCstR();
        int x = bar.left();
        for (const QRect& k : keys) {
            QCOMPARE(k.left(), x);  // side by side, no gap, no overlap
            QCOMPARE(k.top(), bar.top());
            QCOMPARE(k.height(), bar.height());
            x = k.right() + 1;
        }
        QCOMPARE(x, bar.right() + 1);
    }

    void diffRect_data()
    {
        QTest::addColumn<QRect>("outer");
        QTest::addColumn<QRect>("inner");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("bar in screen") << QRect(0, 0, 240, 320) << QRect(0, 290, 240, 30)
                                       << QRect(0, 290, 240, 30);
        QTest::newRow("key in bar") << QRect(0, 290, 240, 30) << QRect(70, 290, 100, 30)
                                    << QRect(70, 0, 100, 30);
        QTest::newRow("content in middle dialog") << QRect(0, 110, 240, 210)
                                                  << QRect(0, 134, 240, 156)
                                                  << QRect(0, 24, 240, 156);
        QTest::newRow("inner above outer") << QRect(10, 50, 5, 5) << QRect(0, 0, 3, 4)
                                           << QRect(-10, -50, 3, 4);
    }
    void diffRect()
    {
        QFETCH(QRect, outer);
        QFETCH(QRect, inner);
        QFETCH(QRect, expected);
        QCOMPARE(ZGlobal::diffRect(outer, inner), expected);
    }

    // A finger on a row of the scroll view: a tap presses the row, a drag
    // scrolls the view and presses nothing.
    void scrollViewTapAndDrag_data()
    {
        QTest::addColumn<int>("dragBy");
        QTest::addColumn<int>("clicks");
        QTest::newRow("tap") << 0 << 1;
        QTest::newRow("a few pixels of shake is still a tap") << 2 << 1;
        QTest::newRow("drag") << 120 << 0;
    }
    void scrollViewTapAndDrag()
    {
        QFETCH(int, dragBy);
        QFETCH(int, clicks);
        ZScrollView view;
        view.resize(240, 150);
        QPushButton* row = nullptr;
        for (int i = 0; i < 20; ++i) {
            auto* b = new QPushButton(QStringLiteral("row %1").arg(i), view.viewport());
            b->resize(240, 30);
            view.addChild(b, 0, i * 30);
            if (i == 3)
                row = b;
        }
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy clicked(row, &QPushButton::clicked);
        // The finger moves over the screen, while the row moves under it.
        const QPoint finger = row->mapToGlobal(QPoint(100, 15));
        QTest::mousePress(row, Qt::LeftButton, {}, row->mapFromGlobal(finger));
        for (int step = 1; step <= 4; ++step)
            QTest::mouseMove(row, row->mapFromGlobal(finger - QPoint(0, dragBy * step / 4)));
        QTest::mouseRelease(row, Qt::LeftButton, {},
                            row->mapFromGlobal(finger - QPoint(0, dragBy)));
        QCOMPARE(clicked.count(), clicks);
        QCOMPARE(view.verticalScrollBar()->value() > 0, dragBy > 10);
    }

    void scrollViewGrowsWithChildren()
    {
        ZScrollView view;
        view.resize(240, 100);
        view.show();
        auto* label = new QLabel(QStringLiteral("x"), view.viewport());
        label->resize(50, 20);
        view.addChild(label, 10, 300);
        QCOMPARE(label->parentWidget(), view.viewport());
        QCOMPARE(label->pos(), QPoint(10, 300));
        QTRY_VERIFY(view.viewport()->height() >= 320);
        QTRY_VERIFY(view.verticalScrollBar()->maximum() > 0);
        // A child that grows later still fits.
        label->resize(50, 200);
        QTRY_VERIFY(view.viewport()->height() >= 500);
        view.ensureChildVisible(label);
        QVERIFY(view.verticalScrollBar()->value() > 0);
    }

    void mainWidgetAreas()
    {
        ZMainWidget w(QStringLiteral("Title"), false);
        QCOMPARE(w.size(), QSize(240, 320));
        ZScrollView* content = w.getContentWidget(true);
        QWidget* cst = w.getCSTWidget(true);
        QCOMPARE(w.getContentWidget(false), content);
        QCOMPARE(w.getCSTWidget(true), cst);
        QCOMPARE(w.getTitleBarWidget()->geometry(), ZGlobal::getTitleR());
        QCOMPARE(content->geometry(), ZGlobal::getContentR());
        QCOMPARE(cst->geometry(), ZGlobal::getCstR());
        // Used as a title bar only: the title fills it.
        ZMainWidget bar(QStringLiteral("Caption"), false, &w, "bar");
        bar.setGeometry(0, 0, 240, 24);
        w.show();
        QVERIFY(!bar.getContentWidget(false));
        QCOMPARE(bar.getTitleBarWidget()->geometry(), QRect(0, 0, 240, 24));
        QCOMPARE(bar.caption(), QStringLiteral("Caption"));
    }

    // However it is shown, a window not placed by its caller covers the
    // screen; one placed by its caller stays where it was put.
    void mainWidgetShownAnyWay_data()
    {
        QTest::addColumn<int>("way");
        QTest::addColumn<bool>("placed");
        QTest::newRow("show()") << 0 << false;
        QTest::newRow("through a QWidget pointer") << 1 << false;
        QTest::newRow("setVisible(true)") << 2 << false;
        QTest::newRow("placed by the caller") << 1 << true;
    }
    void mainWidgetShownAnyWay()
    {
        QFETCH(int, way);
        QFETCH(bool, placed);
        ZMainWidget w(QStringLiteral("Shown"), false);
        w.resize(100, 100);
        if (placed)
            w.move(10, 20);
        QWidget* plain = &w;
        if (way == 0)
            w.show();
        else if (way == 1)
            plain->show();
        else
            plain->setVisible(true);
        // pos(): where the window's frame is (a platform may draw one).
        QCOMPARE(QRect(w.pos(), w.size()), placed ? QRect(10, 20, 100, 100) : ZGlobal::getScreenR());
    }

    // F1, F2 and Return press the left, right and middle soft keys.
    void mainWidgetKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("pressed");  // index left to right; -1 none
        QTest::addColumn<bool>("focusedButton");
        QTest::newRow("F1") << int(Qt::Key_F1) << 0 << false;
        QTest::newRow("Return") << int(Qt::Key_Return) << 1 << false;
        QTest::newRow("Enter") << int(Qt::Key_Enter) << 1 << false;
        QTest::newRow("F2") << int(Qt::Key_F2) << 2 << false;
        QTest::newRow("Return on a focused button") << int(Qt::Key_Return) << -1 << true;
    }
    void mainWidgetKeys()
    {
        QFETCH(int, key);
        QFETCH(int, pressed);
        QFETCH(bool, focusedButton);
        ZMainWidget w(QStringLiteral("Keys"), false);
        QWidget* cst = w.getCSTWidget(true);
        const QRect bar = ZGlobal::getCstR();
        // Made right to left: the order of creation must not matter.
        QList<ZPushButton*> keys(3);
        keys[2] = new ZPushButton(QStringLiteral("CST_Exit"), cst, 5);
        keys[2]->setGeometry(ZGlobal::diffRect(bar, ZGlobal::getCst3_3R()));
        keys[1] = new ZPushButton(cst, 7);
        keys[1]->setGeometry(ZGlobal::diffRect(bar, ZGlobal::getCst3_2R()));
        keys[0] = new ZPushButton(QStringLiteral("CST_Menu"), cst, 6);
        keys[0]->setGeometry(ZGlobal::diffRect(bar, ZGlobal::getCst3_1R()));
        QList<std::shared_ptr<QSignalSpy>> spies;
        for (auto* k : keys) {
            QCOMPARE(k->focusPolicy(), Qt::NoFocus);
            spies << std::make_shared<QSignalSpy>(k, &QAbstractButton::clicked);
        }
        auto* inner = new ZPushButton(QStringLiteral("InSet_Picker_Folder"),
                                      w.getContentWidget(true)->viewport(), 0);
        QSignalSpy innerSpy(inner, &QAbstractButton::clicked);
        w.show();
        QWidget* target = &w;
        if (focusedButton) {
            inner->setFocus();
            target = inner;
        }
        QTest::keyClick(target, Qt::Key(key));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(spies[i]->count(), i == pressed ? 1 : 0);
        QCOMPARE(innerSpy.count(), focusedButton ? 1 : 0);
    }

    void dialogKeys()
    {
        ZBaseDialog dlg(nullptr, "d", 1);
        auto* ok = new ZPushButton(&dlg, 10);
        ok->setGeometry(0, 290, 120, 30);
        auto* cancel = new ZPushButton(&dlg, 9);
        cancel->setGeometry(120, 290, 120, 30);
        auto* box = new QCheckBox(QStringLiteral("x"), &dlg);
        connect(ok, &QAbstractButton::clicked, &dlg, &QDialog::accept);
        connect(cancel, &QAbstractButton::clicked, &dlg, &QDialog::reject);
        QCOMPARE(dlg.softKeys(), (QList<ZPushButton*>{ok, cancel}));

        QTimer::singleShot(0, [&] {
            box->setFocus();
            QTest::keyClick(box, Qt::Key_Return);  // the focused control, not a soft key
            QVERIFY(box->isChecked());
            QVERIFY(dlg.isVisible());
            QTest::keyClick(&dlg, Qt::Key_F1);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QTimer::singleShot(0, [&] { QTest::keyClick(&dlg, Qt::Key_F2); });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
    }

    void popupMenuIds()
    {
        QPopupMenu menu(nullptr, "m");
        const int a = menu.insertItem(QStringLiteral("A"));
        const int b = menu.insertItem(QStringLiteral("B"), 7);
        const int c = menu.insertItem(QStringLiteral("C"), 7);   // taken: a fresh one
        const int d = menu.insertItem(QStringLiteral("D"), -1, 0);
        QCOMPARE(b, 7);
        QCOMPARE(QSet<int>({a, b, c, d}).size(), 4);
        QCOMPARE(menu.idAt(0), d);
        QCOMPARE(menu.idAt(3), c);
        QCOMPARE(menu.idAt(4), -1);
        QSignalSpy spy(&menu, &QPopupMenu::activated);
        menu.actionOf(b)->trigger();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), b);
    }

    void menuKeyPopsUp()
    {
        ZMainWidget w(QStringLiteral("Menu"), false);
        auto* key = new ZPushButton(QStringLiteral("CST_Menu"), w.getCSTWidget(true), 6);
        key->setGeometry(ZGlobal::diffRect(ZGlobal::getCstR(), ZGlobal::getCst3_1R()));
        auto* menu = new QPopupMenu(&w, "m");
        const int first = menu->insertItem(QStringLiteral("First"));
        menu->insertItem(QStringLiteral("Second"));
        key->setPopup(menu);
        QSignalSpy spy(menu, &QPopupMenu::activated);
        w.show();
        QTest::keyClick(&w, Qt::Key_F1);
        QTRY_VERIFY(menu->isVisible());
        // Above the soft keys, within the screen.
        QVERIFY(menu->geometry().bottom() < key->mapToGlobal(QPoint(0, 0)).y() + 1);
        QTest::keyClick(menu, Qt::Key_Return);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), first);
    }

    void multiLineEdit()
    {
        ZMultiLineEdit edit(nullptr, "e");
        const int oneLine = edit.height();
        edit.setFixedLines(2);
        QVERIFY(edit.height() > oneLine);
        edit.setText(QStringLiteral("abc"));
        QVERIFY(!edit.edited());
        edit.setEdited(true);
        edit.setText(QStringLiteral("def"));
        QVERIFY(edit.edited());
        edit.show();
        edit.setFocus();
        edit.moveCursor(QTextCursor::End);
        QTest::keyClick(&edit, Qt::Key_Return);
        QTest::keyClicks(&edit, QStringLiteral("g"));
        QCOMPARE(edit.text(), QStringLiteral("defg"));
        edit.setReadOnly(true);
        QTest::keyClicks(&edit, QStringLiteral("h"));
        QCOMPARE(edit.text(), QStringLiteral("defg"));
    }

    // The install-complete notice, the picker and the choice list speak the
    // phone's language.
    void installCompleteNotice_data()
    {
        QTest::addColumn<QByteArray>("systemCfg");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("pickerKeys");
        QTest::addColumn<QStringList>("choiceKeys");
        const QString zh = QStringLiteral("安装完成。");
        const QStringList zhPicker{QStringLiteral("打开"), QStringLiteral("取消")};
        const QStringList zhChoice{QStringLiteral("选择"), QStringLiteral("返回")};
        QTest::newRow("no setting") << QByteArray() << zh << QStringLiteral("确定") << zhPicker
                                    << zhChoice;
        QTest::newRow("zh-cn") << QByteArray("[SYS_SYSTEM_SET]\nLanguageType = zh-cn\n") << zh
                               << QStringLiteral("确定") << zhPicker << zhChoice;
        QTest::newRow("zh-tw") << QByteArray("[SYS_SYSTEM_SET]\nLanguageType = zh-tw\n") << zh
                               << QStringLiteral("确定") << zhPicker << zhChoice;
        QTest::newRow("en-us") << QByteArray("[SYS_SYSTEM_SET]\nLanguageType = en-us\n")
                               << QStringLiteral("Installation complete.") << QStringLiteral("OK")
                               << QStringList{"Open", "Cancel"} << QStringList{"Select", "Back"};
    }
    void installCompleteNotice()
    {
        QFETCH(QByteArray, systemCfg);
        QFETCH(QString, text);
        QFETCH(QString, button);
        QFETCH(QStringList, pickerKeys);
        QFETCH(QStringList, choiceKeys);
        PhoneRoot root;
        if (!systemCfg.isEmpty())
            QVERIFY(root.writeFile("/ezx_user/download/appwrite/setup/ezx_system.cfg", systemCfg));
        QString shownText, shownButton;
        modal::whenModal([&](QWidget* box) {
            if (auto* t = box->findChild<QTextEdit*>(QStringLiteral("messageText")))
                shownText = t->toPlainText();
            if (auto* b = box->findChild<QPushButton*>(QStringLiteral("button0")))
                shownButton = b->text();
            QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key_1);
        });
        AM_Global::installCompleteMessageBox();
        QCOMPARE(shownText, text);
        QCOMPARE(shownButton, button);

        ZOpenDlg picker({QStringLiteral("*.pkg")}, QStringLiteral("/"), false);
        QStringList keys;
        for (ZPushButton* k : picker.softKeys())
            keys << k->text();
        QCOMPARE(keys, pickerKeys);
        // Texts without letters: the keys speak the phone's language.
        ZSingleSelectDlg choice(QStringLiteral("1"), QStringLiteral("2"));
        keys.clear();
        for (const char* name : {"selectKey", "backKey"})
            keys << choice.findChild<QPushButton*>(QLatin1String(name))->text();
        QCOMPARE(keys, choiceKeys);
    }

    // The joystick in a message box: Up and Down scroll a long text, and
    // move between the buttons where there is nothing more to scroll.
    void messageBoxJoystick_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("result");
        QTest::newRow("Down to the second") << 1 << QList<int>{Qt::Key_Down, Qt::Key_Return} << 1;
        QTest::newRow("Up from the first to the last")
            << 1 << QList<int>{Qt::Key_Up, Qt::Key_Return} << 2;
        QTest::newRow("Down, Down, Up") << 1
                                        << QList<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Up,
                                                      Qt::Key_Return} << 1;
        QTest::newRow("long text scrolls first") << 200 << QList<int>{Qt::Key_Down, Qt::Key_Return}
                                                 << 0;
        QTest::newRow("long text, then the buttons")
            << 200 << QList<int>{Qt::Key_End, Qt::Key_Down, Qt::Key_Return} << 1;
    }
    void messageBoxJoystick()
    {
        QFETCH(int, lines);
        QFETCH(QList<int>, keys);
        QFETCH(int, result);
        QStringList text;
        for (int i = 0; i < lines; ++i)
            text << QStringLiteral("line %1").arg(i);
        int scrolled = -1;
        modal::whenModal([&](QWidget* box) {
            for (int k : keys) {
                QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key(k));
                if (auto* t = box->findChild<QTextEdit*>(QStringLiteral("messageText")))
                    scrolled = qMax(scrolled, t->verticalScrollBar()->value());
            }
        });
        const int pressed = ZMessageBox::information(nullptr, QPixmap(), text.join(QLatin1Char('\n')),
                                                     QStringLiteral("A"), QStringLiteral("B"),
                                                     QStringLiteral("C"));
        QCOMPARE(pressed, result);
        QCOMPARE(scrolled > 0, lines > 1);
    }

    // What the picker lists: folders, then only the files matching the
    // patterns in their exact letter case; hidden entries are not shown.
    void pickerEntries_data()
    {
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("card") << "/mmc/mmca1"
                              << QStringList{"..", "apps", "Zeta", "a.pkg", "B.PKG", "c d.pkg"};
        QTest::newRow("sub folder") << "/mmc/mmca1/apps" << QStringList{"..", "in.pkg"};
        QTest::newRow("phone root") << "/" << QStringList{"ezx_user", "mmc", "usr"};
        QTest::newRow("above a tree") << "/usr" << QStringList{"..", "data_resource"};
        QTest::newRow("gone folder") << "/mmc/mmca1/nothing/here"
                                     << QStringList{"..", "apps", "Zeta", "a.pkg", "B.PKG",
                                                    "c d.pkg"};
    }
    void pickerEntries()
    {
        QFETCH(QString, dir);
        QFETCH(QStringList, entries);
        PhoneRoot root;
        for (const char* f : {"/mmc/mmca1/a.pkg", "/mmc/mmca1/B.PKG", "/mmc/mmca1/c d.pkg",
                              "/mmc/mmca1/mixed.Pkg", "/mmc/mmca1/readme.txt",
                              "/mmc/mmca1/.hidden.pkg", "/mmc/mmca1/apps/in.pkg",
                              "/mmc/mmca1/.system/x.pkg", "/mmc/mmca1/Zeta/z.txt",
                              "/stray.pkg"})
            QVERIFY(root.writeFile(QString::fromLatin1(f), "x"));
        QDir().mkpath(root.root() + QStringLiteral("/straydir"));
        ZOpenDlg picker({QStringLiteral("*.pkg"), QStringLiteral("*.PKG")}, dir, false);
        QCOMPARE(picker.entries(), entries);
    }

    // Keys: Down moves, Return opens a folder or chooses a file, Backspace
    // goes up, F2 leaves without a choice; the result is a phone path.
    void pickerKeys_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QString>("file");
        QTest::newRow("into a folder and choose") << QList<int>{Qt::Key_Return, Qt::Key_Return}
                                                  << "/mmc/mmca1/sub/in.pkg";
        QTest::newRow("choose on the card") << QList<int>{Qt::Key_Down, Qt::Key_Return}
                                            << "/mmc/mmca1/a.pkg";
        QTest::newRow("up and back") << QList<int>{Qt::Key_Backspace, Qt::Key_Return, Qt::Key_Down,
                                                   Qt::Key_Return}
                                     << "/mmc/mmca1/a.pkg";
        QTest::newRow("left without a choice") << QList<int>{Qt::Key_Down, Qt::Key_F2} << "";
        QTest::newRow("F1 opens like Return") << QList<int>{Qt::Key_Down, Qt::Key_F1}
                                              << "/mmc/mmca1/a.pkg";
        QTest::newRow("one tap opens a folder, one chooses") << QList<int>{kTap, kTap}
                                                             << "/mmc/mmca1/sub/in.pkg";
    }
    void pickerKeys()
    {
        QFETCH(QList<int>, keys);
        QFETCH(QString, file);
        PhoneRoot root;
        QVERIFY(root.writeFile(QStringLiteral("/mmc/mmca1/a.pkg"), "x"));
        QVERIFY(root.writeFile(QStringLiteral("/mmc/mmca1/sub/in.pkg"), "x"));
        // The cursor starts on the first entry after "..": the folder "sub".
        ZOpenDlg picker({QStringLiteral("*.pkg")}, QStringLiteral("/mmc/mmca1"), false);
        QTimer::singleShot(0, [&] {
            auto* list = picker.findChild<QListWidget*>();
            QCOMPARE(list->currentItem()->text(), QStringLiteral("sub"));
            for (int k : keys) {
                if (!picker.isVisible())
                    break;
                if (k == kTap) {
                    const QPoint at = list->visualItemRect(list->currentItem()).center();
                    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
                    QCoreApplication::processEvents();   // the row opens once the tap is done
                } else {
                    QTest::keyClick(list, Qt::Key(k));
                }
            }
            if (picker.isVisible())
                picker.reject();
        });
        picker.exec();
        QCOMPARE(picker.getFile(), file);
    }
};

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
