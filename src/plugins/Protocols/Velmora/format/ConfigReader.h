#pragma once

#include <QDomElement>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

// How every reader of a zone configuration (the model, the service, the
// schedule preview, the checker) reads the values of the file, so that they
// agree on what a file says.
namespace Velmora {
namespace Config {

// Ids are unsigned 32-bit decimal numbers kept in an int: the bits the service
// sends, so lookups by either agree. Where a value may be absent, -1 (the bits
// of 4294967295) stands for none.
constexpr int NoId = -1;
bool readId(const QStringRef& text, int* id);
bool readId(const QString& text, int* id);
// An element's id, or a reference to another element's (strategy_id, state_id,
// the id of a Strategy's Area).
bool readId(const QDomElement& element, const QString& attribute, int* id);
// The id as the file writes it.
QString idText(int id);

// Comma-separated ids ("101,102"): the fields that are ids, in order; empty
// fields and others are skipped.
QList<int> readIdList(const QStringRef& text);
QList<int> readIdList(const QString& text);

// A Strategy's default flag: set when its value, lower-cased, is "true" or "1".
bool isDefault(const QDomElement& strategy);
// The strategy a zone falls back on: the first marked default, else the first,
// else NoId. Strategies: a list of items with `id` and `isDefault`.
template<typename Strategies>
int defaultStrategy(const Strategies& strategies)
{
    for (const auto& strategy : strategies) {
        if (strategy.isDefault)
            return strategy.id;
    }
    return strategies.isEmpty() ? NoId : strategies.first().id;
}

// A week distribution's fields, Monday first; a valid text has seven.
constexpr int DaysPerWeek = 7;
QStringList weekFields(const QString& text);
// Seven day card ids, NoId for a day without card (an empty field or one that
// is no id); all NoId when the text does not split into seven fields.
QVector<int> readWeek(const QString& text);

// "hh:mm" from 00:00 to 23:59 as minutes after midnight, -1 when malformed.
int readTime(const QString& text);

// A special day: "dd.MM" every year (year 0), tried first, or "dd.MM.yyyy".
// False when it is neither or names no real date; 29.02 counts for every year.
struct SpecialDate
{
    int day = 0;
    int month = 0;
    int year = 0;
};
bool readSpecialDay(const QString& text, SpecialDate* date);

// Of two elements of one list with the same id, the later counts: a lookup by
// id finds it. True when an earlier element had the id and was replaced.
template<typename T>
bool keepLater(QHash<int, T>* index, int id, const T& value)
{
    const auto it = index->find(id);
    if (it == index->end()) {
        index->insert(id, value);
        return false;
    }
    *it = value;
    return true;
}

// A list read from the file with lookup by id, under the rule above: an item
// takes the place where its id first appeared, with the later element's data.
template<typename T>
class IdList
{
public:
    // True when an earlier element had the id.
    bool add(int id, const T& item)
    {
        const auto it = m_index.constFind(id);
        if (it != m_index.cend()) {
            m_items[*it] = item;
            return true;
        }
        m_index.insert(id, m_items.size());
        m_items.append(item);
        return false;
    }
    const T* find(int id) const
    {
        const auto it = m_index.constFind(id);
        return it == m_index.cend() ? nullptr : &m_items.at(*it);
    }
    bool contains(int id) const { return m_index.contains(id); }
    const QVector<T>& items() const { return m_items; }
    bool isEmpty() const { return m_items.isEmpty(); }
    const T& first() const { return m_items.first(); }
    typename QVector<T>::const_iterator begin() const { return m_items.cbegin(); }
    typename QVector<T>::const_iterator end() const { return m_items.cend(); }

private:
    QVector<T> m_items;
    QHash<int, int> m_index;
};

} // namespace Config
} // namespace Velmora
