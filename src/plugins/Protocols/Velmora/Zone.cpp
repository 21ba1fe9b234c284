#include "Zone.h"

#include <QGraphicsScene>
#include <QLoggingCategory>

#include "Logging.h"
#include "Area.h"
#include "Controller.h"
#include "Strategy.h"
#include "ZoneBuilder.h"
#include "ZoneFile.h"
#include "ZonePrivate.h"
#include "ZoneReading.h"

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
    return load(ZoneFile::read(fileName, reading));
}

namespace {

void warn(const QStringList& messages)
{
    for (const QString& message : messages)
        qCWarning(lcLoad, "%s", qUtf8Printable(message));
}

} // namespace

bool Zone::load(const ZoneFile& file)
{
    d->fileName = file.fileName;
    d->documentParsed = file.documentParsed;
    warn(file.messages);
    // A file that does not parse leaves the model as it was.
    if (!file.parsed)
        return false;
    warn(file.zone.warnings);
    // A reload replaces what an earlier load built, even when it fails.
    d->clearModel();
    d->restoreItems();
    QString error;
    if (!ZoneBuilder::build(this, file.zone, &error)) {
        qCWarning(lcLoad, "%s", qUtf8Printable(tr("Error processing file %1: %2").arg(file.fileName, error)));
        // A failed load leaves no objects, not the part built before the fault, and
        // no hash: the link must not check the service against a file no longer loaded.
        d->clearModel();
        setProperty("localHash", QVariant());
        return false;
    }
    setProperty("localHash", file.localHash);
    return true;
}

bool Zone::loadFromElement(const QDomElement& root, QString* error)
{
    const ZoneDescription description = ZoneReading::describe(root, d->fileName);
    warn(description.warnings);
    QString reason;
    const bool built = ZoneBuilder::build(this, description, &reason);
    if (error)
        *error = reason;
    return built;
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
