#include <QApplication>
#include <QDirIterator>
#include <QGraphicsItem>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#include "OffscreenLeaks.h"
#include "Velmora/Area.h"
#include "Velmora/AreaPrivate.h"
#include "Velmora/Controller.h"
#include "Velmora/Strategy.h"
#include "Velmora/Zone.h"
#include "Velmora/ZonePrivate.h"
#include "Velmora/graphics/AbstractItem.h"

using Velmora::Area;
using Velmora::BaseObject;
using Velmora::Zone;
using Reading = Velmora::Zone::Reading;

namespace {

QStringList* captured = nullptr;

// Everything logged, with category and severity: both readings must log the same.
void capture(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (captured)
        captured->append(QStringLiteral("%1/%2: %3").arg(QLatin1String(context.category)).arg(type).arg(message));
}

QString pathText(const QPainterPath& path)
{
    QStringList points;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        points << QStringLiteral("%1:%2,%3").arg(e.type).arg(e.x, 0, 'g', 17).arg(e.y, 0, 'g', 17);
    }
    return points.join(QLatin1Char(' '));
}

QString outlineText(const QGraphicsItem* item, const QPainterPath& kept)
{
    const auto* mapItem = dynamic_cast<const Rare::Graphics::AbstractItem*>(item);
    if (!mapItem)
        return QStringLiteral("no item");
    const QString shown = pathText(mapItem->path());
    // The outline kept for remaking the item after a scene took it agrees.
    return shown == pathText(kept) ? shown : shown + QStringLiteral(" kept ") + pathText(kept);
}

// "id=name", and whether the lookup by id finds another object.
QString named(const BaseObject* object, bool indexed)
{
    return QStringLiteral("%1=%2%3")
        .arg(uint(object->id()))
        .arg(object->name(), indexed ? QString() : QStringLiteral(" (shadowed)"));
}

// The whole model a load left, as text: the containers' children in their
// order (so duplicates shadowed in the index show too), ids, names, the
// areas' controllers, states and outlines, which objects the lookups find,
// the map items' hierarchy and the area signals relayed by the zone.
QString describe(Zone& zone)
{
    QStringList lines;
    const QVariant hash = zone.property("localHash");
    lines << QStringLiteral("zone %1 file %2 hash %3")
                 .arg(named(&zone, true), zone.fileName(),
                      hash.isValid() ? QString::fromLatin1(hash.toByteArray().toHex()) : QStringLiteral("none"));
    Zone::Private* zonePart = Zone::Private::get(&zone);
    lines << QStringLiteral("outline ") + outlineText(zone.graphicsItem(), zonePart->outline);
    int relayed = 0;
    const QMetaObject::Connection relay =
        QObject::connect(&zone, &Zone::areaStateChanged, [&relayed](const QObject*) { ++relayed; });
    for (QObject* container : zone.children()) {
        QVariant title;
        QMetaObject::invokeMethod(container, "modelData", Q_RETURN_ARG(QVariant, title), Q_ARG(int, 0),
                                  Q_ARG(int, Qt::DisplayRole));
        lines << title.toString();
        for (QObject* child : container->children()) {
            if (auto* area = qobject_cast<Area*>(child)) {
                QStringList controllers;
                for (int id : area->objects())
                    controllers << QString::number(id);
                QStringList states;
                for (QObject* stateContainer : area->children()) {
                    for (QObject* state : stateContainer->children()) {
                        auto* object = qobject_cast<BaseObject*>(state);
                        states << named(object, area->state(object->id()) == object);
                    }
                }
                relayed = 0;
                emit area->stateChanged(area);
                lines << QStringLiteral("  area %1 [%2] {%3} relayed %4 zone %5 item under zone %6 outline %7")
                             .arg(named(area, zone.area(uint(area->id())) == area), controllers.join(','),
                                  states.join(' '))
                             .arg(relayed)
                             .arg(area->zone() == &zone)
                             .arg(area->graphicsItem() && area->graphicsItem()->parentItem() == zone.graphicsItem())
                             .arg(outlineText(area->graphicsItem(), Area::Private::get(area)->outline));
            } else if (auto* controller = qobject_cast<Velmora::Controller*>(child)) {
                lines << QStringLiteral("  controller ") + named(controller, zone.controller(uint(controller->id())) == controller);
            } else if (auto* strategy = qobject_cast<Velmora::Strategy*>(child)) {
                lines << QStringLiteral("  strategy ") + named(strategy, zone.strategy(uint(strategy->id())) == strategy);
            } else {
                lines << QStringLiteral("  stranger ") + child->metaObject()->className();
            }
        }
    }
    QObject::disconnect(relay);
    // Area items in stacking order, named by their areas.
    QStringList items;
    if (QGraphicsItem* zoneItem = zone.graphicsItem()) {
        for (QGraphicsItem* item : zoneItem->childItems())
            items << QString::number(uint(qobject_cast<Area*>(item->data(0).value<QObject*>())->id()));
    }
    lines << QStringLiteral("items ") + items.join(' ');
    return lines.join(QLatin1Char('\n'));
}

