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
    void variants_data();
    void variants();
    void readsFromCurrentPosition();
};

void DigestTest::tokens_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QStringList>("tokens");
    auto row = [](const char* name, const QByteArray& document, const QStringList& tokens) {
        QTest::newRow(name) << document << tokens;
    };
    const QString north = QString::fromUtf8("\xd0\xa1\xd0\xb5\xd0\xb2\xd0\xb5\xd1\x80");

    row("zone with empty list", R"(<Zone id="1" name="A"><Areas/></Zone>)",
        {"Zone", "id", "1", "name", "A", "Areas", "Areas", "Zone"});
    row("declaration, comment, PI and doctype skipped",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE Zone>\n<!-- c -->"
        "<Zone id=\"1\"><?pi data?><!-- inner --><Areas/></Zone>",
        {"Zone", "id", "1", "Areas", "Areas", "Zone"});
    row("text keeps its surrounding blanks", "<Zone>\n  <Geometry>  1,2;3,4 </Geometry>\n</Zone>",
        {"Zone", "Geometry", "  1,2;3,4 ", "Geometry", "Zone"});
    row("entities resolved", R"(<Zone name="A &amp; B">x &lt; y</Zone>)", {"Zone", "name", "A & B", "x < y", "Zone"});
    row("cdata included", "<Zone><![CDATA[ a<b ]]></Zone>", {"Zone", " a<b ", "Zone"});
    row("non-ascii as utf-8", "<Zone name=\"" + north.toUtf8() + "\"/>", {"Zone", "name", north, "Zone"});
    // The characters count, not the bytes a file's encoding gives them.
    row("windows-1251 file",
        "<?xml version=\"1.0\" encoding=\"windows-1251\"?><Zone name=\""
            + QTextCodec::codecForName("windows-1251")->fromUnicode(north) + "\"/>",
        {"Zone", "name", north, "Zone"});
    row("stops at the first syntax error", "<Zone id=\"1\"><Areas></Zone><Tail/>", {"Zone", "id", "1", "Areas"});
    row("empty input", QByteArray(), {});
}

void DigestTest::tokens()
{
    QFETCH(QByteArray, document);
    QFETCH(QStringList, tokens);
    QCOMPARE(Velmora::tokenDigest(document), md4(tokens));
}

void DigestTest::variants_data()
{
    QTest::addColumn<QByteArray>("variant");
    QTest::addColumn<bool>("same"); // whether the hash stays that of the base document
    const QByteArray base(baseDocument);
    auto row = [&](const char* name, const QByteArray& variant, bool same) { QTest::newRow(name) << variant << same; };

    // Layout does not count (comments and declarations: see tokens()).
    row("re-indented", QByteArray(base).replace("\n", "").replace("    ", ""), true);
    row("blank text between elements", QByteArray(base).replace("</Geometry>", "</Geometry>\n\n\t  \n"), true);
    row("empty element written long", QByteArray(base).replace("<States/>", "<States></States>"), true);
    // Content does.
    row("attribute order", QByteArray(base).replace(R"(id="7" name="North")", R"(name="North" id="7")"), false);
    row("element renamed", QByteArray(base).replace("Geometry>", "Outline>"), false);
    row("attribute value", QByteArray(base).replace(R"(id="3")", R"(id="4")"), false);
    row("text", QByteArray(base).replace("101,102", "101,103"), false);
    row("blank inside text", QByteArray(base).replace("101,102", "101, 102"), false);
    row("attribute added", QByteArray(base).replace("<Areas>", "<Areas version=\"1\">"), false);
}

void DigestTest::variants()
{
    QFETCH(QByteArray, variant);
    QFETCH(bool, same);
    QVERIFY(variant != QByteArray(baseDocument));
    QCOMPARE(Velmora::tokenDigest(variant) == Velmora::tokenDigest(QByteArray(baseDocument)), same);
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
