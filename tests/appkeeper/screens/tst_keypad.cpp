// Every screen of the software manager with the phone's keys alone: the
// joystick (Up, Down, its centre as Return) and the two soft keys (F1, F2),
// always pressed on the widget that has the focus, as the phone delivers them.

#include "mainwindows.h"
#include "msgdialogs.h"
#include "myclass_buttongroup.h"
#include "phonefixture.h"
#include "qpopupmenu.h"
#include "softinstalldlg.h"
#include "softpropertiesdlg.h"
#include "softrenamedlg.h"
#include "zmultilineedit.h"
#include "zopendlg.h"
#include "zpushbutton.h"
#include "zscrollview.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QScrollBar>
#include <QtTest>

#include <algorithm>

using namespace screentest;

namespace {

const QString kUid = QStringLiteral("0a1b2c3d-0000-4000-8000-00000000c0de");
const QString kAppDir = QStringLiteral("/mmc/mmca1/.system/QTDownLoad/Chess");

enum Screen { NativeProperties, JavaProperties, Install, Rename };

QWidget* focused()
{
    return QApplication::focusWidget();
}

// One key as the phone delivers it: to the focused widget.
void press(int key)
{
    QWidget* target = focused() ? focused() : QApplication::activeWindow();
    QVERIFY(target);
    QTest::keyClick(target, Qt::Key(key));
}

// The same for a dialog that has just opened, before it is the active window.
void pressIn(QWidget* window, int key)
{
    QWidget* target = window->focusWidget() ? window->focusWidget() : window;
    QTest::keyClick(target, Qt::Key(key));
}

bool showActive(QWidget* w)
{
    w->show();
    QApplication::setActiveWindow(w);
    return QTest::qWaitForWindowActive(w);
}

void appRecord(const Phone& phone, const QString& name, const char* javaId)
{
    phone.record(kCardRegistry, kUid,
                 {{"Name", name}, {"JavaId", javaId}, {"UserID", "ezx"}, {"GroupID", "ezx"},
                  {"Args", "-fast"}, {"Directory", kAppDir}});
    phone.autorunList(kUid);  // the arguments field is editable
    QDir().mkpath(phone.host(kAppDir));
}

std::unique_ptr<MyClass_Dlg> openScreen(Screen screen, const Phone& phone,
                                        const QString& name = QStringLiteral("Chess"))
{
    switch (screen) {
    case NativeProperties:
    case JavaProperties:
        appRecord(phone, name, screen == JavaProperties ? "17" : "-1");
        return std::make_unique<SoftPropertiesDlg>(kUid, QStringLiteral("Properties"), nullptr,
                                                   "dlg", 1, Qt::WindowFlags(),
                                                   MyClass_Dlg::Dlg_Large);
    case Install:
        return std::make_unique<SoftInstallDlg>(QStringLiteral("Install"), nullptr, "dlg", 1,
                                                Qt::WindowFlags(), MyClass_Dlg::Dlg_Large);
    case Rename:
        appRecord(phone, name, "-1");
        return std::make_unique<SoftReNameDlg>(kUid, QStringLiteral("Rename"), nullptr, "aaaaa",
                                               1, Qt::WindowFlags(), MyClass_Dlg::Dlg_Middle);
    }
    return nullptr;
}

// The fields of a dialog in screen order: top to bottom, then left to right.
QList<QWidget*> screenOrder(MyClass_Dlg* dlg)
{
    QList<QWidget*> fields;
    for (QWidget* w : dlg->contentView()->viewport()->findChildren<QWidget*>()) {
        if (w->focusPolicy() & Qt::TabFocus && w->isVisibleTo(dlg) && w->isEnabled())
            fields << w;
    }
    QWidget* area = dlg->contentView()->viewport();
    std::stable_sort(fields.begin(), fields.end(), [area](QWidget* a, QWidget* b) {
        const QPoint pa = a->mapTo(area, QPoint(0, 0));
        const QPoint pb = b->mapTo(area, QPoint(0, 0));
        return pa.y() != pb.y() ? pa.y() < pb.y() : pa.x() < pb.x();
    });
    return fields;
}

// The whole field shows in the dialog's content view.
bool inView(MyClass_Dlg* dlg, QWidget* field)
{
    auto* shown = static_cast<QAbstractScrollArea*>(dlg->contentView())->viewport();
    const QRect r(field->mapTo(shown, QPoint(0, 0)), field->size());
    return shown->rect().contains(r);
}

int fieldCount(Screen screen)
{
    switch (screen) {
    case NativeProperties: return 5;  // name, user, group, start at boot, arguments
    case JavaProperties: return 6;    // and the domain
    default: return 2;                // name/path and new name/picker
    }
}

// Moves the keyboard to the entry `name` of the picker with Up and Down, and
// opens it with Return.
void pickByKeys(ZOpenDlg* picker, const QString& name)
{
    auto* list = picker->findChild<QListWidget*>();
    const int to = picker->entries().indexOf(name);
    QVERIFY2(to >= 0, qPrintable(name));
    while (list->currentRow() < to)
        pressIn(picker, Qt::Key_Down);
    while (list->currentRow() > to)
        pressIn(picker, Qt::Key_Up);
    pressIn(picker, Qt::Key_Return);
}

// The rightmost column with ink of a widget's text (its background being the
// colour of the top-right corner).
int inkRight(QWidget* w)
{
    const QImage img = w->grab().toImage();
    const QRgb bg = img.pixel(img.width() - 1, 0);
    for (int x = img.width() - 1; x >= 0; --x)
        for (int y = 0; y < img.height(); ++y)
            if (img.pixel(x, y) != bg)
                return x;
    return -1;
}

} // namespace