struct Outcome
{
    bool loaded = false;
    QStringList messages;
    QString model;
    bool documentParsed = false;
};

// Bytes that keep the two parsers apart unless the streaming pass hands the
// file over: blanks inside values, references, markup the model does not
// read, names and encodings off the plain path, and the structure the model
// does read.
const QList<QByteArray>& interestingPieces()
{
    static const QList<QByteArray> pieces = {
        "\t", "\n", "\r", "\r\n", " ", "&#9;", "&#10;", "&#13;", "&#32;", "&#xA0;", "&#44;", "&amp;", "&lt;",
        "&nope;", "<![CDATA[", "]]>", "<![CDATA[7,8]]>", "<![CDATA[]]>", "<![CDATA[ ]]>", "<!--c-->", "<!-- - -->",
        "<?pi x?>", "<!DOCTYPE Zone>", "xmlns:p=\"u\" ", "xmlns=\"u\" ", "p:", "\xc2\xa0", "\xc2\xb7", "\xe2\x80\xa8",
        "\xef\xbb\xbf", "\xd0\x9f", "\x01", QByteArray("\0", 1), "\"", "'", "=", "<", ">", "/", ",", ";", "-1",
        "4294967295", "4294967296", " id=\"5\"", " name=\"x\ty\"", " name=\"a\nb\"", "<Area id=\"3\">", "</Area>",
        "<Area id=\"9\"><Controllers>9,10</Controllers></Area>", "<State id=\"1\"/>", "<State/>", "<Controller id=\"5\"/>",
        "<Controller/>", "<Strategy id=\"1\"/>", "<Geometry>0,0;1,0;1,1</Geometry>", "<Geometry/>",
        "<Controllers>1,2</Controllers>", "<Controllers/>", "<Areas/>", "<Strategies/>", "<States/>", "<x/>",
        "<Area>", "</Controllers>", "</Geometry>", "</States>",
    };
    return pieces;
}

// Values and texts that the model reads one way or another.
const QList<QByteArray>& interestingValues()
{
    static const QList<QByteArray> values = {
        "", "x", "7", " 7 ", "+7", "-1", "0", "4294967295", "4294967296", "a b", "&amp;", "&#9;", "&#10;", "&#32;",
        "\xd0\x9f", "1,2", "1,,x,3", " 4 , 5 ", "0,0;1,0;1,1", "0,0;1,0;", "0,0;1", "1e2,0;0,-2.5e1;0,0",
        "<![CDATA[3,4]]>", "<!--c-->1,2", "<x/>", "\t", "\n",
    };
    return values;
}

