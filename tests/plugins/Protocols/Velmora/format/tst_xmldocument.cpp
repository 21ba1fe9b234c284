// The bounded parse builds exactly the document QDomDocument::setContent
// builds, node positions included, and refuses what it refuses with its words;
// only nesting past the bound is refused before the parser gets that deep.
#include <QDirIterator>
#include <QDomDocument>
#include <QTemporaryFile>
#include <QTextCodec>
#include <QtTest>

#include <functional>

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

// What `parse` makes: "read" with the document, or "refused line:column message".
QString outcome(const std::function<bool(QDomDocument*, ReadError*)>& parse)
{
    QDomDocument document;
    ReadError error;
    if (!parse(&document, &error))
        return QStringLiteral("refused %1:%2 %3").arg(error.line).arg(error.column).arg(error.message);
    QString text = QStringLiteral("read\n");
    describe(document, &text);
    return text + document.toString(-1);
}

// What the plain document parser makes of bytes or of text.
template <typename Content>
QString expected(const Content& content, Namespaces namespaces)
{
    return outcome([&](QDomDocument* document, ReadError* error) {
        return document->setContent(content, namespaces == Namespaces::Processed, &error->message, &error->line,
                                    &error->column);
    });
}

template <typename Input>
QString bounded(const Input& content, Namespaces namespaces)
{
    return outcome([&](QDomDocument* document, ReadError* error) {
        return Velmora::Xml::parseDocument(content, document, error, namespaces);
    });
}

QString boundedAside(const QByteArray& content)
{
    return outcome([&](QDomDocument* document, ReadError* error) {
        return Velmora::Xml::parseDocumentAside(content, document, error);
    });
}

