#include "AreaList.h"

#include <QGraphicsPathItem>
#include <QGraphicsScene>
#include <QListWidget>
#include <QPainterPath>

#include "AreaEditDlg.h"
#include "DomMetaType.h"
#include "PreviewLayer.h"
#include "format/GeometryText.h"
#include "format/Vocabulary.h"
#include "format/XmlText.h"

// An area item keeps its outline preview, an area editor the item it edits.
Q_DECLARE_METATYPE(QGraphicsPathItem*)
Q_DECLARE_METATYPE(QListWidgetItem*)

namespace Velmora {
namespace Editors {

namespace {

constexpr int PreviewRole = Qt::UserRole + 1;
const char* const EditedItem = "item";

QString areaText(const QDomElement& area)
{
    return area.attribute(Xml::id) + QStringLiteral(" (") + area.attribute(Xml::name) + QStringLiteral(")");
}

QPainterPath outlinePath(const QString& geometry)
{
    QPainterPath path;
    const QVector<QPointF> points = Geometry::parsePointsLenient(geometry);
    for (int i = 0; i < points.size(); ++i) {
        if (i == 0)
            path.moveTo(points.at(i));
        else
            path.lineTo(points.at(i));
    }
    return path;
}

} // namespace

AreaList::AreaList(QListWidget* list, QGraphicsScene* scene)
    : m_list(list)
    , m_scene(scene)
    , m_previews(std::make_unique<PreviewLayer>(scene, 0.0))
{
    registerDomElementType();
    qRegisterMetaType<QGraphicsPathItem*>("QGraphicsPathItem*");
}

AreaList::~AreaList() = default;

QDomElement AreaList::elementOf(const QListWidgetItem* item)
{
    return item ? item->data(Qt::UserRole).value<QDomElement>() : QDomElement();
}

void AreaList::fill(const QDomElement& areas)
{
    m_areas = areas;
    for (QDomElement area = areas.firstChildElement(Xml::Area); !area.isNull();
         area = area.nextSiblingElement(Xml::Area))
        fillItem(area);
}

void AreaList::fillItem(const QDomElement& area, QListWidgetItem* item)
{
    const bool isNew = !item;
    if (isNew)
        item = new QListWidgetItem;
    item->setText(areaText(area));
    item->setData(Qt::UserRole, QVariant::fromValue(area));
    const QDomElement geometry = area.firstChildElement(Xml::Geometry);
    if (m_scene && !geometry.isNull())
        setPreview(item, geometry);
    // Added with its data, so that becoming current shows its preview.
    if (isNew)
        m_list->addItem(item);
}

void AreaList::setPreview(QListWidgetItem* item, const QDomElement& geometry)
{
    const QPainterPath path = outlinePath(Xml::firstText(geometry));
    QGraphicsPathItem* preview = previewOf(item);
    if (preview) {
        preview->setPath(path);
    } else {
        preview = m_previews->add(path);
        item->setData(PreviewRole, QVariant::fromValue(preview));
    }
    // The current area's outline stays in view.
    preview->setVisible(preview == m_shown);
}

void AreaList::fillAgain()
{
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem* item = m_list->item(row);
        const QDomElement area = elementOf(item);
        if (!area.isNull())
            fillItem(area, item);
    }
}

QGraphicsPathItem* AreaList::previewOf(const QListWidgetItem* item) const
{
    // Previews of a scene that was deleted went with it.
    return item && m_scene ? item->data(PreviewRole).value<QGraphicsPathItem*>() : nullptr;
}

void AreaList::showPreviewOf(int row)
{
    if (m_shown && m_scene)
        m_shown->hide();
    m_shown = previewOf(m_list->item(row));
    if (m_shown)
        m_shown->show();
}

void AreaList::remove(QListWidgetItem* item)
{
    if (QGraphicsPathItem* preview = previewOf(item)) {
        if (preview == m_shown)
            m_shown = nullptr;
        item->setData(PreviewRole, QVariant());
        delete preview;
    }
    delete item;
}

bool AreaList::contains(const QListWidgetItem* item) const
{
    // Compared by address only: an item deleted since is not looked into.
    for (int row = 0; item && row < m_list->count(); ++row) {
        if (m_list->item(row) == item)
            return true;
    }
    return false;
}

void AreaList::selectArea(const QString& id)
{
    for (int row = 0; row < m_list->count(); ++row) {
        if (elementOf(m_list->item(row)).attribute(Xml::id) == id) {
            m_list->setCurrentRow(row);
            return;
        }
    }
}

AreaEditDlg* AreaList::openEditor(QWidget* parent, const QDomElement& area, QListWidgetItem* item) const
{
    auto* editor = new AreaEditDlg(m_areas, area, parent, m_scene.data());
    if (item)
        editor->setProperty(EditedItem, QVariant::fromValue(item));
    return editor;
}

QListWidgetItem* AreaList::editedItem(const QObject* editor) const
{
    auto* item = editor ? editor->property(EditedItem).value<QListWidgetItem*>() : nullptr;
    return contains(item) ? item : nullptr;
}

QDomElement AreaList::blankArea(QDomDocument document)
{
    QDomElement area = document.createElement(Xml::Area);
    QDomElement controllers = document.createElement(Xml::Controllers);
    controllers.appendChild(document.createTextNode(QString()));
    area.appendChild(controllers);
    area.appendChild(document.createElement(Xml::States));
    QDomElement calendar = document.createElement(Xml::Calendar);
    QDomElement week = document.createElement(Xml::WeekDistribution);
    week.appendChild(document.createTextNode(QString()));
    calendar.appendChild(week);
    calendar.appendChild(document.createElement(Xml::DayCards));
    area.appendChild(calendar);
    return area;
}

} // namespace Editors
} // namespace Velmora
