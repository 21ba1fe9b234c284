#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QDomElement;
class QSpinBox;

namespace Velmora {
namespace Editors {

// Ids as the loader reads them: unsigned 32-bit decimal numbers.
bool readId(const QString& text, quint32* id);

// The ids of the `tag` children of `parent` that read as ids, leaving out
// those written as `except` (the edited element's own).
QList<quint32> siblingIds(const QDomElement& parent, const QString& tag, const QString& except = QString());

// A new id: the largest taken plus one, 1 when none is taken. Past the last
// unsigned 32-bit number there is none, so then the smallest free one.
quint32 nextId(const QList<quint32>& taken);

// An id spin box that gives back the id it was given while the user leaves
// it alone. The box's range is what the user may type; a file may hold any
// id the loader reads (0, 100000, 4294967295), which shows clamped and is
// written back as the file wrote it until the user changes the value.
class IdField : public QObject
{
public:
    // Lives as the box's child.
    explicit IdField(QSpinBox* box);

    // An id from a file. Text that is no id shows as the box's nearest value
    // and is not kept.
    void setId(const QString& text);
    // A new id, which may lie outside the box's range as well.
    void setId(quint32 id);

    // The id to write and compare, and its text in ASCII digits whatever the
    // user's locale.
    quint32 id() const;
    QString text() const;

private:
    void show(qint64 value);

    QSpinBox* m_box;
    QString m_kept; // empty once the user changed the value
    bool m_showing = false;
};

} // namespace Editors
} // namespace Velmora
