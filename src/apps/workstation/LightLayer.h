#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QString>

class QGraphicsScene;
namespace Semtra {
class Light;
}

namespace Velmora {

// The host's traffic lights on the map, one set per zone file, read from
// "<zone file without extension>.lights.json":
// {"lights":[{"id":101,"x":49.107,"y":55.784},...]}.
class LightLayer : public QObject
{
    Q_OBJECT
public:
    explicit LightLayer(QGraphicsScene* scene, QObject* parent = nullptr);
    ~LightLayer() override;

    // zarechny.xtsc -> zarechny.lights.json in the same folder.
    static QString lightsFileFor(const QString& zoneFile);

    // Replaces the lights kept under key by those of the file; on error the
    // old ones stay. Entries without a numeric id, x and y are skipped.
    bool load(const QString& key, const QString& jsonFile, QString* error);
    void clear(const QString& key);
    void clearAll();

    QList<Semtra::Light*> lights(const QString& key) const;
    // The key a light was loaded under; empty for a light not of this layer.
    QString keyOf(const Semtra::Light* light) const;
    int count() const;
    // Scene rectangle around every light's base point; null when there are none.
    QRectF boundingRect() const;

private:
    // The scene may go first; lights loaded after that stay off the map.
    QPointer<QGraphicsScene> m_scene;
    QHash<QString, QList<Semtra::Light*>> m_lights;
};

} // namespace Velmora
