#pragma once

#include <QChar>
#include <QHash>
#include <QLatin1Char>
#include <QString>
#include <QStringRef>

namespace Velmora {
namespace ElementPlace {

// An element's place is its path from the root ("Zone/Areas/Area[3]/States/
// State[1]"), kept as a 64-bit hash built a step at a time: a district has
// some hundred thousand elements, and their paths would take more room and
// time than the file.
constexpr quint64 HashBasis = 14695981039346656037ULL;

inline quint64 mixed(quint64 hash, const QChar* text, int size)
{
    for (int i = 0; i < size; ++i) {
        hash ^= text[i].unicode();
        hash *= 1099511628211ULL;
    }
    return hash;
}

inline quint64 mixed(quint64 hash, const QString& text)
{
    return mixed(hash, text.constData(), text.size());
}

inline quint64 mixed(quint64 hash, const QStringRef& text)
{
    return mixed(hash, text.constData(), text.size());
}

inline quint64 mixed(quint64 hash, QChar c)
{
    return mixed(hash, &c, 1);
}

inline quint64 mixed(quint64 hash, int number)
{
    for (int shift = 0; shift < 32; shift += 8) {
        hash ^= quint64((number >> shift) & 0xff);
        hash *= 1099511628211ULL;
    }
    return hash;
}

template<typename Text>
quint64 rootKey(const Text& tag)
{
    return mixed(HashBasis, tag);
}

// The place among its siblings: by id where it has one, so that inserting or
// renumbering one list entry leaves the others' places alone.
class PlaceCounter
{
public:
    template<typename Text>
    quint64 childKey(quint64 parentKey, const Text& tag, const Text* id)
    {
        const quint64 key = mixed(mixed(parentKey, QLatin1Char('/')), tag);
        if (id) {
            const quint64 idKey = mixed(mixed(mixed(key, QLatin1Char('[')), *id), QLatin1Char(']'));
            // A second element of the same id (a fault the checker reports) keeps a place of its own.
            const int twin = ++m_counts[idKey];
            return twin == 1 ? idKey : mixed(mixed(idKey, QLatin1Char('#')), twin);
        }
        const int position = ++m_counts[mixed(HashBasis, tag)];
        return mixed(mixed(key, QLatin1Char('#')), position);
    }

private:
    QHash<quint64, int> m_counts; // by the tag's hash, or an id's key
};

} // namespace ElementPlace
} // namespace Velmora
