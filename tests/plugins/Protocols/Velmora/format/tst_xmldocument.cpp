// The bounded parse builds exactly the document QDomDocument::setContent
// builds, node positions included, and refuses what it refuses with its words;
// only nesting past the bound is refused before the parser gets that deep.
#include <QBuffer>
#include <QDirIterator>
#include <QDomDocument>
#include <QTemporaryFile>
#include <QTextCodec>
#include <QtTest>

#include "Velmora/format/TokenDigest.h"
#include "Velmora/format/XmlDocument.h"

namespace {

using Velmora::Xml::Namespaces;
using Velmora::Xml::ReadError;

// Every node with its position, namespace and value, attributes in name order,
// then the document's text: positions are what readers report findings at,
// and the text shows neither them nor the namespaces of nodes.
void describe(const QDomNode& node, QString* out)
{
    *out += QStringLiteral("%1 %2 %3:%4 {%5}%6:%7 [%8]")
                .arg(node.nodeType())
                .arg(node.nodeName())
                .arg(node.lineNumber())
                .arg(node.columnNumber())
                .arg(node.namespaceURI(), node.prefix(), node.localName(), node.nodeValue());
    const QDomNamedNodeMap attributes = node.attributes();
    QStringList described;
    for (int i = 0; i < attributes.count(); ++i) {
        const QDomNode a = attributes.item(i);
        described << QStringLiteral(" %1{%2}=[%3]").arg(a.nodeName(), a.namespaceURI(), a.nodeValue());
    }
    described.sort();
    *out += described.join(QString()) + QLatin1Char('\n');
    for (QDomNode child = node.firstChild(); !child.isNull(); child = child.nextSibling())
        describe(child, out);
}

// "read" with the document, or "refused line:column message".
QString outcome(bool parsed, const QDomDocument& document, const QString& message, int line, int column)
{
    if (!parsed)
        return QStringLiteral("refused %1:%2 %3").arg(line).arg(column).arg(message);
    QString text = QStringLiteral("read\n");
    describe(document, &text);
    return text + document.toString(-1);
}

// What the plain document parser makes of bytes or of text.
template <typename Content>
QString expected(const Content& content, Namespaces namespaces)
{
    QDomDocument document;
    QString message;
    int line = 0;
    int column = 0;
    const bool parsed = document.setContent(content, namespaces == Namespaces::Processed, &message, &line, &column);
    return outcome(parsed, document, message, line, column);
}

template <typename Input>
QString bounded(const Input& content, Namespaces namespaces)
{
    QDomDocument document;
    ReadError error;
    const bool parsed = Velmora::Xml::parseDocument(content, &document, &error, namespaces);
    return outcome(parsed, document, error.message, error.line, error.column);
}

QString boundedAside(const QByteArray& content)
{
    QDomDocument document;
    ReadError error;
    const bool parsed = Velmora::Xml::parseDocumentAside(content, &document, &error);
    return outcome(parsed, document, error.message, error.line, error.column);
}

QString boundedFromFile(const QByteArray& content, Namespaces namespaces)
{
    QTemporaryFile file;
    if (!file.open() || file.write(content) != content.size() || !file.flush())
        return QStringLiteral("cannot write");
    QDomDocument document;
    ReadError error;
    const bool parsed = Velmora::Xml::readDocument(file.fileName(), &document, &error, namespaces);
    return outcome(parsed, document, error.message, error.line, error.column);
}

QByteArray nested(int depth, const QByteArray& inRoot = {})
{
    return "<Zone>" + inRoot + "\n" + QByteArray("<x>\n").repeated(depth - 1) + QByteArray("</x>").repeated(depth - 1)
        + "</Zone>";
}

QByteArray utf16(const QString& text)
{
    return QTextCodec::codecForName("UTF-16")->fromUnicode(text); // with its byte order mark
}

} // namespace

class XmlDocumentTest : public QObject
{
    Q_OBJECT

private slots:
    void sameDocumentAsTheDocumentParser_data();
    void sameDocumentAsTheDocumentParser();
    void nestingIsBounded_data();
    void nestingIsBounded();
    void releasedAside();
};

