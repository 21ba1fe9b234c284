#include <QCryptographicHash>
#include <QTextCodec>
#include <QtTest>

#include "Velmora/format/TokenDigest.h"

namespace {

QByteArray md4(const QStringList& tokens)
{
    QCryptographicHash hash(QCryptographicHash::Md4);
    for (const QString& token : tokens)
        hash.addData(token.toUtf8());
    return hash.result();
}

const char* const baseDocument = R"(<Zone id="7" name="North">
    <Geometry>0,0;1000,0;1000,800</Geometry>
    <Areas>
        <Area id="3" name="Centre">
            <Controllers>101,102</Controllers>
            <States/>
        </Area>
    </Areas>
</Zone>
)";

} // namespace

class DigestTest : public QObject
{
    Q_OBJECT

private slots:
    void tokens_data();
    void tokens();
    void layoutDoesNotCount_data();
    void layoutDoesNotCount();
    void contentCounts_data();
    void contentCounts();
    void sameCharactersInOtherEncoding();
    void readsFromCurrentPosition();
};

void DigestTest::tokens_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QStringList>("tokens");

    QTest::newRow("zone with empty list")
        << QByteArray(R"(<Zone id="1" name="A"><Areas/></Zone>)")
        << QStringList{"Zone", "id", "1", "name", "A", "Areas", "Areas", "Zone"};
    QTest::newRow("declaration, comment, PI and doctype skipped")
        << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE Zone>\n<!-- c -->"
                      "<Zone id=\"1\"><?pi data?><!-- inner --><Areas/></Zone>")
        << QStringList{"Zone", "id", "1", "Areas", "Areas", "Zone"};
    QTest::newRow("text keeps its surrounding blanks")
        << QByteArray("<Zone>\n  <Geometry>  1,2;3,4 </Geometry>\n</Zone>")
        << QStringList{"Zone", "Geometry", "  1,2;3,4 ", "Geometry", "Zone"};
    QTest::newRow("entities resolved")
        << QByteArray(R"(<Zone name="A &amp; B">x &lt; y</Zone>)")
        << QStringList{"Zone", "name", "A & B", "x < y", "Zone"};
    QTest::newRow("cdata included")
        << QByteArray("<Zone><![CDATA[ a<b ]]></Zone>")
        << QStringList{"Zone", " a<b ", "Zone"};
    QTest::newRow("non-ascii as utf-8")
        << QByteArray("<Zone name=\"\xd0\xa1\xd0\xb5\xd0\xb2\xd0\xb5\xd1\x80\"/>")
        << QStringList{"Zone", "name", QString::fromUtf8("\xd0\xa1\xd0\xb5\xd0\xb2\xd0\xb5\xd1\x80"), "Zone"};
    QTest::newRow("stops at the first syntax error")
        << QByteArray("<Zone id=\"1\"><Areas></Zone><Tail/>")
        << QStringList{"Zone", "id", "1", "Areas"};
    QTest::newRow("empty input") << QByteArray() << QStringList{};
}

void DigestTest::tokens()
{
    QFETCH(QByteArray, document);
    QFETCH(QStringList, tokens);
    QCOMPARE(Velmora::tokenDigest(document), md4(tokens));
}

void DigestTest::layoutDoesNotCount_data()
{
    QTest::addColumn<QByteArray>("variant");
    QByteArray base(baseDocument);

    QByteArray flat = base;
    flat.replace("\n", "").replace("    ", "");
    QTest::newRow("re-indented") << flat;
    QTest::newRow("tabs") << QByteArray(base).replace("    ", "\t");
    QTest::newRow("comments") << QByteArray(base).replace("<Areas>", "<Areas><!-- list -->");
    QTest::newRow("declaration") << QByteArray("<?xml version=\"1.0\"?>\n") + base;
    QTest::newRow("blank text between elements")
        << QByteArray(base).replace("</Geometry>", "</Geometry>\n\n\t  \n");
    QTest::newRow("empty element written long")
        << QByteArray(base).replace("<States/>", "<States></States>");
}

void DigestTest::layoutDoesNotCount()
{
    QFETCH(QByteArray, variant);
    QCOMPARE(Velmora::tokenDigest(variant), Velmora::tokenDigest(QByteArray(baseDocument)));
}

void DigestTest::contentCounts_data()
{
    QTest::addColumn<QByteArray>("variant");
    QByteArray base(baseDocument);
    QTest::newRow("attribute order")
        << QByteArray(base).replace(R"(id="7" name="North")", R"(name="North" id="7")");
    QTest::newRow("element renamed") << QByteArray(base).replace("Geometry>", "Outline>");
    QTest::newRow("attribute value") << QByteArray(base).replace(R"(id="3")", R"(id="4")");
    QTest::newRow("text") << QByteArray(base).replace("101,102", "101,103");
    QTest::newRow("blank inside text") << QByteArray(base).replace("101,102", "101, 102");
    QTest::newRow("attribute added") << QByteArray(base).replace("<Areas>", "<Areas version=\"1\">");
}

void DigestTest::contentCounts()
{
    QFETCH(QByteArray, variant);
    QVERIFY(Velmora::tokenDigest(variant) != Velmora::tokenDigest(QByteArray(baseDocument)));
}

void DigestTest::sameCharactersInOtherEncoding()
{
    const QString text = QString::fromUtf8("<Zone id=\"1\" name=\"\xd0\xa1\xd0\xb5\xd0\xb2\xd0\xb5\xd1\x80\"/>");
    const QByteArray utf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + text.toUtf8();
    QTextCodec* cp1251 = QTextCodec::codecForName("windows-1251");
    QVERIFY(cp1251);
    const QByteArray legacy = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>" + cp1251->fromUnicode(text);
    QVERIFY(utf8 != legacy);
    QCOMPARE(Velmora::tokenDigest(legacy), Velmora::tokenDigest(utf8));
}

void DigestTest::readsFromCurrentPosition()
{
    QBuffer buffer;
    buffer.setData(QByteArray("junk") + baseDocument);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    buffer.seek(4);
    QCOMPARE(Velmora::tokenDigest(&buffer), Velmora::tokenDigest(QByteArray(baseDocument)));
}

QTEST_GUILESS_MAIN(DigestTest)
#include "tst_digest.moc"
