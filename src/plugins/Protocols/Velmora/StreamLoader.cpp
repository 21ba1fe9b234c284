#include "StreamLoader.h"

#include <QTextCodec>
#include <QXmlStreamReader>

#include <cstring>

#include "ZoneReading.h"
#include "format/Vocabulary.h"

namespace Velmora {

namespace {

// Hands the file's bytes to the streaming reader and watches them for what
// that reader normalises but the document parser keeps as it is: a tab or a
// line break inside an attribute value becomes a blank for one and stays for
// the other, so names would differ. Encodings that are not ASCII-compatible
// are left to the document path too. Only well-formed input needs to be
// followed correctly: anything else ends in a syntax error of the reader.
class ByteWatch final : public QIODevice
{
public:
    explicit ByteWatch(QIODevice* source)
        : m_source(source)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

    bool isSequential() const override { return true; }
    // Something was seen that the two parsers may read differently.
    bool isSuspicious() const { return m_suspicious; }
    bool startsWithUtf8Mark() const { return m_utf8Mark; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 read = m_source->read(data, maxSize);
        if (read > 0 && !m_suspicious)
            scan(data, data + read);
        return read;
    }

    qint64 writeData(const char*, qint64) override { return -1; }

private:
    enum State : quint8 {
        Text,
        Open,     // after '<'
        StartTag, // between the attributes of a start tag
        Quoted,   // inside an attribute value, up to m_quote
        Bang,     // after "<!"
        Until,    // inside markup without attributes, up to m_close
    };

    void scan(const char* p, const char* end);
    void skipUntil(const char* close)
    {
        m_state = Until;
        m_close = close;
        m_matched = 0;
    }
    // Moves p to the first c before end; false (p at end) when there is none.
    static bool skipTo(const char*& p, const char* end, char c)
    {
        const void* found = std::memchr(p, c, size_t(end - p));
        p = found ? static_cast<const char*>(found) : end;
        return found;
    }

    QIODevice* m_source;
    State m_state = Text;
    char m_quote = '"';
    // The end of a comment, CDATA section, processing instruction or end
    // tag, and how much of it the bytes so far end with.
    const char* m_close = nullptr;
    int m_matched = 0;
    bool m_first = true;
    bool m_utf8Mark = false;
    bool m_suspicious = false;
};

void ByteWatch::scan(const char* p, const char* end)
{
    if (m_first) {
        m_first = false;
        // UTF-16 and UTF-32, with or without a byte order mark, have a zero
        // or a 0xFE/0xFF byte among the first four.
        if (end - p < 4) {
            m_suspicious = true;
            return;
        }
        for (int i = 0; i < 4; ++i) {
            const uchar c = uchar(p[i]);
            if (c == 0x00 || c == 0xFE || c == 0xFF)
                m_suspicious = true;
        }
        m_utf8Mark = uchar(p[0]) == 0xEF && uchar(p[1]) == 0xBB && uchar(p[2]) == 0xBF;
        if (m_suspicious)
            return;
    }
    while (p < end) {
        switch (m_state) {
        case Text:
            if (!skipTo(p, end, '<'))
                return;
            ++p;
            m_state = Open;
            break;
        case Open:
            switch (*p) {
            case '!':
                m_state = Bang;
                break;
            case '?':
                skipUntil("?>");
                break;
            case '/':
                skipUntil(">");
                break;
            default:
                m_state = StartTag;
                continue; // the name's first byte is the tag's
            }
            ++p;
            break;
        case StartTag:
            for (; p < end; ++p) {
                const char c = *p;
                if (c == '"' || c == '\'') {
                    m_quote = c;
                    m_state = Quoted;
                    ++p;
                    break;
                }
                if (c == '>') {
                    m_state = Text;
                    ++p;
                    break;
                }
            }
            break;
        case Quoted: {
            const char* start = p;
            const bool closed = skipTo(p, end, m_quote);
            for (const char* c = start; c < p; ++c) {
                if (uchar(*c) < 0x20) {
                    m_suspicious = true;
                    return;
                }
            }
            if (closed) {
                ++p;
                m_state = StartTag;
            }
            break;
        }
        case Bang:
            if (*p == '-') {
                skipUntil("-->");
            } else if (*p == '[') {
                skipUntil("]]>");
            } else {
                // A document type declaration: the reader reports it too.
                m_suspicious = true;
                return;
            }
            ++p;
            break;
        case Until: {
            if (m_matched == 0 && !skipTo(p, end, m_close[0]))
                return;
            const char c = *p++;
            if (c == m_close[m_matched]) {
                if (m_close[++m_matched] == '\0')
                    m_state = Text;
            } else if (c == m_close[0]) {
                // "--->" and "]]]>" still end: a run of the first byte keeps its match.
                if (m_close[m_matched - 1] != c)
                    m_matched = 1;
            } else {
                m_matched = 0;
            }
            break;
        }
        }
    }
}

// The streaming reader takes names that the document parser refuses; a file
// with such a name goes to the document path. Plain: a letter or '_', then
// letters, digits, '_', '-', '.'.
bool isNameStart(ushort c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool isPlainName(const QStringRef& name)
{
    const QChar* chars = name.unicode();
    const int size = name.size();
    if (size == 0 || !isNameStart(chars[0].unicode()))
        return false;
    for (int i = 1; i < size; ++i) {
        const ushort c = chars[i].unicode();
        if (!isNameStart(c) && !(c >= '0' && c <= '9') && c != '-' && c != '.')
            return false;
    }
    return true;
}

// Encodings both parsers decode alike, byte for byte.
bool isPlainEncoding(const QStringRef& name, bool utf8Mark)
{
    if (name.isEmpty())
        return true;
    const QTextCodec* codec = QTextCodec::codecForName(name.toLatin1());
    if (!codec)
        return false;
    const int utf8 = 106;
    const int windows1251 = 2251;
    return codec->mibEnum() == utf8 || (codec->mibEnum() == windows1251 && !utf8Mark);
}

// Text that the document parser drops as blank: it tests the characters
// after references are resolved, with QChar::isSpace.
bool isBlank(const QStringRef& text)
{
    const QChar* chars = text.unicode();
    for (int i = 0, size = text.size(); i < size; ++i) {
        if (!chars[i].isSpace())
            return false;
    }
    return true;
}

} // namespace

class StreamLoader::Private final : public TokenObserver
{
public:
    // Hands each token the digest pass reads to the zone's reading.
    void observe(const QXmlStreamReader& reader, int openElements) override;