class TestKeypad : public QObject
{
    Q_OBJECT

private slots:
    // Down from the first field visits every field in screen order, each one
    // scrolled into view; Up comes back; past either end the walk goes on at
    // the other.
    void walkFields_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addColumn<QString>("first");  // the field that has the focus at the start
        QTest::newRow("properties, native") << int(NativeProperties) << "pComBoxUser";
        QTest::newRow("properties, Java") << int(JavaProperties) << "pComBoxDomain";
        QTest::newRow("install") << int(Install) << "pPickerBtn";
        QTest::newRow("rename") << int(Rename) << "ml_NewName";
    }
    void walkFields()
    {
        QFETCH(int, screen);
        QFETCH(QString, first);
        Phone phone;
        auto dlg = openScreen(Screen(screen), phone);
        QVERIFY(showActive(dlg.get()));
        QVERIFY(focused());
        QCOMPARE(focused()->objectName(), first);
        const QList<QWidget*> fields = screenOrder(dlg.get());
        QCOMPARE(fields.size(), fieldCount(Screen(screen)));
        fields.first()->setFocus();
        for (int i = 1; i < fields.size(); ++i) {
            press(Qt::Key_Down);
            QCOMPARE(focused(), fields.at(i));
            QVERIFY(inView(dlg.get(), fields.at(i)));
        }
        for (int i = fields.size() - 2; i >= 0; --i) {
            press(Qt::Key_Up);
            QCOMPARE(focused(), fields.at(i));
            QVERIFY(inView(dlg.get(), fields.at(i)));
        }
        press(Qt::Key_Up);
        QCOMPARE(focused(), fields.last());
        press(Qt::Key_Down);
        QCOMPARE(focused(), fields.first());
        QVERIFY(dlg->isVisible());
    }

    // From inside every field: F2 leaves without a change, F1 runs the
    // dialog's work, Return works the focused field (a text field confirms
    // as F1 does).
    void keysFromEveryField_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("key");
        const struct { const char* name; Screen screen; } screens[] = {
            {"properties, native", NativeProperties}, {"properties, Java", JavaProperties},
            {"install", Install}, {"rename", Rename}};
        for (const auto& s : screens)
            for (int f = 0; f < fieldCount(s.screen); ++f)
                for (int key : {int(Qt::Key_F1), int(Qt::Key_F2), int(Qt::Key_Return)})
                    QTest::addRow("%s, field %d, %s", s.name, f + 1,
                                  key == Qt::Key_F1 ? "F1" : key == Qt::Key_F2 ? "F2" : "Return")
                        << int(s.screen) << f << key;
    }
    void keysFromEveryField()
    {
        QFETCH(int, screen);
        QFETCH(int, field);
        QFETCH(int, key);
        Phone phone;
        auto dlg = openScreen(Screen(screen), phone);
        QVERIFY(showActive(dlg.get()));
        const QList<QWidget*> fields = screenOrder(dlg.get());
        fields.first()->setFocus();
        for (int i = 0; i < field; ++i)
            press(Qt::Key_Down);
        QWidget* target = fields.at(field);
        QCOMPARE(focused(), target);
        const QByteArray registry = phone.read(kCardRegistry);

        auto* combo = qobject_cast<QComboBox*>(target);
        auto* box = qobject_cast<QCheckBox*>(target);
        auto* picker = qobject_cast<ZPushButton*>(target);
        const bool confirms = key == Qt::Key_F1 || (key == Qt::Key_Return && !combo && !box && !picker);

        if (key == Qt::Key_F2) {
            press(key);
            QTRY_VERIFY(!dlg->isVisible());
            QCOMPARE(phone.read(kCardRegistry), registry);
            if (auto* rename = qobject_cast<SoftReNameDlg*>(dlg.get()))
                QVERIFY(rename->newName.isNull());
        } else if (confirms) {
            Script s;
            QString expected;
            if (Screen(screen) == Install) {
                s.box(Qt::Key_1);  // no package chosen
                expected = shown(CAP(Msg_HintInfo_Items7));
            } else if (Screen(screen) != Rename) {
                s.box(Qt::Key_1);
                expected = shown(CAP(Msg_HintInfo_Items4));
            }
            press(key);
            QTRY_VERIFY(!dlg->isVisible());
            QVERIFY(s.done());
            QCOMPARE(s.messages.value(0), expected);
            if (auto* rename = qobject_cast<SoftReNameDlg*>(dlg.get()))
                QCOMPARE(rename->newName, QStringLiteral("Chess"));
        } else if (combo) {
            // The centre key opens the list, Down moves in it, the centre key
            // chooses and closes it; the focus is back on the selector.
            const int before = combo->currentIndex();
            const bool down = before + 1 < combo->count();
            press(Qt::Key_Return);
            QTRY_VERIFY(combo->view()->isVisible());
            press(down ? Qt::Key_Down : Qt::Key_Up);
            press(Qt::Key_Return);
            QTRY_VERIFY(!combo->view()->isVisible());
            const int chosen = before + (down ? 1 : -1);
            QCOMPARE(combo->currentIndex(), chosen);
            QTRY_COMPARE(focused(), target);
            QVERIFY(dlg->isVisible());
            // Up and Down go on from here and do not change the entry.
            press(Qt::Key_Down);
            QCOMPARE(combo->currentIndex(), chosen);
            QVERIFY(focused() != target);
            // With the list open, F2 still leaves the dialog, writing nothing.
            target->setFocus();
            press(Qt::Key_Return);
            QTRY_VERIFY(combo->view()->isVisible());
            press(Qt::Key_F2);
            QTRY_VERIFY(!dlg->isVisible());
            QVERIFY(!combo->view()->isVisible());
            QCOMPARE(phone.read(kCardRegistry), registry);
        } else if (box) {
            const bool before = box->isChecked();
            press(Qt::Key_Return);
            QCOMPARE(box->isChecked(), !before);
            QCOMPARE(focused(), target);
            QVERIFY(dlg->isVisible());
        } else if (picker) {
            Script s;
            s.key("ZOpenDlg", Qt::Key_F2);
            press(Qt::Key_Return);
            QVERIFY(s.done());
            QVERIFY(s.unexpected.isEmpty());
            QVERIFY(dlg->isVisible());
            QTRY_COMPARE(focused(), target);
        } else {
            QFAIL("a field of an unknown kind");
        }
    }

    // A text field longer than it shows: Down walks its lines, keeping the
    // cursor's line in view, and leaves at the last one; Up comes back to the
    // first line before it leaves.
    void longTextWalksItsLines_data()
    {
        QTest::addColumn<int>("screen");
        QTest::newRow("properties, read-only name") << int(NativeProperties);
        QTest::newRow("rename, new name") << int(Rename);
    }
    void longTextWalksItsLines()
    {
        QFETCH(int, screen);
        Phone phone;
        const QString name = QStringLiteral("Long name ").repeated(20);
        auto dlg = openScreen(Screen(screen), phone, name);
        QVERIFY(showActive(dlg.get()));
        const auto edits = dlg->findChildren<ZMultiLineEdit*>();
        ZMultiLineEdit* edit = nullptr;
        for (ZMultiLineEdit* e : edits)
            if (e->objectName() == QLatin1String(screen == Rename ? "ml_NewName" : "ml_SoftName"))
                edit = e;
        QVERIFY(edit);
        QCOMPARE(edit->text(), name);
        const auto cursorShows = [edit] {
            return edit->viewport()->rect().contains(edit->cursorRect());
        };
        // The rename field opens with the cursor at the end, and shows it.
        QTRY_VERIFY(edit->hasFocus() || screen != Rename);
        edit->setFocus();
        QVERIFY(cursorShows());
        if (screen == Rename)
            QCOMPARE(edit->textCursor().position(), name.size());
        else
            QCOMPARE(edit->textCursor().position(), 0);
        edit->moveCursor(QTextCursor::Start);
        int downs = 0;
        while (focused() == edit && downs < 100) {
            press(Qt::Key_Down);
            ++downs;
            if (focused() == edit)
                QVERIFY(cursorShows());
        }
        QVERIFY2(downs > 3, "a 200-character name takes several lines");
        QVERIFY(downs < 100);
        edit->setFocus();
        edit->moveCursor(QTextCursor::End);
        int ups = 0;
        while (focused() == edit && ups < 100) {
            press(Qt::Key_Up);
            ++ups;
            if (focused() == edit)
                QVERIFY(cursorShows());
        }
        QCOMPARE(ups, downs);
    }

    // The main window after each change: the focus is on an entry of the
    // list, Up and Down move it and select, Return selects the focused entry.
    void listAfterChanges_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("from");        // entry focused and selected first
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("focusAfter");  // entry focused after the change
        QTest::newRow("rename") << "rename" << 1 << QStringList{"Alpha", "Beta!", "Gamma"} << 1;
        QTest::newRow("uninstall, middle")
            << "uninstall" << 1 << QStringList{"Alpha", "Gamma"} << 1;
        QTest::newRow("uninstall, last") << "uninstall" << 2 << QStringList{"Alpha", "Beta"} << 1;
        QTest::newRow("uninstall, only first")
            << "uninstall" << 0 << QStringList{"Beta", "Gamma"} << 0;
        QTest::newRow("install")
            << "install" << 0 << QStringList{"Alpha", "Beta", "Gamma", "Delta"} << 3;
    }
    void listAfterChanges()
    {
        QFETCH(QString, change);
        QFETCH(int, from);
        QFETCH(QStringList, names);
        QFETCH(int, focusAfter);
        Phone phone;
        const QStringList apps{"Alpha", "Beta", "Gamma"};
        for (int i = 0; i < apps.size(); ++i) {
            const QString dir = QStringLiteral("/mmc/mmca1/.system/QTDownLoad/") + apps.at(i);
            phone.record(kCardRegistry, QStringLiteral("0a1b2c3d-0000-4000-8000-00000000000%1").arg(i),
                         {{"Name", apps.at(i)}, {"JavaId", "-1"}, {"Directory", dir}});
            QVERIFY(phone.write(dir + QStringLiteral("/run.sh"), "#!/bin/sh\n"));
        }
        QVERIFY(phone.package(QStringLiteral("/mmc/mmca1/delta.pkg"), QStringLiteral("Delta"),
                              QStringLiteral("Delta")));
        MainWindows win(QStringLiteral("appkeeper"), false, nullptr, "MainWin");
        QVERIFY(showActive(&win));
        MyClass_ButtonGroup* list = win.appList();
        const auto entry = [list](int i) {
            return static_cast<QWidget*>(list->findChildren<MyClass_RadioButton*>().value(i));
        };
        // At start the first entry has the focus, nothing is selected.
        QCOMPARE(focused(), entry(0));
        QCOMPARE(list->selectedId, -1);
        if (from == 0) {
            press(Qt::Key_Return);
        } else {
            for (int i = 0; i < from; ++i)
                press(Qt::Key_Down);
        }
        QCOMPARE(focused(), entry(from));
        QCOMPARE(static_cast<QWidget*>(list->getButton()), entry(from));

        Script s;
        int menuRow = 0;
        if (change == QLatin1String("rename")) {
            menuRow = 1;
            s.on("SoftReNameDlg", [](QWidget* w) {
                pressIn(w, Qt::Key_End);
                QTest::keyClicks(w->focusWidget(), QStringLiteral("!"));
                pressIn(w, Qt::Key_Return);
            });
        } else if (change == QLatin1String("uninstall")) {
            menuRow = 2;
            s.box(Qt::Key_1);
        } else {
            s.on("SoftInstallDlg", [](QWidget* w) { pressIn(w, Qt::Key_Return); });  // picker button
            s.on("ZOpenDlg", [](QWidget* w) {
                auto* picker = static_cast<ZOpenDlg*>(w);
                pickByKeys(picker, QStringLiteral("mmc"));
                pickByKeys(picker, QStringLiteral("mmca1"));
                pickByKeys(picker, QStringLiteral("delta.pkg"));
            });
            s.on("SoftInstallDlg", [](QWidget* w) { pressIn(w, Qt::Key_F1); }, true);
            s.box(Qt::Key_1);  // continue installing?
            s.box(Qt::Key_1);  // installation complete
        }
        press(Qt::Key_F1);
        QWidget* menu = QApplication::activePopupWidget();
        QCOMPARE(menu, static_cast<QWidget*>(win.mainMenu()));
        for (int i = 0; i < menuRow; ++i)
            QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
        QVERIFY(s.done());
        QVERIFY2(s.unexpected.isEmpty(), qPrintable(s.unexpected.join(QLatin1Char('|'))));

        QStringList shownNames;
        for (auto* b : list->findChildren<MyClass_RadioButton*>())
            shownNames << b->text();
        QCOMPARE(shownNames, names);
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(&win));
        QCOMPARE(focused(), entry(focusAfter));

        // The keys still work: Return selects the focused entry (a renamed
        // entry stays selected, a new one is selected), Up and Down move and
        // select.
        if (change == QLatin1String("rename") || change == QLatin1String("install")) {
            QCOMPARE(static_cast<QWidget*>(list->getButton()), entry(focusAfter));
        } else {
            QCOMPARE(list->selectedId == -1, change == QLatin1String("uninstall"));
            press(Qt::Key_Return);
            QCOMPARE(static_cast<QWidget*>(list->getButton()), entry(focusAfter));
        }
        const int other = focusAfter > 0 ? focusAfter - 1 : focusAfter + 1;
        press(focusAfter > 0 ? Qt::Key_Up : Qt::Key_Down);
        QCOMPARE(focused(), entry(other));
        QCOMPARE(static_cast<QWidget*>(list->getButton()), entry(other));
    }

    // A list longer than the screen scrolls with the focus; each focused row
    // shows whole, its indicator included.
    void longListScrollsWithFocus()
    {
        Phone phone;
        for (int i = 0; i < 20; ++i)
            phone.record(kCardRegistry,
                         QStringLiteral("0a1b2c3d-0000-4000-8000-0000000001%1").arg(i, 2, 10, QLatin1Char('0')),
                         {{"Name", QStringLiteral("Application %1").arg(i)}, {"JavaId", "-1"}});
        MainWindows win(QStringLiteral("appkeeper"), false, nullptr, "MainWin");
        QVERIFY(showActive(&win));
        auto* view = win.findChild<ZScrollView*>();
        QVERIFY(view);
        QWidget* shown = static_cast<QAbstractScrollArea*>(view)->viewport();
        const auto entries = win.appList()->findChildren<MyClass_RadioButton*>();
        QCOMPARE(entries.size(), 20);
        for (int i = 0; i < 40; ++i) {
            const int at = i < 20 ? i : 39 - i;
            QCOMPARE(focused(), static_cast<QWidget*>(entries.at(at)));
            const QRect r(entries.at(at)->mapTo(shown, QPoint(0, 0)), entries.at(at)->size());
            QVERIFY2(shown->rect().contains(r.adjusted(0, 0, -qMax(0, r.right() - shown->width() + 1), 0)),
                     qPrintable(QStringLiteral("row %1 at %2,%3").arg(at).arg(r.x()).arg(r.y())));
            QCOMPARE(r.x(), 0);  // never shifted sideways
            if (i < 19)
                press(Qt::Key_Down);
            else if (i > 19)
                press(Qt::Key_Up);
        }
    }

    // Names are shown as written: "&" is no shortcut and shows; a name too
    // long for its row ends in "…"; a right-to-left name that fits shows whole.
    void namesAsWritten_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("without");  // the name without what must show
        QTest::newRow("ampersand") << "Tom & Jerry" << "Tom  Jerry";
        QTest::newRow("mnemonic-like") << "R&D Tools" << "RD Tools";
        QTest::newRow("markup") << "<b>Bold</b>" << "Bold";
        QTest::newRow("arabic") << QStringLiteral("الآلة الحاسبة") << QStringLiteral("الحاسبة");
    }
    void namesAsWritten()
    {
        QFETCH(QString, name);
        QFETCH(QString, without);
        Phone phone;
        phone.record(kCardRegistry, kUid, {{"Name", name}, {"JavaId", "-1"}});
        phone.record(kInstalledDB, QStringLiteral("0a1b2c3d-0000-4000-8000-00000000beef"),
                     {{"Name", without}, {"JavaId", "-1"}});
        MainWindows win(QStringLiteral("appkeeper"), false, nullptr, "MainWin");
        QVERIFY(showActive(&win));
        const auto entries = win.appList()->findChildren<MyClass_RadioButton*>();
        QCOMPARE(entries.size(), 2);
        MyClass_RadioButton* written = entries.at(1);
        QCOMPARE(written->text(), name);
        focused()->clearFocus();  // the lit row would hide the text's end
        QVERIFY(written->shortcut().isEmpty());
        // What is left out must show: the name's ink reaches further right.
        const int advance = written->fontMetrics().horizontalAdvance(name)
                            - written->fontMetrics().horizontalAdvance(without);
        QVERIFY(advance > 2);
        const int extra = inkRight(written) - inkRight(entries.at(0));
        QVERIFY2(qAbs(extra - advance) <= 3,
                 qPrintable(QStringLiteral("ink %1 px further, text %2 px wider").arg(extra).arg(advance)));
    }

    void longNameElided()
    {
        Phone phone;
        const QString name = QStringLiteral("W").repeated(200);
        phone.record(kCardRegistry, kUid, {{"Name", name}, {"JavaId", "-1"}});
        MainWindows win(QStringLiteral("appkeeper"), false, nullptr, "MainWin");
        QVERIFY(showActive(&win));
        const auto entries = win.appList()->findChildren<MyClass_RadioButton*>();
        MyClass_RadioButton* entry = entries.at(0);
        QCOMPARE(entry->text(), name);
        focused()->clearFocus();  // the lit row would hide the text's end
        // The text stops before the row's visible end, and ends in "…": its
        // last glyph matches the short name's.
        auto* view = win.findChild<ZScrollView*>();
        const int visibleRight = static_cast<QAbstractScrollArea*>(view)->viewport()->width();
        const int right = inkRight(entry);
        QVERIFY2(right < visibleRight - 2, qPrintable(QString::number(right)));
        // The last glyph is "…": its ink keeps to the lower half of the
        // letters, where a "W" reaches their top.
        const QImage img = entry->grab().toImage();
        const QRgb bg = img.pixel(img.width() - 1, 0);
        const auto topInk = [&](int from, int to) {
            for (int y = 0; y < img.height(); ++y)
                for (int x = from; x <= to; ++x)
                    if (img.pixel(x, y) != bg)
                        return y;
            return img.height();
        };
        const int w = entry->fontMetrics().horizontalAdvance(QStringLiteral("…"));
        const int letters = topInk(right - 3 * w, right - w - 1);
        const int dots = topInk(right - w + 2, right);
        QVERIFY2(dots > letters + entry->fontMetrics().ascent() / 3,
                 qPrintable(QStringLiteral("letters from row %1, last glyph from row %2").arg(letters).arg(dots)));
    }

    // Captions from the caption file as the user reads them: an "&" in a menu
    // entry, a soft key, a check box or a message-box button shows and is no
    // shortcut; a blank value (a translation begun and not finished) shows the
    // built-in default. The file keeps what it held.
    void captionsShown_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QString>("midKey");
        QTest::addColumn<QString>("checkBox");
        QTest::addColumn<QString>("button");
        QTest::newRow("ampersands") << QByteArray("[zh-cn]\nWin_MainMenu_Item1 = R&D Install\n"
                                                  "Win_MidBtn1 = Info & More\n"
                                                  "Dlg_Win_Item12 = Start & Stay\n"
                                                  "Msg_Hint_Button1 = O&K\n")
                                    << "R&D Install" << "Info & More" << "Start & Stay" << "O&K";
        QTest::newRow("blank values") << QByteArray("[zh-cn]\nWin_MainMenu_Item1 =\nWin_MidBtn1 =  \n"
                                                    "Dlg_Win_Button1 =\nDlg_Win_Button2 =\n"
                                                    "Msg_Hint_Button1 =\nDlg_Win_Item12 =\n")
                                      << Text_code(CaptionDefault::Win_MainMenu_Item1)
                                      << Text_code(CaptionDefault::Win_MidBtn1)
                                      << Text_code(CaptionDefault::Dlg_Win_Item12)
                                      << Text_code(CaptionDefault::Msg_Hint_Button1);
    }
    void captionsShown()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, menu);
        QFETCH(QString, midKey);
        QFETCH(QString, checkBox);
        QFETCH(QString, button);
        // Menus, check boxes and message-box buttons show "&&" as "&".
        const auto asSet = [](QString text) {
            return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
        };
        Phone phone;
        const QString cfg = phone.bin + QStringLiteral("/ezx_appkeeper_lang.cfg");
        QFile f(cfg);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(file);
        f.close();
        appRecord(phone, QStringLiteral("Chess"), "-1");
        MainWindows win(QStringLiteral("appkeeper"), false, nullptr, "MainWin");
        QVERIFY(showActive(&win));
        QAction* action = win.mainMenu()->actionOf(win.menuIds().first());
        QCOMPARE(action->text(), asSet(menu));
        QVERIFY(action->shortcut().isEmpty());
        auto* mid = win.findChild<ZPushButton*>(QStringLiteral("pMidBtn"));
        QCOMPARE(mid->text(), midKey);   // drawn by the key itself, as written
        QVERIFY(mid->shortcut().isEmpty());

        SoftPropertiesDlg dlg(kUid, QStringLiteral("Properties"), nullptr, "dlg", 1, {},
                              MyClass_Dlg::Dlg_Large);
        QCOMPARE(dlg.pCButton1->text(), asSet(checkBox));
        QVERIFY(dlg.pCButton1->shortcut().isEmpty());
        QStringList keys;
        for (ZPushButton* k : dlg.softKeys())
            keys << k->text();
        QCOMPARE(keys, (QStringList{Text_code(CaptionDefault::Dlg_Win_Button1),
                                    Text_code(CaptionDefault::Dlg_Win_Button2)}));

        Script s;
        QString buttonText;
        s.on("ZMessageBox", [&](QWidget* box) {
            auto* b = box->findChild<QPushButton*>();
            buttonText = b ? b->text() : QString();
            QTest::keyClick(box, Qt::Key_1);
        });
        showMsgHintDlg(QStringLiteral("x"));
        QVERIFY(s.done());
        QCOMPARE(buttonText, asSet(button));
        QFile back(cfg);
        QVERIFY(back.open(QIODevice::ReadOnly));
        QVERIFY(back.readAll().startsWith(file));  // only keys never asked for are added
    }
};

SCREENS_TEST_MAIN(TestKeypad)
#include "tst_keypad.moc"
