#include "IdField.h"

#include <QDomElement>
#include <QLineEdit>
#include <QSpinBox>

#include "format/ConfigReader.h"
#include "format/Vocabulary.h"

#include <algorithm>
#include <limits>

namespace Velmora {
namespace Editors {

bool readId(const QString& text, quint32* id)
{
    int value = 0;
    if (!Config::readId(text, &value))
        return false;
    *id = quint32(value);
    return true;
}

QList<quint32> siblingIds(const QDomElement& parent, const QString& tag, const QString& except)
{
    QList<quint32> ids;
    for (QDomElement child = parent.firstChildElement(tag); !child.isNull(); child = child.nextSiblingElement(tag)) {
        const QString text = child.attribute(Xml::id);
        quint32 id = 0;
        if (text != except && readId(text, &id))
            ids.append(id);
    }
    return ids;
}

quint32 nextId(const QList<quint32>& taken)
{
    if (taken.isEmpty())
        return 1;
    const quint32 largest = *std::max_element(taken.cbegin(), taken.cend());
    if (largest < std::numeric_limits<quint32>::max())
        return largest + 1;
    QList<quint32> sorted = taken;
    std::sort(sorted.begin(), sorted.end());
    // Fewer ids are taken than there are numbers: a gap exists.
    quint32 candidate = 1;
    for (quint32 id : qAsConst(sorted)) {
        if (id > candidate)
            break;
        if (id == candidate)
            ++candidate;
    }
    return candidate;
}

IdField::IdField(QSpinBox* box)
    : QObject(box)
    , m_box(box)
{
    connect(box, QOverload<int>::of(&QSpinBox::valueChanged), this, [this] {
        if (!m_showing)
            m_kept.clear();
    });
    // Typing the very number shown changes no value, but it is the user's id now.
    if (auto* line = box->findChild<QLineEdit*>())
        connect(line, &QLineEdit::textEdited, this, [this] { m_kept.clear(); });
}

void IdField::setId(const QString& text)
{
    quint32 id = 0;
    if (!readId(text, &id)) {
        m_kept.clear();
        show(text.toInt());
        return;
    }
    m_kept = text;
    show(id);
}

void IdField::setId(quint32 id)
{
    m_kept = QString::number(id);
    show(id);
}

quint32 IdField::id() const
{
    quint32 id = 0;
    return readId(m_kept, &id) ? id : quint32(m_box->value());
}

QString IdField::text() const
{
    return m_kept.isEmpty() ? QString::number(m_box->value()) : m_kept;
}

void IdField::show(qint64 value)
{
    m_showing = true;
    m_box->setValue(int(qBound<qint64>(m_box->minimum(), value, m_box->maximum())));
    m_showing = false;
}

} // namespace Editors
} // namespace Velmora