    // What an element is to the model, from its place under its parent.
    enum Role : quint8 {
        Skip, // nothing the model reads, down to its last descendant
        Top,  // above the root element
        Root,
        ZoneGeometry,
        ZoneControllers,
        AreaList,
        AreaElement,
        AreaGeometry,
        AreaControllers,
        StateList,
        StrategyList,
    };

    explicit Private(const QString& sourceName)
        : reading(sourceName)
    {
        roles[0] = Top;
    }

    void startDocument(const QXmlStreamReader& reader, bool utf8Mark)
    {
        if (!isPlainEncoding(reader.documentEncoding(), utf8Mark))
            suspicious = true;
    }

    // The element just opened at `depth`.
    void startElement(const QXmlStreamReader& reader)
    {
        const QXmlStreamAttributes attributes = reader.attributes();
        bool plain = isPlainName(reader.name());
        for (const QXmlStreamAttribute& attribute : attributes)
            plain = isPlainName(attribute.name()) && plain;
        if (!plain || !reader.namespaceDeclarations().isEmpty())
            suspicious = true;
        if (suspicious)
            return;
        const Role parent = roles[depth - 1];
        roles[depth] = parent == Skip ? Skip : childRole(parent, reader, attributes);
    }

    void endElement()
    {
        if (!suspicious && roles[depth] == AreaElement)
            reading.endArea();
    }

    void characters(const QXmlStreamReader& reader)
    {
        Role& role = roles[depth];
        if (role != ZoneGeometry && role != AreaGeometry && role != AreaControllers)
            return;
        // The element's text is its first text node; blank text between its
        // children is no node for the document parser, CDATA always is.
        const QStringRef text = reader.text();
        if (!reader.isCDATA() && isBlank(text))
            return;
        switch (role) {
        case ZoneGeometry:
            reading.zoneOutline(text.toString());
            break;
        case AreaGeometry:
            reading.areaOutline(text.toString());
            break;
        default:
            reading.areaControllers(text);
            break;
        }
        role = Skip;
    }

