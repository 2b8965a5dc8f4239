// The dialog frame as the user sees it, for each size and each of the
// software manager's dialogs: the whole dialog on the phone screen, the title
// strip showing the caption on top, the fields below it and never cut off at
// the side, the two soft keys with their texts in the strip at the foot of
// the screen, and F1, F2 and Escape pressing them.

#include "phonefixture.h"
#include "softinstalldlg.h"
#include "softpropertiesdlg.h"
#include "softrenamedlg.h"
#include "zmainwidget.h"
#include "zpushbutton.h"
#include "zscrollview.h"

#include <QLabel>
#include <QScreen>
#include <QtTest>

using namespace screentest;

namespace {

const QString kUid = QStringLiteral("0a1b2c3d-0000-4000-8000-00000000c0de");

enum Kind { Frame, Untitled, Rename, Install, Properties };

// A bare frame with the two soft keys as the dialogs make them (the
// cancelling one made first: the order of making must not matter).
class KeyedFrame : public MyClass_Dlg
{
public:
    KeyedFrame(const QString& title, Dlg_Size size)
        : MyClass_Dlg(title, nullptr, "frame", 1, {}, size) { addKeys(); }
    explicit KeyedFrame(Dlg_Size size) : MyClass_Dlg(nullptr, "frame", 1, {}, size) { addKeys(); }

private:
    void addKeys()
    {
        connect(makeSoftKey(ZPushButton::DialogCancel, QStringLiteral("Back")),
                &QAbstractButton::clicked, this, &QDialog::reject);
        connect(makeSoftKey(ZPushButton::DialogAccept, QStringLiteral("Go")),
                &QAbstractButton::clicked, this, &QDialog::accept);
    }
};

std::unique_ptr<MyClass_Dlg> open(Kind kind, int size, const QString& title)
{
    const auto s = MyClass_Dlg::Dlg_Size(size);
    switch (kind) {
    case Frame: return std::make_unique<KeyedFrame>(title, s);
    case Untitled: return std::make_unique<KeyedFrame>(s);
    case Rename: return std::make_unique<SoftReNameDlg>(kUid, title, nullptr, "aaaaa", 1, Qt::WindowFlags(), s);
    case Install: return std::make_unique<SoftInstallDlg>(title, nullptr, "dlg", 1, Qt::WindowFlags(), s);
    case Properties:
        return std::make_unique<SoftPropertiesDlg>(kUid, title, nullptr, "dlg", 1, Qt::WindowFlags(), s);
    }
    return nullptr;
}

QStringList keyTexts(Kind kind)
{
    switch (kind) {
    case Install: return {CAP(Dlg_Win_Button3), CAP(Dlg_Win_Button2)};
    case Rename:
    case Properties: return {CAP(Dlg_Win_Button1), CAP(Dlg_Win_Button2)};
    default: return {QStringLiteral("Go"), QStringLiteral("Back")};
    }
}

QRect phoneScreen()
{
    return QRect(QGuiApplication::primaryScreen()->geometry().topLeft(), QSize(240, 320));
}

} // namespace

