#pragma once

#include <QDomElement>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include "Vocabulary.h"

namespace Velmora {
namespace Diff {

// Children of one tag, in file order, found by a key attribute.
class KeyedChildren
{
public:
    KeyedChildren(const QDomElement& parent, const QString& tag, const QString& key = Xml::id);
    const QStringList& keys() const { return m_keys; }
    QDomElement find(const QString& key) const
    {
        const int i = m_index.value(key, -1);
        return i < 0 ? QDomElement() : m_elements.at(i);
    }
    bool contains(const QString& key) const { return m_index.contains(key); }

private:
    QStringList m_keys;
    QVector<QDomElement> m_elements;
    QHash<QString, int> m_index;
};

// The keys of both, those of `before` first: changed and deleted objects
// where they were, added ones after them.
QStringList unionOfKeys(const KeyedChildren& before, const KeyedChildren& after);

} // namespace Diff
} // namespace Velmora
