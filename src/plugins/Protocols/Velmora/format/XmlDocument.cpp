#include "XmlDocument.h"

#include "TokenDigest.h"

#include <QBuffer>
#include <QDomDocument>
#include <QFile>
#include <QSemaphore>
#include <QThreadPool>
#include <QXmlInputSource>
#include <QXmlStreamReader>

#include <algorithm>

// The document parser only takes its input as a QXmlInputSource, which Qt
// deprecates along with that parser; it is the parser QDomDocument uses.
QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED

namespace Velmora {
namespace Xml {

namespace {

void setTooDeep(ReadError* error, qint64 line, qint64 column)
{
    if (!error)
        return;
    error->kind = ReadError::TooDeep;
    error->message = nestingTooDeepMessage();
    error->line = int(line);
    error->column = int(column);
}

// Follows the nesting of the markup in characters handed over a piece at a
// time, counting every start tag the document parser could open. It does not
// see inside entities, so a document type with an internal subset, which can
// declare entities holding markup, is a verdict of its own.
class NestingScanner
{
public:
    enum class Verdict { Within, TooDeep, InternalSubset };

    explicit NestingScanner(bool stopAtInternalSubset) : m_stopAtInternalSubset(stopAtInternalSubset) {}

    // How many of the characters come before the verdict: all while within bounds.
    int scan(const QString& chars)
    {
        if (m_verdict != Verdict::Within)
            return 0;
        const int end = scanUntilVerdict(chars);
        advancePosition(chars, end);
        return end;
    }

    Verdict verdict() const { return m_verdict; }
    // Where the verdict fell, counted from 1: just after the markup that decided it.
    qint64 line() const { return m_lines + 1; }
    qint64 column() const { return m_offset - m_lineStart + 1; }

private:
    enum class State {
        Text, Open, StartTag, Quoted, EndTag, Instruction, InstructionEnd, Bang, BangDash, Comment, CData,
        Declaration, DeclarationQuoted
    };

    int scanUntilVerdict(const QString& chars)
    {
        const QChar* data = chars.constData();
        const int size = chars.size();
        for (int i = 0; i < size; ++i) {
            if (m_state == State::Text) {
                i = chars.indexOf(QLatin1Char('<'), i);
                if (i < 0)
                    return size;
            }
            step(data[i]);
            if (m_verdict != Verdict::Within)
                return i + 1;
        }
        return size;
    }

    void step(QChar c)
    {
        const char16_t u = c.unicode();
        switch (m_state) {
        case State::Text:
            m_state = State::Open;
            break;
        case State::Open:
            if (u == '/')
                m_state = State::EndTag;
            else if (u == '?')
                m_state = State::Instruction;
            else if (u == '!')
                m_state = State::Bang;
            else
                startTag(u);
            break;
        case State::StartTag:
            startTag(u);
            break;
        case State::Quoted:
        case State::DeclarationQuoted:
            if (u == m_quote)
                m_state = m_state == State::Quoted ? State::StartTag : State::Declaration;
            break;
        case State::EndTag:
            if (u == '>') {
                m_depth = std::max(0, m_depth - 1);
                m_state = State::Text;
            }
            break;
        case State::Instruction:
        case State::InstructionEnd:
            m_state = u == '?' ? State::InstructionEnd
                      : (u == '>' && m_state == State::InstructionEnd) ? State::Text : State::Instruction;
            break;
        case State::Bang:
            m_state = u == '-' ? State::BangDash : u == '[' ? State::CData : State::Declaration;
            m_run = 0;
            if (m_state == State::Declaration)
                declaration(u);
            break;
        case State::BangDash:
            m_state = u == '-' ? State::Comment : State::Declaration;
            if (m_state == State::Declaration)
                declaration(u);
            break;
        case State::Comment:
            closeAfterRun(u, '-');
            break;
        case State::CData:
            closeAfterRun(u, ']');
            break;
        case State::Declaration:
            declaration(u);
            break;
        }
    }

    void startTag(char16_t u)
    {
        m_state = State::StartTag;
        if (u == '"' || u == '\'') {
            m_quote = u;
            m_state = State::Quoted;
        } else if (u == '>') {
            m_state = State::Text;
            if (!m_slash && ++m_depth > MaxNestingDepth)
                m_verdict = Verdict::TooDeep;
        }
        m_slash = u == '/';
    }

    // Comments end at "-->", character data at "]]>".
    void closeAfterRun(char16_t u, char16_t repeated)
    {
        if (u == '>' && m_run >= 2)
            m_state = State::Text;
        m_run = u == repeated ? m_run + 1 : 0;
    }

    void declaration(char16_t u)
    {
        if (u == '"' || u == '\'') {
            m_quote = u;
            m_state = State::DeclarationQuoted;
        } else if (u == '[' && m_stopAtInternalSubset) {
            m_verdict = Verdict::InternalSubset;
        } else if (u == '>' && !m_inSubset) {
            m_state = State::Text;
        } else if (u == '[' || u == ']') {
            m_inSubset = u == '[';
        }
    }

    void advancePosition(const QString& chars, int end)
    {
        const QStringRef scanned = chars.leftRef(end);
        m_lines += scanned.count(QLatin1Char('\n'));
        const int lastBreak = scanned.lastIndexOf(QLatin1Char('\n'));
        if (lastBreak >= 0)
            m_lineStart = m_offset + lastBreak + 1;
        m_offset += end;
    }

