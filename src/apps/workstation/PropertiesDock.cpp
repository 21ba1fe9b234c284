#include "PropertiesDock.h"

#include "HistoryDock.h"
#include "LinkMonitor.h"
#include "ModuleHost.h"
#include "ProtocolWords.h"

#include <QCheckBox>
#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QVBoxLayout>
#include <QHeaderView>
#include <QMetaProperty>
#include <QPointF>
#include <QRectF>
#include <QTableWidget>

namespace Velmora {

PropertiesDock::PropertiesDock(QWidget* parent)
    : QDockWidget(tr("Properties"), parent)
    , m_table(new QTableWidget(0, 2, this))
    , m_showAll(new QCheckBox(tr("Show all (Qt's internals too)"), this))
{
    setObjectName(QStringLiteral("PropertiesDock"));
    m_table->setHorizontalHeaderLabels({tr("Property"), tr("Value")});
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setAlternatingRowColors(true);
    m_showAll->setObjectName(QStringLiteral("showAll"));
    connect(m_showAll, &QCheckBox::toggled, this, &PropertiesDock::setShowAll);
    auto* box = new QWidget(this);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_table);
    layout->addWidget(m_showAll);
    setWidget(box);
    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(RefreshInterval);
    connect(&m_refreshTimer, &QTimer::timeout, this, &PropertiesDock::refresh);
}

void PropertiesDock::scheduleRefresh()
{
    if (!m_refreshTimer.isActive())
        m_refreshTimer.start();
}

QObject* PropertiesDock::object() const
{
    return m_object;
}

void PropertiesDock::setObject(QObject* object)
{
    if (object == m_object)
        return;
    m_object = object;
    refresh();
}

void PropertiesDock::setLinkMonitor(const LinkMonitor* links)
{
    m_links = links;
    refresh();
}

bool PropertiesDock::showsAll() const
{
    return m_showAll->isChecked();
}

void PropertiesDock::setShowAll(bool all)
{
    if (m_showAll->isChecked() != all)
        m_showAll->setChecked(all);
    refresh();
}

void PropertiesDock::refresh()
{
    m_refreshTimer.stop();
    // Here rather than in setObject(): the object may have gone since.
    setWindowTitle(m_object ? tr("Properties: %1").arg(QString::fromLatin1(m_object->metaObject()->className()))
                            : tr("Properties"));
    const QList<Row> rows = describe(m_object, showsAll(), m_links, m_replaying ? &m_recorded : nullptr);
    m_table->setRowCount(rows.size());
    for (int row = 0; row < rows.size(); ++row) {
        for (int column = 0; column < 2; ++column) {
            const QString& text = column == 0 ? rows.at(row).label : rows.at(row).text;
            QTableWidgetItem* item = m_table->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                m_table->setItem(row, column, item);
            }
            // Untouched cells keep the user's selection and scroll position steady.
            if (item->text() != text)
                item->setText(text);
            if (column == 0) {
                item->setData(Qt::UserRole, rows.at(row).name);
                item->setToolTip(rows.at(row).name);
            }
        }
    }
}

void PropertiesDock::showRecorded(const Recorded& recorded)
{
    m_replaying = true;
    m_recorded = recorded;
    refresh();
}

void PropertiesDock::showLive()
{
    m_replaying = false;
    m_recorded = Recorded();
    refresh();
}

QString PropertiesDock::shownValue(const QString& name) const
{
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const QTableWidgetItem* key = m_table->item(row, 0);
        if (key && key->data(Qt::UserRole).toString() == name)
            return m_table->item(row, 1)->text();
    }
    return QString();
}

bool PropertiesDock::isInternal(const QByteArray& name)
{
    static const QSet<QByteArray> internal{"objectName", "graphicsScene", "graphicsObject", "connection",
                                           "toolTip",    "position",      "object"};
    return internal.contains(name) || name.startsWith("_q_");
}

QString PropertiesDock::label(const QByteArray& name)
{
    static const QHash<QByteArray, const char*> labels{
        {"id", "Id"},
        {"name", "Name"},
        {"isConnected", "Linked"},
        {"controlSource", "Control source"},
        {"currentStrategy", "Current strategy"},
        {"currentState", "Current state"},
        {"specialState", "Special state"},
        {"connectionTime", "Linked since (service's time)"},
        {"lastConnectionEventTime", "Last link change (local time)"},
        {"hashInvalid", "Configuration differs (hash mismatch)"},
        {"localHash", "Configuration hash (file)"},
        {"remoteHash", "Configuration hash (service)"},
        {"visible", "Visible"},
        {"selected", "Selected"},
        {"basePoint", "Position"},
        {"directory", "Folder"},
        {"online", "Online"},
    };
    const auto it = labels.constFind(name);
    return it == labels.constEnd() ? QString::fromLatin1(name) : tr(it.value());
}