    Role childRole(Role parent, const QXmlStreamReader& reader, const QXmlStreamAttributes& attributes)
    {
        const QStringRef tag = reader.qualifiedName();
        const int line = int(reader.lineNumber());
        const auto id = [&attributes] { return attributes.value(Xml::id); };
        const auto name = [&attributes] { return attributes.value(Xml::name).toString(); };
        switch (parent) {
        case Top:
            return reading.root(id(), name(), line, tag.toString()) ? Root : Skip;
        case Root:
            // Only the first child of each name counts, as firstChildElement() finds it.
            if (tag == Xml::Geometry)
                return first(&zoneGeometrySeen, ZoneGeometry);
            if (tag == Xml::Controllers)
                return first(&zoneControllersSeen, ZoneControllers);
            if (tag == Xml::Areas)
                return first(&areasSeen, AreaList);
            if (tag == Xml::Strategies)
                return first(&strategiesSeen, StrategyList);
            return Skip;
        case ZoneControllers:
            if (tag == Xml::Controller)
                reading.controller(id(), name(), line);
            return Skip;
        case StrategyList:
            if (tag == Xml::Strategy)
                reading.strategy(id(), name(), line);
            return Skip;
        case AreaList:
            return tag == Xml::Area ? startArea(id(), name(), line) : Skip;
        case AreaElement:
            if (tag == Xml::Geometry)
                return first(&areaGeometrySeen, AreaGeometry);
            if (tag == Xml::Controllers)
                return first(&areaControllersSeen, AreaControllers);
            if (tag == Xml::States)
                return first(&areaStatesSeen, StateList);
            return Skip;
        case StateList:
            if (tag == Xml::State)
                reading.state(id(), name(), line);
            return Skip;
        default:
            return Skip;
        }
    }

    static Role first(bool* seen, Role role)
    {
        if (*seen)
            return Skip;
        *seen = true;
        return role;
    }

    Role startArea(const QStringRef& id, const QString& name, int line)
    {
        if (!reading.beginArea(id, name, line))
            return Skip;
        areaGeometrySeen = areaControllersSeen = areaStatesSeen = false;
        return AreaElement;
    }

    ZoneReading reading;
    // The file's bytes as the reader sees them, while reading.
    ByteWatch* bytes = nullptr;
    TokenDigest pass;
    bool suspicious = false;
    int depth = 0;
    Role roles[MaxNestingDepth + 1];

    bool zoneGeometrySeen = false;
    bool zoneControllersSeen = false;
    bool areasSeen = false;
    bool strategiesSeen = false;
    // What of the area being read has been seen.
    bool areaGeometrySeen = false;
    bool areaControllersSeen = false;
    bool areaStatesSeen = false;
};

StreamLoader::StreamLoader(const QString& sourceName)
    : d(new Private(sourceName))
{
}

StreamLoader::~StreamLoader() = default;

void StreamLoader::read(QIODevice* device)
{
    ByteWatch bytes(device);
    // The digest's own walk: the digest, and where and why reading stopped,
    // come out exactly as for a file that is only digested.
    d->bytes = &bytes;
    d->pass = digestTokens(&bytes, d.data());
    d->bytes = nullptr;
    if (bytes.isSuspicious())
        d->suspicious = true;
}

void StreamLoader::Private::observe(const QXmlStreamReader& reader, int openElements)
{
    depth = openElements;
    switch (reader.tokenType()) {
    case QXmlStreamReader::StartDocument:
        startDocument(reader, bytes->startsWithUtf8Mark());
        break;
    case QXmlStreamReader::StartElement:
        startElement(reader);
        break;
    case QXmlStreamReader::EndElement:
        endElement();
        break;
    case QXmlStreamReader::Characters:
        if (!suspicious)
            characters(reader);
        break;
    case QXmlStreamReader::DTD:
    case QXmlStreamReader::EntityReference:
    case QXmlStreamReader::ProcessingInstruction:
        suspicious = true;
        break;
    default:
        break;
    }
}

const TokenDigest& StreamLoader::pass() const
{
    return d->pass;
}

bool StreamLoader::isSettled() const
{
    return d->pass.isComplete() && !d->suspicious;
}

ZoneDescription StreamLoader::description()
{
    Q_ASSERT(isSettled());
    return d->reading.finish();
}

} // namespace Velmora
