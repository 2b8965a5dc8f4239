// The hint and question boxes: results, button captions, parent window.

#include "captiondefaults.h"
#include "langcaption.h"
#include "modalhelpers.h"
#include "msgdialogs.h"
#include "phoneroot.h"
#include "programarg.h"
#include "zconfig.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

// What the box showed: its button texts in order, and its parent.
struct Seen
{
    QStringList buttons;
    QWidget* parent = nullptr;
    bool shown = false;
};

// Records the next box, then presses `key` in it.
void answer(Seen* seen, int key)
{
    modal::whenModal([=](QWidget* box) {
        seen->shown = true;
        seen->parent = box->parentWidget();
        for (int i = 0; i < 3; ++i)
            if (auto* b = box->findChild<QPushButton*>(QStringLiteral("button%1").arg(i)))
                seen->buttons << b->text();
        QWidget* target = box->focusWidget() ? box->focusWidget() : box;
        QTest::keyClick(target, Qt::Key(key));
    });
}

} // namespace

class TestMsgDialogs : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PhoneRoot> root;
    QString bin;

private slots:
    void init()
    {
        root = std::make_unique<PhoneRoot>();
        bin = root->outer() + QStringLiteral("/bin");
        QVERIFY(QDir().mkpath(bin));
        programarg::set(bin + QStringLiteral("/appkeeper"));
        Bool_LocalLanguage = true;
    }
    void cleanup() { root.reset(); }

    void answers_data()
    {
        QTest::addColumn<bool>("question");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        QTest::newRow("question, first button") << true << int(Qt::Key_1) << 0;
        QTest::newRow("question, second button") << true << int(Qt::Key_2) << 1;
        QTest::newRow("question, escape") << true << int(Qt::Key_Escape) << 1;
        QTest::newRow("hint, its button") << false << int(Qt::Key_1) << 0;
        QTest::newRow("hint, escape") << false << int(Qt::Key_Escape) << 0;
    }
    void answers()
    {
        QFETCH(bool, question);
        QFETCH(int, key);
        QFETCH(int, result);
        Seen seen;
        answer(&seen, key);
        const int got = question ? showMsgAskDlg(QStringLiteral("Continue?"))
                                 : showMsgHintDlg(QStringLiteral("Done."));
        QVERIFY(seen.shown);
        QCOMPARE(got, result);
        const QStringList expected =
            question ? QStringList{Text_code(CaptionDefault::Msg_Ask_Button1),
                                   Text_code(CaptionDefault::Msg_Ask_Button2)}
                     : QStringList{Text_code(CaptionDefault::Msg_Hint_Button1)};
        QCOMPARE(seen.buttons, expected);
    }

    void captionsFromTheFile()
    {
        const QString file = bin + QStringLiteral("/ezx_appkeeper_lang.cfg");
        {
            ZConfig cfg(file, false);
            QVERIFY(cfg.writeEntry("zh-cn", "Msg_Ask_Button1", QStringLiteral("Oui")));
        }
        Seen seen;
        answer(&seen, Qt::Key_1);
        QCOMPARE(showMsgAskDlg(QStringLiteral("Continuer ?")), 0);
        QCOMPARE(seen.buttons, (QStringList{QStringLiteral("Oui"),
                                            Text_code(CaptionDefault::Msg_Ask_Button2)}));
        // The default of the second button was filled in.
        const ZConfig cfg(file, false);
        QCOMPARE(cfg.readEntry("zh-cn", "Msg_Ask_Button2"), QStringLiteral(u"否(No)"));
    }

    void givenButtonTexts()
    {
        Seen seen;
        answer(&seen, Qt::Key_3);
        QCOMPARE(showMsgAskDlg(QStringLiteral("?"), QStringLiteral("Y"), QStringLiteral("N"),
                               QStringLiteral("Later")),
                 2);
        QCOMPARE(seen.buttons, (QStringList{"Y", "N", "Later"}));

        // An empty text is a text: no caption lookup for it.
        Seen hint;
        answer(&hint, Qt::Key_1);
        QCOMPARE(showMsgHintDlg(QStringLiteral("!"), QString(QLatin1String(""))), 0);
        QCOMPARE(hint.buttons, QStringList{QString()});
        QVERIFY(!ZConfig(bin + QStringLiteral("/ezx_appkeeper_lang.cfg"), false)
                     .groupExists(QStringLiteral("zh-cn")));
    }

    void parentIsTheActiveWindow()
    {
        QWidget window;
        window.resize(240, 320);
        window.show();
        QApplication::setActiveWindow(&window);
        QTRY_COMPARE(QApplication::activeWindow(), &window);

        Seen seen;
        answer(&seen, Qt::Key_1);
        QCOMPARE(showMsgHintDlg(QStringLiteral("x")), 0);
        QCOMPARE(seen.parent, &window);

        QWidget other;
        Seen given;
        answer(&given, Qt::Key_2);
        QCOMPARE(showMsgAskDlg(QStringLiteral("y"), QString(), QString(), QString(), &other), 1);
        QCOMPARE(given.parent, &other);
    }
};

SERVICES_TEST_MAIN(TestMsgDialogs)
#include "tst_msgdialogs.moc"
