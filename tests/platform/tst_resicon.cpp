// RES_ICON_Reader: every dialog icon is a real, distinct picture; unknown
// names give a null pixmap.

#include "resiconreader.h"

#include <QImage>
#include <QSet>
#include <QtTest>

class TestResIcon : public QObject
{
    Q_OBJECT
private slots:
    void knownIcons_data();
    void knownIcons();
    void iconsDiffer();
    void unknownNames_data();
    void unknownNames();
    void cachedAndFreshAreAlike();
    void stockPicturesToo();
};

void TestResIcon::knownIcons_data()
{
    QTest::addColumn<QString>("name");
    for (const char* n : {"Dialog_Complete.gif", "Dialog_Error.gif", "Dialog_Exclamatory_Mark.gif",
                          "Dialog_Question_Mark.gif", "Dialog_Waiting.gif",
                          "Dialog_Information.gif", "Dialog_Complete", "Dialog_Error"})
        QTest::newRow(n) << QString::fromLatin1(n);
}

void TestResIcon::knownIcons()
{
    QFETCH(QString, name);
    RES_ICON_Reader reader;
    const QPixmap pm = reader.getIcon(name, true);
    QVERIFY(!pm.isNull());
    QCOMPARE(pm.size(), QSize(36, 36));
    const QImage img = pm.toImage().convertToFormat(QImage::Format_ARGB32);
    // Drawn on a transparent ground: see-through corners, something solid in
    // the middle, and more than one colour.
    QCOMPARE(qAlpha(img.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(img.pixel(35, 0)), 0);
    int opaque = 0;
    QSet<QRgb> colours;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            if (qAlpha(img.pixel(x, y)) == 255)
                ++opaque;
            colours.insert(img.pixel(x, y));
        }
    QVERIFY2(opaque > 36 * 36 / 4, qPrintable(QString::number(opaque)));
    QVERIFY(colours.size() > 3);
}

void TestResIcon::iconsDiffer()
{
    RES_ICON_Reader reader;
    const QStringList names = RES_ICON_Reader::iconNames();
    QVERIFY(names.size() >= 5);
    QList<QImage> seen;
    for (const QString& n : names) {
        const QImage img = reader.getIcon(n, true).toImage();
        for (const QImage& other : seen)
            QVERIFY2(img != other, qPrintable(n + QStringLiteral(" looks like another icon")));
        seen << img;
    }
}

void TestResIcon::unknownNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("empty") << QString();
    QTest::newRow("unknown") << QStringLiteral("Dialog_Nothing.gif");
    QTest::newRow("other case") << QStringLiteral("dialog_complete.gif");
    QTest::newRow("path") << QStringLiteral("/usr/share/Dialog_Complete.gif");
    QTest::newRow("other extension") << QStringLiteral("Dialog_Complete.png");
    QTest::newRow("extension only") << QStringLiteral(".gif");
}

void TestResIcon::unknownNames()
{
    QFETCH(QString, name);
    RES_ICON_Reader reader;
    QVERIFY(reader.getIcon(name, true).isNull());
    QVERIFY(reader.getIcon(name, false).isNull());
}

void TestResIcon::cachedAndFreshAreAlike()
{
    RES_ICON_Reader reader;
    const QPixmap a = reader.getIcon(QStringLiteral("Dialog_Question_Mark.gif"), true);
    const QPixmap b = reader.getIcon(QStringLiteral("Dialog_Question_Mark.gif"), true);
    const QPixmap fresh = reader.getIcon(QStringLiteral("Dialog_Question_Mark.gif"), false);
    QCOMPARE(a.cacheKey(), b.cacheKey());
    QCOMPARE(fresh.toImage(), a.toImage());
}

void TestResIcon::stockPicturesToo()
{
    RES_ICON_Reader reader;
    for (const char* n : {"CST_Menu", "CST_Exit", "InSet_Picker_Folder"}) {
        const QPixmap pm = reader.getIcon(QString::fromLatin1(n), true);
        QVERIFY2(!pm.isNull(), n);
    }
}

QTEST_MAIN(TestResIcon)
#include "tst_resicon.moc"
