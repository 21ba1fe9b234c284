#pragma once

#include <QObject>
#include <QString>

namespace Velmora {

class PreparedLoads;

// The root object's reading ahead, as hosts reach it: through the root's
// dynamic property "loadAhead", so the root's own declarations stay those
// hosts built against the module's interface rely on.
class LoadAhead : public QObject
{
    Q_OBJECT
public:
    explicit LoadAhead(PreparedLoads* loads);

    // Reads the file on a worker thread, so that a load(fileName) on the root
    // that follows only builds the zone's objects; then calls
    // `member(QString fileName, bool ok)` on the receiver, on the GUI thread
    // (ok: the load would succeed). A load uses the reading only while the
    // file is unchanged, else it reads the file itself.
    Q_INVOKABLE void prepare(QString fileName, QObject* receiver, QString member);

private:
    PreparedLoads* m_loads;
};

} // namespace Velmora
