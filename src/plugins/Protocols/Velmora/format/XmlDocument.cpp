#include "XmlDocument.h"

#include "TokenDigest.h"

#include <QDomDocument>
#include <QFile>
#include <QRegularExpression>
#include <QTextCodec>
#include <QXmlStreamReader>

namespace Velmora {
namespace Xml {

namespace {

// The document parser takes an undeclared entity as an empty reference and
// reads on; so does the depth pass.
class LenientEntities final : public QXmlStreamEntityResolver
{
public:
    QString resolveUndeclaredEntity(const QString&) override { return QString(QLatin1String("")); }
};

enum class Pass { Read, TooDeep, Stopped };

void setTooDeep(ReadError* error, qint64 line, qint64 column)
{
    if (!error)
        return;
    error->kind = ReadError::TooDeep;
    error->message = nestingTooDeepMessage();
    error->line = int(line);
    error->column = int(column);
}

// Stopped: the streaming reader gave up before the end, and the document
// parser, more lenient, may read on past that point.
Pass depthPass(QXmlStreamReader& reader, ReadError* error)
{
    LenientEntities entities;
    reader.setEntityResolver(&entities);
    reader.setNamespaceProcessing(false);
    int depth = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::EndElement) {
            --depth;
        } else if (token == QXmlStreamReader::StartElement && ++depth > MaxNestingDepth) {
            // Counted from 1, just after the start tag, as the loader reports it.
            setTooDeep(error, reader.lineNumber(), reader.columnNumber() + 1);
            return Pass::TooDeep;
        }
    }
    return reader.hasError() ? Pass::Stopped : Pass::Read;
}

// Where markup that skips to `close` ends: just after it, or the text's end.
int skipPast(const QString& text, int from, QLatin1String close)
{
    const int found = text.indexOf(close, from);
    return found < 0 ? text.size() : found + close.size();
}

// Past a quoted value starting at `from` (on its quote).
int skipQuoted(const QString& text, int from)
{
    const int found = text.indexOf(text.at(from), from + 1);
    return found < 0 ? text.size() : found + 1;
}

// Past a declaration after "<!" (a document type with its internal subset).
int skipDeclaration(const QString& text, int from)
{
    int brackets = 0;
    for (int i = from; i < text.size();) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            i = skipQuoted(text, i);
        } else if (text.midRef(i, 4) == QLatin1String("<!--")) {
            i = skipPast(text, i + 4, QLatin1String("-->"));
        } else if (text.midRef(i, 2) == QLatin1String("<?")) {
            i = skipPast(text, i + 2, QLatin1String("?>"));
        } else {
            if (c == QLatin1Char('['))
                ++brackets;
            else if (c == QLatin1Char(']'))
                --brackets;
            else if (c == QLatin1Char('>') && brackets <= 0)
                return i + 1;
            ++i;
        }
    }
    return text.size();
}

// Past a start tag whose name begins at `from`; *empty tells "<a/>".
int skipStartTag(const QString& text, int from, bool* empty)
{
    for (int i = from; i < text.size();) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            i = skipQuoted(text, i);
            continue;
        }
        if (c == QLatin1Char('>')) {
            *empty = text.at(i - 1) == QLatin1Char('/');
            return i + 1;
        }
        ++i;
    }
    *empty = true; // never closed: the parser stops there
    return text.size();
}

// Where the text's elements pass the nesting bound, by its markup alone: for
// text the streaming reader gave up on. It counts every start tag the document
// parser could still open, so it errs on the deep side. -1 when within bounds.
int tooDeepAt(const QString& text)
{
    int depth = 0;
    for (int i = text.indexOf(QLatin1Char('<')); i >= 0 && i + 1 < text.size();
         i = text.indexOf(QLatin1Char('<'), i)) {
        const QStringRef next = text.midRef(i + 1);
        if (next.startsWith(QLatin1Char('/'))) {
            depth = std::max(0, depth - 1);
            i = skipPast(text, i + 2, QLatin1String(">"));
        } else if (next.startsWith(QLatin1Char('?'))) {
            i = skipPast(text, i + 2, QLatin1String("?>"));
        } else if (next.startsWith(QLatin1String("!--"))) {
            i = skipPast(text, i + 4, QLatin1String("-->"));
        } else if (next.startsWith(QLatin1String("![CDATA["))) {
            i = skipPast(text, i + 9, QLatin1String("]]>"));
        } else if (next.startsWith(QLatin1Char('!'))) {
            i = skipDeclaration(text, i + 2);
        } else {
            bool empty = false;
            i = skipStartTag(text, i + 1, &empty);
            if (!empty && ++depth > MaxNestingDepth)
                return i;
        }
    }
    return -1;
}