class TestDialogFrame : public QObject
{
    Q_OBJECT

private slots:
    void looksRight_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("title");   // null: no title strip
        const QString longTitle = QStringLiteral("A caption far too long for the title strip");
        QTest::newRow("small") << int(Frame) << 0 << "Small";
        QTest::newRow("middle") << int(Frame) << 1 << "Middle";
        QTest::newRow("large") << int(Frame) << 2 << "Large";
        QTest::newRow("large, long caption") << int(Frame) << 2 << longTitle;
        QTest::newRow("middle, no title") << int(Untitled) << 1 << QString();
        QTest::newRow("rename") << int(Rename) << 1 << "Rename";
        QTest::newRow("install") << int(Install) << 2 << "Install";
        QTest::newRow("properties") << int(Properties) << 2 << "Properties";
    }
    void looksRight()
    {
        QFETCH(int, kind);
        QFETCH(int, size);
        QFETCH(QString, title);
        Phone phone;
        phone.record(kCardRegistry, kUid,
                     {{"Name", "Chess"}, {"JavaId", "17"}, {"UserID", "ezx"}, {"GroupID", "ezx"},
                      {"Args", "-fast"}, {"Directory", "/mmc/mmca1/.system/QTDownLoad/Chess"}});
        auto dlg = open(Kind(kind), size, title);
        // Where the dialog put itself (a test platform may shift a shown
        // window by a frame of its own; the phone's windows have none).
        const QRect placed = dlg->geometry();
        const auto onScreen = [&placed, &dlg](const QWidget* w) {
            return QRect(placed.topLeft() + w->mapTo(dlg.get(), QPoint(0, 0)), w->size());
        };
        dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
        const QRect screen = phoneScreen();
        const QRect whole = onScreen(dlg.get());
        QVERIFY2(screen.contains(whole), qPrintable(QDebug::toString(whole)));

        // The soft keys sit at the foot of the screen, across its whole width,
        // over the phone's own soft keys.
        const QRect strip = onScreen(dlg->softKeyBar());
        QVERIFY(whole.contains(strip));
        QCOMPARE(strip.bottom(), screen.bottom());
        QCOMPARE(strip.width(), screen.width());
        QVERIFY(strip.height() > 0);

        // The title strip is the top of the dialog and shows the caption, in
        // full or cut with "…" where it is too long, never beyond the strip.
        int fieldsTop = whole.top();
        auto* label = dlg->findChild<QLabel*>(QStringLiteral("titleBar"));
        if (title.isNull()) {
            QVERIFY(!label || !label->isVisible());
        } else {
            QVERIFY(label && label->isVisible());
            const QRect bar = onScreen(label);
            QCOMPARE(bar.top(), whole.top());
            QCOMPARE(bar.width(), whole.width());
            const QString shownTitle = label->text();
            if (title.size() < 20)
                QCOMPARE(shownTitle, title);
            else if (shownTitle != title)
                QVERIFY2(shownTitle.endsWith(QChar(0x2026))
                             && title.startsWith(shownTitle.chopped(1)), qPrintable(shownTitle));
            QVERIFY(label->fontMetrics().horizontalAdvance(shownTitle) <= bar.width());
            fieldsTop = bar.bottom() + 1;
        }

        // The fields' area lies between the two strips, as wide as the dialog.
        const QRect fields = onScreen(dlg->contentView());
        QVERIFY2(fields.top() >= fieldsTop, qPrintable(QDebug::toString(fields)));
        QVERIFY(fields.bottom() < strip.top());
        QCOMPARE(fields.width(), whole.width());
        QVERIFY(fields.height() > 0);
        // ... and every field in it shows its whole width (only up and down scroll).
        const QRect visible = onScreen(static_cast<QAbstractScrollArea*>(dlg->contentView())->viewport());
        for (QWidget* w : dlg->contentView()->viewport()->findChildren<QWidget*>(
                 QString(), Qt::FindDirectChildrenOnly)) {
            const QRect r = onScreen(w);
            QVERIFY2(r.left() >= visible.left() && r.right() <= visible.right(),
                     qPrintable(w->objectName() + QLatin1Char(' ') + QDebug::toString(r)));
        }

        // Two keys, accepting left and cancelling right, side by side in the
        // strip, each wide enough for its text.
        const QList<ZPushButton*> keys = dlg->softKeys();
        QStringList texts;
        for (ZPushButton* k : keys) {
            texts << k->text();
            QVERIFY(strip.contains(onScreen(k)));
            QVERIFY(k->fontMetrics().horizontalAdvance(k->text()) < k->width());
        }
        QCOMPARE(texts, keyTexts(Kind(kind)));
        QVERIFY(!onScreen(keys.at(0)).intersects(onScreen(keys.at(1))));
    }

    // The three sizes differ, and the large one is the whole screen.
    void sizesGrow()
    {
        QList<int> heights;
        for (int size : {0, 1, 2}) {
            KeyedFrame dlg(QStringLiteral("t"), MyClass_Dlg::Dlg_Size(size));
            heights << dlg.height();
        }
        QVERIFY(heights.at(0) < heights.at(1));
        QVERIFY(heights.at(1) < heights.at(2));
        QCOMPARE(heights.at(2), 320);
    }

    // F1 presses the accepting key, F2 the cancelling one, Escape cancels too,
    // in every size.
    void keysAct_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        const char* names[] = {"small", "middle", "large"};
        for (int size = 0; size < 3; ++size) {
            QTest::addRow("%s, F1", names[size]) << size << int(Qt::Key_F1) << int(QDialog::Accepted);
            QTest::addRow("%s, F2", names[size]) << size << int(Qt::Key_F2) << int(QDialog::Rejected);
            QTest::addRow("%s, Escape", names[size]) << size << int(Qt::Key_Escape)
                                                     << int(QDialog::Rejected);
        }
    }
    void keysAct()
    {
        QFETCH(int, size);
        QFETCH(int, key);
        QFETCH(int, result);
        KeyedFrame dlg(QStringLiteral("Keys"), MyClass_Dlg::Dlg_Size(size));
        QTimer::singleShot(0, &dlg, [&dlg, key] {
            QTest::keyClick(dlg.focusWidget() ? dlg.focusWidget() : &dlg, Qt::Key(key));
            if (dlg.isVisible())
                dlg.done(-1);   // the key did nothing: fail rather than wait
        });
        QCOMPARE(dlg.exec(), result);
    }
};

SCREENS_TEST_MAIN(TestDialogFrame)
#include "tst_dialogframe.moc"