    const bool m_stopAtInternalSubset;
    Verdict m_verdict = Verdict::Within;
    State m_state = State::Text;
    int m_depth = 0;
    int m_run = 0;
    char16_t m_quote = 0;
    bool m_slash = false;
    bool m_inSubset = false;
    qint64 m_lines = 0;
    qint64 m_offset = 0;
    qint64 m_lineStart = 0;
};

// Hands the document parser its characters up to the point the scanner
// stopped at; the parser then ends on an unexpected end of input.
class BoundedInput final : public QXmlInputSource
{
public:
    BoundedInput(QIODevice* device, bool stopAtInternalSubset)
        : QXmlInputSource(device), m_scanner(stopAtInternalSubset)
    {
    }
    explicit BoundedInput(bool stopAtInternalSubset) : m_scanner(stopAtInternalSubset) {}

    void setData(const QString& chars) override
    {
        const int passed = m_scanner.scan(chars);
        QXmlInputSource::setData(passed < chars.size() ? chars.left(passed) : chars);
    }
    using QXmlInputSource::setData;

    void fetchData() override
    {
        if (m_scanner.verdict() == NestingScanner::Verdict::Within) {
            QXmlInputSource::fetchData();
        } else {
            m_cutReached = true;
            QXmlInputSource::setData(QString());
        }
    }

    // The scanner's verdict once the parser read up to where it cut the input:
    // the parser may refuse the input before that, for a reason of its own.
    NestingScanner::Verdict verdict() const
    {
        return m_cutReached ? m_scanner.verdict() : NestingScanner::Verdict::Within;
    }
    const NestingScanner& scanner() const { return m_scanner; }

private:
    NestingScanner m_scanner;
    bool m_cutReached = false;
};

enum class Outcome { Parsed, Refused, InternalSubset };

Outcome parseBounded(BoundedInput* input, QDomDocument* document, ReadError* error, Namespaces namespaces)
{
    QString message;
    int line = 0;
    int column = 0;
    const bool parsed = document->setContent(input, namespaces == Namespaces::Processed, &message, &line, &column);
    const NestingScanner& scanner = input->scanner();
    switch (input->verdict()) {
    case NestingScanner::Verdict::TooDeep:
        setTooDeep(error, scanner.line(), scanner.column());
        return Outcome::Refused;
    case NestingScanner::Verdict::InternalSubset:
        return Outcome::InternalSubset;
    case NestingScanner::Verdict::Within:
        break;
    }
    if (!parsed && error) {
        error->kind = ReadError::Syntax;
        error->message = message;
        error->line = line;
        error->column = column;
    }
    return parsed ? Outcome::Parsed : Outcome::Refused;
}

// The document parser takes an undeclared entity as an empty reference and
// reads on; so does the depth pass.
class LenientEntities final : public QXmlStreamEntityResolver
{
public:
    QString resolveUndeclaredEntity(const QString&) override { return QString(QLatin1String("")); }
};

// Entities declared in the document can nest elements its markup does not
// show: the streaming reader expands them and counts their elements. False when
// the bound is passed; where the reader gives up, the markup scan still counts.
bool entitiesWithinBounds(QXmlStreamReader& reader, ReadError* error)
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
            return false;
        }
    }
    return true;
}

} // namespace

bool parseDocument(const QByteArray& data, QDomDocument* document, ReadError* error, Namespaces namespaces)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    return parseDocument(&buffer, document, error, namespaces);
}

bool parseDocument(const QString& text, QDomDocument* document, ReadError* error, Namespaces namespaces)
{
    BoundedInput input(true);
    input.setData(text);
    const Outcome outcome = parseBounded(&input, document, error, namespaces);
    if (outcome != Outcome::InternalSubset)
        return outcome == Outcome::Parsed;
    QXmlStreamReader reader(text);
    if (!entitiesWithinBounds(reader, error))
        return false;
    BoundedInput withSubset(false);
    withSubset.setData(text);
    return parseBounded(&withSubset, document, error, namespaces) == Outcome::Parsed;
}

bool parseDocument(QIODevice* device, QDomDocument* document, ReadError* error, Namespaces namespaces)
{
    if (device->isSequential())
        return parseDocument(device->readAll(), document, error, namespaces);
    const qint64 start = device->pos();
    {
        BoundedInput input(device, true);
        const Outcome outcome = parseBounded(&input, document, error, namespaces);
        if (outcome != Outcome::InternalSubset)
            return outcome == Outcome::Parsed;
    }
    // Read again from the device rather than held whole besides the document.
    device->seek(start);
    QXmlStreamReader reader(device);
    if (!entitiesWithinBounds(reader, error))
        return false;
    device->seek(start);
    BoundedInput withSubset(device, false);
    return parseBounded(&withSubset, document, error, namespaces) == Outcome::Parsed;
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

namespace {

// One thread at a time: documents parsed on it and freed on it stay in one
// heap of their own. Idle for a while, it ends (nothing of the library stays
// running in a host that unloads it); the next one takes over its heap. The
// library's end waits for what it has still to free.
class AsideThread : public QThreadPool
{
public:
    AsideThread()
    {
        setMaxThreadCount(1);
        setExpiryTimeout(2000);
    }
};

Q_GLOBAL_STATIC(AsideThread, asideThread)

} // namespace

bool parseDocumentAside(const QByteArray& data, QDomDocument* document, ReadError* error)
{
    // While the library ends, its thread is gone: the caller's thread serves.
    if (asideThread.isDestroyed())
        return parseDocument(data, document, error);
    bool parsed = false;
    QSemaphore done;
    asideThread()->start([&] {
        parsed = parseDocument(data, document, error);
        done.release();
    });
    done.acquire();
    return parsed;
}

void releaseAside(QDomDocument* document)
{
    if (asideThread.isDestroyed()) {
        *document = QDomDocument();
        return;
    }
    auto* held = new QDomDocument(*document);
    *document = QDomDocument();
    asideThread()->start([held] { delete held; });
}

} // namespace Xml
} // namespace Velmora

QT_WARNING_POP
