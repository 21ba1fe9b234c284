#include "Zone.h"

#include <QDomDocument>
#include <QFile>
#include <QGraphicsScene>
#include <QLoggingCategory>

#include "Logging.h"
#include "Area.h"
#include "Controller.h"
#include "Strategy.h"
#include "StreamLoader.h"
#include "format/TokenDigest.h"
#include "format/Vocabulary.h"
#include "format/XmlDocument.h"
#include "ZonePrivate.h"

namespace Velmora {

Zone::Zone(QObject* parent)
    : GraphicsObject(parent)
    , d(new Private(this))
{
}

Zone::~Zone()
{
    if (d->connection) {
        disconnect(d->connection, nullptr, this, nullptr);
        disconnect(this, nullptr, d->connection, nullptr);
        disconnect(d->connection, nullptr, d, nullptr);
    }
    delete d;
}

bool Zone::load(QString fileName)
{
    return load(fileName, Reading::OnePass);
}

bool Zone::load(const QString& fileName, Reading reading)
{
    d->fileName = fileName;
    d->documentParsed = false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcLoad, "%s", qUtf8Printable(tr("Error opening file %1: %2").arg(fileName, file.errorString())));
        return false;
    }
    if (reading == Reading::Document)
        return loadDocument(&file, digestTokens(&file));

    TokenDigest pass;
    {
        StreamLoader loader(this);
        loader.read(&file);
        if (loader.isSettled()) {
            QString error;
            if (!loader.commit(&error)) {
                qCWarning(lcLoad, "%s", qUtf8Printable(tr("Error processing file %1: %2").arg(fileName, error)));
                return false;
            }
            setProperty("localHash", loader.pass().digest);
            return true;
        }
        pass = loader.pass();
        // What the pass built goes before the document is parsed.
    }
    return loadDocument(&file, pass);
}

bool Zone::loadDocument(QIODevice* file, const TokenDigest& pass)
{
    const QString& fileName = d->fileName;
    if (pass.tooDeep) {
        warnSyntaxError(fileName, pass.line, pass.column, pass.error);
        return false;
    }

    d->documentParsed = true;
    file->seek(0);
    QDomDocument document;
    Xml::ReadError parseError;
    // The digest pass may have stopped early at what this parser reads on past.
    if (!Xml::parseDocument(file, &document, &parseError)) {
        warnSyntaxError(fileName, parseError.line, parseError.column, parseError.message);
        return false;
    }
    if (!pass.isComplete()) {
        // The document parser accepts what the streaming reader did not (an
        // undeclared entity): the hash covers only the part before it.
        qCWarning(lcLoad, "%s", qUtf8Printable(tr("File %1: the configuration hash covers the file only up "
                                         "to %2:%3, where reading its tokens stopped: %4")
                                          .arg(fileName)
                                          .arg(pass.line)
                                          .arg(pass.column)
                                          .arg(pass.error)));
    }

    // A reload replaces what an earlier load built.
    d->clearModel();
    d->restoreItems();
    QString error;
    if (!loadFromElement(document.documentElement(), &error)) {
        qCWarning(lcLoad, "%s", qUtf8Printable(tr("Error processing file %1: %2").arg(fileName, error)));
        // A failed load leaves no objects, not the part built before the fault.
        d->clearModel();
        return false;
    }
    setProperty("localHash", pass.digest);
    return true;
}

void Zone::warnSyntaxError(const QString& fileName, qint64 line, qint64 column,
                           const QString& message)
{
    qCWarning(lcLoad, "%s", qUtf8Printable(tr("Error processing file %1 (%2:%3): %4")
                                      .arg(fileName)
                                      .arg(line)
                                      .arg(column)
                                      .arg(message)));
}

namespace {

// Controllers named by the areas, for files without a Controllers list.
void deriveControllers(const QDomElement& root, Objects<Controller>* controllers)
{
    const QDomElement areas = root.firstChildElement(Xml::Areas);
    for (QDomElement area = areas.firstChildElement(Xml::Area); !area.isNull();
         area = area.nextSiblingElement(Xml::Area)) {
        const QList<int> ids = Area::controllerIds(area);
        for (int id : ids) {
            if (controllers->contains(id))
                continue;
            controllers->insert(new Controller(id));
        }
    }
}

} // namespace

bool Zone::loadFromElement(const QDomElement& root, QString* error)
{
    if (!BaseObject::loadFromElement(root, error))
        return false;
    QString geometryError;
    if (d->item) {
        d->item->loadGeometry(root, &geometryError);
        d->outline = d->item->path();
    }

    d->controllers->setSourceName(d->fileName);
    d->areas->setSourceName(d->fileName);
    d->strategies->setSourceName(d->fileName);

    const QDomElement firstController =
        root.firstChildElement(Xml::Controllers).firstChildElement(Xml::Controller);
    if (!d->controllers->loadElements(firstController, error, this))
        return false;
    const QDomElement firstArea = root.firstChildElement(Xml::Areas).firstChildElement(Xml::Area);
    if (!d->areas->loadElements(firstArea, error, this))
        return false;
    if (d->controllers->isEmpty())
        deriveControllers(root, d->controllers);

    const QList<Area*> areas = d->areas->values();
    for (Area* area : areas)
        connect(area, &Area::stateChanged, this, &Zone::areaStateChanged);

    const QDomElement firstStrategy =
        root.firstChildElement(Xml::Strategies).firstChildElement(Xml::Strategy);
    return d->strategies->loadElements(firstStrategy, error, this);
}

QGraphicsItem* Zone::graphicsItem() const
{
    return d->item;
}

QObject* Zone::graphicsObject() const
{
    return d->item;
}

QVariant Zone::modelData(int column, int role)
{
    if (column == 2 && (role == Qt::DisplayRole || role == Qt::EditRole))
        return d->fileName;
    return graphicsData(column, role);
}

void Zone::setScene(QGraphicsScene* scene)
{
    // A scene destroyed before the zone took the zone's items with it.
    if (!d->item) {
        if (!scene)
            return;
        d->restoreItems();
    }
    QGraphicsScene* current = d->item->scene();
    if (current == scene)
        return;
    if (scene)
        scene->addItem(d->item);
    else
        current->removeItem(d->item);
}

Controller* Zone::controller(uint id)
{
    return d->controllers->value(int(id));
}

QList<Controller*> Zone::controllers()
{
    return d->controllers->values();
}

Area* Zone::area(uint id)
{
    return d->areas->value(int(id));
}

QList<Area*> Zone::areas()
{
    return d->areas->values();
}

QObject* Zone::strategy(uint id)
{
    return d->strategies->value(int(id));
}

QList<Strategy*> Zone::strategies()
{
    return d->strategies->values();
}

QString Zone::fileName() const
{
    return d->fileName;
}

QObject* Zone::connection() const
{
    return d->connection;
}

bool Zone::isConnected() const
{
    return d->connected;
}

int Zone::controlSource() const
{
    return d->controlSource();
}

int Zone::currentStrategy() const
{
    return d->strategy();
}

QDateTime Zone::connectionTime() const
{
    return d->connectionTime;
}

QDateTime Zone::lastConnectionEventTime() const
{
    return d->lastConnectionEventTime;
}

} // namespace Velmora