// Elements the model reads, whole, to put between two tags.
const QList<QByteArray>& interestingElements()
{
    static const QList<QByteArray> elements = {
        "<Area id=\"3\"/>", "<Area id=\"9\" name=\"Nine\"><Controllers>9,10</Controllers><States><State id=\"2\"/>"
        "</States></Area>", "<Area/>", "<State id=\"1\" name=\"Again\"/>", "<State/>", "<Controller id=\"5\"/>",
        "<Controller/>", "<Strategy id=\"1\"/>", "<Strategy/>", "<Geometry>0,0;1,0;1,1</Geometry>", "<Geometry/>",
        "<Controllers>1,2</Controllers>", "<Controllers><Controller id=\"6\"/></Controllers>", "<Areas/>",
        "<Strategies/>", "<States/>", "<x/>", "<!--c-->", "<?pi x?>",
    };
    return elements;
}

// A random position inside the data, and what follows it.
int after(const QByteArray& data, const char* what, QRandomGenerator* random)
{
    const int found = data.indexOf(what, random->bounded(data.size()));
    return found < 0 ? -1 : found + int(qstrlen(what));
}

// Damage of every kind: most of it breaks the syntax; the changes of values,
// texts and whole elements keep files well-formed, so the model's own
// reading is exercised as much as the parsers'.
QByteArray mutate(QByteArray data, QRandomGenerator* random)
{
    const QList<QByteArray>& pieces = interestingPieces();
    const QList<QByteArray>& values = interestingValues();
    const QList<QByteArray>& elements = interestingElements();
    for (int i = 1 + random->bounded(3); i > 0 && !data.isEmpty(); --i) {
        const int at = random->bounded(data.size());
        switch (random->bounded(9)) {
        case 0:
            data[at] = char(random->bounded(256));
            break;
        case 1:
            data.remove(at, 1 + random->bounded(24));
            break;
        case 2:
            data.insert(at, pieces.at(random->bounded(pieces.size())));
            break;
        case 3:
            data.insert(at, data.mid(random->bounded(data.size()), random->bounded(96)));
            break;
        case 4:
            data.truncate(at);
            break;
        case 5: { // an attribute value
            const int start = after(data, "=\"", random);
            const int end = start < 0 ? -1 : data.indexOf('"', start);
            if (end >= 0)
                data.replace(start, end - start, values.at(random->bounded(values.size())));
            break;
        }
        case 6: { // the text between two tags
            const int start = after(data, ">", random);
            const int end = start < 0 ? -1 : data.indexOf('<', start);
            if (end >= 0)
                data.replace(start, end - start, values.at(random->bounded(values.size())));
            break;
        }
        default: { // a whole element between two tags
            const int start = after(data, ">", random);
            if (start >= 0)
                data.insert(start, elements.at(random->bounded(elements.size())));
            break;
        }
        }
    }
    return data;
}

} // namespace

// Every file loads through the streaming pass exactly as through the document
// parser: the same success or failure, messages, model and localHash.
class LoadDifferentialTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void shippedAndFixtureFiles_data();
    void shippedAndFixtureFiles();
    void everyPrefix();
    void mutations_data();
    void mutations();
    void craftedFiles_data();
    void craftedFiles();
    void reloads_data();
    void reloads();

private:
    QString write(const QByteArray& content);
    Outcome load(const QString& path, Reading reading, const QByteArray& before = QByteArray());
    // Loads both ways and compares; *fault says how they differ.
    bool same(const QByteArray& content, QString* fault, bool* onePass = nullptr,
              const QByteArray& before = QByteArray());

    QTemporaryDir m_dir;
    int m_files = 0;
    QByteArray m_north;
    QByteArray m_zarechny;
};

void LoadDifferentialTest::initTestCase()
{
    QFile north(QStringLiteral(VELMORA_EXAMPLES "/north.xtsc"));
    QFile zarechny(QStringLiteral(VELMORA_EXAMPLES "/zarechny.xtsc"));
    QVERIFY(north.open(QIODevice::ReadOnly) && zarechny.open(QIODevice::ReadOnly));
    m_north = north.readAll();
    m_zarechny = zarechny.readAll();
}

