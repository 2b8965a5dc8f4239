// The list of installed applications.

#include "myclass_buttongroup.h"
#include "phoneroot.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

const char kInstalledDB[] = "/ezx_user/download/appwrite/am/InstalledDB";
const char kUserRegistry[] = "/ezx_user/download/appwrite/am/UserRegistry";
const char kSysRegistry[] = "/usr/data_resource/preloadapps/SysRegistry";
const char kCardRegistry[] = "/mmc/mmca1/.system/java/CardRegistry";

QString uidOf(int i)
{
    return QStringLiteral("%1-0000-0000-0000-000000000000").arg(i, 8, 10, QLatin1Char('0'));
}

// Entries in the order they stand in the list: "text|uid|javaId".
QStringList entries(const MyClass_ButtonGroup& g)
{
    QList<MyClass_RadioButton*> buttons = g.findChildren<MyClass_RadioButton*>();
    QStringList out;
    for (MyClass_RadioButton* b : buttons)
        out << b->text() + QLatin1Char('|') + b->appUID + QLatin1Char('|') + b->appJavaId;
    return out;
}

} // namespace

class TestButtonGroup : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PhoneRoot> root;

private slots:
    void init()
    {
        root = std::make_unique<PhoneRoot>();
        QVERIFY(QDir().mkpath(root->host("/mmc/mmca1/.system/java")));
    }
    void cleanup() { root.reset(); }

    void construction()
    {
        MyClass_ButtonGroup a(nullptr, "list");
        MyClass_ButtonGroup b(2, Qt::Vertical, QStringLiteral("Apps"), nullptr, nullptr);
        for (MyClass_ButtonGroup* g : {&a, &b}) {
            QCOMPARE(g->selectedId, -1);
            QVERIFY(!g->lastButton);
            QVERIFY(!g->getButton());
        }
        QCOMPARE(a.objectName(), QStringLiteral("list"));
        QCOMPARE(b.title(), QStringLiteral("Apps"));
        MyClass_RadioButton r(nullptr, "r");
        QVERIFY(r.appUID.isNull() && r.appJavaId.isNull());
    }

    // 240 by 210 up to six entries of the default height 30, then 30 more each.
    void sizes()
    {
        MyClass_ButtonGroup g(1, Qt::Horizontal, nullptr, nullptr);
        g.resize(240, 210);
        g.initConfigFile(QStringLiteral("/ezx_user/download/appwrite/am/none"));
        QCOMPARE(g.size(), QSize(240, 210));
        const QList<int> heights = {210, 210, 210, 210, 210, 210, 240, 270, 300};
        for (int i = 0; i < heights.size(); ++i) {
            g.addButton(QStringLiteral("App %1").arg(i + 1), uidOf(i), QStringLiteral("-1"));
            QCOMPARE(g.lastButton->height(), 30);
            QCOMPARE(g.lastButton->minimumWidth(), 225);
            QVERIFY2(g.size() == QSize(240, heights.at(i)), qPrintable(QString::number(i + 1)));
        }
        // Shown with the group, one per row, in the order added.
        g.show();
        QVERIFY(QTest::qWaitForWindowExposed(&g));
        for (int i = 1; i < 9; ++i)
            QVERIFY(g.find(i)->y() < g.find(i + 1)->y());
        QVERIFY(g.find(9)->isVisible());
        QCOMPARE(g.find(1)->x(), g.find(9)->x());
    }

    void identifiersAndSelection()
    {
        MyClass_ButtonGroup g(1, Qt::Horizontal, nullptr, nullptr);
        QSignalSpy spy(&g, &MyClass_ButtonGroup::clicked);
        for (int i = 1; i <= 3; ++i)
            g.addButton(QStringLiteral("App %1").arg(i), uidOf(i), QStringLiteral("-1"));
        g.show();
        QVERIFY(QTest::qWaitForWindowExposed(&g));
        for (int id = 1; id <= 3; ++id)
            QCOMPARE(g.find(id)->appUID, uidOf(id));
        QVERIFY(!g.find(0));
        QVERIFY(!g.find(4));

        QTest::mouseClick(g.find(1), Qt::LeftButton);
        QCOMPARE(g.selectedId, 1);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), 1);
        QCOMPARE(g.getButton()->appUID, uidOf(1));

        // Relabelling keeps UID, JavaId and selection.
        g.updateButton(QStringLiteral("Renamed"));
        QCOMPARE(g.find(1)->text(), QStringLiteral("Renamed"));
        QCOMPARE(g.find(1)->appUID, uidOf(1));
        QCOMPARE(g.selectedId, 1);

        // Deleting the first and adding another: no identifier is handed out twice.
        g.delButton();
        QCOMPARE(g.selectedId, -1);
        QVERIFY(!g.find(1));
        QCOMPARE(g.count(), 2);
        g.addButton(QStringLiteral("App 4"), uidOf(4), QStringLiteral("-1"));
        QCOMPARE(g.lastButton->appUID, uidOf(4));
        QList<int> ids;
        for (int id = 1; id <= 10; ++id)
            if (g.find(id))
                ids << id;
        QCOMPARE(ids.size(), 3);
        QCOMPARE(QSet<int>(ids.begin(), ids.end()).size(), 3);
        for (int id : ids) {
            QTest::mouseClick(g.find(id), Qt::LeftButton);
            QCOMPARE(g.selectedId, id);
            QCOMPARE(g.getButton(), g.find(id));
        }
        QCOMPARE(g.getButton()->appUID, uidOf(4));
    }

    void withoutSelectionNothingHappens()
    {
        MyClass_ButtonGroup g(1, Qt::Horizontal, nullptr, nullptr);
        g.addButton(QStringLiteral("A"), uidOf(1), QStringLiteral("-1"));
        const QSize size = g.size();
        g.updateButton(QStringLiteral("B"));
        g.delButton();
        QCOMPARE(g.count(), 1);
        QCOMPARE(g.find(1)->text(), QStringLiteral("A"));
        // Deleting keeps the group's size.
        g.selectedId = 1;
        g.delButton();
        QCOMPARE(g.count(), 0);
        QCOMPARE(g.size(), size);
        QVERIFY(!g.lastButton);
    }

    void loaders()
    {
        QVERIFY(root->writeFile(kInstalledDB,
                                "[aaa]\nName = Phone app\nJavaId = 7\n"
                                "[bbb]\nJavaId = 8\n"
                                "[ccc]\nName = No Java id\n"
                                "[ddd]\n"));
        // A group without a name is no application (its blank UID would
        // reach the uninstall): not listed.
        QVERIFY(root->writeFile(kCardRegistry, "[ccc]\nName = Card copy\nJavaId = -1\n"
                                               "[]\nName = Crafted\nJavaId = -1\n"
                                               "[ \\s]\nName = Blank\nJavaId = -1\n"
                                               "[eee]\nName = Card app\nJavaId = -1\n"));
        QVERIFY(root->writeFile(kUserRegistry, "[uuu]\nName = User\nJavaId = 1\n"));
        QVERIFY(root->writeFile(kSysRegistry, "[sss]\nName = Sys\nJavaId = 2\n"));

        MyClass_ButtonGroup g(1, Qt::Horizontal, nullptr, nullptr);
        g.initFromInstalledDB();
        g.initFromCardRegistry();
        QCOMPARE(entries(g), (QStringList{"Phone app|aaa|7", "NameError|bbb|8",
                                          "No Java id|ccc|JavaIdError", "NameError|ddd|JavaIdError",
                                          "Card copy|ccc|-1", "Card app|eee|-1"}));
        g.initFromUserRegistry();
        g.initFromSysRegistry();
        QCOMPARE(g.count(), 8);
        QCOMPARE(g.find(7)->appUID, QStringLiteral("uuu"));
        QCOMPARE(g.find(8)->appUID, QStringLiteral("sss"));
    }

    void thousandsOfGroups()
    {
        QByteArray installed, card;
        for (int i = 0; i < 2500; ++i) {
            installed += "[" + uidOf(i).toLatin1() + "]\n";
            if (i % 3)
                installed += "Name = App " + QByteArray::number(i) + "\n";
            if (i % 5)
                installed += "JavaId = -1\n";
        }
        for (int i = 2000; i < 3000; ++i)  // 500 of them also on the card
            card += "[" + uidOf(i).toLatin1() + "]\nName = Card " + QByteArray::number(i) + "\n";
        QVERIFY(root->writeFile(kInstalledDB, installed));
        QVERIFY(root->writeFile(kCardRegistry, card));

        MyClass_ButtonGroup g(1, Qt::Horizontal, nullptr, nullptr);
        g.initFromInstalledDB();
        g.initFromCardRegistry();
        QCOMPARE(g.count(), 3500);
        QCOMPARE(g.size(), QSize(240, 3501 * 30));
        for (int i : {0, 1, 5, 2000, 2499}) {
            MyClass_RadioButton* b = g.find(i + 1);
            QCOMPARE(b->appUID, uidOf(i));
            QCOMPARE(b->text(), i % 3 ? QStringLiteral("App %1").arg(i) : QStringLiteral("NameError"));
            QCOMPARE(b->appJavaId, i % 5 ? QStringLiteral("-1") : QStringLiteral("JavaIdError"));
        }
        QCOMPARE(g.find(2501)->appUID, uidOf(2000));
        QCOMPARE(g.find(2501)->appJavaId, QStringLiteral("JavaIdError"));
        QCOMPARE(g.find(3500)->text(), QStringLiteral("Card 2999"));
    }
};

QTEST_MAIN(TestButtonGroup)
#include "tst_buttongroup.moc"