QString boundedFromFile(const QByteArray& content, Namespaces namespaces)
{
    QTemporaryFile file;
    if (!file.open() || file.write(content) != content.size() || !file.flush())
        return QStringLiteral("cannot write");
    return outcome([&](QDomDocument* document, ReadError* error) {
        return Velmora::Xml::readDocument(file.fileName(), document, error, namespaces);
    });
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
    void sameDocumentAsTheDocumentParser_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("verdict"); // "read", "refused", empty for the files as they are
        const auto read = [](const char* name, const QByteArray& content) {
            QTest::newRow(name) << content << QStringLiteral("read");
        };
        const auto refused = [](const char* name, const QByteArray& content) {
            QTest::newRow(name) << content << QStringLiteral("refused");
        };
        for (const char* dir : {VELMORA_TEST_DATA, VELMORA_EXAMPLES}) {
            QDirIterator files(QString::fromUtf8(dir), QDir::Files, QDirIterator::Subdirectories);
            while (files.hasNext()) {
                QFile file(files.next());
                QVERIFY(file.open(QIODevice::ReadOnly));
                QTest::newRow(qPrintable(QDir(QString::fromUtf8(dir)).relativeFilePath(file.fileName())))
                    << file.readAll() << QString();
            }
        }
        read("declaration, standalone", "<?xml version=\"1.0\" standalone=\"no\"?><a/>");
        read("declared encoding", "<?xml version='1.0' encoding='ISO-8859-1'?><a n='\xe9'>\xe9</a>");
        read("UTF-16 with a byte order mark", utf16(QStringLiteral("<a n=\"\u00e9\">\u20ac<b/></a>")));
        read("comments and instructions around the root",
             "<!-- <x> --><?pi <x>?>\n<a><!-- c --><?p d?></a>\n<!--after-->");
        read("markup-like text in attributes and sections", "<a p='x>' q=\"'>'\"><![CDATA[<x><y>]]]]><b/></a>");
        read("whitespace only text", "<a>\n  <b> </b>\t<c>\xc2\xa0</c> x </a>");
        read("references", "<a t='&lt;&#10;&#x41;'> &amp; &#32; <b>&quot;&apos;</b></a>");
        read("line ends", "<a\r\n p='1\r\n2'>\r\n<b/>\r<c/>\r\n</a>");
        read("undeclared entity", "<a>x&nope;y<b/></a>");
        read("undeclared entity in an attribute", "<a b='&nope;'/>");
        read("broken UTF-8", "<a n='\xff'>\xfe\xfe</a>");
        read("document type", "<!DOCTYPE a SYSTEM \"a.dtd\"><a/>");
        read("internal subset",
             "<!DOCTYPE a [\n<!ENTITY e \"<b>text</b>\">\n<!-- ] > -->\n<!ENTITY f 'x'>]>\n<a>&e;&f;</a>");
        read("namespaces",
             "<kml xmlns=\"http://www.opengis.net/kml/2.2\" xmlns:g=\"urn:g\"><g:a g:b='1' c='2'/><d/></kml>");
        read("tabs and line ends in attribute values", "<a x='1\t2' y='3\n4' z='5\r\n6' w='7&#9;8&#13;'/>");
        read("whitespace only character data", "<a>  <![CDATA[  ]]>  <b><![CDATA[]]></b></a>");
        read("spaces by reference", "<a>&#32;<b>&#x20;&#9;</b> &#10; </a>");
        read("adjacent pieces of text", "<a>x&amp;<![CDATA[y]]>z&#65;<!--c-->w<?p?>v</a>");
        read("empty comment and instructions", "<a><!----><?p?><?q  x  ?></a>");
        read("byte order mark and declared UTF-8",
             "\xef\xbb\xbf<?xml version='1.0' encoding='UTF-8'?>\n<a>\xc3\xa9</a>");
        read("UTF-16 big endian, declared", // with its byte order mark
             QTextCodec::codecForName("UTF-16BE")->fromUnicode(
                 QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?><a n=\"\u00e9\">\u20ac</a>")));
        refused("declared UTF-16, bytes UTF-8", "<?xml version='1.0' encoding='UTF-16'?><a>\xc3\xa9</a>");
        read("undeclared prefix", "<a><u:b u:c='1'/></a>");
        read("prefix declared again deeper", "<a xmlns:p='urn:p' p:x='1'><p:b xmlns:p='urn:q' p:c='1'/><p:d/></a>");
        read("default namespace undone", "<a xmlns='urn:d'><b xmlns=''/><c/></a>");
        refused("declaration only", "<?xml version='1.0'?>");
        refused("unterminated comment", "<a><!-- x</a>");
        refused("end tag only", "</a>");
        read("NUL character", QByteArray("<a>x\0y</a>", 10));
        read("reference to NUL", "<a>&#0;</a>");
        read("reference to a lone surrogate", "<a>&#xD800;</a>");
        refused("mismatched end tag", "<a><b></a></b>");
        refused("truncated", "<a><b n='1'");
        read("duplicate attribute", "<a n='1' n='2'/>");
        refused("text after the root", "<a/>tail");
        refused("two roots", "<a/><b/>");
        refused("empty", {});
        refused("not XML", "{\"a\": 1}");
    }

    void sameDocumentAsTheDocumentParser()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, verdict);
        if (!verdict.isEmpty())
            QCOMPARE(expected(content, Namespaces::Ignored).section('\n', 0, 0).section(' ', 0, 0), verdict);
        const QString text = QString::fromUtf8(content);
        for (Namespaces namespaces : {Namespaces::Ignored, Namespaces::Processed}) {
            const QString fromBytes = expected(content, namespaces);
            QCOMPARE(bounded(content, namespaces), fromBytes);
            QCOMPARE(boundedFromFile(content, namespaces), fromBytes);
            QCOMPARE(bounded(text, namespaces), expected(text, namespaces));
        }
        QCOMPARE(boundedAside(content), expected(content, Namespaces::Ignored));
    }

    void nestingIsBounded_data()
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
                + QByteArray("</x>").repeated(300) + "\">]>\n<Zone>&o;</Zone>" << "*";
    }

    void nestingIsBounded()
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
    void releasedAside()
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
};

QTEST_GUILESS_MAIN(XmlDocumentTest)
#include "tst_xmldocument.moc"