QString LoadDifferentialTest::write(const QByteArray& content)
{
    const QString path = m_dir.filePath(QStringLiteral("zone%1.xtsc").arg(++m_files));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

Outcome LoadDifferentialTest::load(const QString& path, Reading reading, const QByteArray& before)
{
    Outcome outcome;
    Zone zone;
    if (!before.isEmpty() && !zone.load(write(before), Reading::Document))
        qFatal("the zone to reload does not load");
    captured = &outcome.messages;
    const QtMessageHandler previous = qInstallMessageHandler(capture);
    outcome.loaded = zone.load(path, reading);
    qInstallMessageHandler(previous);
    captured = nullptr;
    outcome.model = describe(zone);
    outcome.documentParsed = Zone::Private::get(&zone)->documentParsed;
    return outcome;
}

bool LoadDifferentialTest::same(const QByteArray& content, QString* fault, bool* onePass, const QByteArray& before)
{
    const QString path = write(content);
    const Outcome stream = load(path, Reading::OnePass, before);
    const Outcome document = load(path, Reading::Document, before);
    QFile::remove(path);
    if (onePass)
        *onePass = !stream.documentParsed;
    if (stream.loaded != document.loaded)
        *fault = QStringLiteral("loaded %1 / %2").arg(stream.loaded).arg(document.loaded);
    else if (stream.messages != document.messages)
        *fault = QStringLiteral("messages\n%1\n--- document:\n%2").arg(stream.messages.join('\n'), document.messages.join('\n'));
    else if (stream.model != document.model)
        *fault = QStringLiteral("model\n%1\n--- document:\n%2").arg(stream.model, document.model);
    else
        return true;
    fault->prepend(QStringLiteral("file (base64) %1\n").arg(QString::fromLatin1(content.toBase64())));
    return false;
}

void LoadDifferentialTest::shippedAndFixtureFiles_data()
{
    QTest::addColumn<QString>("path");
    QStringList paths;
    QDirIterator examples(QStringLiteral(VELMORA_EXAMPLES), {QStringLiteral("*.xtsc")}, QDir::Files);
    while (examples.hasNext())
        paths << examples.next();
    QDirIterator fixtures(QStringLiteral(VELMORA_TEST_DATA), {QStringLiteral("*.xtsc")}, QDir::Files,
                          QDirIterator::Subdirectories);
    while (fixtures.hasNext())
        paths << fixtures.next();
    paths.sort();
    QVERIFY(paths.size() >= 10);
    const QDir root(QStringLiteral(VELMORA_EXAMPLES "/.."));
    for (const QString& path : qAsConst(paths))
        QTest::newRow(qPrintable(root.relativeFilePath(path))) << path;
}

void LoadDifferentialTest::shippedAndFixtureFiles()
{
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QString fault;
    bool onePass = false;
    QVERIFY2(same(content, &fault, &onePass), qPrintable(fault));
    // What users open first is read once.
    if (path.startsWith(QStringLiteral(VELMORA_EXAMPLES)))
        QVERIFY(onePass);
}

void LoadDifferentialTest::everyPrefix()
{
    int onePass = 0;
    for (int size = 0; size <= m_north.size(); ++size) {
        QString fault;
        bool settled = false;
        QVERIFY2(same(m_north.left(size), &fault, &settled), qPrintable(QStringLiteral("prefix %1: %2").arg(size).arg(fault)));
        onePass += settled;
    }
    // Only the whole file, and it cut in its trailing blanks, is complete.
    QVERIFY(onePass >= 1 && onePass < 5);
}

void LoadDifferentialTest::mutations_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("cases");
    for (quint32 seed = 1; seed <= 6; ++seed)
        QTest::addRow("north, seed %u", seed) << "north" << seed << 500;
    for (quint32 seed = 7; seed <= 8; ++seed)
        QTest::addRow("zarechny, seed %u", seed) << "zarechny" << seed << 100;
}