bool scanFailed(const QString& text, ReadError* error)
{
    const int at = tooDeepAt(text);
    if (at < 0)
        return false;
    const int lineStart = text.lastIndexOf(QLatin1Char('\n'), at - 1) + 1;
    setTooDeep(error, text.leftRef(at).count(QLatin1Char('\n')) + 1, at - lineStart + 1);
    return true;
}

// The characters of bytes as the document parser decodes them: by their byte
// order mark, else by the encoding they declare, else as UTF-8.
QString decode(const QByteArray& bytes)
{
    QTextCodec* codec = QTextCodec::codecForUtfText(bytes, nullptr);
    if (!codec) {
        static const QRegularExpression declaration(
            QStringLiteral("^\\s*<\\?xml[^>]*encoding\\s*=\\s*[\"']([A-Za-z0-9._:-]+)[\"']"));
        const QRegularExpressionMatch match = declaration.match(QString::fromLatin1(bytes.left(256)));
        if (match.hasMatch())
            codec = QTextCodec::codecForName(match.captured(1).toLatin1());
    }
    if (!codec)
        codec = QTextCodec::codecForMib(106); // UTF-8
    return codec->toUnicode(bytes);
}

bool documentParsed(bool parsed, const QString& message, int line, int column, ReadError* error)
{
    if (!parsed && error) {
        error->kind = ReadError::Syntax;
        error->message = message;
        error->line = line;
        error->column = column;
    }
    return parsed;
}

} // namespace

bool parseDocument(const QByteArray& data, QDomDocument* document, ReadError* error, Namespaces namespaces)
{
    QXmlStreamReader reader(data);
    const Pass pass = depthPass(reader, error);
    if (pass == Pass::TooDeep || (pass == Pass::Stopped && scanFailed(decode(data), error)))
        return false;
    QString message;
    int line = 0;
    int column = 0;
    const bool parsed = document->setContent(data, namespaces == Namespaces::Processed, &message, &line, &column);
    return documentParsed(parsed, message, line, column, error);
}

bool parseDocument(const QString& text, QDomDocument* document, ReadError* error, Namespaces namespaces)
{
    QXmlStreamReader reader(text);
    const Pass pass = depthPass(reader, error);
    if (pass == Pass::TooDeep || (pass == Pass::Stopped && scanFailed(text, error)))
        return false;
    QString message;
    int line = 0;
    int column = 0;
    const bool parsed = document->setContent(text, namespaces == Namespaces::Processed, &message, &line, &column);
    return documentParsed(parsed, message, line, column, error);
}

bool parseDocument(QIODevice* device, QDomDocument* document, ReadError* error, Namespaces namespaces)
{
    if (device->isSequential())
        return parseDocument(device->readAll(), document, error, namespaces);
    // Read twice from the device rather than held whole besides the document.
    const qint64 start = device->pos();
    QXmlStreamReader reader(device);
    const Pass pass = depthPass(reader, error);
    if (pass == Pass::TooDeep)
        return false;
    if (pass == Pass::Stopped) {
        device->seek(start);
        if (scanFailed(decode(device->readAll()), error))
            return false;
    }
    device->seek(start);
    QString message;
    int line = 0;
    int column = 0;
    const bool parsed = document->setContent(device, namespaces == Namespaces::Processed, &message, &line, &column);
    return documentParsed(parsed, message, line, column, error);
}

bool readDocument(const QString& fileName, QDomDocument* document, ReadError* error, Namespaces namespaces)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) {
            error->kind = ReadError::CannotOpen;
            error->message = file.errorString();
        }
        return false;
    }
    return parseDocument(&file, document, error, namespaces);
}

} // namespace Xml
} // namespace Velmora
