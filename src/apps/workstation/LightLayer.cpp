#include "LightLayer.h"

#include "Light.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace Velmora {

LightLayer::LightLayer(QGraphicsScene* scene, QObject* parent)
    : QObject(parent)
    , m_scene(scene)
{
}

LightLayer::~LightLayer()
{
    clearAll();
}

QString LightLayer::lightsFileFor(const QString& zoneFile)
{
    const QFileInfo info(zoneFile);
    QString base = info.fileName();
    const int dot = base.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        base.truncate(dot);
    return info.dir().filePath(base + QLatin1String(".lights.json"));
}

bool LightLayer::load(const QString& key, const QString& jsonFile, QString* error)
{
    QFile file(jsonFile);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = tr("Cannot read %1: %2").arg(jsonFile, file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (document.isNull()) {
        *error = tr("%1: %2 at offset %3").arg(jsonFile, parseError.errorString()).arg(parseError.offset);
        return false;
    }
    const QJsonValue list = document.object().value(QLatin1String("lights"));
    if (!list.isArray()) {
        *error = tr("%1: no \"lights\" list").arg(jsonFile);
        return false;
    }
    clear(key);
    QList<Semtra::Light*>& lights = m_lights[key];
    for (const QJsonValue& value : list.toArray()) {
        const QJsonObject entry = value.toObject();
        const QJsonValue id = entry.value(QLatin1String("id"));
        const QJsonValue x = entry.value(QLatin1String("x"));
        const QJsonValue y = entry.value(QLatin1String("y"));
        if (!id.isDouble() || !x.isDouble() || !y.isDouble())
            continue;
        auto* light = new Semtra::Light(id.toInt(), QPointF(x.toDouble(), y.toDouble()), this);
        light->addToScene(m_scene);
        lights.append(light);
    }
    return true;
}

void LightLayer::clear(const QString& key)
{
    qDeleteAll(m_lights.take(key));
}

void LightLayer::clearAll()
{
    for (const QList<Semtra::Light*>& lights : qAsConst(m_lights))
        qDeleteAll(lights);
    m_lights.clear();
}

QList<Semtra::Light*> LightLayer::lights(const QString& key) const
{
    return m_lights.value(key);
}

QString LightLayer::keyOf(const Semtra::Light* light) const
{
    for (auto it = m_lights.cbegin(); it != m_lights.cend(); ++it) {
        if (it.value().contains(const_cast<Semtra::Light*>(light)))
            return it.key();
    }
    return QString();
}

int LightLayer::count() const
{
    int total = 0;
    for (const QList<Semtra::Light*>& lights : m_lights)
        total += lights.size();
    return total;
}

QRectF LightLayer::boundingRect() const
{
    // Points have no size, and QRectF::united() ignores null rectangles.
    bool any = false;
    qreal left = 0, top = 0, right = 0, bottom = 0;
    for (const QList<Semtra::Light*>& lights : m_lights) {
        for (const Semtra::Light* light : lights) {
            const QPointF p = light->basePoint();
            if (!any) {
                left = right = p.x();
                top = bottom = p.y();
                any = true;
            }
            left = qMin(left, p.x());
            right = qMax(right, p.x());
            top = qMin(top, p.y());
            bottom = qMax(bottom, p.y());
        }
    }
    return any ? QRectF(QPointF(left, top), QPointF(right, bottom)) : QRectF();
}

} // namespace Velmora
