#pragma once

#include <QDomElement>
#include <QPointer>
#include <QString>

#include <memory>

class AreaEditDlg;
class QGraphicsPathItem;
class QGraphicsScene;
class QListWidget;
class QListWidgetItem;
class QObject;
class QWidget;

namespace Velmora {
namespace Editors {
class PreviewLayer;

// The zone editor's list of areas: one item per Area element, holding the
// element and, on a map, the area's outline preview. Only the current area's
// preview is visible. The previews leave the map with the list.
class AreaList
{
public:
    // `scene` may be null: then there are no previews.
    AreaList(QListWidget* list, QGraphicsScene* scene);
    ~AreaList();
    AreaList(const AreaList&) = delete;
    AreaList& operator=(const AreaList&) = delete;

    // One item per Area child of `areas`, in document order.
    void fill(const QDomElement& areas);
    // Shows `area` in `item`, or in a new item at the end when there is none;
    // the preview takes the area's outline.
    void fillItem(const QDomElement& area, QListWidgetItem* item = nullptr);
    // Every item again from its element, after names and outlines changed.
    void fillAgain();
    // Makes the preview of the item at `row` the one shown.
    void showPreviewOf(int row);
    // Deletes the item with its preview.
    void remove(QListWidgetItem* item);
    // True while `item` is one of the list's items.
    bool contains(const QListWidgetItem* item) const;
    // Makes the area of that id current; nothing when there is none.
    void selectArea(const QString& id);

    // Opens a modeless area editor on `area` (an element of the list's Areas
    // or a new one); `item` is the item it edits, null for a new area.
    AreaEditDlg* openEditor(QWidget* parent, const QDomElement& area, QListWidgetItem* item) const;
    // The item an editor opened by openEditor edits, while the list has it.
    QListWidgetItem* editedItem(const QObject* editor) const;

    static QDomElement elementOf(const QListWidgetItem* item);
    // A new area of `document`, not yet attached, with the children an area
    // editor fills: Controllers, States, and a Calendar with its week and cards.
    static QDomElement blankArea(QDomDocument document);

private:
    QGraphicsPathItem* previewOf(const QListWidgetItem* item) const;
    void setPreview(QListWidgetItem* item, const QDomElement& geometry);

    QListWidget* m_list;
    QPointer<QGraphicsScene> m_scene;
    std::unique_ptr<PreviewLayer> m_previews;
    QGraphicsPathItem* m_shown = nullptr;
    QDomElement m_areas;
};

} // namespace Editors
} // namespace Velmora
