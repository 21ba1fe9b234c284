#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace Velmora {

// What changed between two versions of a zone file, in the words of
// ConfigDiff::compareTexts. A district's areas make up nearly all of its file
// and an edit touches a few of them: an area that says the same in both
// versions, however it is laid out, gives no line, so such areas are cut from
// both texts before the two documents are built. GUI-free and reentrant, so
// it runs off the GUI thread.
class ZoneChanges
{
public:
    static bool compare(const QByteArray& before, const QByteArray& after, QStringList* changes, QString* error);
};

} // namespace Velmora