void LoadDifferentialTest::mutations()
{
    QFETCH(QString, file);
    QFETCH(quint32, seed);
    QFETCH(int, cases);
    const QByteArray& original = file == QLatin1String("north") ? m_north : m_zarechny;
    QRandomGenerator random(seed);
    int loadedOnePass = 0;
    int parsed = 0;
    for (int i = 0; i < cases; ++i) {
        QString fault;
        bool onePass = false;
        const QByteArray mutated = mutate(original, &random);
        QVERIFY2(same(mutated, &fault, &onePass), qPrintable(QStringLiteral("case %1: %2").arg(i).arg(fault)));
        (onePass ? loadedOnePass : parsed) += 1;
    }
    // Both ways are exercised: ordinary damage (a changed value or name) is
    // settled in one pass, syntax errors and suspicious bytes are parsed.
    QVERIFY2(loadedOnePass > cases / 5 && parsed > cases / 5,
             qPrintable(QStringLiteral("%1 one pass, %2 parsed").arg(loadedOnePass).arg(parsed)));
}

void LoadDifferentialTest::craftedFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("onePass"); // settled without a document parse

    const auto nested = [](int depth) {
        return "<Zone id=\"1\">\n" + QByteArray("<x>\n").repeated(depth - 1) + QByteArray("</x>").repeated(depth - 1) + "</Zone>";
    };
    QTest::newRow("nested to the bound") << nested(256) << true;
    QTest::newRow("nested one past") << nested(257) << true;
    QTest::newRow("nested 40,000 levels") << nested(40000) << true;

    // Lists read in the document path's order, whatever the file's order:
    // the areas' fault wins over the strategies' although it comes later.
    QTest::newRow("faults in two lists") << QByteArray("<Zone id=\"1\">\n<Strategies><Strategy/></Strategies>\n"
                                                       "<Areas>\n<Area id=\"2\"/><Area id=\"2\"/>\n<Area/></Areas>\n"
                                                       "<Controllers><Controller id=\"4\"/><Controller id=\"4\"/></Controllers></Zone>")
                                         << true;
    QTest::newRow("warnings of every list, later lists first")
        << QByteArray("<Zone id=\"1\"><Strategies>\n<Strategy id=\"1\"/>\n<Strategy id=\"1\"/></Strategies>\n"
                      "<Areas><Area id=\"2\"><States>\n<State id=\"1\"/>\n<State id=\"1\"/>\n<State/>\n<State id=\"3\"/>"
                      "</States></Area>\n<Area id=\"2\"/></Areas>\n<Controllers>\n<Controller id=\"7\" name=\"a\"/>\n"
                      "<Controller id=\"7\" name=\"b\"/></Controllers></Zone>")
        << true;
    QTest::newRow("root without id after a good area")
        << QByteArray("<Zone name=\"x\"><Areas><Area id=\"1\"/></Areas></Zone>") << true;
    QTest::newRow("only the first list of each name")
        << QByteArray("<Zone id=\"1\"><Areas><Area id=\"1\"><Controllers>1</Controllers><Controllers>2</Controllers>"
                      "<Geometry>0,0;1,0;1,1</Geometry><Geometry>0,0;5,0;5,5</Geometry><States/><States><State id=\"4\"/>"
                      "</States></Area></Areas><Areas><Area id=\"2\"/></Areas><Geometry>x</Geometry>"
                      "<Geometry>0,0;9,0;9,9</Geometry></Zone>")
        << true;
    QTest::newRow("lists in strangers do not count")
        << QByteArray("<Zone id=\"1\"><Calendar><Areas><Area id=\"5\"/></Areas></Calendar><Areas><x><Area id=\"6\"/></x>"
                      "<Area id=\"7\"><x><Controllers>4</Controllers></x></Area></Areas></Zone>")
        << true;
    QTest::newRow("first text after children and comments")
        << QByteArray("<Zone id=\"1\"><Areas><Area id=\"1\"><Controllers><x>9</x> \n<!--c--> 3,4<!--d-->,5</Controllers>"
                      "<Geometry><![CDATA[]]>0,0;1,0;1,1</Geometry></Area><Area id=\"2\"><Geometry>\n  <![CDATA[ 0,0;2,0;2,2 ]]>"
                      "</Geometry><Controllers>&#32;&#xA0;<x/>8,9</Controllers></Area></Areas></Zone>")
        << true;
    QTest::newRow("references in names and texts")
        << QByteArray("<Zone id=\"&#49;\" name=\"A &amp; B &#9; &#10;\"><Areas><Area id=\"1\" name=\"&lt;&#x41F;&gt;\">"
                      "<Controllers>1&#44;2</Controllers></Area></Areas></Zone>")
        << true;
    QTest::newRow("carriage returns outside values")
        << QByteArray("<Zone id=\"1\"\r\n name=\"n\">\r\n<Areas>\r<Area id=\"2\">\r\n<Controllers>\r\n1,\r2\r</Controllers>"
                      "<Geometry>0,0;\r\n1,0;1,1\r</Geometry></Area>\r\n<Area id=\"2\"/></Areas>\r\n</Zone>\r\n")
        << true;
    QTest::newRow("unsigned and out-of-range ids")
        << QByteArray("<Zone id=\"4294967295\"><Areas><Area id=\" 4294967294 \"><Controllers>2147483648,-1,+5</Controllers>"
                      "<States><State id=\"3000000000\"/></States></Area></Areas><Strategies><Strategy id=\"0\"/>"
                      "</Strategies></Zone>")
        << true;
    QTest::newRow("a long outline")
        << ("<Zone id=\"1\"><Areas><Area id=\"1\"><Geometry>" + QByteArray("12.5,-7e2;").repeated(30000)
            + "0,0</Geometry></Area></Areas></Zone>")
        << true;
    QTest::newRow("UTF-8 names with a byte order mark and a declaration")
        << ("\xef\xbb\xbf<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Zone id=\"1\" name=\""
            + QStringLiteral("Заречный").toUtf8() + "\"/>")
        << true;
    QTest::newRow("windows-1251")
        << (QByteArray("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<Zone id=\"1\" name=\"")
            + QTextCodec::codecForName("windows-1251")->fromUnicode(QStringLiteral("Заречный")) + "\"/>")
        << true;

    // Far into the file, past markup that holds quotes and closing brackets.
    const QByteArray padding = "<!--" + QByteArray("- ]]> ?> \" > '").repeated(3000) + "--><?x ' ?>"
        + "<![CDATA[\"]]]><x a='>\"'/>";
    QTest::newRow("names deep in the file")
        << "<Zone id=\"1\">" + padding + "<Areas><Area id=\"2\" name=\"a b\"/></Areas></Zone>" << false;
    QTest::newRow("names deep in the file, without instruction")
        << "<Zone id=\"1\">" + QByteArray(padding).replace("<?x ' ?>", "") + "<Areas><Area id=\"2\" name=\"a b\"/></Areas></Zone>"
        << true;

    // What the two parsers read differently goes to the document parser.
    QTest::newRow("tab in a name") << QByteArray("<Zone id=\"1\" name=\"a\tb\"/>") << false;
    QTest::newRow("tab in a name after a declaration")
        << QByteArray("<?xml version=\"1.0\" encoding='UTF-8' ?>\n<Zone id=\"1\"><Areas><Area id=\"2\" name=\"a\tb\"/></Areas></Zone>")
        << false;
    QTest::newRow("tab in a name deep in the file")
        << "<Zone id=\"1\">" + QByteArray(padding).replace("<?x ' ?>", "") + "<Areas><Area id=\"2\" name=\"a\tb\"/></Areas></Zone>"
        << false;
    QTest::newRow("line break in a name") << QByteArray("<Zone id=\"1\"><Areas><Area id=\"2\" name=\"a\r\nb\"/></Areas></Zone>") << false;
    QTest::newRow("control character in a name") << QByteArray("<Zone id=\"1\"><Areas i\x01d=\"2\"/></Zone>") << false;
    QTest::newRow("name with a middle dot") << QByteArray("<Zone id=\"1\"><A\xc2\xb7x/></Zone>") << false;
    QTest::newRow("processing instruction") << QByteArray("<Zone id=\"1\"><?p\x01?></Zone>") << false;
    QTest::newRow("namespace") << QByteArray("<Zone id=\"1\" xmlns:p=\"u\"><p:Areas><Area id=\"2\"/></p:Areas></Zone>") << false;
    QTest::newRow("document type with an entity")
        << QByteArray("<!DOCTYPE Zone [<!ENTITY c \"3,4\">]><Zone id=\"1\"><Areas><Area id=\"2\"><Controllers>&c;</Controllers>"
                      "</Area></Areas></Zone>")
        << false;
    QTest::newRow("undeclared entity") << QByteArray("<Zone id=\"1\">\n<Areas><Area id=\"2\" name=\"x&nope;\"/></Areas></Zone>") << false;
    QTest::newRow("UTF-16") << QTextCodec::codecForName("UTF-16")->fromUnicode(QStringLiteral("<Zone id=\"1\" name=\"Север\"/>")) << false;
    QTest::newRow("latin-1") << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><Zone id=\"1\" name=\"\xe9\"/>") << false;
    QTest::newRow("byte order mark against the declaration")
        << QByteArray("\xef\xbb\xbf<?xml version=\"1.0\" encoding=\"windows-1251\"?><Zone id=\"1\" name=\"\xd0\x97\"/>") << false;
    QTest::newRow("syntax error at the end")
        << QByteArray("<Zone id=\"1\"><Areas><Area id=\"2\"/><Area/></Areas></Zone><x/>") << false;
    QTest::newRow("not XML") << QByteArray("zone 1") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void LoadDifferentialTest::craftedFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, onePass);
    QString fault;
    bool settled = false;
    QVERIFY2(same(content, &fault, &settled), qPrintable(fault));
    QCOMPARE(settled, onePass);
}

