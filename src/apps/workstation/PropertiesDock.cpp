#include "PropertiesDock.h"

#include <QDateTime>
#include <QHeaderView>
#include <QMetaProperty>
#include <QPointF>
#include <QRectF>
#include <QTableWidget>

PropertiesDock::PropertiesDock(QWidget* parent)
    : QDockWidget(tr("Properties"), parent)
    , m_table(new QTableWidget(0, 2, this))
{
    setObjectName(QStringLiteral("PropertiesDock"));
    m_table->setHorizontalHeaderLabels({tr("Property"), tr("Value")});
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setAlternatingRowColors(true);
    setWidget(m_table);
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
    setWindowTitle(object ? tr("Properties: %1").arg(QString::fromLatin1(object->metaObject()->className()))
                          : tr("Properties"));
    refresh();
}

void PropertiesDock::refresh()
{
    const QList<QPair<QString, QString>> rows = describe(m_object);
    m_table->setRowCount(rows.size());
    for (int row = 0; row < rows.size(); ++row) {
        for (int column = 0; column < 2; ++column) {
            const QString& text = column == 0 ? rows.at(row).first : rows.at(row).second;
            QTableWidgetItem* item = m_table->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                m_table->setItem(row, column, item);
            }
            // Untouched cells keep the user's selection and scroll position steady.
            if (item->text() != text)
                item->setText(text);
        }
    }
}

QList<QPair<QString, QString>> PropertiesDock::describe(const QObject* object)
{
    QList<QPair<QString, QString>> rows;
    if (!object)
        return rows;
    const QMetaObject* meta = object->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        rows.append({QString::fromLatin1(property.name()), valueText(property.read(object))});
    }
    for (const QByteArray& name : object->dynamicPropertyNames()) {
        // Qt's own bookkeeping properties are of no interest here.
        if (name.startsWith("_q_"))
            continue;
        rows.append({QString::fromLatin1(name), valueText(object->property(name.constData()))});
    }
    return rows;
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
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
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
