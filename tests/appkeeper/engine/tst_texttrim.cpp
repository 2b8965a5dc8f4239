// The 8-bit trimming and cutting functions.

#include "texttrim.h"

#include <QtTest>

class TextTrim : public QObject
{
    Q_OBJECT

private slots:
    void trim_data();
    void trim();
    void strDelete_data();
    void strDelete();
};

void TextTrim::trim_data()
{
    QTest::addColumn<QByteArray>("in");
    QTest::addColumn<QByteArray>("out");
    QTest::newRow("empty") << QByteArray("") << QByteArray("");
    QTest::newRow("three blanks") << QByteArray("   ") << QByteArray("");
    QTest::newRow("blanks both sides") << QByteArray("  word  ") << QByteArray("word");
    QTest::newRow("inner blanks kept") << QByteArray(" a b  c ") << QByteArray("a b  c");
    QTest::newRow("tab before stays") << QByteArray("\tword ") << QByteArray("\tword");
    QTest::newRow("line end after stays") << QByteArray(" word\n") << QByteArray("word\n");
    QTest::newRow("one blank") << QByteArray(" ") << QByteArray("");
    QTest::newRow("single char") << QByteArray("x") << QByteArray("x");
    QTest::newRow("Latin-1 byte") << QByteArray(" \xe9t\xe9 ") << QByteArray("\xe9t\xe9");
    QTest::newRow("domain line") << QByteArray("Domain = trusted ") << QByteArray("Domain = trusted");
}

void TextTrim::trim()
{
    QFETCH(QByteArray, in);
    QFETCH(QByteArray, out);
    const std::string iso = DelSpaceISO(std::string(in.constData(), size_t(in.size())));
    QCOMPARE(QByteArray(iso.data(), int(iso.size())), out);
    QCOMPARE(DelSpace(QString::fromLatin1(in)), QString::fromLatin1(out));
}

void TextTrim::strDelete_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("result");
    QTest::newRow("first occurrence only") << "A;B;A" << "A" << ";B;A";
    QTest::newRow("pattern longer than text") << "AB" << "ABC" << "AB";
    QTest::newRow("empty pattern") << "A;B" << "" << "A;B";
    QTest::newRow("not found") << "A;B" << "C" << "A;B";
    QTest::newRow("case significant") << "abc" << "B" << "abc";
    QTest::newRow("whole text") << "U" << "U" << "";
    QTest::newRow("middle") << "A;U;B" << ";U" << "A;B";
    QTest::newRow("empty text") << "" << "U" << "";
    QTest::newRow("equal length, different") << "AB" << "BA" << "AB";
    QTest::newRow("outside Latin-1 is lost") << QString::fromUtf8("A\u4e2d;U") << ";U" << "A?";
}

void TextTrim::strDelete()
{
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(QString, result);
    QCOMPARE(StrDelete(text, pattern), result);
}

QTEST_GUILESS_MAIN(TextTrim)
#include "tst_texttrim.moc"