void LoadDifferentialTest::reloads_data()
{
    QTest::addColumn<QByteArray>("reload");
    QTest::addColumn<int>("areasLeft");
    QTest::newRow("good file") << QByteArray("<Zone id=\"2\"><Areas><Area id=\"8\"/></Areas></Zone>") << 1;
    // A load that fails in the model leaves nothing, of the old model or the new.
    QTest::newRow("bad area id") << QByteArray(R"(<Zone id="1"><Areas>
        <Area id="1"><Geometry>0,0;50,0;50,50</Geometry></Area>
        <Area id="x"><Geometry>0,0;90,0;90,90</Geometry></Area></Areas></Zone>)") << 0;
    QTest::newRow("bad strategy id") << QByteArray(R"(<Zone id="1"><Areas>
        <Area id="1"><Geometry>0,0;50,0;50,50</Geometry></Area></Areas>
        <Strategies><Strategy/></Strategies></Zone>)") << 0;
    QTest::newRow("root without id") << QByteArray("<Zone><Areas><Area id=\"1\"/></Areas></Zone>") << 0;
    // A file that does not parse leaves the loaded model alone.
    QTest::newRow("syntax error") << QByteArray("<Zone id=\"1\"><Areas>") << 1;
    QTest::newRow("nested too deep") << ("<Zone id=\"1\">" + QByteArray("<x>").repeated(300)) << 1;
    QTest::newRow("suspicious and good")
        << QByteArray("<Zone id=\"3\" name=\"a\tb\"><Areas><Area id=\"4\"/><Area id=\"5\"/></Areas></Zone>") << 2;
}

void LoadDifferentialTest::reloads()
{
    QFETCH(QByteArray, reload);
    QFETCH(int, areasLeft);
    QString fault;
    QVERIFY2(same(reload, &fault, nullptr, m_north), qPrintable(fault));

    Zone zone;
    QVERIFY(zone.load(write(m_north)));
    QStringList messages;
    captured = &messages;
    const QtMessageHandler previous = qInstallMessageHandler(capture);
    zone.load(write(reload));
    qInstallMessageHandler(previous);
    captured = nullptr;
    QCOMPARE(zone.areas().size(), areasLeft);
    QCOMPARE(zone.graphicsItem()->childItems().size(), areasLeft);
    if (areasLeft == 0)
        QVERIFY(zone.controllers().isEmpty() && zone.strategies().isEmpty());
}

QTEST_MAIN(LoadDifferentialTest)
#include "tst_load_differential.moc"