void XmlDocumentTest::sameDocumentAsTheDocumentParser_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("verdict"); // "read", "refused", empty for the files as they are
    for (const char* dir : {VELMORA_TEST_DATA, VELMORA_EXAMPLES}) {
        QDirIterator files(QString::fromUtf8(dir), QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            QVERIFY(file.open(QIODevice::ReadOnly));
            QTest::newRow(qPrintable(QDir(QString::fromUtf8(dir)).relativeFilePath(file.fileName())))
                << file.readAll() << QString();
        }
    }
    QTest::newRow("declaration, standalone") << QByteArray("<?xml version=\"1.0\" standalone=\"no\"?><a/>") << QStringLiteral("read");
    QTest::newRow("declared encoding") << QByteArray("<?xml version='1.0' encoding='ISO-8859-1'?><a n='\xe9'>\xe9</a>") << QStringLiteral("read");
    QTest::newRow("UTF-16 with a byte order mark") << utf16(QStringLiteral("<a n=\"\u00e9\">\u20ac<b/></a>")) << QStringLiteral("read");
    QTest::newRow("comments and instructions around the root")
        << QByteArray("<!-- <x> --><?pi <x>?>\n<a><!-- c --><?p d?></a>\n<!--after-->") << QStringLiteral("read");
    QTest::newRow("markup-like text in attributes and sections")
        << QByteArray("<a p='x>' q=\"'>'\"><![CDATA[<x><y>]]]]><b/></a>") << QStringLiteral("read");
    QTest::newRow("whitespace only text") << QByteArray("<a>\n  <b> </b>\t<c>\xc2\xa0</c> x </a>") << QStringLiteral("read");
    QTest::newRow("references") << QByteArray("<a t='&lt;&#10;&#x41;'> &amp; &#32; <b>&quot;&apos;</b></a>") << QStringLiteral("read");
    QTest::newRow("line ends") << QByteArray("<a\r\n p='1\r\n2'>\r\n<b/>\r<c/>\r\n</a>") << QStringLiteral("read");
    QTest::newRow("undeclared entity") << QByteArray("<a>x&nope;y<b/></a>") << QStringLiteral("read");
    QTest::newRow("undeclared entity in an attribute") << QByteArray("<a b='&nope;'/>") << QStringLiteral("read");
    QTest::newRow("broken UTF-8") << QByteArray("<a n='\xff'>\xfe\xfe</a>") << QStringLiteral("read");
    QTest::newRow("document type") << QByteArray("<!DOCTYPE a SYSTEM \"a.dtd\"><a/>") << QStringLiteral("read");
    QTest::newRow("internal subset")
        << QByteArray("<!DOCTYPE a [\n<!ENTITY e \"<b>text</b>\">\n<!-- ] > -->\n<!ENTITY f 'x'>]>\n<a>&e;&f;</a>") << QStringLiteral("read");
    QTest::newRow("namespaces") << QByteArray(
        "<kml xmlns=\"http://www.opengis.net/kml/2.2\" xmlns:g=\"urn:g\"><g:a g:b='1' c='2'/><d/></kml>") << QStringLiteral("read");
    QTest::newRow("tabs and line ends in attribute values")
        << QByteArray("<a x='1\t2' y='3\n4' z='5\r\n6' w='7&#9;8&#13;'/>") << QStringLiteral("read");
    QTest::newRow("whitespace only character data")
        << QByteArray("<a>  <![CDATA[  ]]>  <b><![CDATA[]]></b></a>") << QStringLiteral("read");
    QTest::newRow("spaces by reference")
        << QByteArray("<a>&#32;<b>&#x20;&#9;</b> &#10; </a>") << QStringLiteral("read");
    QTest::newRow("adjacent pieces of text")
        << QByteArray("<a>x&amp;<![CDATA[y]]>z&#65;<!--c-->w<?p?>v</a>") << QStringLiteral("read");
    QTest::newRow("empty comment and instructions")
        << QByteArray("<a><!----><?p?><?q  x  ?></a>") << QStringLiteral("read");
    QTest::newRow("byte order mark and declared UTF-8")
        << QByteArray("\xef\xbb\xbf<?xml version='1.0' encoding='UTF-8'?>\n<a>\xc3\xa9</a>") << QStringLiteral("read");
    QTest::newRow("UTF-16 big endian, declared") // with its byte order mark
        << QTextCodec::codecForName("UTF-16BE")->fromUnicode(
               QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?><a n=\"\u00e9\">\u20ac</a>"))
        << QStringLiteral("read");
    QTest::newRow("declared UTF-16, bytes UTF-8")
        << QByteArray("<?xml version='1.0' encoding='UTF-16'?><a>\xc3\xa9</a>") << QStringLiteral("refused");
    QTest::newRow("undeclared prefix") << QByteArray("<a><u:b u:c='1'/></a>") << QStringLiteral("read");
    QTest::newRow("prefix declared again deeper")
        << QByteArray("<a xmlns:p='urn:p' p:x='1'><p:b xmlns:p='urn:q' p:c='1'/><p:d/></a>") << QStringLiteral("read");
    QTest::newRow("default namespace undone")
        << QByteArray("<a xmlns='urn:d'><b xmlns=''/><c/></a>") << QStringLiteral("read");
    QTest::newRow("declaration only") << QByteArray("<?xml version='1.0'?>") << QStringLiteral("refused");
    QTest::newRow("unterminated comment") << QByteArray("<a><!-- x</a>") << QStringLiteral("refused");
    QTest::newRow("end tag only") << QByteArray("</a>") << QStringLiteral("refused");
    QTest::newRow("NUL character") << QByteArray("<a>x\0y</a>", 10) << QStringLiteral("read");
    QTest::newRow("reference to NUL") << QByteArray("<a>&#0;</a>") << QStringLiteral("read");
    QTest::newRow("reference to a lone surrogate") << QByteArray("<a>&#xD800;</a>") << QStringLiteral("read");
    QTest::newRow("mismatched end tag") << QByteArray("<a><b></a></b>") << QStringLiteral("refused");
    QTest::newRow("truncated") << QByteArray("<a><b n='1'") << QStringLiteral("refused");
    QTest::newRow("duplicate attribute") << QByteArray("<a n='1' n='2'/>") << QStringLiteral("read");
    QTest::newRow("text after the root") << QByteArray("<a/>tail") << QStringLiteral("refused");
    QTest::newRow("two roots") << QByteArray("<a/><b/>") << QStringLiteral("refused");
    QTest::newRow("empty") << QByteArray() << QStringLiteral("refused");
    QTest::newRow("not XML") << QByteArray("{\"a\": 1}") << QStringLiteral("refused");
}