namespace {

// The module's own view of the link, which the "Link" row says in one.
bool isLinkDetail(const QByteArray& name)
{
    static const QSet<QByteArray> details{"isConnected", "hashInvalid", "connectionTime", "lastConnectionEventTime"};
    return details.contains(name);
}

bool isLiveValue(const QByteArray& name)
{
    static const QSet<QByteArray> live{"controlSource", "currentStrategy", "currentState", "specialState"};
    return live.contains(name);
}

// What the history holds of a live value at the replayed moment; invalid when it holds none.
QVariant recordedValue(QObject* object, const QByteArray& name, const PropertiesDock::Recorded& recorded)
{
    QObject* zone = ModuleHost::zoneOf(object);
    if (!zone)
        return QVariant();
    const Velmora::ZoneMoment moment = recorded.zones.value(zone->property("id").toInt());
    // As live: values of a link that was down, or up on another configuration, are not this file's.
    if (!Velmora::HistoryDock::isReported(moment))
        return Velmora::HistoryRecord::NoValue;
    if (object == zone) {
        if (name == "controlSource")
            return moment.controlSource;
        return name == "currentStrategy" ? QVariant(moment.strategy) : QVariant();
    }
    const Velmora::AreaMoment* area = moment.area(object->property("id").toInt());
    const Velmora::AreaMoment values = area ? *area : Velmora::AreaMoment{};
    if (name == "controlSource")
        return values.controlSource;
    if (name == "currentState")
        return values.state;
    return name == "specialState" ? QVariant(values.specialState) : QVariant();
}

} // namespace

QList<PropertiesDock::Row> PropertiesDock::describe(QObject* object, bool showAll, const LinkMonitor* links,
                                                    const Recorded* recorded)
{
    QList<Row> rows;
    if (!object)
        return rows;
    const bool zoneOrArea = ModuleHost::isZone(object) || ModuleHost::isArea(object);
    QObject* zone = links && zoneOrArea ? ModuleHost::zoneOf(object) : nullptr;
    const bool live = !zone || links->isLive(zone);
    if (recorded && zoneOrArea) {
        rows.append(Row{QStringLiteral("recorded"), tr("Recorded"),
                        tr("at %1, live is paused").arg(recorded->moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))});
    }
    auto add = [&](const QByteArray& name, QVariant value) {
        if (!showAll && (isInternal(name) || (zone && isLinkDetail(name))))
            return;
        const QVariant replayed = recorded && zoneOrArea && isLiveValue(name) ? recordedValue(object, name, *recorded)
                                                                                : QVariant();
        QString text;
        if (replayed.isValid())
            text = valueText(name, replayed, object);
        else
            text = live || !isLiveValue(name) ? valueText(name, value, object) : tr("not reported");
        rows.append(Row{QString::fromLatin1(name), label(name), text});
    };
    const QMetaObject* meta = object->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        add(property.name(), property.read(object));
        if (zone && property.name() == QByteArray("name"))
            rows.append(Row{QStringLiteral("link"), tr("Link"), linkText(links, zone)});
    }
    for (const QByteArray& name : object->dynamicPropertyNames()) {
        // Qt's own bookkeeping properties are of no interest, even to "show all".
        if (name.startsWith("_q_"))
            continue;
        add(name, object->property(name.constData()));
    }
    return rows;
}

QString PropertiesDock::linkText(const LinkMonitor* links, QObject* zone)
{
    const QDateTime since = links->since(zone);
    const QString status = LinkMonitor::text(links->status(zone));
    return since.isValid() ? tr("%1 since %2").arg(status, since.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                           : status;
}

QString PropertiesDock::valueText(const QByteArray& name, const QVariant& value, QObject* object)
{
    bool isNumber = false;
    const int number = value.toInt(&isNumber);
    const QString unreported = tr("not reported");
    if (name == "controlSource" && isNumber)
        return ProtocolWords::controlSourceWithCode(number);
    if (name == "specialState" && isNumber)
        return ProtocolWords::specialStateWithCode(number);
    if (name == "currentStrategy" && isNumber) {
        if (number < 0)
            return unreported;
        const QString strategy = ModuleHost::strategyName(object, number);
        return strategy.isEmpty() ? tr("strategy %1").arg(number) : tr("%1 (%2)").arg(strategy).arg(number);
    }
    if (name == "currentState" && isNumber) {
        if (number < 0)
            return unreported;
        const QString state = ModuleHost::stateName(object, number);
        return state.isEmpty() ? tr("state %1").arg(number) : tr("%1 (%2)").arg(state).arg(number);
    }
    if (value.type() == QVariant::Bool)
        return value.toBool() ? tr("yes") : tr("no");
    return valueText(value);
}

QString PropertiesDock::valueText(const QVariant& value)
{
    static const QString none = QStringLiteral("—");
    if (!value.isValid())
        return none;
    switch (int(value.type())) {
    case QMetaType::QByteArray:
        return QString::fromLatin1(value.toByteArray().toHex());
    case QMetaType::Bool:
        return value.toBool() ? tr("yes") : tr("no");
    case QMetaType::QDateTime: {
        const QDateTime time = value.toDateTime();
        return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : none;
    }
    case QMetaType::QPointF: {
        const QPointF point = value.toPointF();
        return QStringLiteral("%1, %2").arg(point.x(), 0, 'f', 6).arg(point.y(), 0, 'f', 6);
    }
    case QMetaType::QRectF: {
        const QRectF rect = value.toRectF();
        return QStringLiteral("%1, %2 %3×%4")
            .arg(rect.x(), 0, 'f', 6)
            .arg(rect.y(), 0, 'f', 6)
            .arg(rect.width(), 0, 'f', 6)
            .arg(rect.height(), 0, 'f', 6);
    }
    case QMetaType::QObjectStar: {
        const QObject* pointee = value.value<QObject*>();
        if (!pointee)
            return none;
        const QString name = pointee->objectName();
        const QString className = QString::fromLatin1(pointee->metaObject()->className());
        return name.isEmpty() ? className : QStringLiteral("%1 \"%2\"").arg(className, name);
    }
    default:
        break;
    }
    if (value.canConvert<QString>())
        return value.toString();
    return QStringLiteral("(%1)").arg(QString::fromLatin1(value.typeName()));
}

} // namespace Velmora
