// The rename dialog: the typed name stored exactly as typed, blank names
// refused with the dialog left open, cancel writes nothing, a failed write
// reported.

#include "phonefixture.h"
#include "softrenamedlg.h"
#include "zmultilineedit.h"

#include <QtTest>

using namespace screentest;

namespace {

const QString kUid = QStringLiteral("0a1b2c3d-0000-4000-8000-0000000000aa");

void clearAndType(ZMultiLineEdit* field, const QString& text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}

} // namespace

class TestRename : public QObject
{
    Q_OBJECT

private slots:
    void rename_data()
    {
        QTest::addColumn<QString>("typed");    // null: the preset name is kept
        QTest::addColumn<bool>("stored");
        QTest::newRow("new name") << "Notes 2" << true;
        QTest::newRow("unchanged preset") << QString() << true;
        QTest::newRow("blanks kept as typed") << "  My  notes " << true;
        QTest::newRow("only blanks") << "   " << false;
        QTest::newRow("empty") << "" << false;
    }
    void rename()
    {
        QFETCH(QString, typed);
        QFETCH(bool, stored);
        Phone phone;
        phone.record(kCardRegistry, kUid, {{"Name", "Notes"}, {"Exec", "notes"}});
        SoftReNameDlg dlg(kUid, QStringLiteral("Rename"), nullptr, "aaaaa", 1, {},
                          MyClass_Dlg::Dlg_Middle);
        QCOMPARE(dlg.ml_OldName->text(), QStringLiteral("Notes"));
        QVERIFY(dlg.ml_OldName->isReadOnly());
        QCOMPARE(dlg.ml_NewName->text(), QStringLiteral("Notes"));
        const QString expected = typed.isNull() ? QStringLiteral("Notes") : typed;

        Script s;
        s.on("SoftReNameDlg", [&](QWidget* w) {
            if (!typed.isNull())
                clearAndType(dlg.ml_NewName, typed);
            QTest::keyClick(w, Qt::Key_F1);
            if (!stored) {
                // Refused: the dialog stays open and nothing is written.
                QVERIFY(dlg.isVisible());
                QCOMPARE(phone.entry(kCardRegistry, kUid, "Name"), QStringLiteral("Notes"));
                QTest::keyClick(w, Qt::Key_F2);
            }
        });
        dlg.exec();
        QVERIFY(s.done());
        QCOMPARE(s.messages, QStringList());
        QCOMPARE(dlg.newName, stored ? expected : QString());
        QCOMPARE(dlg.newName.isNull(), !stored);
        QCOMPARE(phone.entry(kCardRegistry, kUid, "Name"),
                 stored ? expected : QStringLiteral("Notes"));
        QCOMPARE(phone.entry(kCardRegistry, kUid, "Exec"), QStringLiteral("notes"));
    }

    void cancelWritesNothing()
    {
        Phone phone;
        phone.record(kInstalledDB, kUid, {{"Name", "Calc"}});
        const QByteArray before = phone.read(kInstalledDB);
        SoftReNameDlg dlg(kUid, QStringLiteral("Rename"), nullptr, "aaaaa", 1, {},
                          MyClass_Dlg::Dlg_Middle);
        Script s;
        s.on("SoftReNameDlg", [&](QWidget* w) {
            clearAndType(dlg.ml_NewName, QStringLiteral("Other"));
            QTest::keyClick(w, Qt::Key_F2);
        });
        dlg.exec();
        QVERIFY(s.done());
        QVERIFY(dlg.newName.isNull());
        QCOMPARE(phone.read(kInstalledDB), before);
    }

    // Return in the name field adds no line break to the name.
    void returnAddsNoLineBreak()
    {
        Phone phone;
        phone.record(kInstalledDB, kUid, {{"Name", "Calc"}});
        SoftReNameDlg dlg(kUid, QStringLiteral("Rename"), nullptr, "aaaaa", 1, {},
                          MyClass_Dlg::Dlg_Middle);
        Script s;
        s.on("SoftReNameDlg", [&](QWidget* w) {
            clearAndType(dlg.ml_NewName, QStringLiteral("A"));
            QTest::keyClick(dlg.ml_NewName, Qt::Key_Return);
            QTest::keyClicks(dlg.ml_NewName, QStringLiteral("B"));
            QTest::keyClick(w, Qt::Key_F1);
        });
        dlg.exec();
        QCOMPARE(dlg.newName, QStringLiteral("AB"));
    }

    void failedWrite_data()
    {
        QTest::addColumn<bool>("known");
        QTest::newRow("uid in no registry") << false;
        QTest::newRow("registry unwritable") << true;
    }
    void failedWrite()
    {
        QFETCH(bool, known);
        Phone phone;
        std::unique_ptr<Immutable> lock;
        if (known) {
            phone.record(kInstalledDB, kUid, {{"Name", "Calc"}});
            lock = std::make_unique<Immutable>(phone.host(kInstalledDB));
            if (!lock->ok())
                QSKIP("chattr +i is refused here");
        }
        SoftReNameDlg dlg(kUid, QStringLiteral("Rename"), nullptr, "aaaaa", 1, {},
                          MyClass_Dlg::Dlg_Middle);
        QCOMPARE(dlg.ml_OldName->text(), known ? QStringLiteral("Calc") : QString());
        Script s;
        s.on("SoftReNameDlg", [&](QWidget* w) {
            clearAndType(dlg.ml_NewName, QStringLiteral("Typed"));
            QTest::keyClick(w, Qt::Key_F1);
        });
        s.box(Qt::Key_1);
        dlg.exec();
        QVERIFY(s.done());
        QCOMPARE(s.messages, QStringList{shown(CAP(Msg_HintInfo_Items6))});
        QVERIFY(dlg.newName.isNull());
        lock.reset();
        if (known)
            QCOMPARE(phone.entry(kInstalledDB, kUid, "Name"), QStringLiteral("Calc"));
    }
};

SCREENS_TEST_MAIN(TestRename)
#include "tst_rename.moc"
