#pragma once

#include <QPointer>

class QGraphicsItem;
class QGraphicsPathItem;
class QGraphicsScene;
class QPainterPath;

namespace Velmora {
namespace Editors {

// The outline previews an editor puts on the map scene, all under one item
// of their own. They leave the scene with it in one go: taken off one by one
// the scene looks for each among all its top-level items, which on a large
// zone costs seconds.
class PreviewLayer
{
public:
    // Without a scene there are no previews.
    PreviewLayer(QGraphicsScene* scene, qreal z);
    // Deletes the previews left, unless the scene went first and took them.
    ~PreviewLayer();
    PreviewLayer(const PreviewLayer&) = delete;
    PreviewLayer& operator=(const PreviewLayer&) = delete;

    // A hidden preview of `outline`, drawn with a hairline and filled white;
    // null without a scene. It lives until it is deleted or the layer goes.
    QGraphicsPathItem* add(const QPainterPath& outline);

private:
    QPointer<QGraphicsScene> m_scene;
    QGraphicsItem* m_layer = nullptr;
};

} // namespace Editors
} // namespace Velmora
