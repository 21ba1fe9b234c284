#include "StreamLoader.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QHash>
#include <QPainterPath>
#include <QTextCodec>
#include <QVector>
#include <QXmlStreamReader>

#include <cstring>
#include <memory>

#include "Area.h"
#include "AreaPrivate.h"
#include "Container.h"
#include "Controller.h"
#include "Strategy.h"
#include "Zone.h"
#include "ZonePrivate.h"
#include "format/ConfigReader.h"
#include "format/Vocabulary.h"
#include "graphics/AbstractItem.h"

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
    // Builds from each token the digest pass reads.
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

    // A message of the model's reading, logged when the file has been read,
    // in the order the document path logs them.
    struct Message
    {
        enum Kind : quint8 { DuplicateController, DuplicateArea, DuplicateStrategy, DuplicateState, InvalidStates };
        Kind kind;
        int line;
        int id;
    };

    // One list of the zone as read so far.
    template<typename T>
    struct List
    {
        QVector<T*> objects; // document order, duplicates included
        QHash<int, T*> index;
        QVector<Message> messages;
        // Set with the text that fails the load when an element had no valid
        // id; the rest of the list is not read, as the document path stops there.
        bool ended = false;
        QString error;

        // The id of a new member, or false (and the list ended) when it has none.
        bool readId(const QXmlStreamAttributes& attributes, int line, const QStringRef& tag, int* id)
        {
            if (Config::readId(attributes.value(Xml::id), id))
                return true;
            ended = true;
            error = BaseObject::missingIdError(line, tag.toString());
            return false;
        }

        void add(T* object, int line, typename Message::Kind duplicate)
        {
            const int id = object->id();
            if (Config::keepLater(&index, id, object))
                messages.append(Message {duplicate, line, id});
            objects.append(object);
        }
    };

    explicit Private(Zone* owner)
        : zone(owner)
    {
        roles[0] = Top;
    }

    ~Private()
    {
        // Whatever was not handed to the zone.
        qDeleteAll(controllers.objects);
        qDeleteAll(areas.objects);
        qDeleteAll(strategies.objects);
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
            endArea();
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
            zoneHasOutline = Rare::Graphics::AbstractItem::readOutline(text.toString(), &zoneOutline);
            break;
        case AreaGeometry: {
            QPainterPath outline;
            if (Rare::Graphics::AbstractItem::readOutline(text.toString(), &outline))
                areaPart->item->setPath(outline);
            areaPart->outline = areaPart->item->path();
            break;
        }
        default:
            areaPart->objects = Area::controllerIds(text);
            break;
        }
        role = Skip;
    }

    Role childRole(Role parent, const QXmlStreamReader& reader, const QXmlStreamAttributes& attributes)
    {
        const QStringRef tag = reader.qualifiedName();
        const int line = int(reader.lineNumber());
        switch (parent) {
        case Top:
            return startRoot(attributes, line, tag);
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
        case ZoneControllers: {
            int id = -1;
            if (tag == Xml::Controller && !controllers.ended && controllers.readId(attributes, line, tag, &id))
                controllers.add(new Controller(id, attributes.value(Xml::name).toString()), line,
                                Message::DuplicateController);
            return Skip;
        }
        case StrategyList: {
            int id = -1;
            if (tag == Xml::Strategy && !strategies.ended && strategies.readId(attributes, line, tag, &id))
                strategies.add(new Strategy(id, attributes.value(Xml::name).toString()), line,
                               Message::DuplicateStrategy);
            return Skip;
        }
        case AreaList:
            return tag == Xml::Area ? startArea(attributes, line, tag) : Skip;
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
                readState(attributes, line);
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

    Role startRoot(const QXmlStreamAttributes& attributes, int line, const QStringRef& tag)
    {
        if (!Config::readId(attributes.value(Xml::id), &rootId)) {
            rootError = BaseObject::missingIdError(line, tag.toString());
            return Skip;
        }
        rootValid = true;
        rootName = attributes.value(Xml::name).toString();
        return Root;
    }

    Role startArea(const QXmlStreamAttributes& attributes, int line, const QStringRef& tag)
    {
        int id = -1;
        if (areas.ended || !areas.readId(attributes, line, tag, &id))
            return Skip;
        area = new Area(zone, id, attributes.value(Xml::name).toString());
        areaPart = Area::Private::get(area);
        areaLine = line;
        areaGeometrySeen = areaControllersSeen = areaStatesSeen = statesEnded = false;
        // Listed now so that it is deleted with the rest if the file stops inside it.
        areas.objects.append(area);
        return AreaElement;
    }

    void endArea()
    {
        const int id = area->id();
        if (Config::keepLater(&areas.index, id, area))
            areas.messages.append(Message {Message::DuplicateArea, areaLine, id});
        area = nullptr;
        areaPart = nullptr;
    }

    void readState(const QXmlStreamAttributes& attributes, int line)
    {
        if (statesEnded)
            return;
        int id = -1;
        if (!Config::readId(attributes.value(Xml::id), &id)) {
            // A bad state ends the area's states; the area still loads.
            statesEnded = true;
            areas.messages.append(Message {Message::InvalidStates, line, area->id()});
            return;
        }
        Objects<BaseObject>* states = areaPart->states;
        if (states->contains(id))
            areas.messages.append(Message {Message::DuplicateState, line, id});
        states->insert(new BaseObject(id, attributes.value(Xml::name).toString(), states));
    }

    void deriveControllers()
    {
        for (Area* each : qAsConst(areas.objects)) {
            const QList<int> ids = Area::Private::get(each)->objects;
            for (int id : ids) {
                if (!controllers.index.contains(id))
                    controllers.add(new Controller(id), 0, Message::DuplicateController);
            }
        }
    }

    static void log(const QVector<Message>& messages, const QString& source)
    {
        for (const Message& message : messages) {
            switch (message.kind) {
            case Message::InvalidStates:
                Area::warnInvalidStates(message.id);
                break;
            case Message::DuplicateController:
                Container::warnDuplicate(source, message.line, Xml::Controller, message.id);
                break;
            case Message::DuplicateArea:
                Container::warnDuplicate(source, message.line, Xml::Area, message.id);
                break;
            case Message::DuplicateStrategy:
                Container::warnDuplicate(source, message.line, Xml::Strategy, message.id);
                break;
            case Message::DuplicateState:
                Container::warnDuplicate(source, message.line, Xml::State, message.id);
                break;
            }
        }
    }

    Zone* zone;
    // The file's bytes as the reader sees them, while reading.
    ByteWatch* bytes = nullptr;
    TokenDigest pass;
    bool suspicious = false;
    int depth = 0;
    Role roles[MaxNestingDepth + 1];

    bool rootValid = false;
    int rootId = -1;
    QString rootName;
    QString rootError;
    bool zoneGeometrySeen = false;
    bool zoneControllersSeen = false;
    bool areasSeen = false;
    bool strategiesSeen = false;
    bool zoneHasOutline = false;
    QPainterPath zoneOutline;

    List<Controller> controllers;
    List<Area> areas;
    List<Strategy> strategies;

    // The area being read and what of it has been seen.
    Area* area = nullptr;
    Area::Private* areaPart = nullptr;
    int areaLine = 0;
    bool areaGeometrySeen = false;
    bool areaControllersSeen = false;
    bool areaStatesSeen = false;
    bool statesEnded = false;
};

StreamLoader::StreamLoader(Zone* zone)
    : d(new Private(zone))
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

bool StreamLoader::commit(QString* error)
{
    Q_ASSERT(isSettled());
    Zone::Private* zone = Zone::Private::get(d->zone);
    // A reload replaces what an earlier load built, even when it fails.
    zone->clearModel();
    zone->restoreItems();
    if (!d->rootValid) {
        *error = d->rootError;
        return false;
    }
    zone->setIdentity(d->rootId, d->rootName);

    // The document path reads the controllers, then the areas, then the
    // strategies, and stops at the first list that fails.
    const QString& source = zone->fileName;
    Private::log(d->controllers.messages, source);
    if (d->controllers.ended) {
        *error = d->controllers.error;
        return false;
    }
    Private::log(d->areas.messages, source);
    if (d->areas.ended) {
        *error = d->areas.error;
        return false;
    }
    if (d->controllers.index.isEmpty())
        d->deriveControllers();
    Private::log(d->strategies.messages, source);
    if (d->strategies.ended) {
        *error = d->strategies.error;
        return false;
    }

    if (d->zoneHasOutline)
        zone->item->setPath(d->zoneOutline);
    zone->outline = zone->item->path();
    zone->controllers->setSourceName(source);
    zone->areas->setSourceName(source);
    zone->strategies->setSourceName(source);
    zone->controllers->adopt(d->controllers.objects, d->controllers.index);
    for (Area* area : qAsConst(d->areas.objects))
        Area::Private::get(area)->item->setParentItem(zone->item);
    zone->areas->adopt(d->areas.objects, d->areas.index);
    for (Area* area : qAsConst(d->areas.index))
        QObject::connect(area, &Area::stateChanged, d->zone, &Zone::areaStateChanged);
    zone->strategies->adopt(d->strategies.objects, d->strategies.index);
    // The zone owns them now.
    d->controllers.objects.clear();
    d->areas.objects.clear();
    d->strategies.objects.clear();
    return true;
}

} // namespace Velmora