void XmlDocumentTest::sameDocumentAsTheDocumentParser()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, verdict);
    if (!verdict.isEmpty())
        QCOMPARE(expected(content, Namespaces::Ignored).section(QLatin1Char('\n'), 0, 0).section(QLatin1Char(' '), 0, 0), verdict);
    const QString text = QString::fromUtf8(content);
    for (Namespaces namespaces : {Namespaces::Ignored, Namespaces::Processed}) {
        const QString fromBytes = expected(content, namespaces);
        QCOMPARE(bounded(content, namespaces), fromBytes);
        QCOMPARE(boundedFromFile(content, namespaces), fromBytes);
        QCOMPARE(bounded(text, namespaces), expected(text, namespaces));
    }
    QCOMPARE(boundedAside(content), expected(content, Namespaces::Ignored));
}

void XmlDocumentTest::nestingIsBounded_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("refusedAt"); // empty: read
    // 256 levels, and deep documents after an undeclared entity or broken UTF-8: tst_readers, through every reader.
    QTest::newRow("257 levels") << nested(257) << "257:4";
    QTest::newRow("30,000 levels") << nested(30000) << "257:4";
    QTest::newRow("empty elements do not nest") << nested(256, QByteArray("<e/>").repeated(500)) << QString();
    QTest::newRow("tags in comments, sections, instructions and values do not nest")
        << nested(256, "<!-- <c><c> --><![CDATA[<d><d>]]><?p <e>?><v w='>' z=\"'/>\"/>") << QString();
    // Far past the first pieces the parser is handed, split at any point.
    QTest::newRow("deep after a long value") << nested(300, "<v w='" + QByteArray(100000, '>') + "'/>") << "257:4";
    QTest::newRow("deep in UTF-16") << utf16(QString::fromLatin1(nested(300))) << "257:4";
    QTest::newRow("deep through entities") << "<!DOCTYPE Zone [<!ENTITY o \"" + QByteArray("<x>").repeated(300)
            + QByteArray("</x>").repeated(300) + "\">]>\n<Zone>&o;</Zone>"
                                           << "*";
}

void XmlDocumentTest::nestingIsBounded()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, refusedAt);
    QDomDocument document;
    ReadError error;
    const bool parsed = Velmora::Xml::parseDocument(content, &document, &error);
    const QString said = QStringLiteral("%1:%2: %3").arg(error.line).arg(error.column).arg(error.message);
    if (refusedAt.isEmpty()) {
        QVERIFY2(parsed, qPrintable(said));
        return;
    }
    QVERIFY2(!parsed, "read");
    QVERIFY2(error.kind == ReadError::TooDeep, qPrintable(said));
    QCOMPARE(error.message, Velmora::nestingTooDeepMessage());
    if (refusedAt != QLatin1String("*"))
        QCOMPARE(QStringLiteral("%1:%2").arg(error.line).arg(error.column), refusedAt);
}

// The releasing caller's handle is gone at once; a handle kept elsewhere
// still reads its nodes once the release is done.
void XmlDocumentTest::releasedAside()
{
    QDomDocument document;
    ReadError error;
    QVERIFY(Velmora::Xml::parseDocumentAside("<a><b n='1'><c/></b></a>", &document, &error));
    const QDomElement kept = document.documentElement().firstChildElement(QStringLiteral("b"));
    Velmora::Xml::releaseAside(&document);
    QVERIFY(document.isNull());
    // The aside thread does one thing at a time: this parse follows the release.
    QDomDocument next;
    QVERIFY(Velmora::Xml::parseDocumentAside("<x/>", &next, &error));
    QCOMPARE(kept.attribute(QStringLiteral("n")), QStringLiteral("1"));
    QCOMPARE(kept.firstChildElement().tagName(), QStringLiteral("c"));
}

QTEST_GUILESS_MAIN(XmlDocumentTest)
#include "tst_xmldocument.moc"
