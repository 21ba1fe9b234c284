#include "KeyedChildren.h"

namespace Velmora {
namespace Diff {

KeyedChildren::KeyedChildren(const QDomElement& parent, const QString& tag, const QString& key)
{
    for (QDomElement e = parent.firstChildElement(tag); !e.isNull(); e = e.nextSiblingElement(tag)) {
        const QString k = e.attribute(key);
        if (m_index.contains(k))
            continue; // a duplicate key: the first one counts
        m_index.insert(k, m_keys.size());
        m_keys << k;
        m_elements << e;
    }
}

QStringList unionOfKeys(const KeyedChildren& before, const KeyedChildren& after)
{
    QStringList keys = before.keys();
    for (const QString& key : after.keys())
        if (!before.contains(key))
            keys << key;
    return keys;
}

} // namespace Diff
} // namespace Velmora
